// From a table's rows to the bank's questions. Authors name columns in English or Japanese and write answers in the
// forms their exams print, so each form is read as it is meant; an answer that could mean two things, or nothing,
// is an error at its cell rather than a guess.
#include "bank_import.h"

#include <algorithm>
#include <cwchar>

#include <nlohmann/json.hpp>

#include "utf8_decoding.h"

namespace {

// The labels of Japanese exams' options, in their order.
const wchar_t KANA[] = L"アイウエオカキクケコ";
constexpr size_t KANA_COUNT = sizeof KANA / sizeof KANA[0] - 1;

// A cell's text as a header or an answer is compared: without surrounding spaces (also the full-width one), ASCII
// letters in lower case.
std::wstring Folded(const std::string& cell) {
    std::wstring text = Utf8ToWide(cell);
    const wchar_t* spaces = L" \t\r\n\u3000";
    text.erase(0, std::min(text.size(), text.find_first_not_of(spaces)));
    text.erase(text.find_last_not_of(spaces) + 1);
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

// A number written in ASCII or full-width digits, up to nine of them; -1 when `text` is not one.
long SmallNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 9) return -1;
    long value = 0;
    for (const wchar_t c : text) {
        const wchar_t digit = c >= L'０' && c <= L'９' ? static_cast<wchar_t>(c - L'０' + L'0') : c;
        if (digit < L'0' || digit > L'9') return -1;
        value = value * 10 + (digit - L'0');
    }
    return value;
}

// A letter a-z (the text folded) or Ａ-Ｚ, ａ-ｚ, or a kana ア-コ, as an option's position from 0; -1 otherwise.
long LabelPosition(const std::wstring& text) {
    if (text.size() != 1) return -1;
    const wchar_t c = text[0];
    if (c >= L'a' && c <= L'z') return c - L'a';
    if (c >= L'Ａ' && c <= L'Ｚ') return c - L'Ａ';
    if (c >= L'ａ' && c <= L'ｚ') return c - L'ａ';
    const wchar_t* kana = std::wcschr(KANA, c);
    return kana && c ? static_cast<long>(kana - KANA) : -1;
}

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

// The columns of a table: where the question, each option (in order) and the answer are, from 1.
struct Columns {
    size_t question = 0;
    std::vector<size_t> options;
    size_t answer = 0;
    bool from_zero = false;
};

// The columns a header row names, or false when the row names no question column and so is no header.
bool ReadHeader(const TableRow& header, ImportedTable& imported, Columns& columns) {
    std::vector<ColumnName> names;
    for (const std::string& cell : header.cells) names.push_back(NameOf(cell));
    if (std::none_of(names.begin(), names.end(), [](const ColumnName& n) { return n.role == Role::Question; }))
        return false;
    const auto error = [&](size_t column, const std::string& text) {
        imported.errors.push_back({header.row, column, text});
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
        imported.notes.push_back(
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

// "A to D, ア to エ or 1 to 4": the answers a row of `count` options takes.
std::string AnswerForms(size_t count, bool from_zero) {
    const auto range = [&](const std::string& first, const std::string& last) {
        return count == 1 ? first : first + " to " + last;
    };
    std::string forms = range("A", std::string(1, static_cast<char>('A' + std::min<size_t>(count, 26) - 1)));
    if (count <= KANA_COUNT) forms += ", " + range("ア", Utf8FromWide(std::wstring(1, KANA[count - 1])));
    return forms + " or " + range(from_zero ? "0" : "1", std::to_string(from_zero ? count - 1 : count));
}

// The answer in `cell` as a position from 0 among `count` options, or -1 after saying what is wrong at its cell.
long ReadAnswer(const std::string& cell, size_t count, bool from_zero, size_t row, size_t column,
                ImportedTable& imported) {
    const std::wstring answer = Folded(cell);
    const std::string forms = AnswerForms(count, from_zero);
    const auto error = [&](const std::string& text) {
        imported.errors.push_back({row, column, text});
        return -1;
    };
    if (answer.empty()) return error("the answer is empty: write the right option as " + forms + ".");
    long position = LabelPosition(answer);
    const bool number = position < 0;
    if (number) {
        const long value = SmallNumber(answer);
        if (value < 0)
            return error("the answer \"" + cell + "\" is not an option's letter, kana or number: write the right "
                         "option as " + forms + ".");
        if (value == 0 && !from_zero)
            return error("the answer is 0, but numbers count from 1 here (only a column named correctAnswer "
                         "counts from 0, as the bank does): write the right option as " + forms + ".");
        position = from_zero ? value : value - 1;
    }
    if (static_cast<size_t>(position) >= count) {
        return error("the answer \"" + cell + "\" names option " + std::to_string(position + 1) +
                     ", but this row has " + (count == 1 ? "1 option" : std::to_string(count) + " options") + ": write the right option as " +
                     forms + ".");
    }
    return position;
}

// One row as a question, from the cells `columns` names; a row the bank cannot take adds its errors instead.
void ImportRow(const TableRow& row, const Columns& columns, ImportedTable& imported) {
    const auto cell = [&](size_t column) { return column && column <= row.cells.size() ? row.cells[column - 1] : ""; };
    QuestionCells where;
    where.row = row.row;
    where.question_column = columns.question;
    where.answer_column = columns.answer;
    where.option_columns = columns.options;
    // Options left empty at the end are options this question does not have.
    while (!where.option_columns.empty() && cell(where.option_columns.back()).empty()) where.option_columns.pop_back();
    const size_t errors = imported.errors.size();
    if (Folded(cell(columns.question)).empty())
        imported.errors.push_back({row.row, columns.question, "the question is empty: write it, or remove the row."});
    if (where.option_columns.empty()) {
        imported.errors.push_back({row.row, columns.options.empty() ? columns.question + 1 : columns.options[0],
                                   "the row has no options: write them, or remove the row."});
        return;
    }
    const long answer =
        ReadAnswer(cell(columns.answer), where.option_columns.size(), columns.from_zero, row.row, columns.answer,
                   imported);
    if (imported.errors.size() != errors) return;
    Question question;
    // Utf8ToWide ends a text at a NUL; a cell's NUL is kept so the checker can say the exam cuts the text there.
    const auto wide = [](const std::string& text) {
        std::wstring converted;
        size_t from = 0;
        for (size_t nul = text.find('\0'); ; nul = text.find('\0', from)) {
            converted += Utf8ToWide(text.substr(from, nul == std::string::npos ? std::string::npos : nul - from));
            if (nul == std::string::npos) return converted;
            converted += L'\0';
            from = nul + 1;
        }
    };
    question.questionText = wide(cell(columns.question));
    for (const size_t column : where.option_columns) question.options.push_back(wide(cell(column)));
    question.correctAnswer = static_cast<int>(answer);
    imported.questions.push_back(std::move(question));
    imported.cells.push_back(std::move(where));
}

}  // namespace

ImportedTable ImportTable(const Table& table) {
    ImportedTable imported;
    Columns header_columns;
    imported.headed = !table.rows.empty() && ReadHeader(table.rows[0], imported, header_columns);
    if (!imported.errors.empty()) return imported;
    for (size_t k = imported.headed ? 1 : 0; k < table.rows.size(); ++k) {
        const TableRow& row = table.rows[k];
        if (imported.headed) {
            ImportRow(row, header_columns, imported);
            continue;
        }
        // Without a header: the question, the options, and the answer in the row's last cell that holds anything.
        size_t used = row.cells.size();
        while (used > 0 && Folded(row.cells[used - 1]).empty()) --used;
        if (used < 3) {
            imported.errors.push_back(
                {row.row, used + 1,
                 "the row has " + std::to_string(used) + (used == 1 ? " cell" : " cells") + ", but a question needs "
                 "three at least: the question, its options, then the answer in the last cell."});
            continue;
        }
        Columns columns;
        columns.question = 1;
        for (size_t column = 2; column < used; ++column) columns.options.push_back(column);
        columns.answer = used;
        ImportRow(row, columns, imported);
    }
    if (imported.errors.empty() && imported.questions.empty())
        imported.errors.push_back({0, 0, "the table holds no questions."});
    return imported;
}

std::string BankJson(const std::vector<Question>& questions) {
    nlohmann::ordered_json bank = nlohmann::ordered_json::array();
    for (const Question& question : questions) {
        nlohmann::ordered_json entry;
        entry["questionText"] = Utf8FromWide(question.questionText);
        nlohmann::ordered_json options = nlohmann::ordered_json::array();
        for (const std::wstring& option : question.options) options.push_back(Utf8FromWide(option));
        entry["options"] = std::move(options);
        entry["correctAnswer"] = question.correctAnswer;
        bank.push_back(std::move(entry));
    }
    return bank.dump(2) + "\n";
}

TableProblem ProblemInTable(const ImportedTable& imported, const BankProblem& problem) {
    if (problem.entry == NO_ENTRY || problem.entry >= imported.cells.size()) return {0, 0, problem.text};
    const QuestionCells& where = imported.cells[problem.entry];
    size_t column = where.question_column;
    if (problem.field == BankField::Answer) column = where.answer_column;
    if (problem.field == BankField::Option && problem.option < where.option_columns.size())
        column = where.option_columns[problem.option];
    std::string text = problem.text;
    if (problem.same_as != NO_ENTRY && problem.same_as < imported.cells.size()) {
        text = "the same question and options as row " + std::to_string(imported.cells[problem.same_as].row) +
               ": remove one of them.";
    }
    return {where.row, column, text};
}

TableImport ImportTableBytes(HDC dc, const std::string& bytes, const std::string& bank_name) {
    TableImport result;
    const Table table = ReadTable(bytes);
    result.encoding = table.encoding;
    result.separator = table.separator;
    for (const TableProblem& problem : table.problems) result.messages.push_back({MessageKind::Error, problem});
    if (!table.problems.empty()) {
        result.errors = table.problems.size();
        return result;
    }
    result.cut = true;
    ImportedTable imported = ImportTable(table);
    result.headed = imported.headed;
    for (const TableProblem& note : imported.notes) result.messages.push_back({MessageKind::Note, note});
    for (const TableProblem& error : imported.errors) result.messages.push_back({MessageKind::Error, error});
    result.errors = imported.errors.size();
    if (result.errors) return result;

    // What is written is checked first: a bank the exam would refuse is not written at all.
    std::string bank = BankJson(imported.questions);
    const BankReport report = CheckBank(dc, bank_name, bank);
    for (const BankProblem& problem : report.problems) {
        result.messages.push_back(
            {problem.error ? MessageKind::Error : MessageKind::Warning, ProblemInTable(imported, problem)});
    }
    result.errors = report.errors;
    result.warnings = report.warnings;
    result.checked = report.checked;
    result.questions = std::move(imported.questions);
    if (!result.errors) result.bank = std::move(bank);
    return result;
}
