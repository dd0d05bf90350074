// The exam draw: how many questions an exam holds, that they are distinct bank entries, and that every bank
// entry is equally likely at every position.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "question_bank.h"

namespace {

// A bank whose entry i has the text "i", so a drawn copy tells which position it came from.
void MakeBank(int n) {
    allQuestions.clear();
    for (int i = 0; i < n; ++i) allQuestions.push_back({std::to_wstring(i), {L"a", L"b", L"c", L"d"}, i});
    examQuestions.clear();
}

std::vector<int> DrawnPositions() {
    std::vector<int> positions;
    for (const Question& q : examQuestions) positions.push_back(std::stoi(q.questionText));
    return positions;
}

TEST(ExamDraw, HoldsAtMostSixtyDistinctBankEntries) {
    for (int n : {0, 1, 2, 59, 60, 61, 500}) {
        SCOPED_TRACE(n);
        MakeBank(n);
        PrepareExam();
        ASSERT_EQ(examQuestions.size(), static_cast<size_t>(std::min(n, EXAM_QUESTION_LIMIT)));
        const std::vector<int> positions = DrawnPositions();
        const std::set<int> distinct(positions.begin(), positions.end());
        EXPECT_EQ(distinct.size(), positions.size());
        for (size_t k = 0; k < positions.size(); ++k) {
            ASSERT_TRUE(positions[k] >= 0 && positions[k] < n);
            // The copy is whole: options and answer travel with the text.
            EXPECT_EQ(examQuestions[k].correctAnswer, positions[k]);
            EXPECT_EQ(examQuestions[k].options.size(), 4u);
        }
    }
}

TEST(ExamDraw, EmptyBankLeavesExamUntouchedAndRedrawReplacesIt) {
    MakeBank(0);
    examQuestions.push_back({L"left over", {}, 0});
    PrepareExam();
    ASSERT_EQ(examQuestions.size(), 1u);
    EXPECT_EQ(examQuestions[0].questionText, L"left over");

    MakeBank(3);
    examQuestions.push_back({L"left over", {}, 0});
    PrepareExam();
    EXPECT_EQ(examQuestions.size(), 3u);
    for (const Question& q : examQuestions) EXPECT_NE(q.questionText, L"left over");
}

TEST(ExamDraw, TwoDrawsDiffer) {
    MakeBank(500);
    PrepareExam();
    const std::vector<int> first = DrawnPositions();
    PrepareExam();
    EXPECT_NE(DrawnPositions(), first);

    // Even when the whole bank is drawn, the order changes from run to run.
    MakeBank(60);
    PrepareExam();
    const std::vector<int> whole = DrawnPositions();
    PrepareExam();
    EXPECT_NE(DrawnPositions(), whole);
}

// Counts how often each bank entry lands at each exam position and checks the counts with a chi-square test.
// The bound is the chi-square mean plus seven standard deviations: a fair draw exceeds it far less than once
// in a million runs, while a biased shuffle (say, one that favours keeping entries in place) exceeds it at once.
void ExpectUniform(int bank_size, int exam_positions, int draws) {
    MakeBank(bank_size);
    std::vector<std::vector<int>> counts(bank_size, std::vector<int>(exam_positions, 0));
    for (int d = 0; d < draws; ++d) {
        PrepareExam();
        const std::vector<int> positions = DrawnPositions();
        for (int k = 0; k < exam_positions; ++k) ++counts[positions[k]][k];
    }
    const double expected = static_cast<double>(draws) / bank_size;
    double chi_square = 0;
    for (const auto& row : counts)
        for (int c : row) chi_square += (c - expected) * (c - expected) / expected;
    const double freedom = static_cast<double>(bank_size - 1) * exam_positions;
    EXPECT_LT(chi_square, freedom + 7 * std::sqrt(2 * freedom))
        << "bank " << bank_size << ", " << draws << " draws";
}

TEST(ExamDraw, EveryEntryIsEquallyLikelyAtEveryPosition) {
    ExpectUniform(5, 5, 20000);     // whole bank drawn: a fair shuffle
    ExpectUniform(100, 60, 4000);   // bigger bank: a fair selection, too
}

}  // namespace
