// From a table's rows to the bank's questions. Authors name columns in English or Japanese and write answers in the
// forms their exams print, so each form is read as it is meant; an answer that could mean two things, or nothing,
// is an error at its cell rather than a guess. What the checker finds is said at the table's cells, in its words.
#include "bank_import.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include "page_layout.h"
#include "table_header.h"
#include "table_words.h"
#include "utf8_decoding.h"
#include "workbook_reading.h"

namespace {

// The rows the exam shows for a question's options.
constexpr size_t SHOWN_OPTIONS = 4;

// "A to D, ア to エ or 1 to 4": the answers a row of `count` options takes.
std::string AnswerForms(size_t count, bool from_zero) {
    const auto range = [&](const std::string& first, const std::string& last) {
        return count == 1 ? first : first + " to " + last;
    };
    std::string forms = range("A", OptionLetter(count - 1));
    if (count <= KANA_COUNT) forms += ", " + range("ア", Utf8FromWide(std::wstring(1, KANA[count - 1])));
    return forms + " or " + range(from_zero ? "0" : "1", std::to_string(from_zero ? count - 1 : count));
}

// A text as a message quotes it: cut to its first 40 characters.
std::string Quoted(const std::wstring& text) {
    const size_t limit = 40;
    std::string quoted(1, '"');
    quoted += Utf8FromWide(text.size() > limit ? text.substr(0, limit) + L"…" : text);
    return quoted + '"';
}

// A cell's text as the bank holds it. A cell is well-formed UTF-8 (the table's text was checked or decoded to it, a
// workbook's made of XmlLite's UTF-16), so most are decoded directly; one holding a NUL, which the decoding would end
// at, is left to CellText.
std::wstring TextOfCell(const std::string& cell) {
    bool nul = false;
    std::wstring text = WideFromCheckedUtf8(cell, &nul);
    return nul ? CellText(cell) : text;
}

// Whether Folded(cell) is empty, without making it for the cells that start with a visible ASCII character, which
// folding never removes: most cells, asked of several times a row.
bool FoldsEmpty(const std::string& cell) {
    if (!cell.empty() && cell[0] > ' ' && cell[0] < '\x7F') return false;
    return Folded(cell).empty();
}

// An answer that reads as one option by its letter, kana or number and as another by its text: which one is meant
// is up to the rest of the column.
struct OpenAnswer {
    size_t question = 0;  // in ImportedTable::questions
    long label = 0;       // the option its letter, kana or number names
    long value = 0;       // the option whose text it is
    bool number = false;  // the label is a number, not a letter or kana
    std::string cell;
};

// What the rows' answers tell of the answer column as a whole. A letter tells nothing of how a number is meant, nor
// a number of a letter.
struct AnswerColumn {
    bool from_zero = false;
    bool letters = false;  // an answer that reads only as an option's letter or kana
    bool numbers = false;  // an answer that reads only as an option's number
    bool values = false;   // an answer that reads only as an option's text
    std::vector<OpenAnswer> open;
};

// What the import keeps while it reads the rows.
struct RowsRead {
    ImportedTable& imported;
    AnswerColumn answers;
    char separator;
    bool workbook;
    // A text table whose rows, but a few, have no more fields than the header: a spreadsheet saves every row as wide
    // as the others, so in a few rows a field more, even an empty one, is a cell the separator cut in two.
    bool fields_count = false;
};

// An error at the answer's cell when the exam would not show the option it names.
bool AnswerShown(RowsRead& read, const QuestionCells& where, long answer, const std::string& cell) {
    if (static_cast<size_t>(answer) < SHOWN_OPTIONS) return true;
    read.imported.errors.push_back(
        {where.row, where.answer_column,
         "the answer \"" + cell + "\" is option " + OptionLetter(static_cast<size_t>(answer)) +
             ", but the exam shows only the first four options: the candidate could never choose it. Put the right "
             "option among the first four."});
    return false;
}

// The answer in `cell` as a position from 0 among the question's options, -2 when it is left to the column, or -1
// after saying what is wrong at its cell.
long ReadAnswer(RowsRead& read, const std::string& cell, const Question& question, const QuestionCells& where) {
    const size_t count = question.options.size();
    const std::wstring answer = Folded(cell);
    // Said only under an error: most rows' answers are read without it.
    const auto forms = [&] { return AnswerForms(count, read.answers.from_zero); };
    const auto error = [&](std::string text) {
        const std::string invisible = InvisibleCharacters(cell);
        if (!invisible.empty())
            text += " The cell holds " + invisible + ", which cannot be seen: type the answer again.";
        read.imported.errors.push_back({where.row, where.answer_column, text});
        return -1L;
    };
    if (answer.empty()) return error("the answer is empty: write the right option as " + forms() + ".");
    long label = LabelPosition(answer);
    const long number = label < 0 ? SmallNumber(answer) : -1;
    if (number >= 0) label = read.answers.from_zero ? number : number - 1;
    const bool labelled = label >= 0 && static_cast<size_t>(label) < count;
    std::vector<long> values;
    for (size_t k = 0; k < count; ++k)
        if (FoldsTo(question.options[k], answer)) values.push_back(static_cast<long>(k));
    if (labelled) {
        const auto other = std::find_if(values.begin(), values.end(), [&](long value) { return value != label; });
        if (other == values.end()) {
            if (values.empty()) (number >= 0 ? read.answers.numbers : read.answers.letters) = true;
            return label;
        }
        read.answers.open.push_back({read.imported.questions.size(), label, *other, number >= 0, cell});
        return -2;
    }
    if (values.size() == 1) {
        read.answers.values = true;
        return values[0];
    }
    if (values.size() > 1) {
        return error("the answer \"" + cell + "\" is the text of options " + OptionLetter(values[0]) + " and " +
                     OptionLetter(values[1]) + ": write the right option as " + forms() + ".");
    }
    if (number == 0 && !read.answers.from_zero)
        return error("the answer is 0, but numbers count from 1 here (only a column named correctAnswer counts from "
                     "0, as the bank does): write the right option as " + forms() + ".");
    if (label >= 0) {
        // A number is said as the number it is: option 2026, not the letters that would count that far.
        const std::string named = number >= 0 ? "number " + std::to_string(number)
                                              : OptionLetter(static_cast<size_t>(label));
        return error("the answer \"" + cell + "\" names option " + named + ", but this row has " +
                     (count == 1 ? "1 option" : std::to_string(count) + " options") + ": write the right option as " +
                     forms() + ".");
    }
    return error("the answer \"" + cell + "\" is not an option's letter, kana, number or text: write the right option "
                 "as " + forms() + ".");
}

// The candidate's view of the question's texts, known from the cells: said here, at the cell, rather than as the
// checker says it of the bank.
void TextWarnings(const Question& question, QuestionCells& where, std::vector<TableProblem>& warnings) {
    if (question.questionText.find(L'\0') != std::wstring::npos) {
        warnings.push_back({where.row, where.question_column,
                            "the question holds a NUL character (U+0000): the exam shows it only up to there. Remove "
                            "it."});
        where.texts_said |= 1u;
    }
    const size_t count = question.options.size();
    for (size_t k = 0; k < std::min(count, SHOWN_OPTIONS); ++k) {
        const std::wstring& option = question.options[k];
        const auto name = [k] { return "option " + OptionLetter(k); };
        if (option.find(L'\0') != std::wstring::npos) {
            warnings.push_back({where.row, where.option_columns[k],
                                name() + " holds a NUL character (U+0000): the exam shows it only up to there. Remove "
                                "it."});
        } else if (IsBlank(option)) {
            warnings.push_back({where.row, where.option_columns[k],
                                name() + " is blank: the exam shows an empty row for it. Write its text."});
        } else {
            continue;
        }
        where.texts_said |= 1u << (k + 1);
    }
    if (count < SHOWN_OPTIONS) {
        const size_t missing = SHOWN_OPTIONS - count;
        warnings.push_back({where.row, 0,
                            "the row has " + std::to_string(count) + (count == 1 ? " option" : " options") +
                                ", so the exam shows " + std::to_string(missing) +
                                (missing == 1 ? " empty row" : " empty rows") + " under them. Give it four options."});
        where.count_said = true;
    } else if (count > SHOWN_OPTIONS) {
        const std::string hidden = count == SHOWN_OPTIONS + 1 ? "option E " + Quoted(question.options[4]) + " is"
                                   : "options E to " + OptionLetter(count - 1) + " are";
        warnings.push_back({where.row, where.option_columns[SHOWN_OPTIONS],
                            "the row has " + std::to_string(count) + " options, but the exam shows only the first "
                            "four: " + hidden + " never shown. Remove " +
                                (count == SHOWN_OPTIONS + 1 ? "it." : "them.")});
        where.count_said = true;
    }
}

// The separator's name, as an author knows the key.
std::string SeparatorName(char separator) {
    return separator == '\t' ? "tab" : separator == ';' ? "semicolon" : "comma";
}

// An error at the first cell of `row` beyond `width` columns, when it holds anything: a cell the separator cut in two
// moves every cell after it one column on, the answer too.
bool WithinWidth(RowsRead& read, const TableRow& row, size_t width, const char* whose) {
    size_t beyond = width;
    while (beyond < row.cells.size() && FoldsEmpty(row.cells[beyond]) && !read.fields_count) ++beyond;
    if (beyond >= row.cells.size()) return true;
    size_t used = row.cells.size();
    while (used > beyond + 1 && FoldsEmpty(row.cells[used - 1])) --used;
    const std::string cause =
        read.workbook ? " Move the cell into a column of its own, or remove it."
                      : " An unquoted " + SeparatorName(read.separator) + " in a cell before it is the likely cause: " +
                            "it cuts that cell in two and moves the cells after it one column on. Put that cell in "
                            "quotes (\"...\")." +
                            (FoldsEmpty(row.cells[beyond]) && beyond + 1 == row.cells.size()
                                 ? " If the row only ends in one " + SeparatorName(read.separator) +
                                       " more than the header, remove it."
                                 : "");
    read.imported.errors.push_back({row.row, beyond + 1,
                                    "the row has " + std::to_string(used) + " columns of cells (A to " +
                                        ColumnLetters(used) + "), but " + whose + " " + std::to_string(width) +
                                        " (A to " + ColumnLetters(width) + "): this cell is beyond them." + cause});
    return false;
}

// One row as a question, from the cells `columns` names; a row the bank cannot take adds its errors instead.
void ImportRow(RowsRead& read, const TableRow& row, const TableColumns& columns) {
    ImportedTable& imported = read.imported;
    static const std::string empty;
    const auto cell = [&](size_t column) -> const std::string& {
        return column && column <= row.cells.size() ? row.cells[column - 1] : empty;
    };
    QuestionCells where;
    where.row = row.row;
    where.question_column = columns.question;
    where.answer_column = columns.answer;
    where.option_columns = columns.options;
    // Options left empty at the end are options this question does not have.
    while (!where.option_columns.empty() && FoldsEmpty(cell(where.option_columns.back())))
        where.option_columns.pop_back();
    const size_t errors = imported.errors.size();
    Question question;
    question.questionText = TextOfCell(cell(columns.question));
    if (IsBlank(question.questionText) && question.questionText.find(L'\0') == std::wstring::npos)
        imported.errors.push_back({row.row, columns.question, "the question is empty: write it, or remove the row."});
    if (where.option_columns.empty()) {
        imported.errors.push_back({row.row, columns.options.empty() ? columns.question + 1 : columns.options[0],
                                   "the row has no options: write them, or remove the row."});
        return;
    }
    const auto error_value = [&](size_t column) {
        if (!IsErrorValue(cell(column))) return;
        imported.errors.push_back(
            {row.row, column,
             "the cell holds \"" + cell(column) + "\", a spreadsheet's error value: the formula here failed. Mend the "
             "formula (or write the text itself) and save the table again."});
    };
    error_value(columns.question);
    for (const size_t column : where.option_columns) error_value(column);
    question.options.reserve(where.option_columns.size());
    for (const size_t column : where.option_columns) question.options.push_back(TextOfCell(cell(column)));
    if (imported.errors.size() != errors) return;
    const long answer = ReadAnswer(read, cell(columns.answer), question, where);
    if (answer == -1 || (answer >= 0 && !AnswerShown(read, where, answer, cell(columns.answer)))) return;
    question.correctAnswer = static_cast<int>(std::max(answer, 0L));
    TextWarnings(question, where, imported.warnings);
    imported.questions.push_back(std::move(question));
    imported.cells.push_back(std::move(where));
}

// Each open answer read as the rest of its column reads, or an error at its cell showing both readings.
void SettleOpenAnswers(RowsRead& read) {
    const AnswerColumn& column = read.answers;
    for (const OpenAnswer& open : column.open) {
        Question& question = read.imported.questions[open.question];
        const QuestionCells& where = read.imported.cells[open.question];
        const bool labels = open.number ? column.numbers : column.letters;
        if (column.values != labels) {
            const long answer = column.values ? open.value : open.label;
            if (AnswerShown(read, where, answer, open.cell)) question.correctAnswer = static_cast<int>(answer);
            continue;
        }
        const std::string from = column.from_zero ? "0" : "1";
        const std::string as_label = open.number ? "the options' number, counted from " + from : "a letter";
        // The advice is the form the answer is not in: that one can mean only the option's position.
        const size_t count = question.options.size();
        const std::string advice =
            open.number ? "its letter, A to " + OptionLetter(count - 1)
                        : "its number, " + from + " to " + std::to_string(column.from_zero ? count - 1 : count);
        read.imported.errors.push_back(
            {where.row, where.answer_column,
             "the answer \"" + open.cell + "\" could be option " + OptionLetter(static_cast<size_t>(open.label)) +
                 " (" + Quoted(question.options[open.label]) + "), read as " + as_label + ", or option " +
                 OptionLetter(static_cast<size_t>(open.value)) + " (" + Quoted(question.options[open.value]) +
                 "), whose text it is, and the rest of the answer column does not tell which. Write the right option "
                 "as " + advice + "."});
    }
}

// The bank's texts as the exam says a repeat's: "row 7".
std::string RowOf(const ImportedTable& imported, size_t entry) {
    return "row " + std::to_string(imported.cells[entry].row);
}

// "The table is too large...": said the same whichever stage ran out of memory.
TableImport TooLargeForMemory(TableImport& partial) {
    TableImport result;
    result.encoding = std::move(partial.encoding);
    result.separator = partial.separator;
    result.workbook = partial.workbook;
    result.checked = false;
    result.errors = 1;
    result.messages.push_back(
        {MessageKind::Error,
         {0, 0, "the table is too large for the memory available: close other programs and run the import again, or "
                "split the table into smaller ones."}});
    return result;
}

// How many cells a row of a table without a header may hold, and the words that say why: as many as most rows
// hold, or, when no two rows agree, a question, four options and an answer (after the rows' numbers). A row with more
// was likely cut by a separator, and its answer's letter would name the wrong option.
struct RowLimit {
    size_t width = 0;
    const char* whose = "";
};
RowLimit UsualWidth(const Table& table, size_t first, size_t first_column) {
    std::map<size_t, size_t> rows_of_width;
    for (size_t k = first; k < table.rows.size(); ++k) {
        size_t used = table.rows[k].cells.size();
        while (used > 0 && FoldsEmpty(table.rows[k].cells[used - 1])) --used;
        ++rows_of_width[used];
    }
    size_t usual = 0, most = 0;
    for (const auto& [width, rows] : rows_of_width) {
        if (rows > most) std::tie(usual, most) = std::make_pair(width, rows);
    }
    // Rows without a header hold a question, at most the four options the exam shows and the answer: more, even in
    // every row, is rather a question cut in two by the separator than options the candidate would never see.
    const size_t widest = first_column + SHOWN_OPTIONS + 1;
    if (most >= 2 && usual <= widest) return {usual, "most rows have"};
    return {widest, "a question, four options and an answer take"};
}

// Where the bank's text goes: `out` null only counts its length, so the text is one allocation of its exact size (a
// string grown by doubling would hold up to twice the bank, and copy it at every step).
struct BankOutput {
    char* out = nullptr;
    size_t length = 0;
};

void Put(BankOutput& output, const char* bytes, size_t n) {
    if (output.out) std::memcpy(output.out + output.length, bytes, n);
    output.length += n;
}

void Put(BankOutput& output, const char* literal) { Put(output, literal, std::strlen(literal)); }

// A text as a JSON string in UTF-8: escaped as the JSON library escapes it (", \, \b \f \n \r \t, other control
// characters as \u00xx), a lone surrogate as U+FFFD as Utf8FromWide gives it. Encoded here rather than through
// Utf8FromWide and the library's dump, which made two strings of every text in the bank.
void PutJsonString(BankOutput& output, const std::wstring& text) {
    Put(output, "\"", 1);
    const size_t size = text.size();
    size_t plain = 0;  // the start of the run of ASCII that needs no escape, copied whole
    const auto put_plain = [&](size_t end) {
        if (output.out) {
            char* to = output.out + output.length;
            for (size_t k = plain; k < end; ++k) *to++ = static_cast<char>(text[k]);
        }
        output.length += end - plain;
    };
    for (size_t k = 0; k < size; ++k) {
        const unsigned c = text[k];
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') continue;
        put_plain(k);
        plain = k + 1;
        if (c < 0x80) {
            const char* escape = c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\b' ? "\\b" : c == '\f' ? "\\f"
                               : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : nullptr;
            const char hex[] = "0123456789abcdef";
            const char unicode[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            escape ? Put(output, escape, 2) : Put(output, unicode, 6);
            continue;
        }
        unsigned code = c;
        if (c >= 0xD800 && c < 0xDC00 && k + 1 < size && text[k + 1] >= 0xDC00 && text[k + 1] < 0xE000) {
            code = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned>(text[k + 1]) - 0xDC00);
            plain = ++k + 1;
        } else if (c >= 0xD800 && c < 0xE000) {
            code = 0xFFFD;
        }
        char bytes[4];
        size_t n = 0;
        if (code < 0x800) {
            bytes[n++] = static_cast<char>(0xC0 | code >> 6);
        } else if (code < 0x10000) {
            bytes[n++] = static_cast<char>(0xE0 | code >> 12);
            bytes[n++] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        } else {
            bytes[n++] = static_cast<char>(0xF0 | code >> 18);
            bytes[n++] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        }
        bytes[n++] = static_cast<char>(0x80 | (code & 0x3F));
        Put(output, bytes, n);
    }
    put_plain(size);
    Put(output, "\"", 1);
}

// The bank laid out as the sample bank is.
void PutBank(BankOutput& output, const std::vector<Question>& questions) {
    Put(output, "[");
    for (size_t k = 0; k < questions.size(); ++k) {
        const Question& question = questions[k];
        Put(output, k ? ",\n  {\n    \"questionText\": " : "\n  {\n    \"questionText\": ");
        PutJsonString(output, question.questionText);
        Put(output, ",\n    \"options\": [");
        for (size_t n = 0; n < question.options.size(); ++n) {
            Put(output, n ? ",\n      " : "\n      ");
            PutJsonString(output, question.options[n]);
        }
        Put(output, question.options.empty() ? "],\n" : "\n    ],\n");
        Put(output, "    \"correctAnswer\": ");
        const std::string answer = std::to_string(question.correctAnswer);
        Put(output, answer.data(), answer.size());
        Put(output, "\n  }");
    }
    Put(output, questions.empty() ? "]\n" : "\n]\n");
}

}  // namespace

ImportedTable ImportTable(Table& table) {
    ImportedTable imported;
    const TableColumns header_columns = FindColumns(table);
    imported.headed = header_columns.headed;
    imported.column_names = header_columns.names;
    imported.errors = header_columns.errors;
    imported.notes = header_columns.notes;
    if (!imported.errors.empty()) return imported;
    // A question for each row at most, so neither list is moved as it grows.
    imported.questions.reserve(table.rows.size());
    imported.cells.reserve(table.rows.size());
    RowsRead read{imported, {}, table.separator, table.workbook};
    read.answers.from_zero = header_columns.from_zero;
    const TableRow* header = imported.headed ? &table.rows[header_columns.first_question - 1] : nullptr;
    if (header && !table.workbook && header_columns.width == header->cells.size()) {
        const size_t rows = table.rows.size() - header_columns.first_question;
        const size_t wider = static_cast<size_t>(
            std::count_if(table.rows.begin() + static_cast<long>(header_columns.first_question), table.rows.end(),
                          [&](const TableRow& row) { return row.cells.size() > header_columns.width; }));
        read.fields_count = wider * 2 <= rows;
    }
    const size_t first_column = header_columns.numbered ? 2 : 1;
    const RowLimit usual =
        imported.headed ? RowLimit() : UsualWidth(table, header_columns.first_question, first_column);
    for (size_t k = header_columns.first_question; k < table.rows.size(); ++k) {
        TableRow& row = table.rows[k];
        if (imported.headed) {
            if (WithinWidth(read, row, header_columns.width, "the header has")) ImportRow(read, row, header_columns);
        } else if (WithinWidth(read, row, usual.width, usual.whose)) {
            // Without a header: the question, the options, and the answer in the row's last cell that holds anything.
            size_t used = row.cells.size();
            while (used > 0 && FoldsEmpty(row.cells[used - 1])) --used;
            if (used < first_column + 2) {
                imported.errors.push_back(
                    {row.row, used + 1,
                     "the row has " + std::to_string(used) + (used == 1 ? " cell" : " cells") + ", but a question "
                     "needs three at least: the question, its options, then the answer in the last cell."});
            } else {
                TableColumns columns;
                columns.question = first_column;
                for (size_t column = first_column + 1; column < used; ++column) columns.options.push_back(column);
                columns.answer = used;
                ImportRow(read, row, columns);
            }
        }
        // The row is read: its cells are not needed again.
        std::vector<std::string>().swap(row.cells);
    }
    SettleOpenAnswers(read);
    std::stable_sort(imported.errors.begin(), imported.errors.end(),
                     [](const TableProblem& a, const TableProblem& b) { return a.row < b.row; });
    if (imported.errors.empty() && imported.questions.empty())
        imported.errors.push_back({0, 0, "the table holds no questions."});
    return imported;
}

std::string BankJson(const std::vector<Question>& questions) {
    BankOutput counted;
    PutBank(counted, questions);
    std::string bank(counted.length, '\0');
    BankOutput output{&bank[0]};
    PutBank(output, questions);
    return bank;
}

std::vector<ImportMessage> FindingsInTable(const ImportedTable& imported, const BankReport& report) {
    std::vector<ImportMessage> findings;
    size_t last_entry = NO_ENTRY;
    bool entry_seen = false;  // a finding of the whole entry was met for `last_entry`
    for (const BankProblem& problem : report.problems) {
        const MessageKind kind = problem.error ? MessageKind::Error : MessageKind::Warning;
        if (problem.entry == NO_ENTRY || problem.entry >= imported.cells.size()) {
            findings.push_back({kind, {0, 0, problem.text}});
            continue;
        }
        if (problem.entry != last_entry) entry_seen = false;
        last_entry = problem.entry;
        const QuestionCells& where = imported.cells[problem.entry];
        if (problem.same_as != NO_ENTRY && problem.same_as < imported.cells.size()) {
            findings.push_back({kind,
                                {where.row, where.question_column,
                                 "the same question and options as " + RowOf(imported, problem.same_as) +
                                     ": remove one of them."}});
            continue;
        }
        // What else the checker can find in a bank the importer wrote is what the exam's page makes of it; the
        // rest (the count, blank texts, NULs, an answer not shown) the importer said itself.
        switch (problem.field) {
            case BankField::QuestionText:
                if (where.texts_said & 1u) continue;
                findings.push_back({kind,
                                    {where.row, where.question_column,
                                     "the question scrolls on the exam's page: even at the smallest size it does not "
                                     "fit beside its options. Shorten it, or its options."}});
                break;
            case BankField::Option:
                if (problem.option >= where.option_columns.size() ||
                    (problem.option < 31 && (where.texts_said & (1u << (problem.option + 1)))))
                    continue;
                findings.push_back({kind,
                                    {where.row, where.option_columns[problem.option],
                                     "option " + OptionLetter(problem.option) + " is cut short with \"…\" on the "
                                     "exam's page: the candidate reads its end only by resting the mouse on it. "
                                     "Shorten it, or the question."}});
                break;
            case BankField::Answer:
                // An answer the exam does not show is the importer's error; the bank is not written then.
                continue;
            case BankField::Entry:
                // The checker says the options' count first of all it says of the whole entry.
                if (!entry_seen && where.count_said) {
                    entry_seen = true;
                    continue;
                }
                entry_seen = true;
                findings.push_back({kind,
                                    {where.row, 0,
                                     "the question and its options are shown smaller than the normal size: they do "
                                     "not fit the exam's page at it. Shorten them to keep it."}});
                break;
        }
    }
    return findings;
}

namespace {

// ImportTableBytes, giving back `owned` (the bytes themselves, when the caller gave them) once they are cut into cells.
TableImport ImportBytes(HDC dc, const std::string& bytes, std::string* owned, const std::string& bank_name,
                        const ImportOptions& options) {
    TableImport result;
    try {
        Table table =
            LooksLikeWorkbook(bytes) ? ReadWorkbook(bytes, options.sheet) : ReadTable(bytes, options.encoding);
        if (owned) std::string().swap(*owned);
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
        Table().rows.swap(table.rows);
        result.headed = imported.headed;
        result.column_names = imported.column_names;
        for (const TableProblem& note : imported.notes) result.messages.push_back({MessageKind::Note, note});
        for (const TableProblem& error : imported.errors) result.messages.push_back({MessageKind::Error, error});
        result.errors = imported.errors.size();
        // A sheet of which no row made a question may be the wrong sheet: a workbook's first often explains the rest.
        if (result.errors && imported.questions.empty() && !table.sheets.empty()) {
            result.messages.push_back({MessageKind::Note,
                                       {0, 0, "no row of this sheet made a question: if the questions are on another "
                                              "sheet, name it with --sheet (the sheets are " + table.sheets + ")."}});
        }
        if (result.errors) return result;

        // What is written is checked first: a bank the exam would refuse is not written at all.
        std::string bank = BankJson(imported.questions);
        result.question_count = imported.questions.size();
        std::vector<Question>().swap(imported.questions);
        const BankReport report = CheckBank(dc, bank_name, bank);
        if (!report.checked) return TooLargeForMemory(result);
        std::vector<ImportMessage> warnings;
        for (const TableProblem& warning : imported.warnings) warnings.push_back({MessageKind::Warning, warning});
        const std::vector<ImportMessage> findings = FindingsInTable(imported, report);
        warnings.insert(warnings.end(), findings.begin(), findings.end());
        // Row by row, as the author goes through the table; what the importer said comes before the checker's.
        std::stable_sort(warnings.begin(), warnings.end(), [](const ImportMessage& a, const ImportMessage& b) {
            return a.problem.row < b.problem.row;
        });
        for (ImportMessage& message : warnings) {
            ++(message.kind == MessageKind::Error ? result.errors : result.warnings);
            result.messages.push_back(std::move(message));
        }
        if (!result.errors) result.bank = std::move(bank);
        return result;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
        // A text longer than a string can be is the same want of memory, as the checker takes it.
    }
    return TooLargeForMemory(result);
}

}  // namespace

TableImport ImportTableBytes(HDC dc, const std::string& bytes, const std::string& bank_name,
                             const ImportOptions& options) {
    return ImportBytes(dc, bytes, nullptr, bank_name, options);
}

TableImport ImportTableBytes(HDC dc, std::string&& bytes, const std::string& bank_name, const ImportOptions& options) {
    return ImportBytes(dc, bytes, &bytes, bank_name, options);
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
