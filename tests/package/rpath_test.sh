#!/bin/sh
# rpath_test.sh <program>...
# Reads the RPATH and RUNPATH of every built program with readelf and fails on
# an entry the loader would take relative to the current directory: an empty
# one or a relative path. Absolute paths and paths from $ORIGIN are fine.
# 77 = skipped when readelf is not installed.
set -eu

if ! command -v readelf >/dev/null 2>&1; then
    echo "readelf not installed (Debian: binutils)"
    exit 77
fi

faults=0
fault() {
    printf 'FAULT: %s\n' "$1"
    faults=$((faults + 1))
}

tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
for program in "$@"; do
    if ! LC_ALL=C readelf -d "$program" >"$tmp" 2>&1; then
        fault "$program: readelf failed: $(head -n 1 "$tmp")"
        continue
    fi
    # " 0x... (RUNPATH)   Library runpath: [a:b]"
    sed -n 's/^.*(\(RPATH\|RUNPATH\)) *Library r[a-z]*: \[\(.*\)\]$/\1 \2/p' "$tmp" |
        while read -r kind list; do
            empty=0
            rest=$list
            while :; do
                entry=${rest%%:*}
                case $entry in
                "") empty=$((empty + 1)) ;;
                /* | '$ORIGIN' | '$ORIGIN/'* | '${ORIGIN}' | '${ORIGIN}/'*) ;;
                *) echo "$kind [$list]: $entry is relative to the current directory" ;;
                esac
                case $rest in
                *:*) rest=${rest#*:} ;;
                *) break ;;
                esac
            done
            if [ "$empty" -ne 0 ]; then
                echo "$kind [$list]: empty entries ($empty), which the loader reads as the current directory"
            fi
        done >"$tmp.found"
    while read -r line; do
        fault "$program: $line"
    done <"$tmp.found"
    rm -f "$tmp.found"
done

if [ "$faults" -ne 0 ]; then
    printf '%d faults in %d programs\n' "$faults" "$#"
    exit 1
fi
printf 'no empty or relative RPATH or RUNPATH entries in %d programs\n' "$#"
