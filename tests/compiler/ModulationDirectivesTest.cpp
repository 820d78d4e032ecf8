// FREQLFO .. FCENV, FREQMOD, GAINMOD, FCMOD and COMPLEXMOD: stored values with their unit
// conversions and controller encodings, the merge of defaults into layers, and every refusal.
#include <gtest/gtest.h>

#include "compiler/CompilerTestSupport.h"

namespace tess::compiler::test {
namespace {

using Target = LayerModulation::Target;

class ModulationDirectives : public CompilerTest {
protected:
    const LayerModulation& defaults() const { return compiler.instrument().defaultModulation; }
    const LayerModulation& modulation(int index) const { return layer(index).modulation; }
};

TEST_F(ModulationDirectives, SevenParameterPartsConvertTheirDepths) {
    const struct {
        const char* line;
        Target target;
        bool lfo;
        float depth;
    } cases[] = {
        {"FREQLFO 0, 1, 5, 50, 0, 0.2, 0.5", Target::Frequency, true, 50.0f / 1200.0f},
        {"GAINLFO 0, 1, 5, -6, 0, 0.2, 0.5", Target::Gain, true, -0.3f},
        {"FCLFO 0, 1, 5, 1200, 0, 0.2, 0.5", Target::Filter, true, 1.0f},
        {"PHASELFO 0, 1, 5, 0.25, 0, 0.2, 0.5", Target::Phase, true, 0.25f},
        {"FREQENV -600, 0, 0.1, 0, 0.2, 0.5, 0.3", Target::Frequency, false, -0.5f},
        {"GAINENV 0.8, 0, 0.1, 0, 0.2, 0.5, 0.3", Target::Gain, false, 0.8f},
        {"FCENV 2400, 0, 0.1, 0, 0.2, 0.5, 0.3", Target::Filter, false, 2.0f},
    };
    for (const auto& c : cases) {
        const std::string logged = directiveLog(c.line);
        EXPECT_NE(logged.find("Parameter #7: "), std::string::npos) << c.line;
        const float depth = c.lfo ? defaults().lfo[c.target].depth : defaults().envelope[c.target].depth;
        EXPECT_FLOAT_EQ(depth, c.depth) << c.line;
    }
    directiveLog("FREQLFO 3, 0.5, -2, 50, 0.1, -0.2, 0.5");
    EXPECT_EQ(defaults().lfo[Target::Frequency], (LfoPart{3, 0.5f, 50.0f / 1200.0f, -2.0f, 0.1f, -0.2f, 0.5f}));
    directiveLog("FREQENV 1200, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6");
    EXPECT_EQ(defaults().envelope[Target::Frequency], (EnvelopePart{1.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}));
}

TEST_F(ModulationDirectives, ControllerReferencesAndClamping) {
    EXPECT_EQ(directiveLog("FREQLFO 0, 0, $64, -20000, 0, 0.2, $2000"),
              "Parameter #1: 0.000000\r\nParameter #2: 0.000000\r\nParameter #3 from MCC #64\r\n"
              "Parameter #4: -10000.000000\r\nParameter #5: 0.000000\r\nParameter #6: 0.200000\r\n"
              "Parameter #7 from MCC #1000\r\nFREQLFO created (layer -1)\r\n");
    const LfoPart& lfo = defaults().lfo[Target::Frequency];
    EXPECT_FLOAT_EQ(lfo.frequency, 10064.1f);
    EXPECT_FLOAT_EQ(lfo.depth, -10000.0f / 1200.0f);
    EXPECT_FLOAT_EQ(lfo.fadeOut, 11000.1f);
    // A depth naming a controller is not converted.
    directiveLog("GAINENV $7, 0, 0, 0, 0, 1, 0");
    EXPECT_FLOAT_EQ(defaults().envelope[Target::Gain].depth, 10007.1f);
    directiveLog("FREQLFO $5, 0, 1, $-3, 0, 0, 0");
    EXPECT_EQ(defaults().lfo[Target::Frequency].wave, 10005);
    EXPECT_FLOAT_EQ(defaults().lfo[Target::Frequency].depth, 11000.1f);
}

TEST_F(ModulationDirectives, CommonPartsReachEveryLayerWithoutItsOwn) {
    directiveLog("FREQLFO 0, 0, 5, 50, 0, 0.2, 0.5\nGAINENV 1, 0, 0.5, 0, 0, 1, 0.5\nFCMOD 2\n"
                 "LAYER\nOUT = 0\nLAYER\nFREQLFO 1, 0, 7, 100, 0, 0, 0\nFCMOD -3\nOUT = 0");
    EXPECT_FLOAT_EQ(modulation(0).lfo[Target::Frequency].frequency, 5.0f);
    EXPECT_FLOAT_EQ(modulation(0).lfo[Target::Frequency].depth, 50.0f / 1200.0f);
    EXPECT_FLOAT_EQ(modulation(1).lfo[Target::Frequency].frequency, 7.0f);
    EXPECT_FLOAT_EQ(modulation(1).lfo[Target::Frequency].depth, 100.0f / 1200.0f);
    EXPECT_EQ(modulation(1).envelope[Target::Gain], defaults().envelope[Target::Gain]);
    EXPECT_EQ(modulation(0).cutoffSetting, 2.0f);
    EXPECT_EQ(modulation(1).cutoffSetting, -3.0f);
    EXPECT_EQ(modulation(1).lfo[Target::Phase], LfoPart{});  // nothing given anywhere: off
}

TEST_F(ModulationDirectives, EveryCompileStartsWithTheDefaultsOff) {
    directiveLog("FREQLFO 0, 0, 5, 50, 0, 0.2, 0.5\nGAINENV 1, 0, 0.5, 0, 0, 1, 0.5\nFREQMOD 1, 100\n"
                 "COMPLEXMOD 1, 1, 2, 3\nFCMOD 4\nLAYER\nOUT = 0");
    ASSERT_NE(modulation(0).lfo[Target::Frequency].depth, 0.0f);
    directiveLog("LAYER\nOUT = 0");
    EXPECT_EQ(defaults(), LayerModulation{});
    for (int t = 0; t < LayerModulation::TargetCount; ++t) {
        EXPECT_EQ(modulation(0).lfo[t].depth, 0.0f);
        EXPECT_EQ(modulation(0).envelope[t].depth, 0.0f);
    }
    EXPECT_TRUE(modulation(0).couples[0].empty());
    EXPECT_TRUE(modulation(0).complex.empty());
    EXPECT_EQ(modulation(0).cutoffSetting, 0.0f);
}

TEST_F(ModulationDirectives, CoupleListsStoreConvertedValues) {
    EXPECT_EQ(directiveLog("FREQMOD 1, 100, 2, $3"),
              "Parameter #1: 1.000000\r\nParameter #2: 100.000000\r\nMODulator #1 : MCC #1 * 100.00 cents\r\n"
              "Parameter #3: 2.000000\r\nMODulator #2 : MCC #2 * MCC #3 cents\r\n"
              "FREQMODs created (layer -1): 2 couples\r\n");
    EXPECT_EQ(defaults().couples[0], (std::vector<ControllerCouple>{{1, 100.0f / 1200.0f}, {2, 1003.0f}}));

    const std::string logged = directiveLog("FREQMOD 1, 30000\nGAINMOD 7, -6, 8, $4000\nFCMOD 2");
    EXPECT_NE(logged.find("MODulator #1 : MCC #1 * 24000.00 cents\r\nFREQMODs created (layer -1): 1 couples\r\n"),
              std::string::npos)
        << logged;
    EXPECT_NE(logged.find("MODulator #1 : MCC #7 * -6.00 dB\r\nParameter #3: 8.000000\r\n"
                          "MODulator #2 : MCC #8 * MCC #1001 dB\r\nGAINMOD created (layer -1): 2 couples\r\n"),
              std::string::npos)
        << logged;
    EXPECT_NE(logged.find("FCMODs created (layer -1): 0 couples\r\n"), std::string::npos) << logged;
    EXPECT_EQ(defaults().couples[0], (std::vector<ControllerCouple>{{1, 20.0f}}));
    EXPECT_EQ(defaults().couples[1], (std::vector<ControllerCouple>{{7, -0.3f}, {8, 2001.0f}}));
    EXPECT_TRUE(defaults().couples[2].empty());
    EXPECT_EQ(defaults().cutoffSetting, 2.0f);
}

TEST_F(ModulationDirectives, LayerCouplesTakePrecedencePerController) {
    directiveLog("FREQMOD 1, 100, 2, 200\nGAINMOD 5, 6\nLAYER\nFREQMOD 1, 50\nOUT = 0\nLAYER\nOUT = 0");
    EXPECT_EQ(modulation(0).couples[0], (std::vector<ControllerCouple>{{1, 50.0f / 1200.0f}, {2, 200.0f / 1200.0f}}));
    EXPECT_EQ(modulation(0).couples[1], (std::vector<ControllerCouple>{{5, 0.3f}}));
    EXPECT_EQ(modulation(1).couples[0], defaults().couples[0]);
}

TEST_F(ModulationDirectives, ComplexModulationEntries) {
    directiveLog("COMPLEXMOD 0, 135, 607, 100\nCOMPLEXMOD 20, 1, 2, 3\nCOMPLEXMOD 1, -5, 2000, -6\n"
                 "COMPLEXMOD 2.7, 1.9, 0, $9\nLAYER\nOUT = 0\nLAYER\nCOMPLEXMOD 7, -1, -1, 0.5\nOUT = 0");
    const std::vector<ComplexModulation> expected = {
        {0, 135, 607, 100.0f / 1200.0f}, {12, 1, 2, 3.0f}, {1, -1, 1000, -0.3f}, {2, 1, 0, 10009.1f}};
    EXPECT_EQ(defaults().complex, expected);
    EXPECT_EQ(modulation(0).complex, expected);  // a layer without its own list takes the default one
    EXPECT_EQ(modulation(1).complex, (std::vector<ComplexModulation>{{7, -1, -1, 0.5f}}));
}

TEST_F(ModulationDirectives, A129thComplexModulationIsRefused) {
    std::string text = "LAYER\n";
    for (int i = 0; i < 129; ++i) text += "COMPLEXMOD 0, 1, 2, " + std::to_string(i) + "\n";
    const std::string logged = directiveLog(text + "OUT = 0");
    EXPECT_NE(logged.find(directiveReport(131, "ERROR: Maximum number of 128 COMPLEXMOD entries reached...\r\n",
                                         "COMPLEXMOD 0, 1, 2, 128")),
              std::string::npos);
    ASSERT_EQ(modulation(0).complex.size(), 128u);
    EXPECT_FLOAT_EQ(modulation(0).complex[127].value, 127.0f / 1200.0f);
}

TEST_F(ModulationDirectives, RefusedLinesStoreNothing) {
    const struct {
        const char* line;
        std::string report;
    } cases[] = {
        {"GAINLFO 0, 0, 5, 50, 0, 0.2",
         directiveReport(3, "ERROR: GAINLFO. Invalid parameters number or syntax error: 7 parameters needed...\r\n",
                        "GAINLFO 0, 0, 5, 50, 0, 0.2")},
        {"FCENV a, 0, 0, 0, 0, 0, 0",
         directiveReport(3, "ERROR: FCENV. Invalid parameters number or syntax error: 7 parameters needed...\r\n",
                        "FCENV a, 0, 0, 0, 0, 0, 0")},
        {"PHASELFO 0, 0, 5, 5x, 0, 0, 0",
         lineReport(3, "ERROR: PHASELFO. Parameter 4 MUST be valid numeric constant...\r\n",
                   "PHASELFO 0, 0, 5, 5x, 0, 0, 0")},
        {"FREQMOD 1, 100, 2",
         directiveReport(3,
                        "ERROR: FREQMOD. Invalid parameters number or syntax error: minimum 2 numerical parameters "
                        "(1 couple), even number of parameters...\r\n",
                        "FREQMOD 1, 100, 2")},
        {"FREQMOD 1001, 100",
         lineReport(3, "ERROR: FREQMOD. Invalid MIDICC number (couple 1). MUST be between 0 and 1000...\r\n",
                   "FREQMOD 1001, 100")},
        {"GAINMOD 3, 1, $4, 1",
         lineReport(3, "ERROR: GAINMOD. Invalid MIDICC number (couple 2). MUST be between 0 and 1000...\r\n",
                   "GAINMOD 3, 1, $4, 1")},
        {"GAINMOD 3, x",
         lineReport(3, "ERROR: GAINMOD. Parameter 2 MUST be valid numeric constant...\r\n", "GAINMOD 3, x")},
        {"FCMOD 1, 2",
         directiveReport(3,
                        "ERROR: FCMOD. Invalid parameters number or syntax error: minimum 1 numerical parameters "
                        "(0 couple), odd number of parameters...\r\n",
                        "FCMOD 1, 2")},
        {"COMPLEXMOD 0, 1, 2",
         directiveReport(3, "ERROR: COMPLEXMOD. Invalid parameters number or syntax error...\r\n",
                        "COMPLEXMOD 0, 1, 2")},
        {"COMPLEXMOD 0, $1, 2, 3",
         lineReport(3, "ERROR: COMPLEXMOD. Parameter 2 MUST be valid numeric constant...\r\n",
                   "COMPLEXMOD 0, $1, 2, 3")},
    };
    for (const auto& c : cases) {
        // The file first sets a list, so that a refused line can be seen to leave it alone.
        const std::string logged = directiveLog(std::string("FREQMOD 9, 1200\n") + c.line);
        EXPECT_NE(logged.find(c.report), std::string::npos) << c.line << "\n" << logged;
        LayerModulation expected;
        expected.couples[0] = {{9, 1.0f}};
        EXPECT_EQ(defaults(), expected) << c.line;
    }
    std::string tooMany = "FREQMOD 1, 1";
    for (int i = 0; i < 128; ++i) tooMany += ", 1, 1";
    EXPECT_NE(directiveLog(tooMany).find(lineReport(
                  2, "ERROR: FREQMOD. Maximum number of 256 parameters (128 points) exceeded...\r\n", tooMany)),
              std::string::npos);
    EXPECT_TRUE(defaults().couples[0].empty());
    std::string fcTooMany = "FCMOD 1";
    for (int i = 0; i < 129; ++i) fcTooMany += ", 1, 1";
    EXPECT_NE(directiveLog(fcTooMany).find(lineReport(
                  2, "ERROR: FCMOD. Maximum number of 257 parameters (128 points) exceeded...\r\n", fcTooMany)),
              std::string::npos);
}

TEST_F(ModulationDirectives, NoneIsAcceptedInPost) {
    for (const char* line : {"FREQLFO 0, 0, 1, 1, 0, 0, 0", "GAINENV 1, 0, 0, 0, 0, 1, 0", "FREQMOD 1, 1",
                             "GAINMOD 1, 1", "FCMOD 1", "COMPLEXMOD 0, 1, 1, 1"}) {
        const std::string keyword = std::string(line).substr(0, std::string(line).find(' '));
        EXPECT_EQ(directiveLog(std::string("POST\n") + line),
                  lineReport(3, "ERROR: " + keyword + " can not be specified in POST section...\r\n", line));
    }
}

}  // namespace
}  // namespace tess::compiler::test
