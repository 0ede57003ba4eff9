#!/bin/sh
# desktop_files_test.sh <source dir> <version>
# The desktop entry and the AppStream metainfo pass their validators, and the
# metainfo has a release entry for this version. 77 = a validator is missing.
set -eu
desktop="$1/resources/desktop"
version=$2
faults=0

if ! command -v desktop-file-validate >/dev/null 2>&1 || ! command -v appstreamcli >/dev/null 2>&1; then
    echo "desktop-file-validate or appstreamcli missing (desktop-file-utils, appstream)"
    exit 77
fi
desktop-file-validate "$desktop/org.plimora.Plimora.desktop" || faults=$((faults + 1))
appstreamcli validate --no-net --explain "$desktop/org.plimora.Plimora.metainfo.xml" ||
    faults=$((faults + 1))
if ! grep -q "<release version=\"$version\"" "$desktop/org.plimora.Plimora.metainfo.xml"; then
    echo "FAULT: the metainfo has no <release> for version $version"
    faults=$((faults + 1))
fi
[ "$faults" -eq 0 ]
