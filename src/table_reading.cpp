// Cutting a table's text into its rows of cells as spreadsheets write CSV and tab-separated text. The separator and
// the line ends are found from the text, since a save declares neither. Each cell is built in one pass over its
// text, and the rows are made straight from the decoded text (a UTF-8 table's own bytes), so a table of 100 MB costs
// its rows and little more.
#include "table_reading.h"

#include <algorithm>
#include <new>
#include <string_view>

#include <nlohmann/json.hpp>

namespace {

// What separates a text's cells, and whether a CR alone ends a row (a file with no LF at all, an old Mac save;
// elsewhere a CR alone is a character of its cell).
struct Dialect {
    char separator = ',';
    bool cr_rows = false;
};

// Where a cell ends, and what follows it.
struct CellEnd {
    size_t next = 0;          // where the next cell, or the next row, starts
    bool row_ends = false;    // the cell is its row's last
    bool text_ends = false;   // and the text's
    bool unclosed = false;    // it opens a quote that is never closed
    std::string_view stray;   // text between its closing quote and the separator or line end
};

// The bytes of the line end at `at`, 0 when there is none.
size_t LineEnd(std::string_view text, size_t at, bool cr_rows) {
    if (at >= text.size()) return 0;
    if (text[at] == '\n') return 1;
    if (text[at] != '\r') return 0;
    if (at + 1 < text.size() && text[at + 1] == '\n') return 2;
    return cr_rows ? 1 : 0;
}

// Where text without quotes that starts at `at` ends: at the next separator or line end, or at the end of the text.
// A loop of three comparisons: find_first_of looks each byte up in its set of stops with a call of its own, which
// made cutting the cells a third of the import.
size_t UnquotedEnd(std::string_view text, size_t at, Dialect dialect) {
    const char* const data = text.data();
    const size_t size = text.size();
    for (; at < size; ++at) {
        const char c = data[at];
        if (c != dialect.separator && c != '\n' && c != '\r') continue;
        if (LineEnd(text, at, dialect.cr_rows) || c != '\r') return at;
    }
    return size;
}

// Reads the cell that starts at `at`, its text into `cell` when one is given. A cell that starts with a quote ends at
// the next quote that is not doubled; "" in it is a quote, and a line break in it becomes LF.
CellEnd ReadCell(std::string_view text, size_t at, Dialect dialect, std::string* cell) {
    CellEnd end;
    size_t stop = 0;
    if (at < text.size() && text[at] == '"') {
        size_t close = at + 1;
        while ((close = text.find('"', close)) != std::string_view::npos && close + 1 < text.size() &&
               text[close + 1] == '"')
            close += 2;
        if (close == std::string_view::npos) {
            end.unclosed = end.row_ends = end.text_ends = true;
            end.next = text.size();
            return end;
        }
        if (cell) {
            cell->reserve(close - at - 1);
            for (size_t from = at + 1; from < close;) {
                size_t special = from;
                while (special < close && text[special] != '"' && text[special] != '\r') ++special;
                cell->append(text.data() + from, special - from);
                if (special == close) break;
                const bool cr_lf = text[special] == '\r' && text[special + 1] == '\n';
                if (text[special] == '"') *cell += '"';
                else if (!cr_lf) *cell += dialect.cr_rows ? '\n' : '\r';
                from = special + (text[special] == '"' ? 2 : 1);
            }
        }
        stop = UnquotedEnd(text, close + 1, dialect);
        end.stray = text.substr(close + 1, stop - close - 1);
    } else {
        stop = UnquotedEnd(text, at, dialect);
        if (cell) cell->assign(text.data() + at, stop - at);
    }
    if (stop >= text.size()) {
        end.row_ends = end.text_ends = true;
        end.next = text.size();
    } else if (text[stop] == dialect.separator) {
        end.next = stop + 1;
    } else {
        end.row_ends = true;
        end.next = stop + LineEnd(text, stop, dialect.cr_rows);
    }
    return end;
}

// Nothing but spaces and line breaks: a NUL is a character, shown to no one but kept, so a cell of NULs is not blank.
bool Blank(const std::string& cell) { return cell.find_first_not_of(std::string_view(" \t\r\n")) == std::string::npos; }

// The separator among tab, comma and semicolon that gives the largest share of the first 20 rows that are not empty
// lines one number of cells above one, and no text after a closing quote; on a tie the one giving more such rows,
// then more cells, then the first of that order. A comma without any. A share, not a count: a separator that
// misreads the quotes also cuts rows at the line breaks inside cells, which makes more rows. A row of empty cells
// counts: spreadsheets save a blank row inside the table as its separators alone.
Dialect FindDialect(std::string_view text) {
    Dialect found;
    found.cr_rows = text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos;
    size_t best_rows = 0, best_of = 1, best_cells = 0;
    for (const char separator : {'\t', ',', ';'}) {
        const Dialect dialect{separator, found.cr_rows};
        std::vector<size_t> counts;
        for (size_t at = 0; counts.size() < 20;) {
            const size_t start = at;
            size_t cells = 0;
            bool misquoted = false;
            CellEnd end;
            do {
                end = ReadCell(text, at, dialect, nullptr);
                at = end.next;
                ++cells;
                misquoted = misquoted || end.unclosed || !end.stray.empty();
            } while (!end.row_ends);
            if (cells > 1 || text.find_first_not_of("\r\n", start) < at) counts.push_back(misquoted ? 0 : cells);
            if (end.text_ends) break;
        }
        for (const size_t cells : counts) {
            const auto rows = static_cast<size_t>(std::count(counts.begin(), counts.end(), cells));
            const size_t share = rows * best_of, best_share = best_rows * counts.size();
            const bool more = rows > best_rows || (rows == best_rows && cells > best_cells);
            const bool better = share > best_share || (share == best_share && more);
            if (cells > 1 && better) {
                best_rows = rows;
                best_of = counts.size();
                best_cells = cells;
                found.separator = separator;
            }
        }
    }
    return found;
}

// The cells of `text`, cut as `dialect` says, into the table's rows.
void CutRows(std::string_view text, Dialect dialect, Table& table) {
    const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), dialect.cr_rows ? '\r' : '\n'));
    table.rows.reserve(lines + 1);
    size_t width = 0;  // cells of the row before, most likely this row's too
    for (size_t row = 1, at = 0;; ++row) {
        std::vector<std::string> cells;
        cells.reserve(width);
        CellEnd end;
        do {
            cells.emplace_back();
            end = ReadCell(text, at, dialect, &cells.back());
            if (end.unclosed) {
                table.problems.push_back(
                    {row, cells.size(), "this cell opens a quote (\") that is never closed: the rest of the file "
                                        "would be its text. Close it, or write \"\" for a quote inside a cell in "
                                        "quotes."});
                return;
            }
            if (!end.stray.empty()) {
                table.problems.push_back(
                    {row, cells.size(), "after the quote that closes this cell comes \"" + std::string(end.stray) +
                                            "\": a cell in quotes ends at its closing quote. Put all of the cell in "
                                            "the quotes, and write \"\" for a quote inside them."});
            }
            at = end.next;
        } while (!end.row_ends);
        width = cells.size();
        if (!std::all_of(cells.begin(), cells.end(), Blank)) table.rows.push_back({row, std::move(cells)});
        if (end.text_ends) return;
    }
}

// The row and column where `text` ends: where a refused byte stands, the text before it being read.
TableProblem PlaceOfEnd(std::string_view text, std::string words) {
    const Dialect dialect = FindDialect(text);
    size_t row = 1, column = 1;
    for (size_t at = 0;;) {
        const CellEnd end = ReadCell(text, at, dialect, nullptr);
        if (end.text_ends) break;
        at = end.next;
        column = end.row_ends ? 1 : column + 1;
        row += end.row_ends;
    }
    return {row, column, std::move(words)};
}

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// A bank given where a table is wanted: its text starts with [ or { and is JSON.
bool IsJsonBank(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && (text[first] == '[' || text[first] == '{') &&
           nlohmann::json::accept(text.begin(), text.end());
}

}  // namespace

Table ReadTable(const std::string& bytes, TextEncoding encoding) {
    Table table;
    try {
        const DecodedText decoded = DecodeText(bytes, encoding);
        if (!decoded.refused.empty()) {
            table.problems.push_back(decoded.placed ? PlaceOfEnd(decoded.text, decoded.refused)
                                                    : TableProblem{0, 0, decoded.refused});
            return table;
        }
        table.encoding = decoded.encoding;
        std::string_view text = TextOf(decoded, bytes);
        // A mark left in the text (saved twice, or after the mark of UTF-16) would hide the header's first name.
        while (text.substr(0, 3) == BYTE_ORDER_MARK) text.remove_prefix(3);
        if (IsJsonBank(text)) {
            table.problems.push_back(
                {0, 0, "this file is a question bank in JSON already, not a table: tessavon-check FILE checks it, and "
                       "the exam reads it as it is, named questions.json."});
            return table;
        }
        const Dialect dialect = FindDialect(text);
        table.separator = dialect.separator;
        CutRows(text, dialect, table);
        if (!table.rows.empty() && table.rows[0].row == 1 && table.rows[0].cells[0].rfind(BYTE_ORDER_MARK, 0) == 0)
            table.rows[0].cells[0].erase(0, BYTE_ORDER_MARK.size());
    } catch (const std::bad_alloc&) {
        // The rows are given back first, so the message itself has room.
        std::vector<TableRow>().swap(table.rows);
        table.problems.assign(1, {0, 0, "the table is too large for the memory available: close other programs and "
                                        "import it again, or split the table in two."});
    }
    return table;
}
