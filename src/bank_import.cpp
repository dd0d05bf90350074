// From a table's rows to the bank's questions. Authors name columns in English or Japanese and write answers in the
// forms their exams print, so each form is read as it is meant; an answer that could mean two things, or nothing,
// is an error at its cell rather than a guess.
#include "bank_import.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "table_header.h"
#include "table_words.h"
#include "utf8_decoding.h"
#include "workbook_reading.h"

namespace {

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
void ImportRow(const TableRow& row, const TableColumns& columns, ImportedTable& imported) {
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
    const TableColumns header_columns = FindColumns(table);
    imported.headed = header_columns.headed;
    imported.column_names = header_columns.names;
    imported.errors = header_columns.errors;
    imported.notes = header_columns.notes;
    if (!imported.errors.empty()) return imported;
    for (size_t k = header_columns.first_question; k < table.rows.size(); ++k) {
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
        TableColumns columns;
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

TableImport ImportTableBytes(HDC dc, const std::string& bytes, const std::string& bank_name,
                             const ImportOptions& options) {
    TableImport result;
    const Table table =
        LooksLikeWorkbook(bytes) ? ReadWorkbook(bytes, options.sheet) : ReadTable(bytes, options.encoding);
    result.encoding = table.encoding;
    result.separator = table.separator;
    result.workbook = table.workbook;
    for (const TableProblem& problem : table.problems) result.messages.push_back({MessageKind::Error, problem});
    if (!table.problems.empty()) {
        result.errors = table.problems.size();
        return result;
    }
    result.cut = true;
    ImportedTable imported = ImportTable(table);
    result.headed = imported.headed;
    result.column_names = imported.column_names;
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

std::string PlaceInTable(const TableImport& imported, const TableProblem& problem) {
    if (problem.row == 0) return std::string();
    if (problem.column == 0) return "row " + std::to_string(problem.row);
    const std::string letters = ColumnLetters(problem.column);
    std::string place = imported.workbook ? "cell " + letters + std::to_string(problem.row)
                                          : "row " + std::to_string(problem.row) + ", column " + letters;
    if (problem.column <= imported.column_names.size() && !imported.column_names[problem.column - 1].empty())
        place += " \"" + imported.column_names[problem.column - 1] + "\"";
    return place;
}
