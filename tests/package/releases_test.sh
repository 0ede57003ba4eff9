#!/bin/sh
# releases_test.sh <source dir> <metainfo the build wrote>
# Every released version in CHANGELOG.md ("## [1.0] - 2026-12-08") has a
# <release version="1.0" date="2026-12-08"> in the AppStream metainfo written
# from it, and every release there has its section in the changelog: a
# heading the writer cannot read would otherwise drop a release unseen.
set -eu
changelog="$1/CHANGELOG.md"
metainfo=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
faults=0

# A version heading other than Unreleased must carry its date.
grep '^## \[' "$changelog" | grep -v '^## \[Unreleased\]' |
    grep -v '^## \[[^]]*\] - [0-9]\{4\}-[0-9]\{2\}-[0-9]\{2\}$' >"$tmp/undated" || true
if [ -s "$tmp/undated" ]; then
    echo "FAULT: CHANGELOG.md has version headings without a date (## [X] - YYYY-MM-DD):"
    cat "$tmp/undated"
    faults=$((faults + 1))
fi

sed -n 's/^## \[\([^]]*\)\] - \([0-9-]*\)$/\1 \2/p' "$changelog" | sort >"$tmp/changelog"
# One <release …> element a line, its attributes in any order.
grep -o '<release [^>]*>' "$metainfo" | while read -r release; do
    version=$(printf '%s\n' "$release" | sed -n 's/.* version="\([^"]*\)".*/\1/p')
    date=$(printf '%s\n' "$release" | sed -n 's/.* date="\([^"]*\)".*/\1/p')
    echo "$version $date"
done | sort >"$tmp/metainfo"

if [ ! -s "$tmp/changelog" ]; then
    echo "FAULT: CHANGELOG.md names no released version"
    faults=$((faults + 1))
fi
if ! cmp -s "$tmp/changelog" "$tmp/metainfo"; then
    echo "FAULT: the releases of CHANGELOG.md and of the metainfo differ" \
        "(- only in CHANGELOG.md, + only in the metainfo):"
    diff "$tmp/changelog" "$tmp/metainfo" | sed -n 's/^< /- /p; s/^> /+ /p'
    faults=$((faults + 1))
fi
[ "$faults" -eq 0 ]
