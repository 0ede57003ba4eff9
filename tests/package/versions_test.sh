#!/bin/sh
# versions_test.sh <plimora-table> <metainfo> <generated rc folder>
# The one version the project has, project(VERSION), is the same wherever a
# user reads it: plimora-table --version, the newest release of the AppStream
# metainfo, and the version details of plimora.exe and plimora-table.exe as
# the rc compiler writes them into the programs. 77 = no rc compiler.
set -eu
tool=$1
metainfo=$2
rc=$3
windres=x86_64-w64-mingw32-windres
faults=0
fault() {
    echo "FAULT: $1"
    faults=$((faults + 1))
}

version=$("$tool" --version | sed -n 's/^plimora-table //p')
[ -n "$version" ] || fault "plimora-table --version printed no version"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | sed 's/.*"\(.*\)"/\1/')
[ "$newest" = "$version" ] ||
    fault "the metainfo's newest release is '$newest', plimora-table says '$version'"

if ! command -v "$windres" >/dev/null 2>&1; then
    echo "$windres missing (g++-mingw-w64-x86-64-posix): the programs' resources not read"
    [ "$faults" -eq 0 ] && exit 77
    exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
major=${version%%.*}
minor=${version#*.}
for name in plimora plimora-table; do
    # Compiled as the build compiles it, then read back from the binary form.
    (cd "$tmp" && "$windres" -c 65001 -O res "$rc/$name.rc" -o "$name.res" &&
        "$windres" -i "$name.res" -O rc -o "$name.txt") || {
        fault "$name.rc does not compile"
        continue
    }
    for field in FileVersion ProductVersion; do
        grep -q "VALUE \"$field\", \"$version\"" "$tmp/$name.txt" ||
            fault "$name.exe's $field is not $version"
    done
    grep -q "FILEVERSION $major, $minor, 0, 0" "$tmp/$name.txt" ||
        fault "$name.exe's FILEVERSION is not $major, $minor, 0, 0"
    grep -q "VALUE \"OriginalFilename\", \"$name.exe\"" "$tmp/$name.txt" ||
        fault "$name.exe's OriginalFilename is wrong"
    grep -q 'VALUE "FileDescription", L"Plimora \\x' "$tmp/$name.txt" ||
        fault "$name.exe's FileDescription is not the Chinese one"
done
[ "$faults" -eq 0 ]
