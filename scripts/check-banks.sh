#!/bin/sh
# Runs the bank checker under Wine on the banks make was given in BANK, handed over in TESSAVON_CHECK_BANKS so no
# shell splits them first. A value that names a file is one bank, spaces and all ("exams/模擬試験 第1回/questions.json");
# otherwise it is a list read as the shell reads words, a path with spaces in quotes: '"a b/questions.json" c.json'.
# Usage: check-banks.sh BUILD_DIR
set -u
build_dir=$1
banks=${TESSAVON_CHECK_BANKS:-}
if [ -e "$banks" ]; then
    set -- "$banks"
else
    # xargs reads quotes and backslashes as the shell does, without running anything the value holds.
    list=$(printf '%s\n' "$banks" | xargs printf '%s\n') || exit 2
    set -f
    IFS='
'
    # shellcheck disable=SC2086  # split at the line breaks xargs put between the banks
    set -- $list
    unset IFS
    set +f
fi
# The Windows program takes a Linux path as a path on Wine's drive Z:, which is the Linux root; it reads nothing
# from its input, which is not the terminal, so it never waits there as if started from Explorer.
exec "$build_dir/wine-run.sh" "$build_dir/tessavon-check.exe" "$@" </dev/null
