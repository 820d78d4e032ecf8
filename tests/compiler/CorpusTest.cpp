// Hostile input: every file of the corpus, and generated lines of extreme length, bytes and
// nesting, must give only messages and dropped lines (this runs under the sanitizers too).
#include <cstdint>
#include <filesystem>
#include <string>

#include "CompilerTestSupport.h"

namespace tess::compiler::test {
namespace {

// The compile read every line: the end-of-file message is there, and the compiled state is
// within its capacities.
void expectCompleteAndBounded(const CompilerTest& test, const InstrumentCompiler& compiler, const std::string& log,
                              const std::string& path) {
    (void)test;
    EXPECT_NE(log.find("End of File \"" + path + "\""), std::string::npos) << path;
    EXPECT_LE(compiler.staging().slots().size(), 8192);
    EXPECT_LE(compiler.staging().operations().size(), 8192u);
    const int reached = static_cast<int>(compiler.instrument().layers.size());
    EXPECT_LE(compiler.instrument().layerCount, reached);
    for (int i = 0; i < reached; ++i) {
        const LayerProgram& program = compiler.instrument().layers[static_cast<std::size_t>(i)];
        EXPECT_EQ(static_cast<int>(program.left.size()), program.slotCount);
        for (const Operation& op : program.operations) {
            EXPECT_LE(op.operandCount, 11);
            if (op.code == 50) {
                EXPECT_GE(op.jumpTarget, -1);
                EXPECT_LT(op.jumpTarget, program.operationCount());
            }
        }
    }
}

class CorpusFileTest : public CompilerTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(CorpusFileTest, CompilesAtEveryDebugLevel) {
    const std::string path = std::string(TESSARINE_SOURCE_DIR) + "/tests/data/compiler/corpus/" + GetParam();
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    for (int level : {0, 3}) {
        compiler.reset();
        log.clear();
        log.debugLevel = level;
        compiler.compileFile(0, path);
        expectCompleteAndBounded(*this, compiler, mainLog(), path);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusFileTest, ::testing::Values("hostile_lines.txt", "sections.txt"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

std::string randomBytes(std::size_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return out;
}

struct GeneratedCase {
    std::string name;
    std::string content;
};

class GeneratedInputTest : public CompilerTest, public ::testing::WithParamInterface<GeneratedCase> {};

TEST_P(GeneratedInputTest, OnlyMessagesAndDroppedLines) {
    const std::string path = compileText(GetParam().content);
    expectCompleteAndBounded(*this, compiler, mainLog(), path);
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, GeneratedInputTest,
    ::testing::Values(
        GeneratedCase{"RandomBytes", randomBytes(200000, 1)},
        GeneratedCase{"RandomBytesWithLines", [] {
                          std::string s = randomBytes(100000, 7);
                          for (std::size_t i = 0; i < s.size(); i += 37) s[i] = '\n';
                          return s;
                      }()},
        GeneratedCase{"NulBytes", std::string("x = 1\0\0\0 + 2\nLAYER\0\nOUT = \0x\n\0\0\0\n", 32)},
        GeneratedCase{"HundredThousandCharacters", "OUT = " + repeated("1+", 50000) + "1\n"},
        GeneratedCase{"HundredThousandQuotes", "x = \"" + std::string(100000, 'q') + "\n"},
        GeneratedCase{"DeepParentheses", "LAYER\nOUT = " + repeated("(", 2000) + "1" + repeated(")", 2000) + "\n"},
        GeneratedCase{"DeepCalls", "LAYER\nOUT = " + repeated("ABS(", 1000) + "1" + repeated(")", 1000) + "\n"},
        GeneratedCase{"TooManyParentheses", "OUT = " + repeated("(", 3000) + "1" + repeated(")", 3000) + "\n"},
        GeneratedCase{"ManyConstantsInOneLine", [] {
                          std::string s = "LAYER\nOUT = 0";
                          for (int i = 1; i < 2000; ++i) s += "+" + std::to_string(i);
                          return s + "\n";
                      }()},
        GeneratedCase{"ThousandsOfLabels", [] {
                          std::string s = "LAYER\n";
                          for (int i = 0; i < 9000; ++i)
                              s += "LABEL L" + std::to_string(i) + "\nIF KEY < " + std::to_string(i % 7) + " GOTO L" +
                                   std::to_string(i + 1) + "\n";
                          return s + "OUT = 1\n";
                      }()},
        GeneratedCase{"ThousandsOfLayers", repeated("LAYER\nOUT = KEY * 2\n", 3000)},
        GeneratedCase{"ManyVariables", [] {
                          std::string s;
                          for (int i = 0; i < 9000; ++i) s += "v" + std::to_string(i) + " = " + std::to_string(i) + "\n";
                          return s + "LAYER\nOUT = v1\n";
                      }()}),
    [](const auto& info) { return info.param.name; });

TEST_F(CompilerTest, DeepNestingCompilesToOneCallPerLevel) {
    compileText("LAYER\nOUT = " + repeated("ABS(", 1000) + "KEY" + repeated(")", 1000) + "\n");
    EXPECT_EQ(layer(0).operationCount(), 1000) << mainLog().substr(0, 2000);
    EXPECT_EQ(layer(0).operations[0].operands[0], 99871);
    EXPECT_EQ(layer(0).operations[999].output, 99857);
}

TEST_F(CompilerTest, SlotLimitDropsTheLineWithFatalMessage) {
    // Every call but the last keeps its temporary: each line below leaves 998 slots taken, so
    // the ninth and tenth do not fit.
    std::string content = "LAYER\n";
    for (int line = 0; line < 10; ++line) content += "OUT = KEY" + repeated("+KEY", 999) + "\n";
    compileText(content + "OUT = 7\n");
    const std::string fatal =
        "\r\n*******************\r\nFATAL ERROR: limit of 8192 TEMPORARY STORAGE reached.\r\n*******************\r\n"
        "**************************************************\r\n\r\n";
    EXPECT_EQ(count(mainLog(), fatal), 2u) << mainLog().substr(0, 500);
    EXPECT_EQ(compiler.staging().slots().size(), 0);  // cut back to COMMON after the layer
    ASSERT_EQ(layer(0).operationCount(), 1);
    EXPECT_FLOAT_EQ(evaluate(layer(0)), 7.0f);
}

TEST_F(CompilerTest, OperationLimitDropsFurtherLines) {
    std::string content = "LAYER\n";
    for (int i = 0; i < 8200; ++i) content += "OUT = KEY\n";
    compileText(content);
    const std::string fatal =
        "\r\n*******************\r\nFATAL ERROR: limit of 8192 operations reached.\r\n*******************\r\n"
        "**************************************************\r\n\r\n";
    EXPECT_EQ(count(mainLog(), fatal), 8u);
    EXPECT_EQ(layer(0).operationCount(), 1);  // only the last write of OUT is live
}

TEST_F(CompilerTest, LabelsAcrossSectionsAndDuplicates) {
    const std::string path = compileText("LABEL c\nx = 1\nLAYER\nLABEL c\nLABEL a\nOUT = 1\nLABEL A\n");
    EXPECT_EQ(mainLog(), "**** Opening file \"" + path + "\"...\r\n************ Line 4, file " + path +
                             "\r\nERROR: LABEL \"c\" ALREADY DEFINED IN THE COMMON SECTION.\r\nLABEL c\r\n"
                             "************ Line 7, file " + path +
                             "\r\nERROR: LABEL \"A\" ALREADY DEFINED IN THIS SECTION.\r\nLABEL A\r\n**** Line 7, End of "
                             "File \"" + path + "\"...\r\n");
}

}  // namespace
}  // namespace tess::compiler::test
