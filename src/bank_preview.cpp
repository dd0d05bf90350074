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
    std::string bank_text;
    uint64_t file_size = 0;
    DWORD system_error = ERROR_SUCCESS;
    // Read again after the check, as the exam would read it: the check keeps no questions.
    const BankFileResult read = ReadBankFile(path.c_str(), BANK_SIZE_LIMIT, bank_text, file_size, system_error);
    if (read != BankFileResult::Read) {
        preview.problem =
            Utf8FromWide(FileProblem(read, file_size, system_error, Utf8FromWide(path), CHECK_AGAIN));
        return preview;
    }
    PreviewStart start;
    if (!ParseQuestionBank(std::move(bank_text), start.questions, preview.problem)) return preview;
    preview.questions = start.questions.size();
    if (number < 1 || number > preview.questions) return preview;
    start.first = static_cast<int>(number - 1);
    preview.status = RunMainWindow(GetModuleHandleW(nullptr), SW_SHOWDEFAULT, &start);
    preview.shown = true;
    return preview;
}
