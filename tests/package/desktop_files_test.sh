#!/bin/sh
# desktop_files_test.sh <source dir> <metainfo the build wrote> <version>
# The desktop entry and the AppStream metainfo pass their validators, the
# metainfo without a single pedantic remark, and the metainfo has a release
# entry for this version. 77 = a validator is missing.
set -eu
desktop="$1/resources/desktop"
metainfo=$2
version=$3
faults=0

if ! command -v desktop-file-validate >/dev/null 2>&1 || ! command -v appstreamcli >/dev/null 2>&1; then
    echo "desktop-file-validate or appstreamcli missing (desktop-file-utils, appstream)"
    exit 77
fi
desktop-file-validate "$desktop/org.plimora.Plimora.desktop" || faults=$((faults + 1))
report=$(appstreamcli validate --no-net --pedantic --explain "$metainfo" 2>&1) ||
    faults=$((faults + 1))
printf '%s\n' "$report"
# Errors, warnings and pedantic remarks all count. An information-level remark
# does not: Debian 12's validator (AppStream 0.16) does not know <developer>
# yet, which later versions ask for in place of <developer_name>.
if printf '%s\n' "$report" | grep -q '^[EWP]: '; then
    echo "FAULT: the metainfo is not clean under appstreamcli validate --pedantic"
    faults=$((faults + 1))
fi
if ! grep -q "<release version=\"$version\"" "$metainfo"; then
    echo "FAULT: the metainfo has no <release> for version $version"
    faults=$((faults + 1))
fi
[ "$faults" -eq 0 ]
