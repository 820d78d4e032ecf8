#include <gtest/gtest.h>

#include <string>

#include "compiler/ExpressionParser.h"

namespace tess::compiler {
namespace {

struct ParseCase {
    std::string modified;
    std::string expected;  // the call form, or the message when the parse fails
    bool ok;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, GivesCallFormOrMessage) {
    const ParseCase& c = GetParam();
    std::string message;
    std::string callForm;
    const int result = parseExpression(c.modified, 10, message, callForm, ".00099");
    if (c.ok) {
        EXPECT_EQ(result, 0) << c.modified << " -> " << message;
        EXPECT_EQ(callForm, c.expected) << c.modified;
        EXPECT_EQ(message, "");
    } else {
        EXPECT_EQ(result, -1) << c.modified << " -> " << callForm;
        EXPECT_EQ(message, c.expected) << c.modified;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CallForms, ParseTest,
    ::testing::Values(
        ParseCase{"$00003 = $00001", ";$00003=$00001", true},
        ParseCase{"$00003 = ( $00001 )", ";$00003=$00001", true},
        // precedence and associativity
        ParseCase{"$00003 = $00001 + $00002 * $00000",
                  "$00010=* ($00002 $00000 );$00011=+ ($00001 $00010 );$00003=$00011", true},
        ParseCase{"$00003 = ( $00001 + $00002 ) * $00000",
                  "$00010=+ ($00001 $00002 );$00011=* ($00010 $00000 );$00003=$00011", true},
        ParseCase{"$00003 = $00001 ^ $00002 ^ $00000",
                  "$00010=^ ($00002 $00000 );$00011=^ ($00001 $00010 );$00003=$00011", true},
        ParseCase{"$00003 = $00001 - $00002 - $00000",
                  "$00010=- ($00001 $00002 );$00011=- ($00010 $00000 );$00003=$00011", true},
        ParseCase{"$00003 = $00001 / $00002 * $00000",
                  "$00010=/ ($00001 $00002 );$00011=* ($00010 $00000 );$00003=$00011", true},
        ParseCase{"$00003 = $00001 * $00002 ^ $00000",
                  "$00010=^ ($00002 $00000 );$00011=* ($00001 $00010 );$00003=$00011", true},
        // calls, nested calls, constants as arguments
        ParseCase{"$00003 = OSC ( .00001 ; .00002 ; .00004 ; .00005 ; $00000 )",
                  "$00010=OSC (.00001 .00002 .00004 .00005 $00000 );$00003=$00010", true},
        ParseCase{"$00003 = SIN ( COS ( $00001 ) )", "$00010=COS ($00001 );$00011=SIN ($00010 );$00003=$00011", true},
        ParseCase{"$00003 = ABS ( $00001 * $00002 )", "$00010=* ($00001 $00002 );$00011=ABS ($00010 );$00003=$00011",
                  true},
        ParseCase{"$00003 = PAN ( $00001 + $00002 ; $00000 )",
                  "$00010=+ ($00001 $00002 );$00011=PAN ($00010 $00000 );$00003=$00011", true},
        ParseCase{"$00003 = WAVETABLE ( .00001 ; $00002 )", "$00010=WAVETABLE (.00001 $00002 );$00003=$00010", true},
        // a minus sign that cannot join a number is 0 - operand, bound to that operand only
        ParseCase{"$00003 = - ( $00001 )", "$00010=- (.00099 $00001 );$00003=$00010", true},
        ParseCase{"$00003 = .00002 * - ( $00001 )",
                  "$00010=- (.00099 $00001 );$00011=* (.00002 $00010 );$00003=$00011", true},
        ParseCase{"$00003 = $00002 + + $00001", "$00010=+ ($00002 $00001 );$00003=$00010", true},
        // argument count and kinds
        ParseCase{"$00003 = OSC ( .00001 ; .00002 )", "ERROR in OSC : WRONG PARAM NUMBER: MUST BE 5 )\r\n", false},
        ParseCase{"$00003 = ABS ( $00001 ; $00002 )", "ERROR in ABS : WRONG PARAM NUMBER: MUST BE 1 ;\r\n", false},
        ParseCase{"$00003 = WAVETABLE ( $00001 ; $00002 )",
                  "ERROR in WAVETABLE : PARAMETER 1 MUST BE A NUMERIC CONSTANT!\r\n", false},
        ParseCase{"$00003 = PAN ( \"a\" ; \"b\" )", "ERROR in PAN : PARAMETER 2 MUST ***NOT*** BE A STRING!\r\n", false},
        ParseCase{"$00003 = \"s\" + $00001", "ERROR in + : PARAMETER 1 MUST ***NOT*** BE A STRING!\r\n", false},
        // structure errors
        ParseCase{"$00003 = $00001 $00002", "ERROR: parsing error. Two consecutive tokens without an allowed separator.\r\n",
                  false},
        ParseCase{"$00003 = ABS ( )", "ERROR: parsing error. After a parenthesis there must be a valid token.\r\n", false},
        ParseCase{"$00003 = ( $00001", "ERROR: unbalanced Parenthesis or parameters without a function.\r\n", false},
        ParseCase{"$00003 = $00001 )", "ERROR: unbalanced Parenthesis or parameters without a function.\r\n", false},
        ParseCase{"$00003 = ( $00001 ; $00002 )", "ERROR: unbalanced Parenthesis or parameters without a function.\r\n",
                  false},
        ParseCase{"$00003 = $00001 +", "ERROR. Undefined function or other parsing error.\r\n", false},
        ParseCase{"$00003 = \"text\"", "ERROR. Undefined function or other parsing error.\r\n", false},
        ParseCase{"$00003 = $00001 = $00002", "ERROR: more than one equal sign.\r\n", false},
        ParseCase{"$00003 $00001", "ERROR: no equal sign.\r\n", false},
        ParseCase{"$00003 = \"abc", "ERROR: unmatched quotes.\r\n", false}));

TEST(Parse, TemporariesStartAtTheGivenSlot) {
    std::string message;
    std::string callForm;
    ASSERT_EQ(parseExpression("$00000 = $00001 + $00002 + $00003", 4321, message, callForm), 0);
    EXPECT_EQ(callForm, "$04321=+ ($00001 $00002 );$04322=+ ($04321 $00003 );$00000=$04322");
}

TEST(Parse, MinusSignWithoutZeroConstantFails) {
    std::string message;
    std::string callForm;
    EXPECT_TRUE(needsZeroConstant("$00003 = - ( $00001 )"));
    EXPECT_FALSE(needsZeroConstant("$00003 = $00002 - ( $00001 )"));
    EXPECT_EQ(parseExpression("$00003 = - ( $00001 )", 5, message, callForm), -1);
    EXPECT_EQ(message, "ERROR. Undefined function or other parsing error.\r\n");
}

TEST(Parse, DebugDumpShowsWorkingStrings) {
    std::string message;
    std::string callForm;
    ASSERT_EQ(parseExpression("$00003 = $00001", 5, message, callForm, {}, 3), 0);
    EXPECT_NE(message.find("Input string: '$00003 = $00001 '\r\nProcessed: '$00003'\r\nOperator stack: ''\r\nOut: "
                           "'$00003'\r\n\r\n"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("Processed: '$00003 = $00001'\r\nOperator stack: '='\r\nOut: '$00003 $00001'\r\n"),
              std::string::npos)
        << message;
}

TEST(Parse, ReferenceSlots) {
    EXPECT_EQ(referenceSlot("$00012"), 12);
    EXPECT_EQ(referenceSlot(".99999"), 99999);
    EXPECT_EQ(referenceSlot("$0001"), -1);
    EXPECT_EQ(referenceSlot("#00001"), -1);
    EXPECT_EQ(referenceSlot("$0a001"), -1);
}

}  // namespace
}  // namespace tess::compiler
