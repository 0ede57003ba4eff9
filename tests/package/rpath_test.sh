#!/bin/sh
# rpath_test.sh <program>
# The program's library search path must not hold an empty entry: the loader
# reads one as the current folder and would load a library planted there.
# 77 (skipped) without readelf.
set -eu
if ! command -v readelf >/dev/null 2>&1; then
    echo "readelf not installed: not checked"
    exit 77
fi
paths=$(readelf -d "$1" | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]$/\1/p')
echo "search path: ${paths:-none}"
if [ -n "$paths" ]; then
    case ":$paths:" in
    *::*)
        echo "FAULT: an empty entry in the search path of $1"
        exit 1
        ;;
    esac
fi
