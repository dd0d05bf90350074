#!/bin/sh
# Runs every test under Wine. Expects the display and the prefix that with-display.sh prepares.
# Usage: run-tests.sh BUILD_DIR [ctest arguments...]
set -u
build_dir=$1
shift
# One program holding a window keeps Wine's desktop process running for the whole run (see desktop_keeper.cpp);
# its output goes nowhere so it never holds a test's output open. The wineserver's end stops it.
"$build_dir/wine-run.sh" "$build_dir/tests/desktop_keeper.exe" </dev/null >/dev/null 2>&1 &
ctest --test-dir "$build_dir" --output-on-failure "$@"
