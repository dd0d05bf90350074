#!/bin/sh
# The importer's part of `make bench`. import_bench.exe, under Wine, writes the tables and times the real importer on
# them; then Python's csv and json modules, what an author with a script of their own would use, read each table and
# write its bank, each run a fresh python3 on the Linux side as each import is a fresh process, and the two are set
# side by side, with the checker alone on the bank the importer wrote; a workbook of the 100,000 rows is timed beside
# its CSV. The tables stay in BUILD_DIR/import-bench.
# Usage: import-bench.sh BUILD_DIR [--large]   (--large adds a table of about 100 MB of short rows)
set -eu
build_dir=$(cd "$1" && pwd)
shift
mkdir -p "$build_dir/import-bench"
cd "$build_dir/import-bench"
"$build_dir/wine-run.sh" "$build_dir/bench/import_bench.exe" "$@"
# The 100,000 rows again as Excel saves a workbook (its texts in the shared strings, deflated), timed beside the same
# rows' CSV. Wine's XmlLite refuses the shared strings of these rows from about 20,000 of them (NC_E_QNAMECHARACTER
# amid the Japanese texts; 1,000 rows and all-ASCII texts read), so both are made of the rows with every character
# beyond ASCII written as x: the same sizes and cells, what Wine can read.
python3 - table-100000.csv workbook-100000.csv workbook-100000.xlsx <<'PYTHON'
import csv, sys, zipfile
from xml.sax.saxutils import escape

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
with open(sys.argv[1], newline="", encoding="utf-8-sig") as f:
    rows = [["".join(c if ord(c) < 128 else "x" for c in text) for text in row] for row in csv.reader(f)]
with open(sys.argv[2], "w", newline="", encoding="utf-8-sig") as f:
    csv.writer(f, lineterminator="\r\n").writerows(rows)
strings, index, sheet = [], {}, []
for r, row in enumerate(rows, 1):
    cells = []
    for c, text in enumerate(row):
        if text not in index:
            index[text] = len(strings)
            strings.append(text)
        cells.append('<c r="%s%d" t="s"><v>%d</v></c>' % ("ABCDEFGHIJ"[c], r, index[text]))
    sheet.append('<row r="%d">%s</row>' % (r, "".join(cells)))
parts = {
    "[Content_Types].xml": HEAD + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
    "_rels/.rels": HEAD + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % REL,
    "xl/workbook.xml": HEAD + '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="Questions" sheetId="1" '
        'r:id="rId1"/></sheets></workbook>' % (MAIN, REL),
    "xl/_rels/workbook.xml.rels": HEAD + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
        'relationships"><Relationship Id="rId1" Type="%s/worksheet" Target="worksheets/sheet1.xml"/>'
        '<Relationship Id="rId2" Type="%s/sharedStrings" Target="sharedStrings.xml"/></Relationships>' % (REL, REL),
    "xl/worksheets/sheet1.xml": HEAD + '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>'
        % (MAIN, "".join(sheet)),
    "xl/sharedStrings.xml": HEAD + '<sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>' % (MAIN, len(strings),
        len(strings), "".join('<si><t>%s</t></si>' % escape(t) for t in strings)),
}
with zipfile.ZipFile(sys.argv[3], "w", zipfile.ZIP_DEFLATED) as z:
    for name, text in parts.items():
        z.writestr(name, text.encode("utf-8"))
PYTHON
"$build_dir/wine-run.sh" "$build_dir/bench/import_bench.exe" --workbook workbook-100000.xlsx workbook-100000.csv
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
print("%-22s %9s %10s %10s %14s %14s %14s" % ("table", "rows", "python ms", "us a row", "importer ms", "importer/python",
                                             "check/python"))
for line in open(sys.argv[1]):
    name, rows, size, importer_ms, peak, check_ms = line.split()
    rows, importer_ms, check_ms = int(rows), float(importer_ms), float(check_ms)
    times = []
    for _ in range(1 if rows > 100000 else 5):
        start = time.perf_counter()
        subprocess.run([sys.executable, "-c", CONVERT, name, "python-bank.json"], check=True)
        times.append((time.perf_counter() - start) * 1000)
    python_ms = statistics.median(times)
    print("%-22s %9d %10.0f %10.1f %14.0f %13.2fx %13.2fx" % (name, rows, python_ms, python_ms * 1000 / rows,
                                                               importer_ms, importer_ms / python_ms,
                                                               check_ms / python_ms))
PYTHON
rm -f python-bank.json
