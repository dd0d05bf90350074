#!/bin/sh
# Opens the exam under Wine on the bank in BANK_DIR, started in that folder as a candidate would.
# Usage: run-exam.sh BUILD_DIR BANK_DIR
set -eu
build_dir=$(cd "$1" && pwd)
bank_dir=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${DISPLAY:-}" ]; then
    echo "make run opens a window and needs an X display: run it in a desktop session, or in a virtual one with 'xvfb-run -a make run'." >&2
    exit 1
fi

"$here/wine-prefix.sh" "$build_dir" run
cd "$bank_dir"
exec "$build_dir/wine-run.sh" "$build_dir/tessavon.exe"
