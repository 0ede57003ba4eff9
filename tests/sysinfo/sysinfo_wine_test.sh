#!/bin/sh
# Runs the Windows system-information backend against Wine's registry.
# Usage: sysinfo_wine_test.sh <sysinfo_wine_test.exe> <sysinfo_wine_child.exe>
# Exits 77 (reported by CTest as skipped) when mingw-w64 or Wine is missing.
set -eu

test_exe=${1:-}
child_exe=${2:-}
if [ -z "$test_exe" ] || [ ! -f "$test_exe" ] || [ ! -f "$child_exe" ]; then
    echo "SKIP: the Windows test programs were not built (x86_64-w64-mingw32-g++-posix missing)"
    exit 77
fi
wine=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        wine=$candidate
        break
    fi
done
wineserver=""
for candidate in /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        wineserver=$candidate
        break
    fi
done
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
    echo "SKIP: Wine not found (install wine64)"
    exit 77
fi

started=$(date +%s.%N)
work=$(mktemp -d "${TMPDIR:-/tmp}/plimora-sysinfo-wine.XXXXXX")
# A fresh prefix: the test writes HKEY_LOCAL_MACHINE, which lives inside it.
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# UTF-8 on the Unix side and Wine's default ANSI code page (1252) on the
# Windows side, so registry text really goes through a code page conversion.
export LC_ALL=C.UTF-8
# No Mono or Gecko install prompts: the test needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Wine's default prefix maps / to Z:.
windows_work=Z:$(printf '%s' "$work" | tr / '\\')

mkdir "$work/Plimora Tools"
cp "$child_exe" "$work/Plimora Tools/msinfo.exe"
cp "$child_exe" "$work/Plimora Tools/MSINFO32.EXE"
cp "$child_exe" "$work/Plimora.exe"

"$wine" wineboot -i >/dev/null 2>&1

reg() { "$wine" reg add "$@" /f >/dev/null; }
reg 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /t REG_SZ \
    /d "$windows_work\\Plimora Tools\\msinfo.exe"
reg 'HKLM\SOFTWARE\Microsoft\Shared Tools Location' /v MSINFO /t REG_SZ \
    /d "$windows_work\\Plimora Tools"
reg 'HKLM\SOFTWARE\Plimora\SysInfoTest' /v Number /t REG_DWORD /d 261
reg 'HKLM\SOFTWARE\Plimora\SysInfoTest' /v Wide /t REG_DWORD /d 305419896
reg 'HKLM\SOFTWARE\Plimora\SysInfoTest' /v Text /t REG_SZ /d 'Café'
reg 'HKLM\SOFTWARE\Plimora\SysInfoTest' /v Long /t REG_SZ /d "$(printf '%1100s' '' | tr ' ' x)"
reg 'HKLM\SOFTWARE\Plimora\SysInfoTest' /v Expandable /t REG_EXPAND_SZ \
    /d '%SystemRoot%\system32\msinfo32.exe'

status=0
"$wine" "$test_exe" "$windows_work" || status=$?
awk -v from="$started" -v to="$(date +%s.%N)" 'BEGIN { printf "wine test took %.1f s\n", to - from }'
exit $status
