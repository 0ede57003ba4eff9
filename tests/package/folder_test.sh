#!/bin/sh
# folder_test.sh <cmake> <build dir> <check-folder> <qtconf_probe>
# Installs the build into a temporary folder whose path holds a space and
# Chinese characters, then runs check-folder on it, checks that the folder
# ships edition.dat and no sys.dat, asks Qt from inside the folder where
# qt.conf sends it, and starts the program under Xvfb with check-folder --run
# when xvfb-run is installed (77 = skipped when it is not, after everything
# else passed): the program must have made sys.dat as a copy of edition.dat.
# Then once more without lib/libdbus-1.so.3, which must fail.
set -eu
cmake=$1
build=$2
check=$3
probe=$4

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
folder="$tmp/程序 folder/plimora"

"$cmake" --install "$build" --prefix "$folder" >"$tmp/install.log" 2>&1 || {
    cat "$tmp/install.log"
    echo "FAULT: cmake --install failed"
    exit 1
}
sh "$check" "$folder"
if [ -e "$folder/sys.dat" ]; then
    echo "FAULT: the installed folder carries a sys.dat; it must ship edition.dat only"
    exit 1
fi

cp "$probe" "$folder/qtconf_probe"
printf '%s\n' "$folder/plugins" "$folder/translations" >"$tmp/expected"
"$folder/qtconf_probe" >"$tmp/paths"
rm "$folder/qtconf_probe"
if ! cmp -s "$tmp/expected" "$tmp/paths"; then
    echo "FAULT: Qt inside the folder looks for plugins and translations in:"
    cat "$tmp/paths"
    exit 1
fi

if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run not installed: the program was not started"
    exit 77
fi
run() { env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1024x768x24" sh "$check" --run "$folder"; }
run
if ! cmp -s "$folder/edition.dat" "$folder/sys.dat"; then
    ls -l "$folder"
    echo "FAULT: the program's first start did not make sys.dat as a copy of edition.dat"
    exit 1
fi

# The check still refuses a folder that takes from the system a library it
# should carry, one every desktop has, and says which and why.
rm "$folder/lib/libdbus-1.so.3"
if CHECK_FOLDER_SECONDS=2 run >"$tmp/broken" 2>&1; then
    cat "$tmp/broken"
    echo "FAULT: check-folder passed a folder without lib/libdbus-1.so.3"
    exit 1
fi
if ! grep -q '^FAULT: plimora (needed by .*/libQt6DBus[.]so[.]6) takes /.*/libdbus-1[.]so[.]3 from the system: lib/ does not carry' \
    "$tmp/broken"; then
    cat "$tmp/broken"
    echo "FAULT: check-folder did not name libdbus-1.so.3 as taken from the system by the running program"
    exit 1
fi
