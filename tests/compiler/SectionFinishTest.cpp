#include <string>

#include "CompilerTestSupport.h"
#include "compiler/FunctionTable.h"

namespace tess::compiler::test {
namespace {

struct ProgramCase {
    std::string name;
    std::string file;
    int operations;  // stored in LAYER 0
    float out;       // OUT after one run of the stored program
};

class LayerProgramTest : public CompilerTest, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(LayerProgramTest, StoresWhatReachesTheOutput) {
    compileText(GetParam().file);
    const LayerProgram& program = layer(0);
    EXPECT_EQ(program.operationCount(), GetParam().operations) << mainLog();
    EXPECT_FLOAT_EQ(evaluate(program), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, LayerProgramTest,
    ::testing::Values(
        ProgramCase{"DeadAssignmentStoresNothing", "LAYER\nd = 5\nOUT = 0.5\n", 1, 0.5f},
        ProgramCase{"OverwrittenValueIsDead", "LAYER\na = 1\na = 2\nOUT = a\n", 2, 2.0f},
        ProgramCase{"ChainIsKept", "LAYER\na = 2\nb = a * 3\nc = b - 1\nOUT = c ^ 2\n", 4, 25.0f},
        ProgramCase{"SignsAndPrecedence", "LAYER\ny = 4\nOUT = 2 * -y + 10 / -2 ^ 2\n", 6, -5.5f},
        ProgramCase{"MinusBeforeParenthesis", "LAYER\ny = 4\nOUT = 3 * -(y + 1)\n", 4, -15.0f},
        ProgramCase{"DivisionBySignedName", "LAYER\ny = 4\nOUT = 8 / -y\n", 3, -2.0f},
        ProgramCase{"ExponentNumber", "LAYER\nOUT = 1.5e-3 * 1000\n", 1, 1.5f},
        ProgramCase{"CommentAfterNumber", "LAYER\nOUT = 3#comment\n", 1, 3.0f},
        ProgramCase{"PowerIsRightAssociative", "LAYER\nOUT = 2 ^ 3 ^ 2\n", 2, 512.0f},
        ProgramCase{"SubtractionIsLeftAssociative", "LAYER\nOUT = 10 - 4 - 3\n", 2, 3.0f},
        // Jumps: a write that is read only on another path stays
        ProgramCase{"JumpTaken", "LAYER\na = 0.2\nIF a < 0.5 GOTO done\na = 0.9\nLABEL done\nOUT = a\n", 4, 0.2f},
        ProgramCase{"JumpNotTaken", "LAYER\na = 0.7\nIF a < 0.5 GOTO done\na = 0.9\nLABEL done\nOUT = a\n", 4, 0.9f},
        ProgramCase{"JumpSkipsOutputWrite", "LAYER\nOUT = 1\nIF 1 < 2 GOTO skip\nOUT = 2\nLABEL skip\nx = 0\n", 4, 1.0f},
        // a label on the last line names nothing: the jump to it goes away
        ProgramCase{"LabelAsLastLine", "LAYER\nIF 1 < 2 GOTO end\nOUT = 1\nLABEL end\n", 1, 1.0f},
        ProgramCase{"JumpToMissingLabel", "LAYER\nIF 1 < 2 GOTO nowhere\nOUT = 1\n", 1, 1.0f},
        // two sends both add to their bus, so both writes stay
        ProgramCase{"SendsKeepEveryWrite", "LAYER\nSENDS1 = 0.5\nSENDS1 = 0.25\nOUT = 1\n", 3, 1.0f}),
    [](const auto& info) { return info.param.name; });

TEST_F(CompilerTest, JumpTargetIsTheLabelledOperationMinusOne) {
    compileText("LAYER\nIF 1 < 2 GOTO skip\nOUT = 1\nLABEL first\nLABEL skip\nOUT = 2\n");
    const LayerProgram& program = layer(0);
    ASSERT_EQ(program.operationCount(), 3) << mainLog();
    EXPECT_EQ(program.operations[0].code, 50);
    EXPECT_EQ(program.operations[0].jumpTarget, 1);
    EXPECT_EQ(fieldView(program.operations[2].label), "skip");  // only the second LABEL names it
    EXPECT_EQ(program.operations[1].label[0], '\0');
}

TEST_F(CompilerTest, MissingLabelIsReportedAboveDebugZero) {
    compileText("DEBUG 1\nLAYER\nOUT = 1\nIF 1 < 2 GOTO nowhere\n");
    EXPECT_NE(mainLog().find("Layer # 1, operation slot # 1: IF statement INVALID. Label nowhere NOT FOUND.\r\n"),
              std::string::npos)
        << mainLog();
    EXPECT_EQ(layer(0).operationCount(), 1);
}

TEST_F(CompilerTest, CommonOperationsStandInFrontOfEverySection) {
    compileText("g = 0.25\nOUT = g\nLAYER\nOUT = OUT * 2\nLAYER\nx = 1\n");
    for (int i = 0; i < 2; ++i) {
        const LayerProgram& program = layer(i);
        ASSERT_GE(program.operationCount(), 2) << i;
        EXPECT_EQ(program.operations[0].output, 0);   // g
        EXPECT_EQ(program.operations[1].output, kSlotOut);
        EXPECT_EQ(program.slotCount, i == 0 ? 3 : 4);  // g, 0.25, then 2 or x and 1
    }
    EXPECT_FLOAT_EQ(evaluate(layer(0)), 0.5f);
    EXPECT_FLOAT_EQ(evaluate(layer(1)), 0.25f);
    EXPECT_EQ(layer(0).left, (std::vector<float>{0.0f, 0.25f, 2.0f}));
    EXPECT_EQ(layer(0).right, layer(0).left);
}

TEST_F(CompilerTest, PostIgnoresCommonOutputAndBecomesActive) {
    compileText("OUT = 0.3\nk = 2\nPOST\nOUT = OUT * k\nLAYER\nOUT = 1\n");
    const LayerProgram& post = compiler.instrument().post;
    ASSERT_EQ(post.operationCount(), 2) << mainLog();
    EXPECT_EQ(post.operations[0].output, 1);  // k; COMMON's OUT = 0.3 is not part of POST
    EXPECT_EQ(post.operations[1].code, 2);
    EXPECT_FLOAT_EQ(compiler.instrument().postFrequency, 1.0f);
    EXPECT_EQ(layer(0).operationCount(), 1);  // the layer's own OUT write hides COMMON's
}

TEST_F(CompilerTest, EmptyPostStaysIdle) {
    compileText("POST\nx = 1\nLAYER\nOUT = 1\n");
    EXPECT_EQ(compiler.instrument().post.operationCount(), 0);
    EXPECT_FLOAT_EQ(compiler.instrument().postFrequency, -1.0f);
}

TEST_F(CompilerTest, ListingAtDebugTwo) {
    compileText("LAYER\nDEBUG 2\na = 0.5\nIF a < 1 GOTO out\nLABEL out\nOUT = WAVETABLE(3, a)\n");
    const std::string text = mainLog();
    const std::string listing =
        "Line 6, End of LAYER 0...\r\n"
        "Layer # 1, operation # 0 (HOLD: 0): a = COPY ( 0.5 ) (Function # -1, 1 operands + alpha: 0.00, num: 0).\r\n"
        "Layer # 1, operation # 1: IF $00000 CMP(<) $00002 GOTO opslot \"out\"\r\n"
        "Layer # 1, operation # 2 has the label out\r\n"
        "Layer # 1, operation # 2 (HOLD: 0): OUT = WAVETABLE ( a ) (Function # 66, 1 operands + alpha: 0.00, num: 3).\r\n"
        "**** Line 6, End of File";
    EXPECT_NE(text.find(listing), std::string::npos) << text;
}

}  // namespace
}  // namespace tess::compiler::test
