// Finding a table's columns. Authors name columns in English or Japanese, so each name is read as it is meant; a
// header that leaves the question, the options or the answer unnamed is an error at its row.
#include "table_header.h"

#include <algorithm>

#include "table_words.h"

namespace {

// What a header cell names.
enum class Role { Other, Question, Option, Answer };
struct ColumnName {
    Role role = Role::Other;
    long option = -1;  // for an option: its position from 0, or -1 for the next one ("選択肢", "option")
    bool from_zero = false;  // for the answer: "correctAnswer", whose numbers count from 0 as in the bank
};

ColumnName NameOf(const std::string& cell) {
    const std::wstring name = Folded(cell);
    if (name == L"question" || name == L"questiontext" || name == L"問題" || name == L"問題文")
        return {Role::Question, -1, false};
    if (name == L"answer" || name == L"正解" || name == L"解答")
        return {Role::Answer, -1, false};
    if (name == L"correctanswer") return {Role::Answer, -1, true};
    // A single letter names an option only up to the tenth, as a kana does: "Q" or "N" is rather a number column.
    if (const long label = LabelPosition(name); label >= 0 && label < static_cast<long>(KANA_COUNT))
        return {Role::Option, label, false};
    for (const std::wstring stem : {L"options", L"option", L"選択肢"}) {
        if (name.compare(0, stem.size(), stem) != 0) continue;
        std::wstring rest = name.substr(stem.size());
        rest.erase(0, std::min(rest.size(), rest.find_first_not_of(L" _")));
        if (rest.empty()) return {Role::Option, -1, false};
        const long number = SmallNumber(rest);
        if (number >= 1) return {Role::Option, number - 1, false};
    }
    return {};
}

// The columns a header row names, or false when the row names no question column and so is no header.
bool ReadHeader(const TableRow& header, TableColumns& columns) {
    std::vector<ColumnName> names;
    for (const std::string& cell : header.cells) names.push_back(NameOf(cell));
    if (std::none_of(names.begin(), names.end(), [](const ColumnName& n) { return n.role == Role::Question; }))
        return false;
    const auto error = [&](size_t column, const std::string& text) {
        columns.errors.push_back({header.row, column, text});
    };
    std::vector<size_t> by_position;  // option position to column; 0 where none
    std::string left_out;
    size_t first_left_out = 0, left_out_count = 0;
    long next_option = 0;
    for (size_t k = 0; k < names.size(); ++k) {
        const size_t column = k + 1;
        const ColumnName& name = names[k];
        const std::string quoted = "\"" + header.cells[k] + "\"";
        if (name.role == Role::Question || name.role == Role::Answer) {
            size_t& seen = name.role == Role::Question ? columns.question : columns.answer;
            const char* what = name.role == Role::Question ? "question" : "answer";
            if (seen) {
                error(column, quoted + " names a second " + what + " column; column " + std::to_string(seen) +
                                  " is the " + what + " already. Rename or remove one of them.");
            } else {
                seen = column;
                if (name.role == Role::Answer) columns.from_zero = name.from_zero;
            }
        } else if (name.role == Role::Option) {
            const long position = name.option >= 0 ? name.option : next_option;
            next_option = position + 1;
            if (by_position.size() <= static_cast<size_t>(position)) by_position.resize(position + 1, 0);
            if (by_position[position]) {
                error(column, quoted + " names option " + std::to_string(position + 1) + " again; column " +
                                  std::to_string(by_position[position]) + " is that option already.");
            }
            by_position[position] = column;
        } else {
            if (!first_left_out) first_left_out = column;
            left_out += std::string(left_out_count++ ? ", " : "") + std::to_string(column) + " " + quoted;
        }
    }
    if (left_out_count) {
        columns.notes.push_back(
            {header.row, first_left_out,
             std::string(left_out_count == 1 ? "column " : "columns ") + left_out +
                 (left_out_count == 1 ? " is" : " are") + " left out: the bank holds only each question, its "
                 "options and its answer."});
    }
    for (size_t position = 0; position < by_position.size(); ++position) {
        if (!by_position[position]) {
            const auto later = std::find_if(by_position.begin() + position, by_position.end(),
                                            [](size_t column) { return column != 0; });
            error(*later,
                  "no column names option " + std::to_string(position + 1) + ", but a later option has one: number "
                  "the options from 1 without a gap.");
            break;
        }
    }
    columns.options = by_position;
    if (columns.options.empty())
        error(1, "the header names no option columns: name them option 1, option 2, ... (or A, B, ..., 選択肢, ア, "
                 "イ, ...).");
    if (!columns.answer)
        error(1, "the header names no answer column: name the right option's column answer, correctAnswer, "
                 "正解 or 解答.");
    return true;
}

}  // namespace

TableColumns FindColumns(const Table& table) {
    TableColumns columns;
    if (table.rows.empty() || !ReadHeader(table.rows[0], columns)) return columns;
    columns.headed = true;
    columns.first_question = 1;
    for (const std::string& cell : table.rows[0].cells) columns.names.push_back(cell);
    return columns;
}
