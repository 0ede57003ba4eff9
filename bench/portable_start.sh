#!/bin/sh
# portable_start.sh <archive> <dir> [runs]
#
# Measures the program folder from the user's side: unpacks the archive into
# <dir>, starts plimora-<version>/plimora on $DISPLAY and waits until its
# window is visible; prints the unpacking time, the time from the start of
# unpacking to the visible window and from the program's start to it, then
# stops the program. Repeated [runs] times (default 5), each from an empty
# <dir>. Needs xdotool on the side of the display.
#
# To measure inside another root (a bare Debian 12 made with debootstrap),
# set RUN_IN to the command that enters it, e.g.
#   RUN_IN="chroot --userspec=1000:1000 /srv/bare" sh portable_start.sh \
#       /tmp/plimora-1.1-linux-x86_64.tar.gz /home/user/t
# <archive> and <dir> are then paths inside that root, and <dir> must be
# writable there.
set -eu
if [ $# -lt 2 ]; then
    echo "usage: portable_start.sh <archive> <dir> [runs]" >&2
    exit 2
fi
archive=$1
dir=$2
runs=${3:-5}
: "${DISPLAY:?DISPLAY must name a running X server}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

ms() { # ms <ns> <ns>: the difference in milliseconds
    echo $((($2 - $1) / 1000000))
}

i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    # shellcheck disable=SC2086 # RUN_IN is a command with its arguments
    ${RUN_IN:-} /bin/sh -c 'rm -rf "$1" && mkdir -p "$1"' sh "$dir"
    t0=$(date +%s%N)
    # shellcheck disable=SC2086
    ${RUN_IN:-} /usr/bin/env DISPLAY="$DISPLAY" /bin/sh -c \
        'cd "$1" && tar xzf "$2" && echo "unpacked $(date +%s%N)" && exec ./plimora-*/plimora' \
        sh "$dir" "$archive" >"$log" 2>&1 &
    pid=$!
    tries=0
    until xdotool search --onlyvisible --name '^Plimora$' >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 1200 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "run $i: no window within a minute" >&2
            cat "$log" >&2
            kill "$pid" 2>/dev/null || true
            exit 1
        fi
        sleep 0.05
    done
    t1=$(date +%s%N)
    tu=$(sed -n 's/^unpacked //p' "$log")
    echo "run $i: unpacking $(ms "$t0" "$tu") ms; unpacking to window $(ms "$t0" "$t1") ms;" \
        "program start to window $(ms "$tu" "$t1") ms"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    while xdotool search --onlyvisible --name '^Plimora$' >/dev/null 2>&1; do sleep 0.05; done
done
