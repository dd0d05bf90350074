// Finding a table's columns. Authors name columns in English or Japanese, put a title above them or a group name
// over the options, so each name is read as it is meant; a header that leaves the question, the options or the
// answer unnamed is an error at its row, and a table whose first column might be numbers or questions is refused
// rather than guessed.
#include "table_header.h"

#include <algorithm>
#include <cwchar>

#include "table_words.h"

namespace {

// The rows looked through for a header: titles above it are a line or a few, never a page.
constexpr size_t HEADER_SEARCH_ROWS = 10;
// The left-out columns a note names; the rest are counted.
constexpr size_t LEFT_OUT_NAMED = 8;

// What a header cell names.
enum class Role { Other, Question, Option, Answer };
struct ColumnName {
    Role role = Role::Other;
    long option = -1;        // for an option: its position from 0, or -1 for the next one ("選択肢", "option")
    bool from_zero = false;  // for the answer: "correctAnswer", whose numbers count from 0 as in the bank
    bool group = false;      // a name that may stand over several option columns: "選択肢", "options", "choices"
};

// A header cell as the header shows it and what it names; `row` is the row it stands in.
struct HeaderCell {
    std::string text;
    ColumnName name;
    size_t row = 0;
};

// An option's label under a group name or after "option": A-J, ア-コ or a number from 1; -1 otherwise.
long OptionLabel(const std::wstring& label) {
    if (const long position = LabelPosition(label); position >= 0 && position < static_cast<long>(KANA_COUNT))
        return position;
    const long number = SmallNumber(label);
    return number >= 1 ? number - 1 : -1;
}

ColumnName NameOf(const std::string& cell) {
    const std::wstring spaced = Folded(cell);
    std::wstring name;
    // A name is the same whatever spaces it was typed or pasted with, the invisible ones too.
    for (const wchar_t c : spaced)
        if (std::wcschr(L" _\u3000\u00A0\u200B\uFEFF", c) == nullptr || c == L'\0') name += c;
    for (const wchar_t* word : {L"question", L"questiontext", L"問", L"問題", L"設問", L"問題文"})
        if (name == word) return {Role::Question};
    // Only the bank's own key, written as one word, counts from 0; "correct answer" is a teacher's, from 1.
    if (name == L"correctanswer") return {Role::Answer, -1, spaced == L"correctanswer"};
    for (const wchar_t* word : {L"answer", L"key", L"answerkey", L"正解", L"正答", L"解答", L"答え", L"答"})
        if (name == word) return {Role::Answer};
    // A single letter names an option only up to the tenth, as a kana does: "Q" or "N" is rather a number column.
    if (const long label = LabelPosition(name); label >= 0 && label < static_cast<long>(KANA_COUNT))
        return {Role::Option, label};
    for (const std::wstring stem : {L"options", L"option", L"choices", L"choice", L"選択肢"}) {
        if (name.compare(0, stem.size(), stem) != 0) continue;
        const std::wstring rest = name.substr(stem.size());
        if (rest.empty()) return {Role::Option, -1, false, true};
        // A number too long to be one is no option's: the header's bound below says so.
        if (const long number = SmallNumber(rest); number >= 1) return {Role::Option, number - 1};
        if (const long label = OptionLabel(rest); label >= 0) return {Role::Option, label};
    }
    return {};
}

bool Blank(const std::string& cell) { return Folded(cell).empty(); }

// A header of one row. An empty cell after a group name is a column the name was merged over: another option.
std::vector<HeaderCell> OneRow(const TableRow& row) {
    std::vector<HeaderCell> cells;
    std::string group;
    for (const std::string& cell : row.cells) {
        if (Blank(cell) && !group.empty()) {
            cells.push_back({group, {Role::Option}, row.row});
            continue;
        }
        cells.push_back({cell, NameOf(cell), row.row});
        group = cells.back().name.group ? cell : "";
    }
    return cells;
}

// A header of two rows: group names over `top`'s columns, with the options' labels under them in `bottom`, the
// other names in either row. Empty when `bottom` is not such a row of labels (a first row of questions, say).
std::vector<HeaderCell> TwoRows(const TableRow& top, const TableRow& bottom) {
    std::vector<HeaderCell> cells;
    size_t labels = 0;
    std::string group;
    for (size_t k = 0; k < std::max(top.cells.size(), bottom.cells.size()); ++k) {
        const std::string t = k < top.cells.size() ? top.cells[k] : "";
        const std::string b = k < bottom.cells.size() ? bottom.cells[k] : "";
        if (!Blank(t)) group = NameOf(t).group ? t : "";
        if (!group.empty()) {
            if (Blank(b)) {
                cells.push_back({group, {Role::Option}, top.row});
                continue;
            }
            const long label = OptionLabel(Folded(b));
            if (label >= 0) {
                ++labels;
                cells.push_back({group + " " + b, {Role::Option, label}, bottom.row});
                continue;
            }
            // Under the group's own name only a label may stand; a name under an empty cell after it ends the group.
            if (!Blank(t) || NameOf(b).role == Role::Other) return {};
            group.clear();
            cells.push_back({b, NameOf(b), bottom.row});
        } else if (!Blank(t)) {
            // A row of questions under a header has text under its names; a row of labels does not.
            if (!Blank(b)) return {};
            cells.push_back({t, NameOf(t), top.row});
        } else {
            cells.push_back({b, NameOf(b), bottom.row});
        }
    }
    if (labels < 2) return {};
    return cells;
}

bool NamesQuestion(const std::vector<HeaderCell>& cells) {
    return std::any_of(cells.begin(), cells.end(), [](const HeaderCell& c) { return c.name.role == Role::Question; });
}

// The columns the header's cells name, with an error at each cell that names one twice or out of bounds.
void ReadHeader(const std::vector<HeaderCell>& header, TableColumns& columns) {
    const auto error = [&](const HeaderCell& cell, size_t column, const std::string& text) {
        columns.errors.push_back({cell.row, column, text});
    };
    size_t width = header.size();
    while (width > 0 && header[width - 1].name.role == Role::Other && Blank(header[width - 1].text)) --width;
    columns.width = width;
    std::vector<size_t> by_position;  // option position to column; 0 where none
    std::vector<size_t> left_out;
    long next_option = 0;
    for (size_t k = 0; k < width; ++k) {
        const size_t column = k + 1;
        const HeaderCell& cell = header[k];
        const ColumnName& name = cell.name;
        const std::string quoted = "\"" + cell.text + "\"";
        if (name.role == Role::Question || name.role == Role::Answer) {
            size_t& seen = name.role == Role::Question ? columns.question : columns.answer;
            const char* what = name.role == Role::Question ? "question" : "answer";
            if (seen) {
                error(cell, column, quoted + " names a second " + what + " column; column " + ColumnLetters(seen) +
                                        " is the " + what + " already. Rename or remove one of them.");
            } else {
                seen = column;
                if (name.role == Role::Answer) columns.from_zero = name.from_zero;
            }
        } else if (name.role == Role::Option) {
            const long position = name.option >= 0 ? name.option : next_option;
            // A header of N cells names N options at most: a larger number is a slip, not a reason to make room.
            if (static_cast<size_t>(position) >= width) {
                error(cell, column, quoted + " names option " + std::to_string(position + 1) + ", but the header has " +
                                        std::to_string(width) + " columns: number the options from 1.");
                continue;
            }
            next_option = position + 1;
            if (by_position.size() <= static_cast<size_t>(position)) by_position.resize(position + 1, 0);
            if (by_position[position]) {
                error(cell, column, quoted + " names option " + OptionLetter(position) + " again; column " +
                                        ColumnLetters(by_position[position]) + " is that option already.");
            }
            by_position[position] = column;
        } else {
            left_out.push_back(k);
        }
    }
    if (!left_out.empty()) {
        std::string names;
        for (size_t n = 0; n < std::min(left_out.size(), LEFT_OUT_NAMED); ++n) {
            const HeaderCell& cell = header[left_out[n]];
            names += (n ? ", " : "") + ColumnLetters(left_out[n] + 1) +
                     (Blank(cell.text) ? " (no name)" : " \"" + cell.text + "\"");
        }
        if (left_out.size() > LEFT_OUT_NAMED) names += " and " + Thousands(left_out.size() - LEFT_OUT_NAMED) + " more";
        columns.notes.push_back({header[left_out[0]].row, left_out[0] + 1,
                                 (left_out.size() == 1 ? std::string("this column is") : "columns " + names + " are") +
                                     " left out: the bank holds only each question, its options and its answer."});
    }
    for (size_t position = 0; position < by_position.size(); ++position) {
        if (!by_position[position]) {
            const size_t later = *std::find_if(by_position.begin() + static_cast<long>(position), by_position.end(),
                                               [](size_t column) { return column != 0; });
            error(header[later - 1], later,
                  "no column names option " + OptionLetter(position) + ", but a later option has one: name the "
                  "options from A (or 1) without a gap.");
            break;
        }
    }
    columns.options = by_position;
    const size_t row = header.empty() ? 0 : header[0].row;
    if (columns.options.empty())
        columns.errors.push_back({row, 0, "the header names no option columns: name them option A, option B, ... "
                                          "(or A, B, ..., option 1, ..., 選択肢ア, ア, イ, ...)."});
    if (!columns.answer)
        columns.errors.push_back({row, 0, "the header names no answer column: name the right option's column answer, "
                                          "correct answer, 正解 or 解答."});
}

// A note on the rows above the header at `first`, which are titles.
void NoteTitles(const Table& table, size_t first, TableColumns& columns) {
    if (first == 0) return;
    const size_t top = table.rows[0].row, last = table.rows[first - 1].row;
    // The note stands at the first of them, whose place the message gives.
    const std::string rows = first == 1 ? std::string("this row is") :
                             "rows " + std::to_string(top) + " to " + std::to_string(last) + " are";
    columns.notes.push_back({top, 0, rows + " above the header (row " + std::to_string(table.rows[first].row) +
                                         ") and left out, as a title."});
}

// Without a header: whether column 1 numbers the rows (1, 2, 3... in every one), which is left out, or might be
// numbers or questions, which is an error at its first cell that leaves it open.
void FindNumbering(const Table& table, TableColumns& columns) {
    size_t numbered = 0;
    const TableRow* first_numbered = nullptr;
    const TableRow* out_of_step = nullptr;
    long expected = -1;
    for (const TableRow& row : table.rows) {
        const long number = row.cells.empty() ? -1 : SmallNumber(Folded(row.cells[0]));
        if (number < 0) continue;
        if (!first_numbered) first_numbered = &row;
        if (expected >= 0 && number != expected && !out_of_step) out_of_step = &row;
        expected = number + 1;
        ++numbered;
    }
    if (numbered == 0) return;
    if (numbered == table.rows.size() && numbered >= 2 && !out_of_step) {
        columns.numbered = true;
        columns.notes.push_back({table.rows[0].row, 1,
                                 "column A numbers the rows, so it is left out: each row's question is in column B."});
        return;
    }
    const TableRow& at = numbered == table.rows.size() && out_of_step ? *out_of_step : *first_numbered;
    columns.errors.push_back(
        {at.row, 1,
         "column A holds a number here, as in " + Thousands(numbered) + " of the " + Thousands(table.rows.size()) +
             " rows: a question, or the row's number? Give the table a header row, naming the columns question, "
             "option A to option D and answer (and No. over a column of numbers, which is left out)."});
}

}  // namespace

TableColumns FindColumns(const Table& table) {
    TableColumns columns;
    for (size_t h = 0; h < std::min(table.rows.size(), HEADER_SEARCH_ROWS); ++h) {
        std::vector<HeaderCell> header;
        size_t header_rows = 2;
        if (h + 1 < table.rows.size()) header = TwoRows(table.rows[h], table.rows[h + 1]);
        if (!NamesQuestion(header)) {
            header = OneRow(table.rows[h]);
            header_rows = 1;
        }
        if (!NamesQuestion(header)) continue;
        NoteTitles(table, h, columns);
        ReadHeader(header, columns);
        columns.headed = true;
        columns.first_question = h + header_rows;
        for (size_t k = 0; k < columns.width; ++k) columns.names.push_back(header[k].text);
        return columns;
    }
    FindNumbering(table, columns);
    return columns;
}
