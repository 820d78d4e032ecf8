#include <gtest/gtest.h>

#include <set>

#include "compiler/FunctionTable.h"

namespace tess::compiler {
namespace {

struct NameCase {
    const char* name;
    int index;
};

class FindFunctionTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FindFunctionTest, MatchesWholeNameWithoutRegardToCase) {
    EXPECT_EQ(findFunction(GetParam().name), GetParam().index) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, FindFunctionTest,
                         ::testing::Values(NameCase{"OSC", 83}, NameCase{"osc", 83}, NameCase{"Osc", 83},
                                           NameCase{"MCC", 1}, NameCase{"ABS", 2}, NameCase{"IF", 47},
                                           NameCase{"prev", 46}, NameCase{"ENV", 76}, NameCase{"REVERB2", 106},
                                           NameCase{"WAVETABLE", 63}, NameCase{"OSC0", 95},
                                           // index 0 and the starred names are never found
                                           NameCase{"O", -1}, NameCase{"*OSC", -1}, NameCase{"FILT6", -1},
                                           NameCase{"ENV3", -1}, NameCase{"RESAMPLE", -1},
                                           // prefixes, extensions and the stored blank do not match
                                           NameCase{"OS", -1}, NameCase{"OSCX", -1}, NameCase{"OSC ", -1},
                                           NameCase{"", -1}));

struct KeywordCase {
    const char* name;
    int index;
    int slot;
};

class FindKeywordTest : public ::testing::TestWithParam<KeywordCase> {};

TEST_P(FindKeywordTest, GivesEntryAndSlot) {
    const int index = findKeyword(GetParam().name);
    EXPECT_EQ(index, GetParam().index) << GetParam().name;
    if (index >= 0) {
        EXPECT_EQ(keywordSlot(index), GetParam().slot) << GetParam().name;
    }
}

INSTANTIATE_TEST_SUITE_P(Keywords, FindKeywordTest,
                         ::testing::Values(KeywordCase{"KEY", 0, 99871}, KeywordCase{"keyi", 1, 99871},
                                           KeywordCase{"WHEEL", 8, 99864}, KeywordCase{"PBEND", 9, 99864},
                                           KeywordCase{"OUT", 16, 99857}, KeywordCase{"SAMPLEFREQ", 20, 99854},
                                           KeywordCase{"IF", 22, -1}, KeywordCase{"HOLD", 25, -1},
                                           KeywordCase{"SENDS1", 26, 99852}, KeywordCase{"SENDS4", 29, 99849},
                                           KeywordCase{"DURATION", 31, 99847}, KeywordCase{"OUTS", -1, 0},
                                           KeywordCase{"KE", -1, 0}));

TEST(FunctionTable, EveryEntryIsConsistent) {
    int starred = 0;
    for (int i = 0; i < kFunctionCount; ++i) {
        const std::string_view name = functionName(i);
        ASSERT_GE(name.size(), 2u) << i;
        EXPECT_EQ(name.back(), ' ') << i;
        EXPECT_EQ(static_cast<int>(signature(i).size()), argumentCount(i)) << i;
        EXPECT_LE(argumentCount(i), 11) << i;
        if (name.front() == '*') {
            ++starred;
        } else if (i >= 1) {
            EXPECT_EQ(findFunction(name.substr(0, name.size() - 1)), i) << name;
        }
    }
    EXPECT_EQ(starred, 20);
    EXPECT_EQ(functionName(kFunctionCount), "");
    EXPECT_EQ(argumentCount(-1), 0);
}

struct EntryCase {
    int index;
    int count;
    const char* kinds;
};

class EntryTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryTest, CountAndSignature) {
    EXPECT_EQ(argumentCount(GetParam().index), GetParam().count);
    EXPECT_EQ(signature(GetParam().index), GetParam().kinds);
}

INSTANTIATE_TEST_SUITE_P(Entries, EntryTest,
                         ::testing::Values(EntryCase{0, 2, "nn"}, EntryCase{1, 1, "c"}, EntryCase{25, 8, "cnnnnnnn"},
                                           EntryCase{37, 4, "ccnn"}, EntryCase{47, 2, "nn"},
                                           EntryCase{76, 11, "nnnnnnnnnnn"}, EntryCase{80, 9, "cnnnnnnnn"},
                                           EntryCase{84, 9, "nnnnnnnnn"}, EntryCase{65, 5, "cnnnn"},
                                           EntryCase{106, 7, "nnnnnnn"}));

TEST(KeywordTable, VariableKeywordsAreControllerSlots) {
    std::set<int> statementWords;
    for (int i = 0; i < kKeywordCount; ++i) {
        const KeywordEntry* entry = keyword(i);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->name.back(), ' ');
        if (entry->number == 0) {
            statementWords.insert(i);
            continue;
        }
        // The keyword is the same slot as MCC(n) with n = -number - 1.
        const int n = -entry->number - 1;
        EXPECT_EQ(keywordSlot(i), 99999 - n) << entry->name;
        EXPECT_GE(n, 128);
        EXPECT_LE(n, 152);
    }
    EXPECT_EQ(statementWords, (std::set<int>{22, 23, 24, 25}));
    EXPECT_EQ(keyword(kKeywordCount), nullptr);
}

TEST(KeywordTable, OnlyOutAndSendsAreOutputs) {
    std::set<int> outputs;
    for (int i = 0; i < kKeywordCount; ++i)
        if (isOutputSlot(keywordSlot(i))) outputs.insert(keywordSlot(i));
    EXPECT_EQ(outputs, (std::set<int>{99857, 99852, 99851, 99850, 99849}));
}

struct FoldCase {
    int index;
    Folding folding;
    int taken;
};

class FoldingTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(FoldingTest, LeadingConstantsLeaveTheOperandList) {
    EXPECT_EQ(folding(GetParam().index), GetParam().folding) << GetParam().index;
    EXPECT_EQ(foldedArgumentCount(GetParam().index), GetParam().taken) << GetParam().index;
}

INSTANTIATE_TEST_SUITE_P(Functions, FoldingTest,
                         ::testing::Values(FoldCase{10, Folding::Alpha, 1}, FoldCase{13, Folding::None, 0},
                                           FoldCase{14, Folding::Num, 1}, FoldCase{25, Folding::Num, 1},
                                           FoldCase{26, Folding::None, 0}, FoldCase{37, Folding::TwoSmall, 2},
                                           FoldCase{38, Folding::OneSmall, 1}, FoldCase{60, Folding::OneSmall, 1},
                                           FoldCase{61, Folding::None, 0}, FoldCase{62, Folding::Num, 1},
                                           FoldCase{65, Folding::Num, 1}, FoldCase{66, Folding::None, 0},
                                           FoldCase{80, Folding::Num, 1}, FoldCase{83, Folding::None, 0}));

}  // namespace
}  // namespace tess::compiler
