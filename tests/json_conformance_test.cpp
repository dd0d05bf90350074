// Every file of the JSONTestSuite parsing corpus (tests/data/JSONTestSuite, MIT licence) goes through the loader
// in memory: nothing may crash or hang, what loads must be exactly what an independent reading of the bytes
// expects, JSON the suite calls invalid (n_) is refused with the library's message, and JSON it calls valid (y_)
// loads or is refused for its shape. Files the suite leaves open (i_) only have to follow the independent reading.
// A missing or partial corpus fails the test: a fresh clone must not pass without having run it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bank_reference.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

// The corpus as it is kept in the repository: 188 invalid, 95 valid and 35 open files.
constexpr size_t CORPUS_FILES = 318;
const std::map<char, size_t> FILES_OF_KIND = {{'n', 188}, {'y', 95}, {'i', 35}};

// Invalid JSON that is refused for its shape rather than its syntax, because of how the bank is read.
const std::map<std::string, const char*> INVALID_BUT_READS_AS_JSON = {
    {"n_multidigit_number_then_00.json",
     "\"123\" then a NUL byte: the NUL outside a string ends the input, leaving the number 123, which is not an "
     "array of questions"},
};

// The corpus folder as Windows sees it.
std::wstring CorpusFolder() { return HostPathForWindows(TESSAVON_JSON_TEST_SUITE_DIR); }

using JsonTestSuite = BankTest;

TEST_F(JsonTestSuite, EveryCorpusFileLoadsAsReadOrIsRefused) {
    const std::wstring folder = CorpusFolder();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.json").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "JSONTestSuite corpus not found at " << WideToUtf8(folder);
    std::vector<std::wstring> names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    ASSERT_EQ(names.size(), CORPUS_FILES) << "the corpus at " << WideToUtf8(folder) << " is not complete";

    std::map<char, size_t> files_of_kind;
    size_t verdicts[3] = {};
    size_t listed_seen = 0;
    for (const std::wstring& wide_name : names) {
        const std::string name = WideToUtf8(wide_name);
        SCOPED_TRACE(name);
        const std::string bytes = ReadWholeFile(folder + L"\\" + wide_name);
        const ReferenceBank expected = ReferenceLoad(bytes);
        ++verdicts[static_cast<int>(expected.verdict)];
        ++files_of_kind[name[0]];
        EXPECT_EQ(CheckParseAgainstReference(TextModeBytes(bytes), expected), "") << Printable(bytes, 300);

        const bool listed = INVALID_BUT_READS_AS_JSON.count(name) != 0;
        listed_seen += listed;
        if (name[0] == 'n') {
            EXPECT_EQ(expected.verdict, listed ? BankVerdict::ShapeError : BankVerdict::SyntaxError);
        } else if (name[0] == 'y') {
            EXPECT_NE(expected.verdict, BankVerdict::SyntaxError) << expected.library_message;
        }
    }
    EXPECT_EQ(files_of_kind, FILES_OF_KIND);
    EXPECT_EQ(listed_seen, INVALID_BUT_READS_AS_JSON.size());
    // Plenty of each outcome: the corpus exercises loading, syntax errors and shape errors alike.
    EXPECT_GT(verdicts[static_cast<int>(BankVerdict::Loads)], 0u);
    EXPECT_GT(verdicts[static_cast<int>(BankVerdict::SyntaxError)], 180u);
    EXPECT_GT(verdicts[static_cast<int>(BankVerdict::ShapeError)], 50u);
}

}  // namespace
