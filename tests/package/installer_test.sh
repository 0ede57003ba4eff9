#!/bin/sh
# installer_test.sh <make-installer>
# What the Windows installer promises about the user's files, on two small
# made-up packages under Wine (no Qt build needed): installed over an older
# install, it replaces the program files and edition.dat, drops a library
# only the older one had, and leaves sys.dat, its backups and a file of the
# user's as they were; a silent uninstall removes the program, the uninstall
# entry and the shortcut and keeps all of those. Installed into a folder of
# other programs, it leaves their libraries. 77 = no makensis or wine64.
set -eu
make_installer=$1
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || true)
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
if [ -z "$wine" ] || [ -z "$wineserver" ] || ! command -v makensis >/dev/null 2>&1; then
    echo "wine64 or makensis missing (wine64, nsis): the installer not tried"
    exit 77
fi
tmp=$(mktemp -d)
export WINEPREFIX="$tmp/prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
faults=0
fault() {
    echo "FAULT: $1"
    faults=$((faults + 1))
}

# package DIR VERSION: a made-up package whose every file names the version.
package() {
    mkdir -p "$1/platforms"
    for file in plimora.exe plimora-table.exe edition.dat Qt6Core.dll platforms/qwindows.dll; do
        echo "$file $2" >"$1/$file"
    done
}
package "$tmp/old" 1.0
echo "a library 1.1 no longer ships" >"$tmp/old/Qt6Old.dll"
package "$tmp/new" 1.1
"$make_installer" "$tmp/old" 1.0 "$tmp/old-setup.exe" >/dev/null
"$make_installer" "$tmp/new" 1.1 "$tmp/new-setup.exe" >/dev/null

# A package holding a sys.dat would replace the user's at every install.
cp -r "$tmp/new" "$tmp/bad"
echo "a table" >"$tmp/bad/sys.dat"
if "$make_installer" "$tmp/bad" 1.1 "$tmp/bad-setup.exe" >/dev/null 2>&1; then
    fault "make-installer took a package holding sys.dat"
fi

"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
local_appdata=$("$wine" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
app=$("$wine" winepath -u "$local_appdata\\Programs\\Plimora" 2>/dev/null | tr -d '\r')
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plimora'
version() {
    "$wine" reg query "$key" /v DisplayVersion 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *DisplayVersion *REG_SZ *//p'
}

"$wine" "$tmp/old-setup.exe" /S
[ "$(version)" = 1.0 ] || fault "the first install registered version '$(version)'"
# What the program and the user put in the folder afterwards.
for file in sys.dat sys.dat.20261208-153000.bak sys.dat.mine.bak 我的号段.tsv; do
    echo "the user's $file" >"$app/$file"
done
users_files_kept() {
    for file in sys.dat sys.dat.20261208-153000.bak sys.dat.mine.bak 我的号段.tsv; do
        [ "$(cat "$app/$file" 2>/dev/null)" = "the user's $file" ] ||
            fault "$1: $file is gone or changed"
    done
}

"$wine" "$tmp/new-setup.exe" /S
for file in plimora.exe plimora-table.exe edition.dat Qt6Core.dll platforms/qwindows.dll; do
    [ "$(cat "$app/$file" 2>/dev/null)" = "$file 1.1" ] ||
        fault "installed over 1.0, $file is not 1.1's"
done
[ ! -e "$app/Qt6Old.dll" ] || fault "installed over 1.0, 1.0's Qt6Old.dll is left"
[ "$(version)" = 1.1 ] || fault "installed over 1.0, the entry names version '$(version)'"
users_files_kept "installed over 1.0"

"$wine" "$app/uninstall.exe" /S
"$wineserver" -w
for file in plimora.exe plimora-table.exe edition.dat Qt6Core.dll platforms uninstall.exe; do
    [ ! -e "$app/$file" ] || fault "uninstalled, $file is left"
done
[ -z "$(version)" ] || fault "uninstalled, the uninstall entry is left"
if find "$WINEPREFIX/drive_c/users" -name '*.lnk' | grep Plimora; then
    fault "uninstalled, the Start-menu shortcut is left"
fi
users_files_kept "uninstalled silently"

# Installed into a folder that holds other programs' libraries: they stay.
tools=$("$wine" winepath -u "$local_appdata\\Tools" 2>/dev/null | tr -d '\r')
mkdir -p "$tools/platforms"
echo "another program's library" >"$tools/other.dll"
echo "another program's plugin" >"$tools/platforms/other.dll"
"$wine" "$tmp/new-setup.exe" /S "/D=$local_appdata\\Tools"
[ "$(cat "$tools/plimora.exe" 2>/dev/null)" = "plimora.exe 1.1" ] ||
    fault "installed with /D, plimora.exe is not in the folder given"
for file in other.dll platforms/other.dll; do
    [ -f "$tools/$file" ] || fault "installed into a folder of other programs, their $file is gone"
done
[ "$faults" -eq 0 ]
