#!/bin/sh
# The importer's part of `make bench`. import_bench.exe, under Wine, writes the tables and times the real importer on
# them; then Python's csv and json modules, what an author with a script of their own would use, read each table and
# write its bank, each run a fresh python3 on the Linux side as each import is a fresh process, and the two are set
# side by side. The tables stay in BUILD_DIR/import-bench.
# Usage: import-bench.sh BUILD_DIR [--large]   (--large adds a table of about 100 MB of short rows)
set -eu
build_dir=$(cd "$1" && pwd)
shift
mkdir -p "$build_dir/import-bench"
cd "$build_dir/import-bench"
"$build_dir/wine-run.sh" "$build_dir/bench/import_bench.exe" "$@"
python3 - importer.txt <<'PYTHON'
import statistics, subprocess, sys, time

# Reads the table as an author's script would, with the header's names, and writes the bank as the importer lays it
# out: UTF-8, two spaces of indent.
CONVERT = r'''
import csv, json, sys
with open(sys.argv[1], newline="", encoding="utf-8-sig") as f:
    rows = list(csv.reader(f))
header = [name.strip().lower() for name in rows[0]]
question, answer = header.index("question"), header.index("answer")
options = [header.index(letter) for letter in "abcd"]
bank = [{"questionText": row[question], "options": [row[k] for k in options],
         "correctAnswer": "ABCD".index(row[answer])} for row in rows[1:] if any(row)]
with open(sys.argv[2], "w", encoding="utf-8", newline="\n") as f:
    json.dump(bank, f, ensure_ascii=False, indent=2)
    f.write("\n")
'''

print("\nPython's csv and json (a fresh python3 each run, median of 5 runs, 1 for the short rows) beside the importer")
print("%-22s %9s %10s %10s %14s %14s" % ("table", "rows", "python ms", "us a row", "importer ms", "importer/python"))
for line in open(sys.argv[1]):
    name, rows, size, importer_ms, peak = line.split()
    rows, importer_ms = int(rows), float(importer_ms)
    times = []
    for _ in range(1 if rows > 100000 else 5):
        start = time.perf_counter()
        subprocess.run([sys.executable, "-c", CONVERT, name, "python-bank.json"], check=True)
        times.append((time.perf_counter() - start) * 1000)
    python_ms = statistics.median(times)
    print("%-22s %9d %10.0f %10.1f %14.0f %13.2fx" % (name, rows, python_ms, python_ms * 1000 / rows, importer_ms,
                                                        importer_ms / python_ms))
PYTHON
rm -f python-bank.json
