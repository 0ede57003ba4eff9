#!/bin/sh
# desktop_entry_test.sh <source dir>
# install-desktop-entry under a temporary HOME, for folders whose paths need
# quoting in a desktop entry: the entry must start exactly that folder's
# program, the icons must be there, nothing may be written outside HOME, and
# --remove must leave HOME as it was, sparing what another folder wrote.
set -eu
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
faults=0
fault() {
    printf 'FAULT [%s]: %s\n' "$case_name" "$1"
    faults=$((faults + 1))
}

# make_folder <path>: a program folder with the real script, desktop files and
# completion, stand-in manual pages and a stand-in program.
make_folder() {
    mkdir -p "$1/share/applications" "$1/share/icons" "$1/share/man/man1" \
        "$1/share/bash-completion/completions"
    cp "$src/packaging/install-desktop-entry" "$1/"
    cp "$src/resources/desktop/org.plimora.Plimora.desktop" "$1/share/applications/"
    cp -R "$src/resources/desktop/icons/hicolor" "$1/share/icons/"
    cp "$src/packaging/plimora-table.bash" "$1/share/bash-completion/completions/plimora-table"
    printf '.TH plimora 1\n' >"$1/share/man/man1/plimora.1"
    printf '.TH plimora-table 1\n' >"$1/share/man/man1/plimora-table.1"
    printf '#!/bin/sh\nexit 0\n' >"$1/plimora"
    chmod +x "$1/plimora" "$1/install-desktop-entry"
}

# The program path an entry's Exec line names, undoing the string escapes,
# the quoting and the %% field code in that order.
exec_path() {
    sed -n 's/^Exec=//p' "$1" | sed -e 's/\\\\/\\/g' -e 's/^"//' -e 's/"$//' \
        -e 's/\\\(.\)/\1/g' -e 's/%%/%/g'
}

listing() { # listing <dir>: every file and folder with its checksum
    (cd "$1" && find . -mindepth 1 | sort | while IFS= read -r f; do
        if [ -f "$f" ]; then printf '%s %s\n' "$f" "$(cksum <"$f")"; else printf '%s\n' "$f"; fi
    done)
}

entry=.local/share/applications/org.plimora.Plimora.desktop
for case_name in plain 'with spaces' '中文 文件夹' 'semi;colon' \
    'quote"dollar$back`tick\slash%percent' "single'quote"; do
    home="$tmp/home"
    rm -rf "$home"
    mkdir -p "$home"
    folder="$tmp/folders/$case_name"
    make_folder "$folder"
    folder_before=$(listing "$folder")

    if ! HOME=$home "$folder/install-desktop-entry" >"$tmp/out" 2>&1; then
        fault "install failed: $(cat "$tmp/out")"
        continue
    fi
    [ -f "$home/$entry" ] || fault "no entry written"
    [ "$(exec_path "$home/$entry")" = "$folder/plimora" ] ||
        fault "Exec names '$(exec_path "$home/$entry")'"
    if command -v desktop-file-validate >/dev/null 2>&1; then
        desktop-file-validate "$home/$entry" || fault "the written entry is not valid"
    fi
    for icon in "$folder"/share/icons/hicolor/*/apps/*; do
        target="$home/.local/share/icons/hicolor/${icon#"$folder/share/icons/hicolor/"}"
        cmp -s "$icon" "$target" || fault "icon ${icon#"$folder/"} not installed"
    done
    for extra in man/man1/plimora.1 man/man1/plimora-table.1 \
        bash-completion/completions/plimora-table; do
        cmp -s "$folder/share/$extra" "$home/.local/share/$extra" || fault "$extra not installed"
    done
    written=$(cd "$home" && find . -type f | grep -v -e '/applications/org.plimora.Plimora.desktop$' \
        -e '/icons/hicolor/[^/]*/apps/org.plimora.Plimora.\(png\|svg\)$' \
        -e '/man/man1/plimora\(-table\)\{0,1\}\.1$' \
        -e '/bash-completion/completions/plimora-table$' || true)
    [ -z "$written" ] || fault "wrote more than the entry, icons, manual pages and completion: $written"
    [ "$(listing "$folder")" = "$folder_before" ] || fault "the folder was changed"

    # Installing twice changes nothing; removing leaves HOME empty again.
    HOME=$home "$folder/install-desktop-entry" >/dev/null 2>&1 || fault "second install failed"
    HOME=$home "$folder/install-desktop-entry" --remove >"$tmp/out" 2>&1 ||
        fault "remove failed: $(cat "$tmp/out")"
    left=$(cd "$home" && find . -mindepth 1)
    [ -z "$left" ] || fault "left behind after --remove: $left"
done

# Another folder's entry and an icon the user changed survive --remove.
case_name='two folders'
home="$tmp/home"
rm -rf "$home"
mkdir -p "$home"
make_folder "$tmp/one"
make_folder "$tmp/two"
HOME=$home "$tmp/one/install-desktop-entry" >/dev/null 2>&1 || fault "install one failed"
HOME=$home "$tmp/two/install-desktop-entry" >/dev/null 2>&1 || fault "install two failed"
echo changed >"$home/.local/share/icons/hicolor/48x48/apps/org.plimora.Plimora.png"
HOME=$home "$tmp/one/install-desktop-entry" --remove >/dev/null 2>"$tmp/err" ||
    fault "remove one failed"
[ "$(exec_path "$home/$entry")" = "$tmp/two/plimora" ] || fault "folder two's entry was removed"
[ -f "$home/.local/share/icons/hicolor/48x48/apps/org.plimora.Plimora.png" ] ||
    fault "a changed icon was removed"
grep -q 'org.plimora.Plimora.desktop' "$tmp/err" || fault "the kept entry is not reported"

case_name=usage
HOME=$home "$tmp/one/install-desktop-entry" --bogus >/dev/null 2>&1 && status=0 || status=$?
[ "$status" -eq 2 ] || fault "an unknown option exits $status, not 2"
HOME=$home "$tmp/one/install-desktop-entry" --help | grep -q '用法' || fault "--help has no usage line"

if [ "$faults" -ne 0 ]; then
    echo "$faults faults"
    exit 1
fi
echo "install-desktop-entry: all cases passed"
