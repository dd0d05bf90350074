#!/bin/sh
# Takes the README's pictures of the exam window: one on the sample bank, and others each on a bank holding a single
# question (so those pictures are the same every time): a Japanese one, a long scenario, and, taken from the sample
# bank, a long fact pattern, a Japanese one whose lines break where Japanese allows, and a question whose answers
# are code. Each is taken in a Wine virtual desktop, so Wine draws the
# title bar, and cropped to that desktop. Run it on a private X display (make screenshot does), or the picture
# may catch whatever else is on the screen.
# Usage: screenshot.sh BUILD_DIR OUT_DIR
set -eu
build_dir=$(cd "$1" && pwd)
mkdir -p "$2"
out_dir=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
examples_dir=$(cd "$here/../examples" && pwd)

DESKTOP_NAME=Tessavon
DESKTOP_SIZE=1024x768
WAIT_SECONDS=60

if [ -z "${DISPLAY:-}" ]; then
    echo "screenshot.sh needs an X display; run it through 'make screenshot'." >&2
    exit 1
fi
. "$here/wine-env.sh"

# Wine draws the title bar's buttons with its Marlett font (package fonts-wine), but Debian's Wine 8 does not look
# in its own font folder, so the buttons would show as "0 1 r". A font in the prefix's Fonts folder is found.
wine_fonts=/usr/share/wine/fonts
if [ -f "$wine_fonts/marlett.ttf" ]; then
    ln -sf "$wine_fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
fi

scratch=$(mktemp -d)
desktop_pid=
cleanup() {
    if [ -n "$desktop_pid" ]; then kill "$desktop_pid" 2>/dev/null; fi
    wineserver -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# The id of the X window with this exact name and class, or nothing.
find_window() {
    xwininfo -root -tree | sed -n "s/^ *\(0x[0-9a-f]*\) \"$1\": (\"$2\".*/\1/p" | head -n 1
}

is_viewable() {
    xwininfo -id "$1" | grep -q 'Map State: IsViewable'
}

# The value of one line of xwininfo's report on a window ("Width", "Absolute upper-left X", ...).
window_value() {
    xwininfo -id "$1" | sed -n "s/^ *$2: *\([0-9-]*\).*/\1/p"
}

# Starts the exam in BANK_DIR inside the virtual desktop, waits for its window, and writes the desktop to PNG.
shoot() {
    bank_dir=$1
    png=$2
    (cd "$bank_dir" && exec "$build_dir/wine-run.sh" explorer "/desktop=$DESKTOP_NAME,$DESKTOP_SIZE" \
        "$build_dir/tessavon.exe" </dev/null >/dev/null 2>&1) &
    desktop_pid=$!

    window=
    tries=$((WAIT_SECONDS * 10))
    while [ "$tries" -gt 0 ]; do
        window=$(find_window Tessavon tessavon.exe)
        [ -n "$window" ] && is_viewable "$window" && break
        window=
        tries=$((tries - 1))
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "screenshot.sh: the exam window did not open within $WAIT_SECONDS s (bank in $bank_dir)" >&2
        exit 1
    fi
    desktop=$(find_window "$DESKTOP_NAME - Wine desktop" explorer.exe)

    # Mapped is not yet painted: take pictures until two in a row agree (the countdown changes once a second,
    # so two taken a moment apart usually do), giving up after a few seconds. The last one ends up in $previous.
    previous="$scratch/previous.xwd"
    current="$scratch/current.xwd"
    sleep 1
    xwd -silent -root -out "$previous"
    for _ in $(seq 20); do
        sleep 0.3
        xwd -silent -root -out "$current"
        cmp -s "$previous" "$current" && break
        mv "$current" "$previous"
    done

    geometry="$(window_value "$desktop" Width)x$(window_value "$desktop" Height)"
    geometry="$geometry+$(window_value "$desktop" 'Absolute upper-left X')+$(window_value "$desktop" 'Absolute upper-left Y')"
    # No time stamps in the file, so an unchanged picture leaves git with nothing to commit.
    convert "xwd:$previous" -crop "$geometry" +repage -strip -define png:exclude-chunks=date,time "png:$png"
    echo "Wrote $png ($geometry of the screen)"

    kill "$desktop_pid" 2>/dev/null
    desktop_pid=
    # The next desktop of the same name would otherwise join this one.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

shoot "$examples_dir" "$out_dir/screenshot.png"

mkdir "$scratch/japanese"
cat > "$scratch/japanese/questions.json" <<'JSON'
[
  {
    "questionText": "ソーシャルエンジニアリングの例として最も適切なものはどれか。",
    "options": [
      "ファイアウォールで不要なポートを閉じる",
      "ディスク全体を暗号化する",
      "OSにセキュリティ更新を適用する",
      "ヘルプデスクを装って電話し、パスワードを聞き出す"
    ],
    "correctAnswer": 3
  }
]
JSON
shoot "$scratch/japanese" "$out_dir/screenshot-japanese.png"

# A scenario question of about 770 characters with options of up to 165: the question in a smaller font, the
# options sharing one smaller font on two lines.
mkdir "$scratch/long"
cat > "$scratch/long/questions.json" <<'JSON'
[
  {
    "questionText": "An online retailer runs its checkout service on six virtual machines behind a load balancer. During a seasonal sale the machines reach 95 percent CPU and customers see timeouts, yet for the rest of the year the same machines idle at about 10 percent. The finance team wants to stop paying for capacity that sits unused most of the year, and the operations team wants the service to stay responsive without anyone having to add machines by hand at two in the morning. The application keeps no session state on the machines, and a new machine takes about four minutes from start until it passes the load balancer's health check. Last year's sale also showed that traffic doubles within ten minutes of the first marketing e-mail going out. What should the architect propose?",
    "options": [
      "Buy larger virtual machines with twice the CPU so that the peak fits comfortably",
      "Put the machines in an auto-scaling group that adds and removes instances based on average CPU load, with a minimum of two instances spread across availability zones",
      "Move the database to a bigger server, because checkout timeouts are always caused by the database",
      "Schedule a script that restarts all six machines every night to clear memory leaks"
    ],
    "correctAnswer": 1
  }
]
JSON
shoot "$scratch/long" "$out_dir/screenshot-long.png"

# The sample bank's own fact pattern and code question, each alone in a bank: the question and its options share
# the page at one smaller size, and the code answers show as their lines.
only_question() {
    mkdir "$scratch/$1"
    python3 - "$examples_dir/questions.json" "$2" > "$scratch/$1/questions.json" <<'PY'
import json, sys
bank = json.load(open(sys.argv[1], encoding="utf-8"))
json.dump([q for q in bank if q["questionText"].startswith(sys.argv[2])], sys.stdout)
PY
    shoot "$scratch/$1" "$out_dir/screenshot-$1.png"
}
only_question fact "A mid-sized accounting firm"
only_question japanese-fact "ある地方の通販会社"
only_question code "A developer needs a Python function"
