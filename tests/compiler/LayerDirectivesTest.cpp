// GROUP, BASEG .. KEYCENTER, XFADE, SAMPLEOFF, ONNOTEON and the trigger lists: what each line
// stores at the COMMON and LAYER levels, how lists are edited, and every refusal.
#include <gtest/gtest.h>

#include "compiler/CompilerTestSupport.h"

namespace tess::compiler::test {
namespace {

class LayerDirectives : public CompilerTest {
protected:
    std::string compileLines(const std::string& text) { return directiveLog(text); }
    const LayerSettings& defaults() const { return compiler.instrument().defaultLayerSettings; }
    const LayerToneDefaults& tone() const { return compiler.instrument().toneDefaults; }
    const LayerSettings& settings(int index) const { return layer(index).settings; }
    std::string error(int line, const std::string& message, const std::string& raw) const {
        return directiveReport(line, message, raw);
    }
};

TEST_F(LayerDirectives, ToneSettingsAtBothLevels) {
    const struct {
        const char* line;
        const char* log;
        float LayerToneDefaults::*field;
        float stored;
    } common[] = {
        {"BASEF 0", "BASEF set to: 0.100000\r\n", &LayerToneDefaults::baseFrequency, 0.1f},
        {"BASEF 20000", "BASEF set to: 10000.000000\r\n", &LayerToneDefaults::baseFrequency, 10000.0f},
        {"BASEF $7", "BASEF set to MCC #7\r\n", &LayerToneDefaults::baseFrequency, 11007.1f},
        {"VELTRACK -3", "VELTRACK set to: 2.000000\r\n", &LayerToneDefaults::velocityTracking, 2.0f},
        {"VELTRACK $1", "VELTRACK set to MCC # 1\r\n", &LayerToneDefaults::velocityTracking, 1001.1f},
        {"KEYTRACK -1", "KEYTRACK set to: 1.000000\r\n", &LayerToneDefaults::keyTracking, 1.0f},
        {"KEYTRACK 0.5", "KEYTRACK set to: 0.500000\r\n", &LayerToneDefaults::keyTracking, 0.5f},
        {"KEYCENTER -5", "KEYCENTER set to: 0.000000\r\n", &LayerToneDefaults::keyCenter, 0.0f},
        {"KEYCENTER $2000", "KEYCENTER set to MCC #1001\r\n", &LayerToneDefaults::keyCenter, 2001.1f},
        {"KEYCENTER $6.6", "KEYCENTER set to MCC #7\r\n", &LayerToneDefaults::keyCenter, 1007.1f},
        {"BASEG 0", "BASEG set to: 0.000100\r\n", &LayerToneDefaults::baseGain, 0.0001f},
        {"BASEG .5", "BASEG set to: 0.500000\r\n", &LayerToneDefaults::baseGain, 0.5f},
    };
    for (const auto& c : common) {
        EXPECT_EQ(compileLines(c.line), c.log) << c.line;
        EXPECT_FLOAT_EQ(tone().*(c.field), c.stored) << c.line;
    }
    // In a layer a value below the lower bound leaves the layer unset: it ends with the default.
    EXPECT_EQ(compileLines("BASEF 220\nLAYER\nBASEF 0\nOUT = 0\nLAYER\nBASEF 330\nKEYCENTER $3\nOUT = 0"),
              "BASEF set to: 220.000000\r\nBASEF set to: -1000.000000 for LAYER 1\r\n"
              "BASEF set to: 330.000000 for LAYER 2\r\nKEYCENTER set to MCC #3 for LAYER 2\r\n");
    EXPECT_EQ(settings(0).baseFrequency, 220.0f);
    EXPECT_EQ(settings(1).baseFrequency, 330.0f);
    EXPECT_FLOAT_EQ(settings(1).keyCenter, 1003.1f);
    EXPECT_EQ(settings(1).keyTracking, 1.0f);  // the default, taken at the end of the layer
    EXPECT_EQ(settings(0).velocityTracking, 2.0f);
}

TEST_F(LayerDirectives, GroupAndSampleOffsetAtEachLevel) {
    EXPECT_EQ(compileLines("GROUP 5\nSAMPLEOFF 10\nLAYER\nOUT = 0\nLAYER\nGROUP 200000\nSAMPLEOFF -3\nOUT = 0"),
              "Default GROUP set to: 5\r\nSAMPLEOFF set to 10 by default.\r\n"
              "GROUP of layer # 2 set to: 100000\r\nSAMPLEOFF set to -3 for LAYER 1.\r\n");
    EXPECT_EQ(settings(0).group, 5);
    EXPECT_EQ(settings(0).sampleOffset, 10);
    EXPECT_EQ(settings(1).group, 100000);
    EXPECT_EQ(settings(1).sampleOffset, -3);
    EXPECT_EQ(compileLines("GROUP -7\nPOST\nSAMPLEOFF 4\nOUT = 0"),
              "Default GROUP set to: -1\r\nSAMPLEOFF set to 4 for POST step.\r\n");
    EXPECT_EQ(compiler.instrument().post.settings.sampleOffset, 4);
}

TEST_F(LayerDirectives, CrossfadeListIsEditedInFileOrder) {
    EXPECT_EQ(compileLines("LAYER\nXFADE 0, 7, 0, 127, 1\nXFADE 0, 7, 10, 100, 2\nXFADE 1, 7, 0, 50\nOUT = 0"),
              "Crossfade of type 0 for MCC 7 inserted...\r\nCrossfade of type 0 for MCC 7 updated...\r\n"
              "Crossfade of type 1 for MCC 7 inserted...\r\n");
    ASSERT_EQ(settings(0).crossfadeCount, 2);
    EXPECT_EQ(settings(0).crossfades[0], (LayerCrossfade{10.0f, 100.0f, 7, 0, 2}));
    EXPECT_EQ(settings(0).crossfades[1], (LayerCrossfade{0.0f, 50.0f, 7, 1, 0}));

    compileLines("LAYER\nXFADE 0, 7, 0, 127\nXFADE 1, 9, 0, 127\nXFADE 0, 7, 5, 5\nOUT = 0");
    ASSERT_EQ(settings(0).crossfadeCount, 1);  // the later entry moved up
    EXPECT_EQ(settings(0).crossfades[0].mcc, 9);

    EXPECT_EQ(compileLines("XFADE 0, 1, 0, 127\nXFADE 0, 2000, 0, 127\nXFADE 0, 5, 9, 1\nLAYER\nXFADE -1\nOUT = 0\n"
                           "LAYER\nOUT = 0"),
              "Crossfade of type 0 for MCC 1 inserted...\r\nCrossfade of type 0 for MCC 1000 inserted...\r\n"
              "Warning: can not delete crossfade of type 0 for MCC 5. Not found...\r\n"
              "All crossfades deleted for LAYER # 0...\r\n");
    EXPECT_EQ(defaults().crossfadeCount, 2);
    EXPECT_EQ(settings(0).crossfadeCount, 0);
    EXPECT_EQ(settings(1).crossfadeCount, 2);  // each layer starts from the defaults
    EXPECT_EQ(compileLines("XFADE -1"), "All crossfades deleted for for all future layers...\r\n");
}

TEST_F(LayerDirectives, ASixtyFifthCrossfadeIsRefused) {
    std::string text = "LAYER\n";
    for (int mcc = 0; mcc < 65; ++mcc) text += "XFADE 0, " + std::to_string(mcc) + ", 0, 127\n";
    const std::string logged = compileLines(text + "XFADE 0, 3, 1, 2\nOUT = 0");
    EXPECT_NE(logged.find(error(67, "ERROR: Maximum number of 64 crossfades reached...\r\n", "XFADE 0, 64, 0, 127")),
              std::string::npos)
        << logged;
    EXPECT_NE(logged.find("Crossfade of type 0 for MCC 3 updated...\r\n"), std::string::npos);  // updates still work
    EXPECT_EQ(settings(0).crossfadeCount, 64);
    EXPECT_EQ(settings(0).crossfades[63].mcc, 63);
    EXPECT_EQ(settings(0).crossfades[3].start, 1.0f);
}

TEST_F(LayerDirectives, TriggerListsAndTheirShorthands) {
    EXPECT_EQ(compileLines("LAYER\nONMCCT 2000, 0, 10\nOFFMCCT 2000, 0, 10\nONMCCT 7, 5, 9\nONMCCT 7, 1, 2\n"
                           "ONMCCT 8, 3, 1\nOFFMCCT 64, 100, 127, 0.05\nOUT = 0"),
              "ON trigger for MCC 1003 inserted...\r\nOFF trigger for MCC 1000 inserted...\r\n"
              "ON trigger for MCC 7 inserted...\r\nON trigger for MCC 7 updated...\r\n"
              "Warning: can not delete ON trigger for MCC 8. Not found...\r\nOFF trigger for MCC 64 inserted...\r\n");
    ASSERT_EQ(settings(0).onTriggerCount, 2);
    EXPECT_EQ(settings(0).onTriggers[0], (LayerOnTrigger{0.0f, 10.0f, 1003}));
    EXPECT_EQ(settings(0).onTriggers[1], (LayerOnTrigger{1.0f, 2.0f, 7}));
    ASSERT_EQ(settings(0).offTriggerCount, 2);
    EXPECT_EQ(settings(0).offTriggers[1], (LayerOffTrigger{100.0f, 127.0f, 0.05f, 64}));

    // A shorthand acts exactly as the line it stands for.
    const struct {
        const char* shorthand;
        const char* longhand;
    } pairs[] = {{"ONFIRST 1, 1", "ONMCCT 1000, 1, 1"},       {"ONLEGATO 0, 60", "ONMCCT 1001, 0, 60"},
                 {"ONRROBIN 1, 2", "ONMCCT 1002, 1, 2"},      {"ONCHANNEL 3, 3", "ONMCCT 1003, 3, 3"},
                 {"OFFGROUP 3, 0.5", "OFFMCCT 1000, 3, 3, 0.5"}, {"OFFGROUP 2", "OFFMCCT 1000, 2, 2, -1"}};
    for (const auto& pair : pairs) {
        const std::string viaShorthand = compileLines(std::string("LAYER\n") + pair.shorthand + "\nOUT = 0");
        const LayerSettings shorthand = settings(0);
        const std::string viaLonghand = compileLines(std::string("LAYER\n") + pair.longhand + "\nOUT = 0");
        EXPECT_EQ(viaShorthand, viaLonghand) << pair.shorthand;
        EXPECT_EQ(shorthand, settings(0)) << pair.shorthand;
        EXPECT_EQ(shorthand.onTriggerCount + shorthand.offTriggerCount, 1) << pair.shorthand;
    }

    EXPECT_EQ(compileLines("ONFIRST 0, 127\nOFFGROUP 4\nLAYER\nONMCCT -1\nOUT = 0\nLAYER\nOFFMCCT -5\nOUT = 0"),
              "ON trigger for MCC 1000 inserted...\r\nOFF trigger for MCC 1000 inserted...\r\n"
              "All ON triggers deleted for LAYER # 0...\r\nAll OFF triggers deleted for LAYER # 1...\r\n");
    EXPECT_EQ(settings(0).onTriggerCount, 0);
    EXPECT_EQ(settings(0).offTriggerCount, 1);
    EXPECT_EQ(settings(1).onTriggerCount, 1);
    EXPECT_EQ(settings(1).offTriggerCount, 0);
}

TEST_F(LayerDirectives, AThirtyThirdTriggerIsRefusedButUpdatesGoOn) {
    std::string text = "LAYER\n";
    for (int mcc = 0; mcc < 33; ++mcc) text += "ONMCCT " + std::to_string(mcc) + ", 0, 1\n";
    for (int mcc = 0; mcc < 33; ++mcc) text += "OFFMCCT " + std::to_string(mcc) + ", 0, 1\n";
    const std::string logged = compileLines(text + "ONMCCT 5, 2, 3\nOUT = 0");
    EXPECT_NE(logged.find(error(35, "ERROR: Maximum number of 32 ON triggers reached...\r\n", "ONMCCT 32, 0, 1")),
              std::string::npos);
    EXPECT_NE(logged.find(error(68, "ERROR: Maximum number of 32 OFF triggers reached...\r\n", "OFFMCCT 32, 0, 1")),
              std::string::npos);
    EXPECT_EQ(settings(0).onTriggerCount, 32);
    EXPECT_EQ(settings(0).offTriggerCount, 32);
    EXPECT_EQ(settings(0).onTriggers[5], (LayerOnTrigger{2.0f, 3.0f, 5}));
}

TEST_F(LayerDirectives, NoteOnRangesOnlyInALayer) {
    EXPECT_EQ(compileLines("LAYER\nONNOTEON 36, 48.5, 10\nOUT = 0"), "");
    EXPECT_EQ(settings(0).keyMin, 36.0f);
    EXPECT_EQ(settings(0).keyMax, 48.5f);
    EXPECT_EQ(settings(0).velocityMin, 10.0f);
    EXPECT_EQ(settings(0).velocityMax, 127.0f);
    EXPECT_EQ(compileLines("ONNOTEON 1, 2"),
              lineReport(2, "ERROR: ONNOTEON can not be specified in COMMON or POST section...\r\n", "ONNOTEON 1, 2"));
}

TEST_F(LayerDirectives, RefusedLinesStoreNothing) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"GROUP 1, 2", "ERROR: GROUP requires a numeric constant...\r\n"},
        {"GROUP x", "ERROR: GROUP requires a numeric constant...\r\n"},
        {"BASEF \"440\"", "ERROR: BASEF requires a numeric constant...\r\n"},
        {"VELTRACK 1, 2", "ERROR: VELTRACK requires a numeric constant...\r\n"},
        {"KEYTRACK (1)", "ERROR: KEYTRACK requires a numeric constant...\r\n"},
        {"KEYCENTER k", "ERROR: KEYCENTER requires a numeric constant...\r\n"},
        {"BASEG 1, 1", "ERROR: BASEG requires a numeric constant...\r\n"},
        {"XFADE 2, 7, 0, 127", "ERROR: XFADE. Type can be only 0 (IN), 1 (OUT) or negative (meaning RESET)...\r\n"},
        {"XFADE 0, 7, 0, 127, 3", "ERROR: XFADE. Power can be only 0 (LINEAR), 1 (POWER) or 2 (EXPONENTIAL)...\r\n"},
        {"XFADE 0, 7, 0, 127, 1, 1", "ERROR: XFADE. Invalid parameters number or syntax error...\r\n"},
        {"XFADE $1, 7", "ERROR: XFADE. Invalid parameters number or syntax error...\r\n"},
        {"SAMPLEOFF 1, 2", "ERROR: SAMPLEOFF requires a numeric constant...\r\n"},
        {"ONMCCT 1, 2, 3, 4", "ERROR: ONMCCT. Invalid parameters number or syntax error...\r\n"},
        {"OFFMCCT 1, 2, 3, 4, 5", "ERROR: OFFMCCT. Invalid parameters number or syntax error...\r\n"},
        {"ONFIRST 1, 2, 3", "ERROR: ONFIRST. Invalid parameters number or syntax error...\r\n"},
        {"ONLEGATO a", "ERROR: ONLEGATO. Invalid parameters number or syntax error...\r\n"},
        {"ONRROBIN 1, 2, 3", "ERROR: ONRROBIN. Invalid parameters number or syntax error...\r\n"},
        {"ONCHANNEL 1, 2, 3", "ERROR: ONCHANNEL. Invalid parameters number or syntax error...\r\n"},
        {"OFFGROUP 1, 2, 3", "ERROR: OFFGROUP. Invalid parameters number or syntax error...\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compileLines(c.line), error(2, c.message, c.line)) << c.line;
        EXPECT_EQ(defaults(), LayerSettings{}) << c.line;
        EXPECT_EQ(tone(), LayerToneDefaults{}) << c.line;
    }
}

TEST_F(LayerDirectives, OnlySampleOffsetAndNoteOnRangesPassInPost) {
    for (const char* keyword : {"GROUP", "BASEG", "VELTRACK", "BASEF", "KEYTRACK", "KEYCENTER", "XFADE", "ONMCCT",
                                "ONFIRST", "ONLEGATO", "ONRROBIN", "ONCHANNEL", "OFFMCCT", "OFFGROUP"}) {
        const std::string line = std::string(keyword) + " 1";
        EXPECT_EQ(compileLines("POST\n" + line),
                  lineReport(3, "ERROR: " + std::string(keyword) + " can not be specified in POST section...\r\n", line))
            << keyword;
    }
}

}  // namespace
}  // namespace tess::compiler::test
