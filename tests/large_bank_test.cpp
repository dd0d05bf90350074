// Banks far larger or deeper than anyone writes by hand: 100,000 questions load completely, also through the real
// file with CR LF line ends, and the exam is drawn from all of them; 100,000 levels of nesting are answered
// without running out of stack.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "bank_check.h"
#include "bank_generator.h"
#include "bank_reference.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

constexpr uint32_t BANK_SEED = 4242;
constexpr size_t LARGE_BANK = 100000;

class LargeBank : public BankFolderTest {
protected:
    // Checks loaded entries against the generator itself, which knows nothing of JSON parsing: the first and last
    // entries and a spread of others.
    void ExpectGeneratedEntries() {
        ASSERT_EQ(allQuestions.size(), LARGE_BANK);
        SplitMix64 random{99};
        std::vector<size_t> positions = {0, 1, 2, 3, 13, LARGE_BANK / 2, LARGE_BANK - 2, LARGE_BANK - 1};
        for (int i = 0; i < 200; ++i) positions.push_back(random.Below(LARGE_BANK));
        for (size_t position : positions) {
            SCOPED_TRACE(position);
            const GeneratedEntry entry = GenerateEntry(BANK_SEED, position);
            const Question& q = allQuestions[position];
            EXPECT_EQ(q.questionText, ReferenceWide(entry.questionText));
            ASSERT_EQ(q.options.size(), entry.options.size());
            for (size_t k = 0; k < entry.options.size(); ++k) EXPECT_EQ(q.options[k], ReferenceWide(entry.options[k]));
            EXPECT_EQ(q.correctAnswer, entry.correctAnswer);
        }
    }
};

TEST_F(LargeBank, HundredThousandQuestionsLoadAndTheExamIsDrawnFromAll) {
    const std::string bank = GenerateBank(BANK_SEED, LARGE_BANK);
    const ReferenceBank expected = ReferenceLoad(bank);
    // Every entry matches the independent reading, and the draw takes 60 distinct entries of the bank.
    EXPECT_EQ(CheckParseAgainstReference(TextModeBytes(bank), expected), "");
    ExpectGeneratedEntries();
    ASSERT_EQ(examQuestions.size(), static_cast<size_t>(EXAM_QUESTION_LIMIT));
    std::set<std::wstring> drawn;
    for (const Question& q : examQuestions) drawn.insert(q.questionText);
    EXPECT_EQ(drawn.size(), examQuestions.size());

    // Saved with CR LF line ends and read from the real file, the same bank reads the same: many CR LF pairs
    // straddle the reader's buffers. The generator writes no CR of its own, so the text-mode read gives back
    // exactly `bank` and the same reference holds.
    const std::string crlf_bank = WithLineEnds(bank, "\r\n");
    ASSERT_EQ(bank.find('\r'), std::string::npos);
    EXPECT_EQ(CheckLoadAgainstReference(owner_, crlf_bank, expected), "");
    ExpectGeneratedEntries();
}

// 100,000 levels of arrays or objects, balanced or not, at the top, inside an entry or in a member the loader
// ignores. Each is loaded or refused; running out of stack would crash the test program.
TEST_F(LargeBank, HundredThousandLevelsOfNestingAreAnsweredWithoutCrashing) {
    constexpr size_t DEPTH = 100000;
    const std::string arrays = std::string(DEPTH, '[') + std::string(DEPTH, ']');
    std::string objects;
    for (size_t i = 0; i < DEPTH; ++i) objects += "{\"k\":";
    objects += "0" + std::string(DEPTH, '}');
    const struct {
        const char* what;
        std::string bank;
        BankVerdict verdict;
    } cases[] = {
        {"arrays at the top", arrays, BankVerdict::ShapeError},
        {"objects at the top", objects, BankVerdict::ShapeError},
        {"arrays never closed", std::string(DEPTH, '['), BankVerdict::SyntaxError},
        {"arrays closed once too often", arrays + "]", BankVerdict::SyntaxError},
        {"arrays as the options", R"([{"questionText":"q","correctAnswer":0,"options":)" + arrays + "}]",
         BankVerdict::ShapeError},
        {"arrays in a member the loader ignores",
         R"([{"questionText":"q","options":["a"],"correctAnswer":0,"notes":)" + arrays + "}]", BankVerdict::Loads},
        {"objects in a member the loader ignores",
         R"([{"questionText":"q","options":["a"],"correctAnswer":0,"notes":)" + objects + "}]", BankVerdict::Loads},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReferenceBank expected = ReferenceLoad(c.bank);
        EXPECT_EQ(expected.verdict, c.verdict);
        EXPECT_EQ(CheckParseAgainstReference(TextModeBytes(c.bank), expected), "");
        // The checker walks the same text, and then some, to the same verdict.
        std::vector<std::string> lines;
        const BankReport report = CheckedBank(c.bank, lines);
        EXPECT_TRUE(report.checked);
        EXPECT_EQ(report.errors > 0, c.verdict != BankVerdict::Loads);
    }
}

}  // namespace
