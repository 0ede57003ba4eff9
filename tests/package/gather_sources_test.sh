#!/bin/sh
# gather_sources_test.sh <gather-sources>
# gather-sources reads the source packages and their exact versions out of a
# folder's THIRD-PARTY, each once, and refuses a file that names none.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat >"$tmp/THIRD-PARTY" <<'NOTICES'
lib/libQt6Core.so.6
    Debian package libqt6core6 6.4.2+dfsg-10, source qt6-base 6.4.2+dfsg-10
lib/libQt6Gui.so.6
    Debian package libqt6gui6 6.4.2+dfsg-10, source qt6-base 6.4.2+dfsg-10
lib/libjpeg.so.62
    Debian package libjpeg62-turbo 1:2.1.5-2, source libjpeg-turbo 1:2.1.5-2
NOTICES
expected='libjpeg-turbo 1:2.1.5-2
qt6-base 6.4.2+dfsg-10'
listed=$("$1" --list "$tmp/THIRD-PARTY")
if [ "$listed" != "$expected" ]; then
    printf 'FAULT: --list printed\n%s\ninstead of\n%s\n' "$listed" "$expected"
    exit 1
fi
echo "no notices here" >"$tmp/empty"
if "$1" --list "$tmp/empty" >/dev/null 2>&1; then
    echo "FAULT: a THIRD-PARTY naming no source package was accepted"
    exit 1
fi
