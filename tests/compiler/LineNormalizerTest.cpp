#include <gtest/gtest.h>

#include <string>

#include "compiler/LineNormalizer.h"

namespace tess::compiler {
namespace {

enum Mode { kCall0, kList0, kList1 };

struct NormalizeCase {
    std::string input;
    Mode mode;
    std::string expected;
    LineCounts counts;
};

class NormalizeTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, RewritesAndCounts) {
    const NormalizeCase& c = GetParam();
    std::string text = c.input;
    LineCounts counts;
    const int length = static_cast<int>(text.size());
    normalizeLine(text, c.mode == kCall0 ? length : -length, c.mode == kList1 ? 1 : 0, counts);
    EXPECT_EQ(text, c.expected) << "input: " << c.input;
    EXPECT_EQ(counts.quotes, c.counts.quotes) << c.input;
    EXPECT_EQ(counts.separators, c.counts.separators) << c.input;
    EXPECT_EQ(counts.parentheses, c.counts.parentheses) << c.input;
    EXPECT_EQ(counts.equals, c.counts.equals) << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NormalizeTest,
    ::testing::Values(
        // call mode: comments, blanks, control characters
        NormalizeCase{"x = 3#comment", kCall0, "x = 3 ", {0, 0, 0, 1}},
        NormalizeCase{"x = 3%c", kCall0, "x = 3 ", {0, 0, 0, 1}},
        NormalizeCase{"x = 3// c", kCall0, "x = 3 ", {0, 0, 0, 1}},
        NormalizeCase{"  \tx\t=\t\t1  ", kCall0, "x = 1 ", {0, 0, 0, 1}},
        // call mode: each argument in its own parentheses, parentheses counted once each
        NormalizeCase{"y=OSC(1,2)", kCall0, "y = OSC ( ( 1 ) ; ( 2 ) ) ", {0, 1, 2, 1}},
        NormalizeCase{"QUALITY 1, 2,", kCall0, "QUALITY 1 ) ; ( 2 ", {0, 2, 0, 0}},
        NormalizeCase{")x(", kCall0, "", {0, 0, 4098, 0}},
        // quoted text is copied unchanged, comment characters included
        NormalizeCase{"n = \"a, b // c#\", 2", kCall0, "n = \"a, b // c#\" ) ; ( 2 ", {2, 1, 0, 1}},
        NormalizeCase{"s = \"open", kCall0, "s = \"open  ", {1, 0, 0, 1}},
        // first character rule
        NormalizeCase{"123 = x", kCall0, "", {0, 0, 0, 1}},
        NormalizeCase{"$abc = 1", kCall0, "$abc = 1 ", {0, 0, 0, 1}},
        NormalizeCase{"= x", kCall0, "", {0, 0, 0, 1}},
        // call mode keeps signs apart but drops a '+' in operand position
        NormalizeCase{"x = -3", kCall0, "x = - 3 ", {0, 0, 0, 1}},
        NormalizeCase{"x = +3", kCall0, "x = 3 ", {0, 0, 0, 1}},
        NormalizeCase{"x = 1.5e-3", kCall0, "x = 1.5e - 3 ", {0, 0, 0, 1}},
        // list mode: separators, operators counted, word gaps counted
        NormalizeCase{"QUALITY 1, 2,", kList0, "QUALITY 1 ; 2 ", {0, 2, 0, 1}},
        NormalizeCase{"x = -3", kList0, "x = - 3 ", {0, 0, 0, 5}},
        // expression rules
        NormalizeCase{"x = -3", kList1, "x = -3 ", {0, 0, 0, 4}},
        NormalizeCase{"x = 2 * -y", kList1, "x = 2 * -1 * y ", {0, 0, 0, 9}},
        NormalizeCase{"x = 1.5e-3", kList1, "x = 1.5e-3 ", {0, 0, 0, 4}},
        NormalizeCase{"x = 1.5E-3", kList1, "x = 1.5E - 3 ", {0, 0, 0, 6}},
        NormalizeCase{"x = 2e+4", kList1, "x = 2e+4 ", {0, 0, 0, 4}},
        NormalizeCase{"x = +y", kList1, "x = y ", {0, 0, 0, 4}},
        NormalizeCase{"x = a - -3", kList1, "x = a - -3 ", {0, 0, 0, 7}},
        NormalizeCase{"x = (-b)", kList1, "x = ( -1 * b ) ", {0, 0, 2, 10}},
        NormalizeCase{"POLY 8, 1, $64, -1", kList1, "POLY 8 ; 1 ; $64 ; -1 ", {0, 3, 0, 2}},
        // a sign after '/' or '^' keeps its product together
        NormalizeCase{"x = a / -b", kList1, "x = a / ( -1 * b ) ", {0, 0, 0, 11}},
        NormalizeCase{"x = a ^ -F(1,2)", kList1, "x = a ^ ( -1 * F ( 1 ; 2 ) ) ", {0, 1, 2, 16}},
        // an identifier ending in a digit and e is not an exponent
        NormalizeCase{"x = a1e - 3", kList1, "x = a1e - 3 ", {0, 0, 0, 6}}));

TEST(Normalize, CutsAtLengthAndAtNul) {
    std::string text("abcdef = 1");
    LineCounts counts;
    normalizeLine(text, 3, 0, counts);
    EXPECT_EQ(text, "abc ");
    std::string withNul("x = 1\0y = 2", 11);
    normalizeLine(withNul, static_cast<int>(withNul.size()), 0, counts);
    EXPECT_EQ(withNul, "x = 1 ");
    EXPECT_EQ(counts.equals, 1);
}

TEST(SplitTokens, KeepsQuotedTextTogether) {
    EXPECT_EQ(splitTokens("a = \"b c\" d "), (std::vector<std::string>{"a", "=", "\"b c\"", "d"}));
    EXPECT_EQ(splitTokens("  "), std::vector<std::string>{});
}

}  // namespace
}  // namespace tess::compiler
