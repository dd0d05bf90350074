// Reading the bank's file on an unlucky machine: a bank that is not there, one another program holds or has
// locked, a pipe or a device in its place, one over the size limit; what the reader says about each, and the box
// the loader shows for it.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bank_file.h"
#include "bank_reference.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

const char BANK[] = R"([{"questionText":"Q","options":["a"],"correctAnswer":0}])";

class BankFileTest : public BankFolderTest {
protected:
    BankFileResult Read(const wchar_t* path, uint64_t size_limit = BANK_SIZE_LIMIT) {
        BankFile read = ReadBankFile(path, size_limit);
        text_ = std::move(read.text);
        size_ = read.size;
        error_ = read.system_error;
        return read.result;
    }

    // Loads questions.json and expects it refused with this one "Error" box.
    void ExpectErrorBox(const std::wstring& text) {
        bool loaded = true;
        const auto boxes = CaptureMessageBoxes([&] { loaded = LoadQuestions(owner_); });
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(allQuestions.empty());
        EXPECT_EQ(boxes, std::vector<MessageBoxSeen>{ErrorBox(L"Error", text, owner_)});
    }

    std::string text_;
    uint64_t size_ = 0;
    DWORD error_ = 0;
};

TEST_F(BankFileTest, APlainFileIsReadWhole) {
    folder_.Write(L"questions.json", BANK);
    EXPECT_EQ(Read(L"questions.json"), BankFileResult::Read);
    EXPECT_EQ(text_, BANK);
    EXPECT_EQ(size_, sizeof BANK - 1);
}

// Nothing by the name is missing; a folder by it is told apart, so its author hears what is there.
TEST_F(BankFileTest, WhatIsNotThereIsMissingAndAFolderIsAFolder) {
    ASSERT_TRUE(CreateDirectoryW(L"folder.json", nullptr));
    const struct {
        const wchar_t* path;
        BankFileResult result;
    } cases[] = {
        {L"questions.json", BankFileResult::Missing},
        {L"no-such-folder\\questions.json", BankFileResult::Missing},
        {L"folder.json", BankFileResult::Folder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.path));
        EXPECT_EQ(Read(c.path), c.result);
        EXPECT_EQ(text_, "");
    }
}

// Another program has the bank open without sharing it for reading. (A region another program has locked fails
// the read the same way on Windows; Wine does not enforce such locks, so that case cannot be shown here.)
TEST_F(BankFileTest, ABankAnotherProgramHoldsIsInUse) {
    folder_.Write(L"questions.json", BANK);
    const HANDLE holder =
        CreateFileW(L"questions.json", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(L"questions.json"), BankFileResult::InUse);
    EXPECT_EQ(error_, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(text_, "");
    ExpectErrorBox(L"questions.json is there but cannot be read: it is open in another program that does not share "
                   L"it. Close it there, then start Tessavon again.");
    CloseHandle(holder);
}

// A pipe or a device has no end to stop at; only plain files are read.
TEST_F(BankFileTest, PipesAndDevicesAreNotRead) {
    const wchar_t PIPE[] = L"\\\\.\\pipe\\tessavon-bank-file-test";
    const HANDLE pipe = CreateNamedPipeW(PIPE, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    std::vector<const wchar_t*> paths = {PIPE, L"NUL"};
    // Under Wine the Unix root is drive Z:, and its endless device can stand in for a bank linked to it.
    if (GetFileAttributesW(L"Z:\\dev\\zero") != INVALID_FILE_ATTRIBUTES) paths.push_back(L"Z:\\dev\\zero");
    for (const wchar_t* path : paths) {
        SCOPED_TRACE(WideToUtf8(path));
        EXPECT_EQ(Read(path), BankFileResult::NotAFile);
        EXPECT_EQ(text_, "");
    }
    CloseHandle(pipe);
}

// Over the limit, the size is reported and nothing is read; the loader's limit holds for a real (sparse) file.
TEST_F(BankFileTest, ABankOverTheLimitIsNotRead) {
    folder_.Write(L"questions.json", BANK);
    EXPECT_EQ(Read(L"questions.json", sizeof BANK - 2), BankFileResult::TooLarge);
    EXPECT_EQ(size_, sizeof BANK - 1);
    EXPECT_EQ(text_, "");
    EXPECT_EQ(Read(L"questions.json", sizeof BANK - 1), BankFileResult::Read);

    const HANDLE file = CreateFileW(L"questions.json", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(BANK_SIZE_LIMIT + 1);
    DWORD unused = 0;
    // Sparse, so the test takes no disk space (a Unix file system makes it sparse anyway).
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    ExpectErrorBox(L"questions.json is too large: 268435457 bytes (256 MB). Tessavon reads banks of up to 268435456 "
                   L"bytes (256 MB).");
}

// Read in pieces, a file gives what it gives read whole, wherever a CR LF, a lone CR or a Ctrl-Z falls against the
// pieces' edges.
TEST_F(BankFileTest, PiecesJoinedAreTheFileReadWhole) {
    const std::string filler(BANK_PIECE_SIZE - 1, 'x');
    const struct {
        const char* name;
        std::string bytes;
    } FILES[] = {
        {"CR LF across the edge", filler + "\r\nafter\r\n"},
        {"lone CR at the edge", filler + "\rafter"},
        {"CR as the last byte", filler + "\r"},
        {"CR LF right after the edge", filler + "y\r\nafter"},
        {"Ctrl-Z in the second piece", filler + "yz\r\n\x1A" + "gone"},
        {"two pieces of CR LF", std::string(BANK_PIECE_SIZE + 3, '\r') + std::string(BANK_PIECE_SIZE, '\n')},
        {"empty", ""},
    };
    for (const auto& file : FILES) {
        SCOPED_TRACE(file.name);
        folder_.Write(L"questions.json", file.bytes);
        ASSERT_EQ(Read(L"questions.json"), BankFileResult::Read);
        BankPieces pieces;
        uint64_t size = 0;
        DWORD error = 0;
        ASSERT_EQ(OpenBankPieces(L"questions.json", BANK_SIZE_LIMIT, pieces, size, error), BankFileResult::Read);
        std::string joined;
        while (ReadBankPiece(pieces)) joined.append(pieces.buffer.data(), pieces.length);
        EXPECT_FALSE(pieces.failed);
        EXPECT_EQ(pieces.delivered, joined.size());
        CloseBankPieces(pieces);
        EXPECT_TRUE(joined == text_) << joined.size() << " bytes in pieces, " << text_.size() << " read whole";
    }
}

}  // namespace
