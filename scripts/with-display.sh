#!/bin/sh
# Runs a command with the build's Wine prefix ready and an X display to draw on: the user's display when there
# is one, otherwise a private Xvfb that is stopped (after the wineserver) when the command ends.
# Usage: with-display.sh BUILD_DIR test|run COMMAND...
set -u
build_dir=$1
mode=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)

xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    fd_file=$(mktemp)
    Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fd_file" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
    if [ ! -s "$fd_file" ]; then
        echo "with-display.sh: Xvfb did not start" >&2
        kill "$xvfb_pid" 2>/dev/null
        exit 1
    fi
    export DISPLAY=":$(head -n 1 "$fd_file")"
    rm -f "$fd_file"
fi

build_dir=$(cd "$build_dir" && pwd)
. "$here/wine-env.sh"
"$here/wine-prefix.sh" "$build_dir" "$mode"
"$@"
status=$?

wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
fi
exit $status
