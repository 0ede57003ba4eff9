#!/bin/sh
# folder_test.sh <cmake> <build dir> <check-folder>
# Installs the build into a temporary folder whose path holds a space and
# Chinese characters, then runs check-folder on it: statically, and by
# starting the program under Xvfb when xvfb-run is installed (77 = skipped
# when it is not, after the static checks passed).
set -eu
cmake=$1
build=$2
check=$3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
folder="$tmp/程序 folder/plimora"

"$cmake" --install "$build" --prefix "$folder" >"$tmp/install.log" 2>&1 || {
    cat "$tmp/install.log"
    echo "FAULT: cmake --install failed"
    exit 1
}
sh "$check" "$folder"

if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run not installed: the program was not started"
    exit 77
fi
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1024x768x24" sh "$check" --run "$folder"
