// The question bank: checks the bank with the rules it shares with the bank checker (bank_rules.h), so that a bad
// bank is refused with a message naming its first bad entry and key, turns its entries into questions, and draws
// the exam from them.
#include "question_bank.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <numeric>
#include <random>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "bank_document.h"
#include "bank_file.h"
#include "bank_messages.h"
#include "bank_rules.h"
#include "utf8_decoding.h"

std::vector<Question> allQuestions;
std::vector<Question> examQuestions;

namespace {

using json = BankJson;

// Checks every entry of a parsed bank before any becomes a Question, while the text is still there to say where a
// bad entry is; says what is wrong with the first bad one.
bool CheckEntries(const json& data, const std::string& bank_text, std::string& err_msg) {
    size_t position = 0;
    for (const json& item : data) {
        const std::string problem = EntryProblem(item);
        if (!problem.empty()) {
            err_msg = FORMAT_ERROR_PREFIX + ("Question " + std::to_string(position + 1) + " (" +
                                             EntryLocation(bank_text, position) + "): " + problem);
            return false;
        }
        ++position;
    }
    return true;
}

// Turns every entry of a checked bank into a Question and appends them to `questions`.
void ConvertEntries(const json& data, std::vector<Question>& questions) {
    std::vector<Question> loaded(data.size());
    size_t position = 0;
    for (const json& item : data) ConvertEntry(item, loaded[position++]);
    if (questions.empty()) {
        questions = std::move(loaded);
    } else {
        // Room first: moving the questions in cannot fail, so running out of memory leaves `questions` as it was.
        questions.reserve(questions.size() + loaded.size());
        std::move(loaded.begin(), loaded.end(), std::back_inserter(questions));
    }
}

// Parses and checks the text, lets it go, and converts the entries; the document lives in an arena for the call.
bool ParseCheckAndConvert(std::string& bank_text, uint64_t size_limit, std::vector<Question>& questions,
                          std::string& err_msg) {
    std::pmr::monotonic_buffer_resource arena(FirstArenaBlock(bank_text.size()));
    documentArena = &arena;
    const json* data = ParseBankDocument(bank_text, size_limit, err_msg);
    const bool good = data && CheckEntries(*data, bank_text, err_msg);
    // The text is no longer needed: give its memory back before the questions take theirs.
    std::string().swap(bank_text);
    if (good) ConvertEntries(*data, questions);
    // The document dies with the arena, unwalked.
    documentArena = nullptr;
    return good;
}

bool ReadAndReport(HWND window) {
    std::string bank_text;
    uint64_t file_size = 0;
    DWORD system_error = ERROR_SUCCESS;
    // Relative on purpose: the bank is looked up in the folder the program is started in, not beside the exe.
    const BankFileResult read = ReadBankFile(L"questions.json", BANK_SIZE_LIMIT, bank_text, file_size, system_error);
    if (read != BankFileResult::Read) {
        MessageBoxW(window, FileProblem(read, file_size, system_error).c_str(), L"Error", MB_ICONERROR | MB_OK);
        return false;
    }
    std::string err_msg;
    if (!ParseQuestionBank(std::move(bank_text), allQuestions, err_msg)) {
        // What is wrong inside the bank is a parse error to the author; its size is not.
        const bool format = err_msg.rfind(FORMAT_ERROR_PREFIX, 0) == 0;
        MessageBoxW(window, Utf8ToWide(err_msg).c_str(), format ? L"JSON Parse Error" : L"Error",
                    MB_ICONERROR | MB_OK);
        return false;
    }
    return true;
}

}  // namespace

bool ParseQuestionBank(std::string bank_text, std::vector<Question>& questions, std::string& err_msg,
                       uint64_t size_limit) {
    const uint64_t size = bank_text.size();
    try {
        return ParseCheckAndConvert(bank_text, size_limit, questions, err_msg);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // Out of memory: what the attempt took has been given back by now, and the text goes too.
    documentArena = nullptr;
    std::string().swap(bank_text);
    err_msg = OutOfMemoryMessage(size);
    return false;
}

bool LoadQuestions(HWND window) {
    try {
        return ReadAndReport(window);
    } catch (const std::bad_alloc&) {
        // Not even the message could be made: say it without building anything.
        MessageBoxW(window, L"questions.json is too large for the memory available.", L"Error",
                    MB_ICONERROR | MB_OK);
        return false;
    }
}

void PrepareExam() {
    if (allQuestions.empty()) return;
    examQuestions.clear();

    std::vector<int> indices(allQuestions.size());
    std::iota(indices.begin(), indices.end(), 0);
    std::random_device seed_source;
    std::mt19937 engine(seed_source());
    std::shuffle(indices.begin(), indices.end(), engine);

    const size_t count = std::min<size_t>(indices.size(), EXAM_QUESTION_LIMIT);
    examQuestions.reserve(count);
    for (size_t k = 0; k < count; ++k) examQuestions.push_back(allQuestions[indices[k]]);
}
