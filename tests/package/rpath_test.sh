#!/bin/sh
# rpath_test.sh <build dir>
# Reads the RPATH and RUNPATH (readelf -d) of every program built under the
# build directory and fails on an entry the loader takes relative to the
# current directory: an empty one or a relative path. Absolute paths and paths
# from $ORIGIN are fine.
set -eu
cd "$1"
tmp=$(mktemp)
trap 'rm -f "$tmp" "$tmp".*' EXIT
find . -name CMakeFiles -prune -o -type f -perm -u+x -print | sort >"$tmp"
programs=0
faults=0
while read -r program; do
    LC_ALL=C readelf -d "$program" >"$tmp.dynamic" 2>/dev/null || continue # not ELF
    programs=$((programs + 1))
    # " 0x... (RPATH)   Library rpath: [a:b]"; every ':' separates two entries
    sed -n 's/.*(\(R[UN]*PATH\)) *Library r[a-z]*: \[\(.*\)\]$/\1 \2/p' "$tmp.dynamic" >"$tmp.lists"
    while read -r kind list; do
        printf '%s\n' "$list" | tr ':' '\n' | grep -vE '^(/|[$][{]?ORIGIN[}]?(/|$))' |
            sort | uniq -c >"$tmp.bad"
        while read -r count entry; do
            what="the relative entry '$entry'"
            [ -n "$entry" ] || what="an empty entry"
            echo "FAULT: ${program#./}: $kind [$list] holds $what (x$count), which the loader reads from the current directory"
            faults=$((faults + 1))
        done <"$tmp.bad"
    done <"$tmp.lists"
done <"$tmp"
if [ "$programs" -eq 0 ]; then
    echo "FAULT: no program built under $1"
    exit 1
fi
echo "$programs programs, $faults faults"
[ "$faults" -eq 0 ]
