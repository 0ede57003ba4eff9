#!/bin/sh
# manuals_test.sh <share folder the build wrote> <completion script> <plimora-table>
# The manual pages render with man without a warning and open as manual pages
# do (NAME with its one line, DESCRIPTION); the completion script loads in
# bash and completes a sub-command, an option and an option's value.
# 77 = man or bash missing.
set -eu
share=$1
completion=$2
tool=$3
faults=0
fault() {
    echo "FAULT: $1"
    faults=$((faults + 1))
}
if ! command -v man >/dev/null 2>&1 || ! command -v bash >/dev/null 2>&1; then
    echo "man or bash missing (man-db, bash)"
    exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for name in plimora plimora-table; do
    page="$share/man/man1/$name.1"
    [ -f "$page" ] || {
        fault "$page was not written (lowdown missing?)"
        continue
    }
    if ! MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" >"$tmp/out" 2>"$tmp/err"; then
        fault "man -l $name.1 failed: $(cat "$tmp/err")"
    fi
    [ ! -s "$tmp/err" ] || fault "man -l $name.1 warned: $(cat "$tmp/err")"
    grep -q "^NAME" "$tmp/out" || fault "$name(1) has no NAME section"
    grep -Eq "^ +$name +- " "$tmp/out" || fault "$name(1)'s NAME line is not '$name - …'"
    grep -q "^DESCRIPTION" "$tmp/out" || fault "$name(1) has no DESCRIPTION section"
    # What mandb files the page under for whatis and apropos.
    if command -v lexgrog >/dev/null 2>&1; then
        lexgrog "$page" | grep -q ": \"$name - " || fault "whatis would not find $name(1)"
    fi
done

# complete <words…>: what the completion offers for the last word.
complete_words() {
    bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _plimora_table; printf "%s\n" "${COMPREPLY[*]}"' complete "$completion" "$@"
}
[ "$(complete_words "$tool" up)" = update ] || fault "plimora-table up<Tab> is not update"
[ "$(complete_words "$tool" lookup --for)" = --format ] ||
    fault "lookup --for<Tab> is not --format"
[ "$(complete_words "$tool" lookup --format "")" = "csv tsv" ] ||
    fault "lookup --format <Tab> is not csv tsv"
[ "$(complete_words "$tool" --store sys.dat ch)" = check ] ||
    fault "--store sys.dat ch<Tab> is not check"
[ "$faults" -eq 0 ]
