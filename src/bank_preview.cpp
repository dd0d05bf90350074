// The bank checker's preview: the bank read by the exam's loader, and the exam's window opened on it.
#include "bank_preview.h"

#include <windows.h>

#include <cstdint>
#include <utility>

#include "bank_file.h"
#include "bank_messages.h"
#include "main_window.h"
#include "question_bank.h"
#include "utf8_decoding.h"

BankPreview PreviewBank(const std::wstring& path, size_t number) {
    BankPreview preview;
    // Read again after the check, as the exam would read it: the check keeps no questions.
    BankFile read = ReadBankFile(path.c_str(), BANK_SIZE_LIMIT);
    if (read.result != BankFileResult::Read) {
        preview.problem = Utf8FromWide(FileProblem(read, Utf8FromWide(path), CHECK_AGAIN));
        return preview;
    }
    PreviewStart start;
    if (!ParseQuestionBank(std::move(read.text), start.questions, preview.problem)) return preview;
    preview.questions = start.questions.size();
    if (number < 1 || number > preview.questions) return preview;
    start.first = static_cast<int>(number - 1);
    preview.status = RunMainWindow(GetModuleHandleW(nullptr), SW_SHOWDEFAULT, &start);
    preview.shown = true;
    return preview;
}
