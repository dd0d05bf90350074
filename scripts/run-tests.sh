#!/bin/sh
# Runs every test under Wine. Expects the display and the prefix that with-display.sh prepares.
# Usage: run-tests.sh BUILD_DIR [ctest arguments...]
set -u
build_dir=$1
shift
# One program holding a window keeps Wine's desktop process running for the whole run (see desktop_keeper.cpp);
# its output goes nowhere so it never holds a test's output open. The wineserver's end stops it. The tests start
# once its window is up (at most 30 s): the desktop is then running, and no test starts it with its own output.
ready="$build_dir/desktop-keeper.ready"
rm -f "$ready"
"$build_dir/wine-run.sh" "$build_dir/tests/desktop_keeper.exe" "$(winepath -w "$ready" 2>/dev/null)" \
    </dev/null >/dev/null 2>&1 &
for _ in $(seq 300); do [ -e "$ready" ] && break; sleep 0.1; done
[ -e "$ready" ] || echo "run-tests.sh: the desktop keeper did not start; tests may be slow to end" >&2
# Tests run side by side, a few more than the processors: many of them wait on Wine or the display, not the CPU.
# Those that open windows share the desktop's slots (tests/CMakeLists.txt); one that must be alone on it takes all.
ctest --test-dir "$build_dir" --output-on-failure --parallel "${TESSAVON_TEST_JOBS:-$(($(nproc) + 2))}" "$@"
