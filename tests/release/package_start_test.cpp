// The Windows zip as a candidate uses it: unpacked into an empty folder and started there, the program opens the
// exam on the sample bank that came with it, and closing the window ends it with status 0.
// The unpacked folder is named by TESSAVON_UNPACKED_PACKAGE (set by the test's definition).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "control_ids.h"
#include "main_window.h"
#include "test_support.h"

namespace {

// The unpacked folder as a full Windows path, or empty when the test was started without it.
std::wstring UnpackedFolder() {
    const wchar_t* given = _wgetenv(L"TESSAVON_UNPACKED_PACKAGE");
    if (!given || !*given) return std::wstring();
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(given, MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full) : std::wstring();
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = UnpackedFolder();
        ASSERT_FALSE(folder_.empty()) << "TESSAVON_UNPACKED_PACKAGE does not name the unpacked package";
    }
    std::wstring folder_;
};

// Everything sits at the top of the zip, so "Extract All" gives one folder to start the program in; the bank
// checker and the importer for authors come with it.
TEST_F(PackageTest, HoldsTheProgramItsBankAndItsPapersAtTheTop) {
    for (const wchar_t* name : {L"tessavon.exe", L"tessavon-check.exe", L"tessavon-import.exe", L"questions.json",
                                L"README.md", L"LICENSE", L"docs\\question-bank.md", L"docs\\questions.schema.json"}) {
        const DWORD attributes = GetFileAttributesW((folder_ + L"\\" + name).c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            << WideToUtf8(name) << " is not in the package";
    }
}

TEST_F(PackageTest, StartedInTheUnpackedFolderOpensTheExamAndClosesCleanly) {
    RunningProgram program(folder_ + L"\\tessavon.exe", folder_);
    ASSERT_TRUE(program.started()) << "tessavon.exe could not be started";

    HWND window = WaitForProcessWindow(program.pid(), CLASS_NAME, WINDOW_TIMEOUT_MS);
    ASSERT_NE(window, nullptr) << "the exam window did not open";
    // The sample bank holds more than 60 questions, so a full exam is drawn from it.
    EXPECT_EQ(WindowTextOf(GetDlgItem(window, IDC_QUESTION_NUMBER)), L"Question 1 / 60");
    EXPECT_FALSE(WindowTextOf(GetDlgItem(window, IDC_QUESTION_TEXT)).empty());

    CloseAndExpectStatusZero(program, window);
}

}  // namespace
