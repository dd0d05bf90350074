// Workbooks read as their formats lay them out: an .xlsx (Office Open XML) holds its sheets, shared strings and
// styles as XML parts named by relationships; an .ods (OpenDocument) holds every sheet in content.xml with each
// cell's shown text already in its paragraphs. Both are zip archives (zip_archive.h) of XML (xml_reading.h).
#include "workbook_reading.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "number_formats.h"
#include "xml_reading.h"
#include "zip_archive.h"

namespace {

const char COMPOUND_SIGNATURE[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

Table Refused(const std::string& text) {
    Table table;
    table.workbook = true;
    table.separator = 0;
    table.problems.push_back({0, 0, text});
    return table;
}

// An OLE compound file's directory entries are 128 bytes each, in sectors after the 512-byte header, each starting
// with its name in UTF-16 and the name's length in bytes at offset 64. Office keeps an encrypted workbook's
// package in such a file beside an "EncryptionInfo" stream.
bool HoldsEncryptionInfo(const std::string& bytes) {
    static const char NAME[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0\0";
    const size_t length = sizeof NAME;  // 30 bytes: 14 characters and the terminating NUL, of two bytes each
    for (size_t at = 512; at + 128 <= bytes.size(); at += 128) {
        if (std::memcmp(bytes.data() + at, NAME, length) == 0 && static_cast<unsigned char>(bytes[at + 64]) == length &&
            bytes[at + 65] == 0) {
            return true;
        }
    }
    return false;
}

std::string Lowered(const std::string& text) {
    std::string lowered = text;
    for (char& c : lowered) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lowered;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A part of the archive read whole; `problem` says which part is missing or why it cannot be read.
ZipContent ReadPart(const std::string& bytes, const ZipArchive& archive, const std::string& name) {
    const ZipEntry* entry = FindZipEntry(archive, name);
    if (!entry) {
        return {{}, "the workbook has no part \"" + name +
                        "\", which every workbook has: open it in the spreadsheet and save it again"};
    }
    return ReadZipEntry(bytes, *entry);
}

std::string XmlProblem(const std::string& part, const XmlReading& reading) {
    return "\"" + part + "\" in the workbook cannot be read: " + reading.problem +
           ". Open the workbook in the spreadsheet and save it again";
}

// What to do about a sheet too large to read.
const char TRIM[] = ": delete what lies beyond the questions' rows and columns, or save the questions as CSV UTF-8";

// The sheet being read: its rows in order, each holding its cells from column A.
struct Sheet {
    std::vector<TableRow> rows;
    std::vector<TableProblem> problems;
    size_t width = 0;  // the widest row's cells
    size_t cells = 0;  // cells with text kept, repeats and all
    std::string absurd;  // why the sheet is refused whole
};

void PutCell(Sheet& sheet, size_t row, size_t column, std::string text) {
    if (text.empty() || !sheet.absurd.empty()) return;
    if (row > SHEET_ROW_LIMIT || column > SHEET_COLUMN_LIMIT) {
        sheet.absurd =
            "the sheet has a cell beyond the spreadsheet's last row (1,048,576) or column (XFD)" + std::string(TRIM);
        return;
    }
    if (++sheet.cells > SHEET_CELL_LIMIT) {
        sheet.absurd = "the sheet holds over " + std::to_string(SHEET_CELL_LIMIT) + " cells with text" + TRIM;
        return;
    }
    if (sheet.rows.empty() || sheet.rows.back().row < row) {
        sheet.rows.push_back({row, {}});
        // As wide as the rows before, most likely: the row's cells are not moved as each is added.
        sheet.rows.back().cells.reserve(sheet.width);
    } else if (sheet.rows.back().row > row) {
        sheet.absurd = "the sheet's rows are out of order, as no spreadsheet writes them: open the workbook in the "
                       "spreadsheet and save it again";
        return;
    }
    std::vector<std::string>& cells = sheet.rows.back().cells;
    // Rows are made as wide as the widest at the end: their cells together are bounded before any is made.
    if (sheet.rows.size() * std::max(sheet.width, column) > SHEET_CELL_LIMIT) {
        sheet.absurd = "the sheet's used part reaches row " + std::to_string(row) + " and column " +
                       std::to_string(std::max(sheet.width, column)) + ", more than a bank of questions fills" + TRIM;
        return;
    }
    if (cells.size() < column) cells.resize(column);
    cells[column - 1] = std::move(text);
    sheet.width = std::max(sheet.width, cells.size());
}

// The table of the sheet: every row as wide as the widest, as the spreadsheet's CSV has them.
Table Finished(Sheet&& sheet, const std::string& encoding) {
    if (!sheet.absurd.empty()) return Refused(sheet.absurd);
    Table table;
    table.workbook = true;
    table.separator = 0;
    table.encoding = encoding;
    table.problems = std::move(sheet.problems);
    for (TableRow& row : sheet.rows) {
        row.cells.resize(sheet.width);
        const bool blank =
            std::all_of(row.cells.begin(), row.cells.end(), [](const std::string& c) { return c.empty(); });
        if (!blank) table.rows.push_back(std::move(row));
    }
    return table;
}

std::string SheetList(const std::vector<std::string>& names) {
    std::string list;
    for (size_t i = 0; i < names.size(); ++i) {
        list += (i ? ", " : "") + std::to_string(i + 1) + " \"" + names[i] + "\"";
    }
    return list;
}

// Which of `names` the author chose: by name (case aside, as spreadsheets compare them), else by number from 1;
// names.size() when none.
size_t ChosenSheet(const std::vector<std::string>& names, const std::string& sheet) {
    if (sheet.empty()) return 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (Lowered(names[i]) == Lowered(sheet)) return i;
    }
    if (sheet.find_first_not_of("0123456789") == std::string::npos && sheet.size() < 6) {
        const size_t number = std::strtoul(sheet.c_str(), nullptr, 10);
        if (number >= 1 && number <= names.size()) return number - 1;
    }
    return names.size();
}

std::string NoSuchSheet(const std::vector<std::string>& names, const std::string& sheet) {
    return "the workbook has no sheet \"" + sheet + "\": its sheets are " + SheetList(names) +
           "; name one with --sheet, by its name or its number";
}

std::string Phrase(const std::vector<std::string>& names, size_t chosen, const char* kind) {
    return "sheet \"" + names[chosen] + "\" (" + std::to_string(chosen + 1) + " of " + std::to_string(names.size()) +
           ") of the " + kind + " workbook";
}

// The chosen sheet's table, or, when it holds nothing and the workbook has other sheets, a problem naming them:
// the questions are most likely on another. A sheet that holds something names them too, for when its rows turn
// out to be no questions (a sheet of instructions first).
Table NotEmpty(Table&& table, const std::vector<std::string>& names, size_t chosen) {
    if (names.size() >= 2) table.sheets = SheetList(names);
    if (!table.rows.empty() || !table.problems.empty() || names.size() < 2) return std::move(table);
    return Refused("sheet \"" + names[chosen] + "\" (" + std::to_string(chosen + 1) + " of " +
                   std::to_string(names.size()) + ") is empty: name the sheet of questions with --sheet (the sheets "
                   "are " + SheetList(names) + ")");
}

// ---- .xlsx ----

struct Relationship {
    std::string type;    // the last word of its type: "officeDocument", "worksheet", "sharedStrings", "styles"
    std::string target;  // the part's name in the archive
};

// The folder of a part's name, with its slash ("xl/" of "xl/workbook.xml").
std::string Folder(const std::string& part) {
    const size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A target relative to `folder` made a name in the archive: "worksheets/sheet1.xml" of "xl/" is
// "xl/worksheets/sheet1.xml", "/xl/styles.xml" is "xl/styles.xml", and ".." steps out.
std::string Resolved(const std::string& folder, const std::string& target) {
    std::string path = target.rfind('/', 0) == 0 ? target.substr(1) : folder + target;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string resolved;
    for (const std::string& part : parts) resolved += (resolved.empty() ? "" : "/") + part;
    return resolved;
}

struct Relationships {
    std::map<std::string, Relationship> by_id;
    std::string problem;
};

Relationships ReadRelationships(const std::string& bytes, const ZipArchive& archive, const std::string& part) {
    const std::string name = Folder(part) + "_rels/" + part.substr(Folder(part).size()) + ".rels";
    Relationships relationships;
    const ZipContent content = ReadPart(bytes, archive, name);
    if (!content.problem.empty()) return {{}, content.problem};
    const XmlReading reading = ReadXml(content.bytes, [&](const XmlNode& node) {
        if (node.kind != XmlNodeKind::Start || node.name != "Relationship") return true;
        const std::string* id = FindAttribute(node, "Id");
        const std::string* type = FindAttribute(node, "Type");
        const std::string* target = FindAttribute(node, "Target");
        const std::string* mode = FindAttribute(node, "TargetMode");
        if (!id || !type || !target || (mode && *mode == "External")) return true;
        relationships.by_id[*id] = {type->substr(type->rfind('/') + 1), Resolved(Folder(part), *target)};
        return true;
    });
    if (!reading.problem.empty()) return {{}, XmlProblem(name, reading)};
    return relationships;
}

std::string FirstTarget(const Relationships& relationships, const std::string& type) {
    for (const auto& [id, relationship] : relationships.by_id) {
        if (relationship.type == type) return relationship.target;
    }
    return std::string();
}

// The text of a shared string or an inline string: its runs joined; phonetic readings (<rPh>) left out, since the
// cell does not show them.
struct RichText {
    std::string text;
    size_t phonetic = 0;  // depth inside <rPh>
    bool in_text = false;
};

void TakeRichText(RichText& rich, const XmlNode& node) {
    if (node.kind == XmlNodeKind::Start) {
        if (node.name == "rPh") ++rich.phonetic;
        if (node.name == "t") rich.in_text = true;
    } else if (node.kind == XmlNodeKind::End) {
        if (node.name == "rPh" && rich.phonetic) --rich.phonetic;
        if (node.name == "t") rich.in_text = false;
    } else if (rich.in_text && !rich.phonetic) {
        rich.text += node.text;
    }
}

struct Styles {
    std::map<int, std::string> formats;  // custom formats by id
    std::vector<int> cell_formats;       // cellXfs: each style's number format id
};

// A cell reference's column from 1 ("C7" is 3); 0 when it has none.
size_t ColumnOf(const std::string& reference) {
    size_t column = 0;
    for (char c : reference) {
        const char upper = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        if (upper < 'A' || upper > 'Z') break;
        column = column * 26 + static_cast<size_t>(upper - 'A' + 1);
        if (column > SHEET_COLUMN_LIMIT) return SHEET_COLUMN_LIMIT + 1;
    }
    return column;
}

size_t RowOf(const std::string& reference) {
    const size_t digits = reference.find_first_of("0123456789");
    if (digits == std::string::npos) return 0;
    if (reference.size() - digits > 8) return SHEET_ROW_LIMIT + 1;
    return std::strtoul(reference.c_str() + digits, nullptr, 10);
}

// One cell of a sheet as its XML gives it, until its end.
struct XlsxCell {
    size_t row = 0;
    size_t column = 0;
    std::string type;  // the t attribute: s, str, inlineStr, b, e, n (or none)
    int style = 0;
    bool formula = false;
    bool has_value = false;
    std::string value;
    RichText inline_text;
    bool in_value = false;
    bool in_inline = false;
};

std::string ShownXlsxCell(const XlsxCell& cell, const std::vector<std::string>& strings, const Styles& styles,
                          const std::string& short_date, bool date1904, std::string& problem) {
    if (cell.type == "inlineStr") return cell.inline_text.text;
    if (!cell.has_value) {
        if (cell.formula) {
            problem = "the formula in this cell has no saved result: open the workbook in the spreadsheet, let it "
                      "calculate (F9) and save it again, or type the value itself";
        }
        return std::string();
    }
    if (cell.type == "s") {
        char* end = nullptr;
        const unsigned long index = std::strtoul(cell.value.c_str(), &end, 10);
        if (cell.value.empty() || *end || index >= strings.size()) {
            problem = "this cell refers to a shared text the workbook does not hold: the workbook is damaged; open "
                      "it in the spreadsheet and save it again";
            return std::string();
        }
        return strings[index];
    }
    if (cell.type == "b") return cell.value == "1" || cell.value == "true" ? "TRUE" : "FALSE";
    if (cell.type == "str" || cell.type == "e" || cell.type == "d") return cell.value;
    char* end = nullptr;
    const double number = std::strtod(cell.value.c_str(), &end);
    if (cell.value.empty() || *end) {
        problem = "this cell's number \"" + cell.value + "\" is not a number: the workbook is damaged; open it in "
                  "the spreadsheet and save it again";
        return std::string();
    }
    const int format_id = cell.style >= 0 && static_cast<size_t>(cell.style) < styles.cell_formats.size()
                              ? styles.cell_formats[static_cast<size_t>(cell.style)]
                              : 0;
    const auto custom = styles.formats.find(format_id);
    const std::string code = custom != styles.formats.end() ? custom->second : BuiltInFormatCode(format_id, short_date);
    const ShownNumber shown = code.empty() ? ShownNumber{"", true} : ShowNumber(number, code, date1904);
    if (shown.refused) {
        problem = "the number " + cell.value + " is shown in the format " +
                  (code.empty() ? "number " + std::to_string(format_id) : "\"" + code + "\"") +
                  ", which cannot be read exactly as the spreadsheet shows it: make the column Text and type "
                  "each value as it should show";
    }
    return shown.text;
}

Table ReadXlsx(const std::string& bytes, const ZipArchive& archive, const std::string& workbook_part,
               const std::string& chosen_sheet) {
    const Relationships relationships = ReadRelationships(bytes, archive, workbook_part);
    if (!relationships.problem.empty()) return Refused(relationships.problem);

    // The sheets in the workbook's order, and its date system.
    struct SheetEntry {
        std::string name;
        std::string id;
    };
    std::vector<SheetEntry> entries;
    bool date1904 = false;
    const ZipContent workbook = ReadPart(bytes, archive, workbook_part);
    if (!workbook.problem.empty()) return Refused(workbook.problem);
    XmlReading reading = ReadXml(workbook.bytes, [&](const XmlNode& node) {
        if (node.kind != XmlNodeKind::Start) return true;
        if (node.name == "workbookPr") {
            const std::string* value = FindAttribute(node, "date1904");
            date1904 = value && (*value == "1" || *value == "true");
        } else if (node.name == "sheet") {
            const std::string* name = FindAttribute(node, "name");
            const std::string* id = FindAttribute(node, "id");
            entries.push_back({name ? *name : std::string(), id ? *id : std::string()});
        }
        return true;
    });
    if (!reading.problem.empty()) return Refused(XmlProblem(workbook_part, reading));
    if (entries.empty()) return Refused("the workbook has no sheet: open it in the spreadsheet and save it again");
    std::vector<std::string> names;
    for (const SheetEntry& entry : entries) names.push_back(entry.name);
    const size_t chosen = ChosenSheet(names, chosen_sheet);
    if (chosen == names.size()) return Refused(NoSuchSheet(names, chosen_sheet));
    const auto relationship = relationships.by_id.find(entries[chosen].id);
    if (relationship == relationships.by_id.end()) {
        return Refused("the workbook names no part for sheet \"" + names[chosen] +
                       "\": open it in the spreadsheet and save it again");
    }
    if (relationship->second.type != "worksheet") {
        return Refused("sheet \"" + names[chosen] + "\" is a " +
                       (relationship->second.type == "chartsheet" ? std::string("chart") : relationship->second.type) +
                       ", not a sheet of cells: name the sheet of questions with --sheet (the sheets are " +
                       SheetList(names) + ")");
    }

    std::vector<std::string> strings;
    const std::string strings_part = FirstTarget(relationships, "sharedStrings");
    if (!strings_part.empty()) {
        const ZipContent content = ReadPart(bytes, archive, strings_part);
        if (!content.problem.empty()) return Refused(content.problem);
        RichText rich;
        reading = ReadXml(content.bytes, [&](const XmlNode& node) {
            if (node.kind == XmlNodeKind::Start && node.name == "si") rich = RichText();
            TakeRichText(rich, node);
            if (node.kind == XmlNodeKind::End && node.name == "si") strings.push_back(std::move(rich.text));
            return true;
        });
        if (!reading.problem.empty()) return Refused(XmlProblem(strings_part, reading));
    }

    Styles styles;
    const std::string styles_part = FirstTarget(relationships, "styles");
    if (!styles_part.empty()) {
        const ZipContent content = ReadPart(bytes, archive, styles_part);
        if (!content.problem.empty()) return Refused(content.problem);
        bool in_cell_formats = false;
        reading = ReadXml(content.bytes, [&](const XmlNode& node) {
            if (node.name == "cellXfs") in_cell_formats = node.kind == XmlNodeKind::Start;
            if (node.kind != XmlNodeKind::Start) return true;
            const std::string* id = FindAttribute(node, "numFmtId");
            if (node.name == "numFmt" && id) {
                const std::string* code = FindAttribute(node, "formatCode");
                styles.formats[std::atoi(id->c_str())] = code ? *code : std::string();
            } else if (node.name == "xf" && in_cell_formats) {
                styles.cell_formats.push_back(id ? std::atoi(id->c_str()) : 0);
            }
            return true;
        });
        if (!reading.problem.empty()) return Refused(XmlProblem(styles_part, reading));
    }

    const std::string sheet_part = relationship->second.target;
    const ZipContent content = ReadPart(bytes, archive, sheet_part);
    if (!content.problem.empty()) return Refused(content.problem);
    const std::string short_date = UserShortDateFormat();
    Sheet sheet;
    XlsxCell cell;
    size_t row = 0;
    std::vector<std::string> merges;
    reading = ReadXml(content.bytes, [&](const XmlNode& node) {
        if (node.kind == XmlNodeKind::Start) {
            if (node.name == "row") {
                const std::string* r = FindAttribute(node, "r");
                row = r ? std::strtoul(r->c_str(), nullptr, 10) : row + 1;
                if (r && r->size() > 8) row = SHEET_ROW_LIMIT + 1;
                cell.column = 0;
            } else if (node.name == "c") {
                const std::string* r = FindAttribute(node, "r");
                const std::string* t = FindAttribute(node, "t");
                const std::string* s = FindAttribute(node, "s");
                const size_t column = r ? ColumnOf(*r) : cell.column + 1;
                cell = XlsxCell();
                cell.row = r ? RowOf(*r) : row;
                cell.column = column;
                cell.type = t ? *t : std::string();
                cell.style = s ? std::atoi(s->c_str()) : 0;
            } else if (node.name == "f") {
                cell.formula = true;
            } else if (node.name == "v") {
                cell.has_value = true;
                cell.in_value = true;
            } else if (node.name == "is") {
                cell.in_inline = true;
            } else if (node.name == "mergeCell") {
                const std::string* ref = FindAttribute(node, "ref");
                if (ref) merges.push_back(*ref);
            }
        } else if (node.kind == XmlNodeKind::End) {
            if (node.name == "v") {
                cell.in_value = false;
            } else if (node.name == "is") {
                cell.in_inline = false;
            } else if (node.name == "c") {
                if (cell.row == 0 || cell.column == 0) {
                    sheet.absurd = "a cell of the sheet has no place in it, as no spreadsheet writes it: open the "
                                   "workbook in the spreadsheet and save it again";
                    return false;
                }
                std::string problem;
                std::string text = ShownXlsxCell(cell, strings, styles, short_date, date1904, problem);
                if (!problem.empty()) sheet.problems.push_back({cell.row, cell.column, problem});
                PutCell(sheet, cell.row, cell.column, std::move(text));
                return sheet.absurd.empty();
            }
        }
        if (cell.in_inline) TakeRichText(cell.inline_text, node);
        if (node.kind == XmlNodeKind::Text && cell.in_value) cell.value += node.text;
        return true;
    });
    if (!reading.problem.empty()) return Refused(XmlProblem(sheet_part, reading));

    // A merged range shows the first cell's value over the whole range: the others are empty, whatever they hold.
    for (const std::string& ref : merges) {
        const size_t colon = ref.find(':');
        if (colon == std::string::npos) continue;
        const size_t top = RowOf(ref.substr(0, colon)), left = ColumnOf(ref.substr(0, colon));
        const size_t bottom = RowOf(ref.substr(colon + 1)), right = ColumnOf(ref.substr(colon + 1));
        auto at = std::lower_bound(sheet.rows.begin(), sheet.rows.end(), top,
                                   [](const TableRow& r, size_t number) { return r.row < number; });
        for (; at != sheet.rows.end() && at->row <= bottom; ++at) {
            for (size_t column = left; column <= right && column <= at->cells.size(); ++column) {
                if (at->row != top || column != left) at->cells[column - 1].clear();
            }
        }
    }
    return NotEmpty(Finished(std::move(sheet), Phrase(names, chosen, ".xlsx")), names, chosen);
}

// ---- .ods ----

size_t Repeats(const XmlNode& node, const char* attribute) {
    const std::string* value = FindAttribute(node, attribute);
    if (!value) return 1;
    const unsigned long long count = std::strtoull(value->c_str(), nullptr, 10);
    return count == 0 ? 1 : static_cast<size_t>(std::min<unsigned long long>(count, SHEET_ROW_LIMIT * 2));
}

Table ReadOds(const std::string& bytes, const ZipArchive& archive, const std::string& chosen_sheet) {
    if (const ZipEntry* manifest = FindZipEntry(archive, "META-INF/manifest.xml")) {
        const ZipContent content = ReadZipEntry(bytes, *manifest);
        if (!content.problem.empty()) return Refused(content.problem);
        bool encrypted = false;
        const XmlReading reading = ReadXml(content.bytes, [&](const XmlNode& node) {
            encrypted = node.kind == XmlNodeKind::Start && node.name == "encryption-data";
            return !encrypted;
        });
        if (!reading.problem.empty()) return Refused(XmlProblem("META-INF/manifest.xml", reading));
        if (encrypted) {
            return Refused("the workbook is protected by a password: remove the password in the spreadsheet "
                           "(File > Properties > Security), or save the sheet as CSV UTF-8");
        }
    }
    const ZipContent content = ReadPart(bytes, archive, "content.xml");
    if (!content.problem.empty()) return Refused(content.problem);

    std::vector<std::string> names;
    size_t chosen = SIZE_MAX;
    bool reading_sheet = false;
    Sheet sheet;
    size_t row = 0, column = 0;  // the row being read, and the last column placed in it
    size_t row_repeats = 1;
    std::vector<std::pair<size_t, std::string>> row_cells;  // column and text of the row's cells with text
    // The cell being read.
    size_t cell_repeats = 1;
    std::string cell_text;
    size_t paragraphs = 0;
    bool in_cell = false, in_paragraph = false, cell_formula = false, cell_valued = false;
    bool covered = false;  // a cell a merged cell covers: the sheet shows it empty, whatever it still holds
    size_t annotation = 0;  // depth inside a comment, which is not the cell's text
    std::string name_filter = chosen_sheet;

    const XmlReading reading = ReadXml(content.bytes, [&](const XmlNode& node) {
        if (node.name == "table" && node.kind != XmlNodeKind::Text) {
            if (node.kind == XmlNodeKind::Start) {
                const std::string* name = FindAttribute(node, "name");
                names.push_back(name ? *name : std::string());
                bool wanted = chosen == SIZE_MAX;
                if (wanted && !chosen_sheet.empty()) wanted = Lowered(names.back()) == Lowered(chosen_sheet);
                if (wanted) {
                    chosen = names.size() - 1;
                    reading_sheet = true;
                }
            } else {
                reading_sheet = false;
            }
            return true;
        }
        if (!reading_sheet) return true;
        if (node.kind == XmlNodeKind::Start) {
            if (annotation || node.name == "annotation") {
                ++annotation;
            } else if (node.name == "table-row") {
                row_repeats = Repeats(node, "number-rows-repeated");
                row_cells.clear();
                column = 0;
                ++row;
            } else if (node.name == "table-cell" || node.name == "covered-table-cell") {
                in_cell = true;
                covered = node.name == "covered-table-cell";
                cell_repeats = Repeats(node, "number-columns-repeated");
                cell_text.clear();
                paragraphs = 0;
                cell_formula = FindAttribute(node, "formula") != nullptr;
                cell_valued = FindAttribute(node, "value-type") != nullptr;
            } else if (in_cell && node.name == "p") {
                if (paragraphs++) cell_text += '\n';
                in_paragraph = true;
            } else if (in_paragraph && node.name == "s") {
                const std::string* count = FindAttribute(node, "c");
                cell_text.append(count ? std::min<size_t>(std::strtoul(count->c_str(), nullptr, 10), 10000) : 1, ' ');
            } else if (in_paragraph && node.name == "tab") {
                cell_text += '\t';
            } else if (in_paragraph && node.name == "line-break") {
                cell_text += '\n';
            }
        } else if (node.kind == XmlNodeKind::End) {
            if (annotation) {
                --annotation;
            } else if (node.name == "p") {
                in_paragraph = false;
            } else if (node.name == "table-cell" || node.name == "covered-table-cell") {
                in_cell = false;
                if (covered) cell_text.clear();
                if (!covered && cell_formula && !cell_valued && cell_text.empty()) {
                    sheet.problems.push_back({row, column + 1, "the formula in this cell has no saved result: open "
                                              "the workbook in the spreadsheet, let it calculate and save it again, "
                                              "or type the value itself"});
                }
                // Empty repeats (a sheet's trailing thousands of columns) only move the column on.
                if (!cell_text.empty()) {
                    for (size_t i = 0; i < cell_repeats && column + i < SHEET_COLUMN_LIMIT + 1; ++i) {
                        row_cells.push_back({column + i + 1, cell_text});
                        if (row_cells.size() > SHEET_COLUMN_LIMIT) break;
                    }
                }
                column += cell_repeats;
                if (!cell_text.empty() && column > SHEET_COLUMN_LIMIT) {
                    sheet.absurd =
                        "the sheet has a cell beyond the spreadsheet's last column (XFD)" + std::string(TRIM);
                    return false;
                }
            } else if (node.name == "table-row") {
                // A repeated row with text is as many rows; blank repeats (the sheet's trailing million) only
                // move the row on.
                if (!row_cells.empty()) {
                    // Refused before copying when the copies would pass a limit.
                    if (row + row_repeats - 1 > SHEET_ROW_LIMIT) {
                        sheet.absurd =
                            "the sheet has a row beyond the spreadsheet's last row (1,048,576)" + std::string(TRIM);
                        return false;
                    }
                    if (sheet.cells + row_cells.size() * row_repeats > SHEET_CELL_LIMIT) {
                        sheet.absurd =
                            "the sheet holds over " + std::to_string(SHEET_CELL_LIMIT) + " cells with text" + TRIM;
                        return false;
                    }
                    for (size_t i = 0; i < row_repeats && sheet.absurd.empty(); ++i) {
                        for (const auto& [at, text] : row_cells) PutCell(sheet, row + i, at, text);
                    }
                    if (!sheet.absurd.empty()) return false;
                }
                row += row_repeats - 1;
                if (!row_cells.empty() && row > SHEET_ROW_LIMIT) {
                    sheet.absurd =
                        "the sheet has a row beyond the spreadsheet's last row (1,048,576)" + std::string(TRIM);
                    return false;
                }
            }
        } else if (in_paragraph && !annotation) {
            cell_text += node.text;
        }
        return true;
    });
    if (!reading.problem.empty()) return Refused(XmlProblem("content.xml", reading));
    if (names.empty()) return Refused("the workbook has no sheet: open it in the spreadsheet and save it again");
    if (chosen == SIZE_MAX && !chosen_sheet.empty()) {
        // Not a name: a number from 1, read again for that sheet.
        const size_t by_number = ChosenSheet(names, chosen_sheet);
        if (by_number == names.size()) return Refused(NoSuchSheet(names, chosen_sheet));
        std::string numbered = names[by_number];
        if (Lowered(numbered) == Lowered(chosen_sheet)) return Refused(NoSuchSheet(names, chosen_sheet));
        return ReadOds(bytes, archive, numbered);
    }
    return NotEmpty(Finished(std::move(sheet), Phrase(names, chosen, ".ods")), names, chosen);
}

}  // namespace

bool LooksLikeWorkbook(const std::string& bytes) {
    return bytes.compare(0, 4, "PK\x03\x04") == 0 || bytes.compare(0, 4, "PK\x05\x06") == 0 ||
           bytes.compare(0, 8, COMPOUND_SIGNATURE) == 0;
}

Table ReadWorkbook(const std::string& bytes, const std::string& sheet) {
    if (bytes.compare(0, 8, COMPOUND_SIGNATURE) == 0) {
        if (HoldsEncryptionInfo(bytes)) {
            return Refused("the workbook is protected by a password: remove the password in the spreadsheet (File > "
                           "Info > Protect Workbook), or save the sheet as CSV UTF-8");
        }
        return Refused("the file is an old binary workbook (.xls) or another Office file of that kind: open it in "
                       "the spreadsheet and save it as .xlsx (Excel Workbook), or save the sheet as CSV UTF-8");
    }
    const ZipArchive archive = ReadZipDirectory(bytes);
    if (!archive.problem.empty()) return Refused(archive.problem);

    if (const ZipEntry* mimetype = FindZipEntry(archive, "mimetype")) {
        const ZipContent content = ReadZipEntry(bytes, *mimetype);
        if (!content.problem.empty()) return Refused(content.problem);
        if (content.bytes == "application/vnd.oasis.opendocument.spreadsheet") return ReadOds(bytes, archive, sheet);
        return Refused("the file is an OpenDocument file (" + content.bytes.substr(0, 80) +
                       ") but not a spreadsheet: open the questions' sheet in the spreadsheet and save it as .ods or "
                       ".xlsx");
    }
    if (FindZipEntry(archive, "_rels/.rels")) {
        const Relationships package = ReadRelationships(bytes, archive, "");
        if (!package.problem.empty()) return Refused(package.problem);
        const std::string document = FirstTarget(package, "officeDocument");
        if (EndsWith(document, ".bin")) {
            return Refused("the workbook is a binary workbook (.xlsb): open it in the spreadsheet and save it as "
                           ".xlsx (Excel Workbook)");
        }
        if (!document.empty() && FindZipEntry(archive, document) &&
            (Folder(document) == "xl/" || EndsWith(document, "/workbook.xml"))) {
            return ReadXlsx(bytes, archive, document, sheet);
        }
        if (!document.empty() && FindZipEntry(archive, document)) {
            const std::string kind = Folder(document) == "word/" ? "a Word document"
                                     : Folder(document) == "ppt/" ? "a PowerPoint presentation"
                                                                  : "an Office document";
            return Refused("the file is " + kind + ", not a workbook: put the questions in a spreadsheet's sheet "
                           "and save it as .xlsx, or as CSV UTF-8");
        }
    }
    return Refused("the file is a zip archive that holds no workbook: open the questions' sheet in the spreadsheet "
                   "and save it as .xlsx, or as CSV UTF-8");
}
