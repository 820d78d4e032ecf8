#include <filesystem>
#include <string>

#include "CompilerTestSupport.h"
#include "compiler/FunctionTable.h"

namespace tess::compiler::test {
namespace {

std::string opening(const std::string& path) { return "**** Opening file \"" + path + "\"...\r\n"; }
std::string ending(int line, const std::string& path) {
    return "**** Line " + std::to_string(line) + ", End of File \"" + path + "\"...\r\n";
}
std::string lineError(int line, const std::string& path, const std::string& message, const std::string& raw) {
    return "************ Line " + std::to_string(line) + ", file " + path + "\r\n" + message + raw + "\r\n";
}

struct LineCheckCase {
    std::string line;
    std::string message;
};

class LineCheckTest : public CompilerTest, public ::testing::WithParamInterface<LineCheckCase> {};

TEST_P(LineCheckTest, RejectsTheLineWithItsMessage) {
    const std::string path = compileText(GetParam().line + "\n");
    EXPECT_EQ(mainLog(), opening(path) + lineError(1, path, GetParam().message, GetParam().line) + ending(1, path));
    EXPECT_TRUE(compiler.staging().operations().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Checks, LineCheckTest,
    ::testing::Values(LineCheckCase{"x = \"abc", "ERROR: unmatched quotes (1)...\r\n"},
                      LineCheckCase{"x = \"a\" + \"b\" + \"", "ERROR: unmatched quotes (5)...\r\n"},
                      LineCheckCase{"x = (1", "ERROR: unmatched parenthesis...\r\n"},
                      LineCheckCase{"x = )1(", "ERROR: unmatched parenthesis...\r\n"},
                      LineCheckCase{"x = y = 1", "ERROR: too many equal signs (2)...\r\n"},
                      LineCheckCase{"x =", "ERROR: equal sign can not be first or last character...\r\n"},
                      LineCheckCase{"LAYER 2", "ERROR: LAYER. No symbols allowed after keyword...\r\n"},
                      LineCheckCase{"POST x", "ERROR: POST. No symbols allowed after keyword...\r\n"},
                      LineCheckCase{"INCLUDE inc.txt", "ERROR: invalid INCLUDE syntax...\r\n"},
                      LineCheckCase{"INCLUDE \"a\" \"b\"", "ERROR: invalid INCLUDE syntax...\r\n"}));

TEST_F(CompilerTest, MessagesKeepTheirOrder) {
    const std::string path = compileText("x = \"abc\nQUALITY 100\nLAYER 2\nLAYER\nPOST\ny = (1\n");
    EXPECT_EQ(mainLog(), opening(path) + lineError(1, path, "ERROR: unmatched quotes (1)...\r\n", "x = \"abc") +
                             lineError(3, path, "ERROR: LAYER. No symbols allowed after keyword...\r\n", "LAYER 2") +
                             lineError(5, path, "ERROR: POST only after COMMON section...\r\n", "POST") +
                             lineError(6, path, "ERROR: unmatched parenthesis...\r\n", "y = (1") + ending(6, path));
}

TEST_F(CompilerTest, SectionMessagesAtDebugTwo) {
    const std::string path = compileText("DEBUG 2\nPOST\nLAYER\nLAYER\n");
    EXPECT_EQ(mainLog(), opening(path) +
                             "DEBUG level set to: 2\r\n"
                             "Line 2, End of COMMON section...\r\nLine 2, Start of POST section...\r\n"
                             "Line 3, End of POST section...\r\nLine 3, Start of LAYER 0...\r\n"
                             "Line 4, End of LAYER 0...\r\nLine 4, Start of LAYER 1...\r\n"
                             "Line 4, End of LAYER 1...\r\n" +
                             ending(4, path));
    EXPECT_EQ(compiler.currentSection(), 2);
    EXPECT_EQ(compiler.instrument().layerCount, 2);
}

TEST_F(CompilerTest, PostAfterLayerIsRejectedAndLinesStayInTheLayer) {
    compileText("LAYER\nPOST\nOUT = 1\n");
    EXPECT_EQ(count(mainLog(), "ERROR: POST only after COMMON section...\r\n"), 1u);
    EXPECT_EQ(layer(0).operationCount(), 1);
    EXPECT_EQ(compiler.instrument().post.operationCount(), 0);
}

TEST_F(CompilerTest, KeywordFollowedByEqualSignIsAnAssignment) {
    compileText("QUALITY = 3\nLAYER\nOUT = QUALITY\n");
    EXPECT_EQ(count(mainLog(), "WARNING"), 0u) << mainLog();
    ASSERT_EQ(layer(0).operationCount(), 2);
    EXPECT_FLOAT_EQ(evaluate(layer(0)), 3.0f);
}

TEST_F(CompilerTest, SelfIncludeStopsAtTheNestingLimit) {
    const std::string path = files.file("self.txt");
    tess::test::writeFile(path, "INCLUDE \"" + path + "\"\nx = 1\n");
    compiler.compileFile(0, path);
    const std::string text = mainLog();
    EXPECT_EQ(count(text, "**************** ERROR: too many INCLUDE level. Check if there is a loop. Ignoring this "
                          "file.\r\n"),
              1u);
    EXPECT_EQ(count(text, "**** Opening file"), 20u);
    EXPECT_EQ(count(text, "End of File"), 20u);
    EXPECT_EQ(compiler.staging().operations().size(), 20u);  // x = 1 once per level read
}

TEST_F(CompilerTest, BranchingIncludeLoopEndsQuickly) {
    const std::string path = files.file("twice.txt");
    tess::test::writeFile(path, "INCLUDE \"" + path + "\"\nINCLUDE \"" + path + "\"\n");
    compiler.compileFile(0, path);
    // every INCLUDE line counts, also those refused for their depth
    EXPECT_LE(count(mainLog(), "**** Opening file"), 1u + InstrumentCompiler::kMaxIncludedFiles);
    EXPECT_GE(count(mainLog(), "**************** ERROR: too many INCLUDE files. Check if there is a loop. Ignoring this "
                               "file.\r\n"),
              1u);
}

TEST_F(CompilerTest, IncludeFindsFilesInTheUserFolder) {
    tess::test::writeFile(user.file("inc.txt"), "amp = 0.5\n");
    std::filesystem::create_directories(user.path() + "/sub");
    tess::test::writeFile(user.file("sub/inner.txt"), "OUT = amp\n");
    const std::string path = compileText("DEBUG 2\nINCLUDE \"inc.txt\"\nINCLUDE \"sub\\inner.txt\"\nLAYER\n");
    const std::string text = mainLog();
    EXPECT_NE(text.find("INCLUDE \"inc.txt\"\": including file \"" + user.path() + "/inc.txt\".\r\nNesting level: 1.\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(count(text, "does not exist"), 0u) << text;
    ASSERT_EQ(layer(0).operationCount(), 2);
    EXPECT_FLOAT_EQ(evaluate(layer(0)), 0.5f);
}

TEST_F(CompilerTest, IncludeOutsideCommonAndMissingFiles) {
    const std::string path = compileText("INCLUDE \"nope.txt\"\nLAYER\nINCLUDE \"x.txt\"\n");
    EXPECT_EQ(mainLog(),
              opening(path) + opening("nope.txt") +
                  "**************** ERROR: file \"nope.txt\" does not exist or can not open for reading. Skipping "
                  "file...\r\n" +
                  lineError(3, path, "ERROR: INCLUDE only in COMMON section...\r\n", "INCLUDE \"x.txt\"") +
                  ending(3, path));
    log.clear();
    compiler.compileFile(InstrumentCompiler::kLastLevel, files.file("absent.txt"));
    EXPECT_EQ(mainLog(), "");
}

// A device named by INCLUDE would give lines without end (or block, as a pipe would): it is
// refused like a missing file.
TEST_F(CompilerTest, IncludeOfADeviceIsRefused) {
    const std::string path = compileText("INCLUDE \"/dev/zero\"\nx = 2\n");
    EXPECT_EQ(mainLog(), opening(path) + opening("/dev/zero") +
                             "**************** ERROR: file \"/dev/zero\" does not exist or can not open for reading. "
                             "Skipping file...\r\n" +
                             ending(2, path));
    EXPECT_EQ(compiler.staging().operations().size(), 1u);
}

TEST_F(CompilerTest, AFolderIsNotAReadableFile) {
    const std::string folder = user.path() + "/sub";
    std::filesystem::create_directories(folder);
    const std::string path = compileText("INCLUDE \"" + folder + "\"\nx = 1\n");
    EXPECT_EQ(mainLog(), opening(path) + opening(folder) + "**************** ERROR: file \"" + folder +
                             "\" does not exist or can not open for reading. Skipping file...\r\n" + ending(2, path));
    log.clear();
    compiler.compileFile(0, folder);
    EXPECT_EQ(mainLog(), opening(folder) + "**************** ERROR: file \"" + folder +
                             "\" does not exist or can not open for reading. Skipping file...\r\n");
}

TEST_F(CompilerTest, LastLinesEndEveryLayer) {
    compileText("LAST OUT = OUT * 0.5\nLAYER\nOUT = 1\nLAYER\nOUT = 3\nLAST x = 1\n");
    EXPECT_EQ(tess::test::readFile(compiler.lastFilePath()), "OUT = OUT * 0.5 \r\n");
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(layer(i).operationCount(), 2) << i;
        EXPECT_EQ(layer(i).operations[1].code, 2);
    }
    EXPECT_FLOAT_EQ(evaluate(layer(0)), 0.5f);
    EXPECT_FLOAT_EQ(evaluate(layer(1)), 1.5f);
    EXPECT_EQ(count(mainLog(), "ERROR: LAST construct only in COMMON section...\r\n"), 1u);
}

struct SplitCase {
    std::size_t length;  // characters of the long comment line
    int badLine;         // line number the next line gets
};

class LongLineTest : public CompilerTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(LongLineTest, ReadsAtMost8191BytesPerLine) {
    const std::string path = compileText(std::string(GetParam().length, '#') + "\nBAD\n");
    EXPECT_EQ(mainLog(), opening(path) +
                             lineError(GetParam().badLine, path,
                                       "ERROR: invalid expression. Must be <VAR> = <EXPRESSION>...\r\n", "BAD") +
                             ending(GetParam().badLine, path));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongLineTest,
                         ::testing::Values(SplitCase{8190, 2}, SplitCase{8191, 3}, SplitCase{8192, 3},
                                           SplitCase{10000, 3}, SplitCase{16382, 4}));

TEST_F(CompilerTest, LongLineRestIsALineOfItsOwn) {
    const std::string rest(1809, 'a');
    const std::string path = compileText("#" + std::string(8190, '#') + rest + "\n");
    EXPECT_EQ(mainLog(), opening(path) +
                             lineError(2, path, "ERROR: invalid expression. Must be <VAR> = <EXPRESSION>...\r\n", rest) +
                             ending(2, path));
}

TEST_F(CompilerTest, LastLineWithoutLineEnd) {
    compileText("LAYER\r\nOUT = 0.75");
    ASSERT_EQ(layer(0).operationCount(), 1);
    EXPECT_FLOAT_EQ(evaluate(layer(0)), 0.75f);
    EXPECT_EQ(compiler.instrument().layerCount, 1);
}

TEST_F(CompilerTest, SectionLimitAtLayer8191) {
    std::string content;
    for (int i = 0; i < 8191; ++i) content += "LAYER\n";
    content += "OUT = 1\nLAYER\nOUT = 2\nx = 3\n";
    const std::string path = compileText(content);
    const std::string text = mainLog();
    EXPECT_EQ(count(text, "\r\n*******************\r\nFATAL ERROR: limit of 8192 LAYERs reached (including POST "
                          "step)\r\n*******************\r\n"),
              1u);
    EXPECT_EQ(count(text, "End of File"), 0u);
    EXPECT_EQ(compiler.instrument().layerCount, 8191);
    EXPECT_EQ(compiler.currentSection(), 8191);
    ASSERT_EQ(layer(8190).operationCount(), 1);
    EXPECT_FLOAT_EQ(evaluate(layer(8190)), 1.0f);
    EXPECT_EQ(layer(8191).operationCount(), 0);
}

TEST_F(CompilerTest, RepresentativeInstrument) {
    compileText(
        "// representative instrument\n"
        "VSTVARS 4\n"
        "amp = 0.5\n"
        "POST\n"
        "OUT = OUT * amp\n"
        "LAYER\n"
        "f = OSC(0, FREQ, 0, 1, 0)\n"
        "OUT = f * amp\n"
        "LAYER\n"
        "HOLD r = RND(1)\n"
        "IF r > 0.5 GOTO loud\n"
        "OUT = r * 0.1\n"
        "LABEL loud\n"
        "SENDS1 = r\n");
    EXPECT_EQ(mainLog().find("ERROR"), std::string::npos) << mainLog();
    const CompiledInstrument& instrument = compiler.instrument();
    EXPECT_EQ(instrument.common.numVstVars, 4);
    EXPECT_EQ(instrument.layerCount, 2);

    struct Expected {
        int code;
        int output;
        std::vector<int> operands;
        int hold;
    };
    auto check = [](const LayerProgram& program, const std::vector<Expected>& expected, const char* what) {
        ASSERT_EQ(program.operationCount(), static_cast<int>(expected.size())) << what;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Operation& op = program.operations[i];
            EXPECT_EQ(op.code, expected[i].code) << what << " #" << i;
            EXPECT_EQ(op.output, expected[i].output) << what << " #" << i;
            EXPECT_EQ(op.hold, expected[i].hold) << what << " #" << i;
            ASSERT_EQ(op.operandCount, static_cast<int>(expected[i].operands.size())) << what << " #" << i;
            for (std::size_t k = 0; k < expected[i].operands.size(); ++k)
                EXPECT_EQ(op.operands[k], expected[i].operands[k]) << what << " #" << i << " operand " << k;
        }
    };
    // slots: amp 0, 0.5 1; layer 0: f 2, 0 3, 1 4; layer 1: r 2, 1 3, 0.1 4
    check(instrument.post, {{-1, 0, {1}, 0}, {2, kSlotOut, {kSlotOut, 0}, 0}}, "POST");
    EXPECT_EQ(instrument.post.slotCount, 2);
    EXPECT_FLOAT_EQ(instrument.postFrequency, 1.0f);
    check(layer(0), {{-1, 0, {1}, 0}, {83 + 3, 2, {3, 99858, 3, 4, 3}, 0}, {2, kSlotOut, {2, 0}, 0}}, "LAYER 0");
    EXPECT_EQ(layer(0).left, (std::vector<float>{0.0f, 0.5f, 0.0f, 0.0f, 1.0f}));
    check(layer(1), {{36 + 3, 2, {3}, 1}, {50, -1, {2, 1}, 0}, {2, kSlotOut, {2, 4}, 0}, {-1, kSlotSends1, {2}, 0}},
          "LAYER 1");
    EXPECT_EQ(layer(1).operations[1].comparison, Comparison::Greater);
    EXPECT_EQ(layer(1).operations[1].jumpTarget, 2);
    EXPECT_EQ(fieldView(layer(1).operations[3].label), "loud");
    EXPECT_EQ(layer(1).slotCount, 5);
    EXPECT_EQ(programLog(),
              "amp = 0.5 \r\nOUT = OUT * amp \r\nf = OSC ( 0 ; FREQ ; 0 ; 1 ; 0 ) \r\nOUT = f * amp \r\n"
              "HOLD r = RND ( 1 ) \r\nIF r > 0.5 GOTO loud \r\nOUT = r * 0.1 \r\nLABEL loud \r\nSENDS1 = r \r\n");
}

TEST_F(CompilerTest, ResetEmptiesEverything) {
    compileText("g = 1\nPOST\nOUT = g\nLAYER\nOUT = g\n");
    ASSERT_EQ(layer(0).operationCount(), 2);
    compiler.reset();
    EXPECT_TRUE(compiler.instrument().layers.empty());  // their memory is given back too
    EXPECT_EQ(compiler.instrument().post.operationCount(), 0);
    EXPECT_FLOAT_EQ(compiler.instrument().postFrequency, -1.0f);
    EXPECT_EQ(compiler.currentSection(), -2);
    EXPECT_TRUE(compiler.staging().operations().empty());
    EXPECT_EQ(compiler.staging().slots().size(), 0);
}

}  // namespace
}  // namespace tess::compiler::test
