// The question bank: walks the bank with the rules it shares with the bank checker (bank_rules.h), building its
// questions as the file's pieces are read, so that a bad bank is refused with a message naming its first bad entry
// and key; and draws the exam from the questions.
#include "question_bank.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <new>
#include <numeric>
#include <random>
#include <stdexcept>
#include <utility>

#include "bank_file.h"
#include "bank_messages.h"
#include "bank_rules.h"
#include "utf8_decoding.h"

std::vector<Question> allQuestions;
std::vector<Question> examQuestions;

namespace {

// Relative on purpose: the bank is looked up in the folder the program is started in, not beside the exe.
const wchar_t BANK_PATH[] = L"questions.json";

// Appends a load's questions to `questions`, which moving in cannot make fail: room first, so that running out of
// memory leaves `questions` as it was.
void AppendQuestions(std::vector<Question>& loaded, std::vector<Question>& questions) {
    if (questions.empty()) {
        questions = std::move(loaded);
        return;
    }
    questions.reserve(questions.size() + loaded.size());
    std::move(loaded.begin(), loaded.end(), std::back_inserter(questions));
}

// Collects every entry's Question, and stops at the first bad entry, remembering which it is and why.
EntrySink Collect(std::vector<Question>& loaded, size_t& bad_position, EntryVerdict& bad) {
    return [questions = &loaded, at = &bad_position, why = &bad](size_t position, Question& question,
                                                                 const EntryVerdict& verdict, unsigned) {
        if (verdict.fault != EntryFault::None) {
            *at = position;
            *why = verdict;
            return false;
        }
        questions->push_back(std::move(question));
        return true;
    };
}

// Why a bank is refused, as its box shows it.
struct Refusal {
    bool refused = false;
    bool format = false;  // about what the bank holds: a parse error to its author
    std::string message;
};

Refusal WalkAndConvert(const std::string& bank_text, uint64_t size_limit, std::vector<Question>& questions) {
    std::vector<Question> loaded;
    size_t bad_position = 0;
    EntryVerdict bad;
    const TextVerdict verdict = WalkBankText(bank_text, size_limit, Collect(loaded, bad_position, bad));
    if (verdict.fault != TextFault::None) {
        return {true, IsFormatFault(verdict),
                (IsFormatFault(verdict) ? FORMAT_ERROR_PREFIX : "") + TextFaultWords(verdict, bank_text)};
    }
    if (bad.fault != EntryFault::None) {
        // The text is still here to say where the bad entry starts.
        return {true, true,
                FORMAT_ERROR_PREFIX + ("Question " + std::to_string(bad_position + 1) + " (" +
                                       EntryLocation(bank_text, bad_position) + "): " + EntryFaultWords(bad))};
    }
    AppendQuestions(loaded, questions);
    return Refusal();
}

// Out of memory: what the attempt took has been given back by now.
Refusal OutOfMemory(uint64_t size) { return {true, false, OutOfMemoryMessage(size)}; }

// Reads a bank in memory, and says why when it is refused; no exception leaves. The text is taken by value so a
// caller that moves it in lets its memory go as soon as it is no longer needed.
Refusal ParseBank(std::string bank_text, std::vector<Question>& questions, uint64_t size_limit) {
    const uint64_t size = bank_text.size();
    try {
        return WalkAndConvert(bank_text, size_limit, questions);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::string().swap(bank_text);
    return OutOfMemory(size);
}

// Shows a refused bank's message in its box: what is wrong inside the bank is a parse error to the author; its size
// is not.
void ShowRefusal(HWND window, const Refusal& refusal) {
    MessageBoxW(window, Utf8ToWide(refusal.message).c_str(), refusal.format ? L"JSON Parse Error" : L"Error",
                MB_ICONERROR | MB_OK);
}

// Shows why the bank's file could not be read; false, for the load that fails.
bool ShowFileProblem(HWND window, const BankFile& read) {
    MessageBoxW(window, FileProblem(read).c_str(), L"Error", MB_ICONERROR | MB_OK);
    return false;
}

// The bank read whole and walked in memory: the way to say why a bank is refused, since only the whole text can
// say where.
bool ReadWholeAndReport(HWND window) {
    BankFile read = ReadBankFile(BANK_PATH, BANK_SIZE_LIMIT);
    if (read.result != BankFileResult::Read) return ShowFileProblem(window, read);
    const Refusal refusal = ParseBank(std::move(read.text), allQuestions, BANK_SIZE_LIMIT);
    if (refusal.refused) ShowRefusal(window, refusal);
    return !refusal.refused;
}

// A good bank becomes questions as its pieces are read, so the loader holds one piece and the questions, never the
// whole text. A bank that is refused, or a read that fails, is read again whole and walked, which says why in the
// same words as ever; running out of memory is said at once.
bool ReadAndReport(HWND window) {
    BankPieces pieces;
    BankFile opened;
    opened.result = OpenBankPieces(BANK_PATH, BANK_SIZE_LIMIT, pieces, opened.size, opened.system_error);
    if (opened.result != BankFileResult::Read) return ShowFileProblem(window, opened);
    const PieceSource next_piece = [&pieces](std::string_view& piece) {
        if (!ReadBankPiece(pieces)) return false;
        piece = std::string_view(pieces.buffer.data(), pieces.length);
        return true;
    };
    std::vector<Question> loaded;
    size_t bad_position = 0;
    EntryVerdict bad;
    bool good = false, out_of_memory = false;
    try {
        good = WalkBank(next_piece, Collect(loaded, bad_position, bad)) && bad.fault == EntryFault::None &&
               !pieces.failed;
        if (good) AppendQuestions(loaded, allQuestions);
    } catch (const std::bad_alloc&) {
        out_of_memory = true;
    } catch (const std::length_error&) {
        out_of_memory = true;
    }
    // What the attempt took goes first.
    std::vector<Question>().swap(loaded);
    if (out_of_memory) {
        // The message gives the size of the text, as the text read whole: the rest of it is counted, not kept.
        while (ReadBankPiece(pieces)) {
        }
        CloseBankPieces(pieces);
        ShowRefusal(window, OutOfMemory(pieces.delivered));
        return false;
    }
    CloseBankPieces(pieces);
    return good || ReadWholeAndReport(window);
}

}  // namespace

bool ParseQuestionBank(std::string bank_text, std::vector<Question>& questions, std::string& err_msg,
                       uint64_t size_limit) {
    Refusal refusal = ParseBank(std::move(bank_text), questions, size_limit);
    if (refusal.refused) err_msg = std::move(refusal.message);
    return !refusal.refused;
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
