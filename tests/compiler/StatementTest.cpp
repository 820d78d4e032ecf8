#include <string>

#include "CompilerTestSupport.h"
#include "compiler/FunctionTable.h"

namespace tess::compiler::test {
namespace {

std::string lineError(const std::string& message, const std::string& raw, int line = 1) {
    return "************ Line " + std::to_string(line) + ", file f.txt\r\n" + message + raw + "\r\n";
}

struct RejectCase {
    std::string line;
    std::string log;  // the whole log the line leaves
};

class RejectedStatementTest : public CompilerTest, public ::testing::WithParamInterface<RejectCase> {};

TEST_P(RejectedStatementTest, LogsExactlyAndLeavesNothing) {
    // Slots and a label that the lines below may refer to.
    compiler.compileStatement("a = 1", 1, "f.txt");
    compiler.compileStatement("LABEL seen", 1, "f.txt");
    compiler.compileStatement("b = 2", 1, "f.txt");
    log.clear();
    const int slots = compiler.staging().slots().size();
    const std::size_t operations = compiler.staging().operations().size();

    compiler.compileStatement(GetParam().line, 1, "f.txt");

    EXPECT_EQ(mainLog(), GetParam().log) << GetParam().line;
    EXPECT_EQ(programLog(), "");
    EXPECT_EQ(compiler.staging().slots().size(), slots) << GetParam().line;
    EXPECT_EQ(compiler.staging().operations().size(), operations) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RejectedStatementTest,
    ::testing::Values(
        RejectCase{"x", lineError("ERROR: invalid expression. Must be <VAR> = <EXPRESSION>...\r\n", "x")},
        RejectCase{"x 1 = 2", lineError("ERROR: invalid expression. Must be <VAR> = <EXPRESSION>...\r\n", "x 1 = 2")},
        RejectCase{"KEY = 60", lineError("ERROR: \"KEY\" MUST NOT be followed by equal sign...\r\n", "KEY = 60")},
        RejectCase{"x = KEY(1)", lineError("ERROR: \"KEY\" MUST NOT be followed by open parenthesis...\r\n", "x = KEY(1)")},
        RejectCase{"x = GOTO + 1", lineError("ERROR: \"GOTO\" invalid use of a reserved keyword...\r\n", "x = GOTO + 1")},
        RejectCase{"x = 1.5E-3", lineError("ERROR: \"1.5E\" invalid number...\r\n", "x = 1.5E-3")},
        RejectCase{"x = 1.2.3", lineError("ERROR: \"1.2.3\" invalid number...\r\n", "x = 1.2.3")},
        RejectCase{"x = a$b", lineError("ERROR: \"a$b\" invalid identifier...\r\n", "x = a$b")},
        RejectCase{"x = a & b", lineError("ERROR: \"&\" invalid identifier...\r\n", "x = a & b")},
        RejectCase{"x = OSC", lineError("ERROR: \"OSC\" function MUST be followed by open parenthesis...\r\n", "x = OSC")},
        RejectCase{"x = FOO(1)",
                   lineError("ERROR: \"FOO\" unknown function name. Please check the spelling...\r\n", "x = FOO(1)")},
        RejectCase{"x = nothere", lineError("ERROR: \"nothere\" variable is UNDEFINED...\r\n", "x = nothere")},
        RejectCase{"y = MCC(1000)",
                   lineError("ERROR: \"MCC\". Argument must be positive constant between 0 and 999 (it is 1000)...\r\n",
                             "y = MCC(1000)")},
        RejectCase{"y = MCC(a)", lineError("ERROR: \"MCC\". Argument must be positive constant...\r\n", "y = MCC(a)")},
        RejectCase{"y = MCC(1 + 2)", lineError("ERROR: \"MCC\". Missing closed parenthesis...\r\n", "y = MCC(1 + 2)")},
        RejectCase{"y = PREV(1)", lineError("ERROR: \"PREV\". Argument must be a simple variable name...\r\n", "y = PREV(1)")},
        RejectCase{"y = PREV(OUT)",
                   lineError("ERROR: \"PREV\". Argument must NOT be a keyword or function name...\r\n", "y = PREV(OUT)")},
        RejectCase{"x = OSC(1, 2)", "************ Line 1, file f.txt\r\nResult slot: 4\r\n******************** ERROR in "
                                    "OSC : WRONG PARAM NUMBER: MUST BE 5 )\r\n"},
        RejectCase{"x = a +", "************ Line 1, file f.txt\r\nResult slot: 4\r\n******************** ERROR. Undefined "
                              "function or other parsing error.\r\n"},
        // A leading '*' is an operator with nothing before it; the call after it is checked first.
        RejectCase{"x = *OSC(1)", "************ Line 1, file f.txt\r\nResult slot: 4\r\n******************** ERROR in "
                                  "OSC : WRONG PARAM NUMBER: MUST BE 5 )\r\n"},
        RejectCase{"x = *ABS(1)", "************ Line 1, file f.txt\r\nResult slot: 4\r\n******************** ERROR. "
                                  "Undefined function or other parsing error.\r\n"},
        RejectCase{"x = 2 * / 3", "************ Line 1, file f.txt\r\nResult slot: 4\r\n******************** ERROR. "
                                  "Undefined function or other parsing error.\r\n"},
        RejectCase{"LABEL abcdefghijklmnopqrstuvwxyz123456",
                   lineError("ERROR: LABEL TOO LONG, max 31 characters: \"abcdefghijklmnopqrstuvwxyz123456\"\r\n",
                             "LABEL abcdefghijklmnopqrstuvwxyz123456")},
        RejectCase{"LABEL a.b", lineError("ERROR: LABEL MUST CONTAIN ONLY LETTERS AND NUMBERS: \"a.b\"\r\n", "LABEL a.b")},
        RejectCase{"LABEL", lineError("ERROR: LABEL MUST CONTAIN ONLY LETTERS AND NUMBERS: \"\"\r\n", "LABEL")},
        RejectCase{"LABEL SEEN", lineError("ERROR: LABEL \"SEEN\" ALREADY DEFINED IN THE COMMON SECTION.\r\n", "LABEL SEEN")},
        RejectCase{"IF a GOTO x", lineError("ERROR: missing comparison operator in IF clause.\r\n", "IF a GOTO x")},
        RejectCase{"IF < 1 GOTO x", lineError("ERROR: operator 1 too short.\r\n", "IF < 1 GOTO x")},
        RejectCase{"IF " + std::string(63, 'a') + " < 1 GOTO x",
                   lineError("ERROR: operator 1 too long.\r\n", "IF " + std::string(63, 'a') + " < 1 GOTO x")},
        RejectCase{"IF a ! b GOTO x", lineError("ERROR: invalid comparison operator.\r\n", "IF a ! b GOTO x")},
        // Only the listed comparisons: any other run of comparison characters is refused whole.
        RejectCase{"IF a => b GOTO x", lineError("ERROR: invalid comparison operator.\r\n", "IF a => b GOTO x")},
        RejectCase{"IF a >< b GOTO x", lineError("ERROR: invalid comparison operator.\r\n", "IF a >< b GOTO x")},
        RejectCase{"IF a << b GOTO x", lineError("ERROR: invalid comparison operator.\r\n", "IF a << b GOTO x")},
        RejectCase{"IF a == b GOTO x", lineError("ERROR: invalid comparison operator.\r\n", "IF a == b GOTO x")},
        RejectCase{"IF a <=> b GOTO x", lineError("ERROR: invalid comparison operator.\r\n", "IF a <=> b GOTO x")},
        RejectCase{"IF a < 1", lineError("ERROR: missing GOTO statement in IF clause.\r\n", "IF a < 1")},
        RejectCase{"IF a < GOTO x", lineError("ERROR: operator 2 too short.\r\n", "IF a < GOTO x")},
        RejectCase{"IF a < " + std::string(62, '1') + " GOTO x",
                   lineError("ERROR: operator 2 too long.\r\n", "IF a < " + std::string(62, '1') + " GOTO x")},
        RejectCase{"IF a < 1 GOTO", lineError("ERROR: label too short in IF clause.\r\n", "IF a < 1 GOTO")},
        RejectCase{"IF a < 1x GOTO l", lineError("ERROR: \"1x\" invalid number...\r\n", "IF a < 1x GOTO l")},
        RejectCase{"IF zz < 1 GOTO l", lineError("ERROR: \"zz\" undefined symbol...\r\n", "IF zz < 1 GOTO l")},
        RejectCase{"IF 0.25 < zz GOTO l", lineError("ERROR: \"zz\" undefined symbol...\r\n", "IF 0.25 < zz GOTO l")},
        RejectCase{"IF MCC(1000) < 1 GOTO l",
                   lineError("PARSE ERROR for operand 1: \"MCC ( 1000 )\"...\r\n", "IF MCC(1000) < 1 GOTO l")},
        RejectCase{"IF a < a b GOTO l", lineError("PARSE ERROR for operand 2: \"a b\"...\r\n", "IF a < a b GOTO l")}));

struct IfCase {
    std::string line;
    int operand1;
    int operand2;
    Comparison comparison;
    std::string label;
};

class IfStatementTest : public CompilerTest, public ::testing::WithParamInterface<IfCase> {};

TEST_P(IfStatementTest, MakesOneJump) {
    compiler.compileStatement("a = 1", 1, "f.txt");  // a in slot 0, the constant 1 in slot 1
    compiler.compileStatement(GetParam().line, 2, "f.txt");
    ASSERT_EQ(compiler.staging().operations().size(), 2u) << mainLog();
    const Operation& op = compiler.staging().operations()[1];
    EXPECT_EQ(op.code, 50);
    EXPECT_EQ(op.output, -1);
    EXPECT_EQ(op.operandCount, 2);
    EXPECT_EQ(op.operands[0], GetParam().operand1);
    EXPECT_EQ(op.operands[1], GetParam().operand2);
    EXPECT_EQ(op.comparison, GetParam().comparison);
    EXPECT_EQ(fieldView(op.jumpLabel), GetParam().label);
    EXPECT_EQ(mainLog(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Comparisons, IfStatementTest,
    ::testing::Values(IfCase{"IF a = 1 GOTO done", 0, 1, Comparison::Equal, "done"},
                      IfCase{"if a<1 goto done", 0, 1, Comparison::Less, "done"},
                      IfCase{"IF a > 2 GOTO x", 0, 2, Comparison::Greater, "x"},
                      IfCase{"IF a <= KEY GOTO x", 0, 99871, Comparison::LessOrEqual, "x"},
                      IfCase{"IF MCC(7) >= a GOTO x", 99992, 0, Comparison::GreaterOrEqual, "x"},
                      IfCase{"IF a <> 1 GOTO x", 0, 1, Comparison::NotEqual, "x"},
                      IfCase{"IF a != 1 GOTO x", 0, 1, Comparison::NotEqual, "x"},
                      IfCase{"IF a < 1 GOTO " + std::string(40, 'L'), 0, 1, Comparison::Less, std::string(32, 'L')}));

TEST_F(CompilerTest, ConstantsAreSharedAndAssignmentsSubstitute) {
    compiler.compileStatement("y = 2", 1, "f.txt");
    compiler.compileStatement("z = 2.0", 2, "f.txt");
    compiler.compileStatement("y = y + 1", 3, "f.txt");
    const auto& ops = compiler.staging().operations();
    const auto& slots = compiler.staging().slots();
    ASSERT_EQ(ops.size(), 3u) << mainLog();
    // y 0, constant 2 in slot 1 (shared by z), z 2, constant 1 in slot 3; the temporary is given back
    EXPECT_EQ(slots.size(), 4);
    EXPECT_TRUE(slots[1].isConst);
    EXPECT_EQ(fieldView(slots[1].name), "2");
    EXPECT_EQ(ops[0].code, -1);
    EXPECT_EQ(ops[0].operands[0], 1);
    EXPECT_EQ(ops[0].output, 0);
    EXPECT_EQ(ops[1].operands[0], 1);
    EXPECT_EQ(ops[1].output, 2);
    EXPECT_EQ(ops[2].code, 0);
    EXPECT_EQ(ops[2].output, 0);
    EXPECT_EQ(ops[2].operands[0], 0);
    EXPECT_EQ(ops[2].operands[1], 3);
    EXPECT_EQ(programLog(), "y = 2 \r\nz = 2.0 \r\ny = y + 1 \r\n");
}

TEST_F(CompilerTest, FunctionCallsFoldLeadingConstantsAndKeepHold) {
    compiler.compileStatement("HOLD w = WAVETABLE(3, KEY)", 1, "f.txt");
    compiler.compileStatement("v = MCC(7)", 2, "f.txt");
    compiler.compileStatement("p = PREV(later) * 2", 3, "f.txt");
    const auto& ops = compiler.staging().operations();
    ASSERT_EQ(ops.size(), 4u) << mainLog();
    EXPECT_EQ(ops[0].code, 63 + 3);
    EXPECT_EQ(ops[0].hold, 1);
    EXPECT_EQ(ops[0].num, 3);
    EXPECT_EQ(ops[0].operandCount, 1);
    EXPECT_EQ(ops[0].operands[0], 99871);
    EXPECT_EQ(ops[0].operands[1], -1);
    EXPECT_EQ(ops[1].code, -1);
    EXPECT_EQ(ops[1].operands[0], 99992);
    const int later = compiler.staging().slots().findName("LATER");
    ASSERT_GE(later, 0);
    EXPECT_EQ(ops[2].code, 46 + 3);
    EXPECT_EQ(ops[2].operands[0], later);
    EXPECT_EQ(ops[3].code, 2);
    EXPECT_EQ(ops[3].output, compiler.staging().slots().findName("p"));
}

TEST_F(CompilerTest, OperationListingAtDebugTwo) {
    log.debugLevel = 2;
    compiler.compileStatement("a = 0.5", 1, "f.txt");
    compiler.compileStatement("y = a + a * 2", 2, "f.txt");
    EXPECT_EQ(mainLog(),
              "LEGEND: $XXXXX is the result slot of a variable/keyword, .XXXXX is the result slot of a constant.\r\n"
              "Original instruction: a = 0.5\r\nModified instruction: $00000 = .00001\r\n"
              "Operation # 0 (HOLD 0): SIMPLE ASSIGNMENT: SLOT 1 ==> SLOT 0.\r\n"
              "LEGEND: $XXXXX is the result slot of a variable/keyword, .XXXXX is the result slot of a constant.\r\n"
              "Original instruction: y = a + a * 2\r\nModified instruction: $00002 = $00000 + $00000 * .00003\r\n"
              "Operation # 1 (HOLD: 0) : SLOT 0 * SLOT 3 ==> SLOT 4.\r\n"
              "Operation # 2 (HOLD: 0) : SLOT 0 + SLOT 4 ==> SLOT 5.\r\n"
              "Substitute slot # 5 with 2 in previous operation. Free slot 5 for next instructions.\r\n");
}

TEST_F(CompilerTest, DebugThreeNamesEachStatementOfTheCallForm) {
    log.debugLevel = 3;
    compiler.compileStatement("a = 0.5", 1, "f.txt");
    compiler.compileStatement("y = ABS(a) * 2", 2, "f.txt");
    const std::string text = mainLog();
    const std::size_t abs = text.find("Current instruction: $00004=ABS ($00000 )\r\nFunction # 2: ABS , 1 parameters\r\n");
    const std::size_t product = text.find("Current instruction: $00005=* ($00004 .00003 )\r\nOperation # 2 (HOLD: 0) : "
                                          "SLOT 4 * SLOT 3 ==> SLOT 5.\r\n");
    const std::size_t final = text.find("Current instruction: $00002=$00005\r\nSubstitute slot # 5 with 2");
    ASSERT_NE(abs, std::string::npos) << text;
    ASSERT_NE(product, std::string::npos) << text;
    ASSERT_NE(final, std::string::npos) << text;
    EXPECT_LT(abs, product);
    EXPECT_LT(product, final);
    // A plain copy has no call form to walk.
    EXPECT_EQ(text.substr(0, text.find("Original instruction: y")).find("Current instruction"), std::string::npos);
}

TEST_F(CompilerTest, ResolveOperandCodes) {
    compiler.compileStatement("known = 1", 1, "f.txt");
    OperationCompiler& staging = compiler.staging();
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"known", 0},  {"KNOWN", 0},  {"1", 1},      {"-1e", -1},   {"+", -1},      {"a.b", -5},
                 {"GOTO", -5}, {"MCC (", -6}, {"MCC(x)", -7}, {"MCC(5", -8}, {"MCC(1000)", -9}, {"missing", -10},
                 {"MCC(0)", 99999}, {"MCC ( 999 )", 99000}, {"OUT", 99857}, {"", -5}};
    for (const auto& c : cases) EXPECT_EQ(staging.resolveOperand(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace tess::compiler::test
