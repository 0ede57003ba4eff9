#!/bin/sh
# startup_bench_test.sh <startup_bench>
# Runs one round of the bench on an Xvfb of its own and checks that it saw
# both programs' windows (the lookup window, not a message that the store is
# missing) and printed every measure. 77 (skipped) without Xvfb.
set -eu
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "Xvfb not installed: the bench was not run"
    exit 77
fi
out=$("$1" --runs 1 --settle 0 2>&1) || {
    printf '%s\n' "$out"
    echo "FAULT: startup_bench failed"
    exit 1
}
printf '%s\n' "$out"
for line in 'first windows: bare_label "bare_label", plimora "Plimora"' \
    'first paint ms' 'peak memory MiB' 'cpu time ms' 'load average after: '; do
    printf '%s\n' "$out" | grep -qF "$line" || {
        echo "FAULT: no line with: $line"
        exit 1
    }
done
