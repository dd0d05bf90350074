#!/bin/sh
# Creates or refreshes the build's private Wine prefix and starts one persistent wineserver in it.
# Usage: wine-prefix.sh BUILD_DIR test|run
#   test: no window-manager integration (without a window manager Wine waits 2 s at every window close)
#   run:  windows managed by the desktop's window manager, as a user expects
set -eu
build_dir=$(cd "$1" && pwd)
mode=$2
. "$(dirname "$0")/wine-env.sh"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once per build folder)..."
fi
# A wineserver left over from an interrupted run would keep its old services and display; start afresh.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineboot -i >/dev/null 2>&1

managed=Y
[ "$mode" = test ] && managed=N
# A REGEDIT4 multi-string is hex(7): the bytes of each string and a 0, then one more 0.
multi_sz() {
    { printf '%s\0' "$@"; printf '\0'; } | od -An -v -tx1 | tr -s ' \n' '  ' | sed 's/^ //; s/ $//; s/ /,/g'
}
# Message boxes showed Japanese as squares; DejaVu Sans leads the links because Wine draws a missing font in its first.
# IPAPGothic, standing in for Yu Gothic UI, lacks a few characters a bank may hold (≤, ≥ and others): it is linked to
# DejaVu Sans, which draws them.
dialog_link=$(multi_sz "DejaVuSans.ttf,DejaVu Sans" "ipagp.ttf,IPAPGothic")
reg_file="$build_dir/wine-settings.reg"
cat > "$reg_file" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="$managed"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"Yu Gothic UI"="IPAPGothic"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]
"Tahoma"=hex(7):$dialog_link
"MS Shell Dlg"=hex(7):$dialog_link
"MS Shell Dlg 2"=hex(7):$dialog_link
"Microsoft Sans Serif"=hex(7):$dialog_link
"Segoe UI"=hex(7):$dialog_link
"DejaVu Sans"=hex(7):$(multi_sz "ipagp.ttf,IPAPGothic")
"IPAPGothic"=hex(7):$(multi_sz "DejaVuSans.ttf,DejaVu Sans")
REG
wine regedit /S "$(winepath -w "$reg_file" 2>/dev/null)" >/dev/null 2>&1
wineserver -w
wineserver -p
# Start Wine's background services now, detached from our output: started later by a test, they would inherit
# its stdout and CTest would wait for them to close it.
wine cmd /c exit </dev/null >/dev/null 2>&1
