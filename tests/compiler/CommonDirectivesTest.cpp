// The global directives of the COMMON section: what each line stores, the exact log it writes,
// and the lines that are refused without storing anything.
#include <cfloat>
#include <string>

#include "CompilerTestSupport.h"
#include "compiler/CommonDirectives.h"

namespace tess::compiler::test {
namespace {

// "************ Line n, file f\r\n" + message + raw line + "\r\n"
std::string lineError(int line, const std::string& path, const std::string& message, const std::string& raw) {
    return "************ Line " + std::to_string(line) + ", file " + path + "\r\n" + message + raw + "\r\n";
}
// "************ Line n, file f\r\n" + raw line + "\r\n" + message
std::string fourPiece(int line, const std::string& path, const std::string& raw, const std::string& message) {
    return "************ Line " + std::to_string(line) + ", file " + path + "\r\n" + raw + "\r\n" + message;
}

const CommonSettings kDefaults{};

// Everything a refused line might have touched is still at its default.
void expectUntouched(const CommonSettings& s, const CurveTable& curves) {
    EXPECT_EQ(s.quality, kDefaults.quality);
    EXPECT_EQ(s.poly, kDefaults.poly);
    EXPECT_EQ(s.silenceThreshold, kDefaults.silenceThreshold);
    EXPECT_EQ(s.midiChannelMin, 0);
    EXPECT_EQ(s.midiChannelMax, 15);
    EXPECT_EQ(s.editorWidth, kDefaults.editorWidth);
    EXPECT_EQ(s.editorHeight, kDefaults.editorHeight);
    EXPECT_EQ(s.sampleUiCount, 0);
    for (const UiOverride& o : s.uiOverrides) EXPECT_EQ(o.x & o.y & o.size, UiOverride::kUnchanged);
    for (int n = 0; n < CurveTable::kCurves; ++n) EXPECT_EQ(curves[n].count, 0) << n;
}

struct Case {
    std::string line;
    std::string log;  // the whole log; a leading '!' marks a four-piece error, '*' a line error
};

class CommonDirectiveTest : public CompilerTest {
protected:
    CommonDirectiveTest() : path(files.file("instrument.txt")) {}

    // Compiles the lines at the given debug level and returns what they logged (at debug 2 the
    // reader's own first line, the start of COMMON, is checked and left out).
    std::string run(const std::string& lines, int debug) {
        log.debugLevel = debug;
        compileText(lines + "\n", -1);
        std::string text = mainLog();
        const std::string start = "Line 1, Start of COMMON section...\r\n";
        if (debug > 1) {
            EXPECT_EQ(text.substr(0, start.size()), start);
            text.erase(0, start.size());
        }
        return text;
    }
    std::string expected(const Case& c) const {
        if (c.log.empty() || (c.log[0] != '!' && c.log[0] != '*')) return c.log;
        return c.log[0] == '!' ? fourPiece(1, path, c.line, c.log.substr(1)) : lineError(1, path, c.log.substr(1), c.line);
    }
    const CommonSettings& common() const { return compiler.instrument().common; }
    const Curve& curve(int n) const { return compiler.instrument().curves[n]; }
    const std::string path;
};

TEST_F(CommonDirectiveTest, QualityStoresClampedValues) {
    const struct {
        Case c;
        QualitySettings stored;
    } cases[] = {
        {{"QUALITY 100", "QUALITY set to: 256, 7, 0, 1.000000\r\n"}, {256, 7, 0, 1.0f}},
        {{"QUALITY 70000, 101, 9, 500", "QUALITY set to: 65536, 100, 6, 100.000000\r\n"}, {65536, 100, 6, 100.0f}},
        {{"QUALITY 1024, -3, -1, 0", "QUALITY set to: 1024, 0, 0, 0.000001\r\n"}, {1024, 0, 0, 0.000001f}},
        {{"quality +8192; 12; 4; 2.5e1", "QUALITY set to: 8192, 12, 4, 25.000000\r\n"}, {8192, 12, 4, 25.0f}},
    };
    for (const auto& t : cases) {
        log.clear();
        EXPECT_EQ(run(t.c.line, 2), expected(t.c)) << t.c.line;
        EXPECT_EQ(common().quality, t.stored) << t.c.line;
    }
}

TEST_F(CommonDirectiveTest, PolyStoresVoicesModesAndControllerReferences) {
    const struct {
        Case c;
        PolySettings stored;
    } cases[] = {
        {{"POLY 0", "POLYPHONY set to 1, option number 0, retrig mode from MIDI CC # 0, taken at trigger time, glide "
                    "time 0.0000 sec\r\n"},
         {1, 0, -1, 0.0f}},
        {{"POLY 8, 1, $64, $1", "POLYPHONY set to 8, option number 1, retrig mode from MIDI CC # 64, taken at trigger "
                                "time, glide time from MIDI CC # 1, taken at trigger time.\r\n"},
         {8, 1, -65, -1.1f}},
        {{"POLY 300, 9, 2, 150", "POLYPHONY set to 256, option number 4, retrig mode 2, glide time 100.0000 sec\r\n"},
         {256, 4, 2, 100.0f}},
        {{"POLY 16, -2, 7, $7", "POLYPHONY set to 16, option number 0, retrig mode 3, glide time from MIDI CC # 7, "
                                "taken at trigger time.\r\n"},
         {16, 0, 3, -7.1f}},
        {{"POLY 4, 2, -2000, -5", "POLYPHONY set to 4, option number 2, retrig mode 0, glide time 0.0000 sec\r\n"},
         {4, 2, 0, 0.0f}},
        {{"POLY 4, 0, $999, $1000", "POLYPHONY set to 4, option number 0, retrig mode from MIDI CC # 999, taken at "
                                    "trigger time, glide time 0.0000 sec\r\n"},
         {4, 0, -1000, 0.0f}},
        {{"POLY 4, 0, $1000, 0.25", "POLYPHONY set to 4, option number 0, retrig mode 0, glide time 0.2500 sec\r\n"},
         {4, 0, 0, 0.25f}},
        {{"POLY 2, 1, 0, $0", "POLYPHONY set to 2, option number 1, retrig mode 0, glide time from MIDI CC # 0, taken "
                              "at trigger time.\r\n"},
         {2, 1, 0, -0.1f}},
        {{"POLY 2, 1, $, $x", "POLYPHONY set to 2, option number 1, retrig mode from MIDI CC # 0, taken at trigger "
                              "time, glide time 0.0000 sec\r\n"},
         {2, 1, -1, 0.0f}},
    };
    for (const auto& t : cases) {
        log.clear();
        EXPECT_EQ(run(t.c.line, 2), expected(t.c)) << t.c.line;
        EXPECT_EQ(common().poly, t.stored) << t.c.line;
    }
}

TEST_F(CommonDirectiveTest, SingleValueDirectives) {
    const struct {
        Case c;
        float threshold;
        int width, height;
    } cases[] = {
        {{"SILTH 5", "SILENCE THRESHOLD set to: 0.1\r\n"}, 0.1f, 800, 400},
        {{"SILTH .5", "SILENCE THRESHOLD set to: 0.1\r\n"}, 0.1f, 800, 400},
        {{"SILTH 1e-20", "SILENCE THRESHOLD set to: 1e-12\r\n"}, 1e-12f, 800, 400},
        {{"SILTH 0.001", "SILENCE THRESHOLD set to: 0.001\r\n"}, 0.001f, 800, 400},
        {{"SILTH -", "SILENCE THRESHOLD set to: 0.001\r\n"}, 0.001f, 800, 400},  // keeps the current value
        {{"INTERFACE 100, 5000", "INTERFACE set to: 400, 4096\r\n"}, 0.001f, 400, 4096},
        {{"INTERFACE 1000", "INTERFACE set to: 1000, 800\r\n"}, 0.001f, 1000, 800},
        {{"INTERFACE 5000, 100", "INTERFACE set to: 4096, 300\r\n"}, 0.001f, 4096, 300},
    };
    for (const auto& t : cases) {  // in order: each case starts from the one before
        log.clear();
        EXPECT_EQ(run(t.c.line, 2), expected(t.c)) << t.c.line;
        EXPECT_EQ(common().silenceThreshold, t.threshold) << t.c.line;
        EXPECT_EQ(common().editorWidth, t.width) << t.c.line;
        EXPECT_EQ(common().editorHeight, t.height) << t.c.line;
    }
}

TEST_F(CommonDirectiveTest, MidiChannelsCheckOrderAndRange) {
    compiler.settings().midiChannelMin = 2;
    compiler.settings().midiChannelMax = 12;
    const std::string minMax = "ERROR: MIDICH. <min> should be less than or equal to <max>...\r\n";
    const std::string range = "ERROR: MIDICH. <min> and <max> should be between 0 and 15...\r\n";
    const struct {
        std::string line;
        std::string message;  // empty: accepted
        int min, max;
    } cases[] = {
        {"MIDICH 3, 2", minMax, 2, 12}, {"MIDICH 0, 16", range, 2, 12}, {"MIDICH -1, 4", range, 2, 12},
        {"MIDICH 5", "", 5, 12},        {"MIDICH 13", minMax, 5, 12},   {"MIDICH 0, 15", "", 0, 15},
        {"MIDICH 7, 7", "", 7, 7},
    };
    for (const auto& c : cases) {
        log.clear();
        const std::string text = run(c.line, 2);
        // The refusals write the line first, then the header and the message.
        const std::string header = "************ Line 1, file " + path + "\r\n";
        EXPECT_EQ(text, c.message.empty() ? "MIDICH interval set to: [" + std::to_string(c.min) + ", " +
                                                std::to_string(c.max) + "]\r\n"
                                          : c.line + "\r\n" + header + c.message)
            << c.line;
        EXPECT_EQ(common().midiChannelMin, c.min) << c.line;
        EXPECT_EQ(common().midiChannelMax, c.max) << c.line;
    }
}

TEST_F(CommonDirectiveTest, UiModStoresOneItem) {
    const struct {
        Case c;
        int item;
        UiOverride stored;
    } cases[] = {
        {{"UIMOD 5, -1, 20, 5000", "UI item #5, x pos set to -32768, y pos set to 20, size set to 4096\r\n"},
         5,
         {-32768, 20, 4096}},
        {{"UIMOD 900, 10", "UI item #733, x pos set to 10, y pos set to -32768, size set to -32768\r\n"},
         733,
         {10, -32768, -32768}},
        {{"UIMOD -4, 0, 4096, 3", "UI item #0, x pos set to 0, y pos set to 4096, size set to 3\r\n"}, 0, {0, 4096, 3}},
    };
    for (const auto& t : cases) {
        log.clear();
        EXPECT_EQ(run(t.c.line, 2), expected(t.c)) << t.c.line;
        const UiOverride& o = common().uiOverrides[t.item];
        EXPECT_EQ(o.x, t.stored.x) << t.c.line;
        EXPECT_EQ(o.y, t.stored.y) << t.c.line;
        EXPECT_EQ(o.size, t.stored.size) << t.c.line;
    }
    EXPECT_EQ(common().uiOverrides[6].x, UiOverride::kUnchanged);
}

TEST_F(CommonDirectiveTest, RefusedLinesStoreNothing) {
    const std::string curveShape =
        "!ERROR: CURVE. Invalid parameters number or syntax error: minimum 5 numerical parameters (index plus 2 "
        "points), odd number of parameters...\r\n";
    const Case cases[] = {
        {"QUALITY x", "!ERROR: QUALITY. Invalid parameters number or syntax error...\r\n"},
        {"QUALITY 1, 2, 3, 4, 5", "!ERROR: QUALITY. Invalid parameters number or syntax error...\r\n"},
        {"QUALITY (1)", "!ERROR: QUALITY. Invalid parameters number or syntax error...\r\n"},
        {"POLY 1, 2, 3, 4, 5", "!ERROR: POLY. Invalid parameters number or syntax error...\r\n"},
        {"POLY \"8\"", "!ERROR: POLY. Invalid parameters number or syntax error...\r\n"},
        {"SILTH 1, 2", "!ERROR: SILTH requires a numeric constant...\r\n"},
        {"SILTH x", "!ERROR: SILTH requires a numeric constant...\r\n"},
        {"MIDICH 1, 2, 3", "!ERROR: MIDICH. Invalid parameters number or syntax error...\r\n"},
        {"INTERFACE 1, 2, 3", "!ERROR: INTERFACE. Invalid parameters number or syntax error...\r\n"},
        {"UIMOD 1, 2, 3, 4, 5", "!ERROR: UIMOD. Invalid parameters number or syntax error...\r\n"},
        {"SAMPLEUI 1, 2, 3, 4", "!ERROR: SAMPLEUI. Invalid parameters number or syntax error...\r\n"},
        {"SAMPLEUI 1, 2, 3, 4, \"x\"", "!ERROR: SAMPLEUI. Invalid parameters number or syntax error...\r\n"},
        {"SAMPLEUI 1, 2, \"x\", 4", "!ERROR: SampleUI. 4-th parameter must be a string...\r\n"},
        {"CURVE 3, 0, 0, 1", curveShape},
        {"CURVE 3, 0, 0, 1, 1, 2, 2, 3", curveShape},
        {"CURVE 256, 0, 0, 1, 1", "*ERROR: CURVE. <index> MUST be between 0 AND 255...\r\n"},
        {"CURVE -1, 0, 0, 1, 1", "*ERROR: CURVE. <index> MUST be between 0 AND 255...\r\n"},
        {"CURVE 3x, 0, 0, 1, 1", "*ERROR: CURVE. Parameter 1 MUST be valid numeric constant...\r\n"},
        {"CURVE 3, 0, a, 1, 1", "*ERROR: CURVE. Parameter 3 MUST be valid numeric constant...\r\n"},
        {"CURVE 3, 0, 0, 1x, 1", "*ERROR: CURVE. Parameter 4 MUST be valid numeric constant...\r\n"},
        {"CURVE 3, 0, 0, 0, 1", "*ERROR: CURVE. xi must be strictly ascending: x2 was not greater than x1...\r\n"},
        {"CURVE 3, 0, 0, 2, 1, 1, 5", "*ERROR: CURVE. xi must be strictly ascending: x3 was not greater than x2...\r\n"},
    };
    for (const Case& c : cases) {
        log.clear();
        EXPECT_EQ(run(c.line, 1), expected(c)) << c.line;
    }
    expectUntouched(common(), compiler.instrument().curves);
}

TEST_F(CommonDirectiveTest, OnlyInCommonSection) {
    const std::string lines[] = {"QUALITY 100", "CURVE 3, 0, 0, 1, 1", "POLY 8",  "SILTH 5", "MIDICH 1, 2",
                                 "INTERFACE 500, 400", "SAMPLEUI 1, 2, 3, \"a\"", "UIMOD 5, 1, 2, 3"};
    for (const std::string& line : lines) {
        log.clear();
        compiler.reset();
        const std::string keyword = line.substr(0, line.find(' '));
        const std::string message = "ERROR: " + keyword + " only in COMMON section...\r\n";
        EXPECT_EQ(run("POST\n" + line + "\nLAYER\n" + line, 2),
                  "Line 1, End of COMMON section...\r\nLine 1, Start of POST section...\r\n" +
                      lineError(2, path, message, line) +
                      "Line 3, End of POST section...\r\nLine 3, Start of LAYER 0...\r\n" +
                      lineError(4, path, message, line) + "Line 4, End of LAYER 0...\r\n");
        expectUntouched(common(), compiler.instrument().curves);
    }
}

TEST_F(CommonDirectiveTest, KeywordFollowedByEqualSignIsAnAssignment) {
    EXPECT_EQ(run("quality = 3", 0), "");
    EXPECT_EQ(compiler.staging().operations().size(), 1u);
    EXPECT_GE(compiler.staging().slots().findName("quality"), 0);
    EXPECT_EQ(common().quality, kDefaults.quality);
}

TEST_F(CommonDirectiveTest, SuccessLinesNeedDebugTwoExceptNewCurve) {
    const std::string file =
        "QUALITY 100\nCURVE 3, 0, 0, 1, 1\nPOLY 8\nSILTH 5\nMIDICH 1, 2\nINTERFACE 500, 400\n"
        "SAMPLEUI 1, 2, 3, \"a\"\nUIMOD 5, 1, 2, 3";
    const std::string atTwo =
        "QUALITY set to: 256, 7, 0, 1.000000\r\n"
        "Parameter #1: 3.000000\r\nParameter #2: 0.000000\r\nParameter #3: 0.000000\r\n"
        "Parameter #4: 1.000000\r\nParameter #5: 1.000000\r\nNEW CURVE at slot #3, 2 points\r\n"
        "POLYPHONY set to 8, option number 0, retrig mode from MIDI CC # 0, taken at trigger time, glide time "
        "0.0000 sec\r\n"
        "SILENCE THRESHOLD set to: 0.1\r\nMIDICH interval set to: [1, 2]\r\nINTERFACE set to: 500, 400\r\n"
        "SAMPLEUI #1, on slot #1, x pos set to 2, y pos set to 3, Text: \"a\"\r\n"
        "UI item #5, x pos set to 1, y pos set to 2, size set to 3\r\n";
    const struct {
        int debug;
        std::string log;
    } cases[] = {{0, ""}, {1, "NEW CURVE at slot #3, 2 points\r\n"}, {2, atTwo}};
    for (const auto& c : cases) {
        compiler.reset();
        log.clear();
        EXPECT_EQ(run(file, c.debug), c.log) << "debug " << c.debug;
    }
}

TEST_F(CommonDirectiveTest, CurveStoresPointsAndOverwritesFromTheStart) {
    run("CURVE 3, 0, 5, 1, 6, 2.5, -7", 0);
    ASSERT_EQ(curve(3).count, 3);
    EXPECT_EQ(curve(3).x[2], 2.5f);
    EXPECT_EQ(curve(3).y[2], -7.0f);
    run("CURVE 3, 10, 1, 20, 2", 0);
    ASSERT_EQ(curve(3).count, 2);
    EXPECT_EQ(curve(3).x[0], 10.0f);
    EXPECT_EQ(curve(3).y[1], 2.0f);
    EXPECT_EQ(curve(3).x[2], 2.5f);  // beyond the count: kept, not used
    EXPECT_EQ(curve(3).apply(15.0f), 1.5f);
    // A line that fails part-way has written the values before the failure; the count stays.
    run("CURVE 3, 5, 9, 4, 8", 0);
    EXPECT_EQ(curve(3).count, 2);
    EXPECT_EQ(curve(3).x[0], 5.0f);
    EXPECT_EQ(curve(3).y[0], 9.0f);
    EXPECT_EQ(curve(3).x[1], 4.0f);
    EXPECT_EQ(curve(3).y[1], 2.0f);
    // Values beyond the float range are kept finite.
    run("CURVE 0, -1e39, 0, 1, 1e39", 0);
    EXPECT_EQ(curve(0).x[0], -FLT_MAX);
    EXPECT_EQ(curve(0).y[1], FLT_MAX);
}

TEST_F(CommonDirectiveTest, CurveHoldsAtMost256Points) {
    const auto line = [](int points) {
        std::string text = "CURVE 7";
        for (int k = 0; k < points; ++k) text += ", " + std::to_string(k) + ", " + std::to_string(2 * k);
        return text;
    };
    EXPECT_EQ(run(line(256), 1), "NEW CURVE at slot #7, 256 points\r\n");
    EXPECT_EQ(curve(7).x[255], 255.0f);
    EXPECT_EQ(curve(7).y[255], 510.0f);
    log.clear();
    const std::string tooMany = line(257);  // 515 parameters
    EXPECT_EQ(run(tooMany, 1),
              lineError(1, path, "ERROR: CURVE. Maximum number of 513 parameters (256 points) exceeded...\r\n", tooMany));
    EXPECT_EQ(curve(7).count, 256);
    log.clear();
    const std::string even = tooMany.substr(0, tooMany.rfind(','));  // 514 parameters
    EXPECT_EQ(run(even, 1), fourPiece(1, path, even,
                                      "ERROR: CURVE. Invalid parameters number or syntax error: minimum 5 numerical "
                                      "parameters (index plus 2 points), odd number of parameters...\r\n"));
}

TEST_F(CommonDirectiveTest, SampleUiEntries) {
    const std::string longCaption(200, 'c');
    const Case cases[] = {
        {"SAMPLEUI 9000, -5, 5000, \"Piano, soft\"",
         "SAMPLEUI #1, on slot #8191, x pos set to 0, y pos set to 4096, Text: \"Piano, soft\"\r\n"},
        {"SAMPLEUI 12; 40; 60; \"" + longCaption + "\"",
         "SAMPLEUI #2, on slot #12, x pos set to 40, y pos set to 60, Text: \"" + longCaption.substr(0, 127) +
             "\"\r\n"},
    };
    for (const Case& c : cases) {
        log.clear();
        EXPECT_EQ(run(c.line, 2), expected(c)) << c.line;
    }
    ASSERT_EQ(common().sampleUiCount, 2);
    EXPECT_EQ(common().sampleUi[0].slot, 8191);
    EXPECT_EQ(common().sampleUi[0].x, 0);
    EXPECT_EQ(common().sampleUi[0].y, 4096);
    EXPECT_STREQ(common().sampleUi[0].caption, "Piano, soft");
    EXPECT_EQ(common().sampleUi[1].slot, 12);
    EXPECT_EQ(std::string(common().sampleUi[1].caption), longCaption.substr(0, 127));
}

TEST_F(CommonDirectiveTest, ThirtyThirdSampleUiIsRefusedBeforeItsShape) {
    std::string file;
    for (int i = 0; i < 32; ++i) file += "SAMPLEUI " + std::to_string(i) + ", 1, 2, \"s" + std::to_string(i) + "\"\n";
    file += "SAMPLEUI 40, 1, 2, \"late\"\nSAMPLEUI x\n";
    run(file, 0);
    EXPECT_EQ(mainLog(), fourPiece(33, path, "SAMPLEUI 40, 1, 2, \"late\"", "ERROR: maximum number of 32 SampleUI exceeded...\r\n") +
                             fourPiece(34, path, "SAMPLEUI x", "ERROR: maximum number of 32 SampleUI exceeded...\r\n"));
    EXPECT_EQ(common().sampleUiCount, 32);
    EXPECT_EQ(common().sampleUi[31].slot, 31);
    EXPECT_STREQ(common().sampleUi[31].caption, "s31");
}

TEST_F(CommonDirectiveTest, ResetRestoresLoadDefaults) {
    run("QUALITY 100\nCURVE 3, 0, 0, 1, 1\nPOLY 8, 1, $64, $1\nSILTH 5\nMIDICH 1, 2\nINTERFACE 500, 400\n"
        "SAMPLEUI 1, 2, 3, \"a\"\nUIMOD 5, 1, 2, 3\nVSTVARS 40\n",
        0);
    // The compiler's own reset keeps the editor size and the host parameter count...
    compiler.reset();
    EXPECT_EQ(common().editorWidth, 500);
    EXPECT_EQ(common().editorHeight, 400);
    EXPECT_EQ(common().numVstVars, 40);
    compiler.settings().editorWidth = kDefaults.editorWidth;
    compiler.settings().editorHeight = kDefaults.editorHeight;
    expectUntouched(common(), compiler.instrument().curves);
    // ...which a load gives back from the plug-in's creation values.
    run("POLY 8\nINTERFACE 500, 400\nVSTVARS 40\n", 0);
    resetCommonSettings(compiler.settings(), 1024, 600, 24);
    EXPECT_EQ(common().editorWidth, 1024);
    EXPECT_EQ(common().editorHeight, 600);
    EXPECT_EQ(common().numVstVars, 24);
    EXPECT_EQ(common().poly, (PolySettings{256, 0, 0, 0.0f}));
    EXPECT_EQ(common().quality, (QualitySettings{4096, 7, 6, 15.0f}));
    EXPECT_EQ(common().silenceThreshold, 1e-7f);
}

}  // namespace
}  // namespace tess::compiler::test
