// The tool with Tessarine itself: linting instrument files with `check`, and rendering an
// instrument file through the plug-in with `render --instrument`.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/TestSupport.h"
#include "tessarine/Check.h"
#include "tessarine/WavFile.h"

namespace tess::tool {
namespace {

const std::string kTool = TESSARINE_TOOL_PATH;

int tool(const test::ScopedUserFolder& home, const std::string& arguments, std::string* output) {
    output->clear();
    return test::runCommand("TESSARINE_HOME='" + home.path() + "' '" + kTool + "' " + arguments, output);
}

TEST(CheckCommand, ExitStatusTellsWhetherALineWasRejected) {
    test::ScopedUserFolder home;
    test::writeFile(home.file("clean.txt"), "LAYER\nOUT = SIN(TIME) * 0.5\n");
    test::writeFile(home.file("mistake.txt"), "LAYER\nx = 1\nOUT = y * 2\n");
    std::string output;
    EXPECT_EQ(tool(home, "check '" + home.file("clean.txt") + "'", &output), 0) << output;
    EXPECT_NE(output.find("OUT = SIN ( TIME ) * 0.5"), std::string::npos) << output;  // accepted lines
    EXPECT_NE(output.find("0 lines rejected"), std::string::npos);

    EXPECT_EQ(tool(home, "check '" + home.file("mistake.txt") + "'", &output), 1) << output;
    EXPECT_NE(output.find("************ Line 3, file " + home.file("mistake.txt") +
                          "\nERROR: \"y\" variable is UNDEFINED...\nOUT = y * 2\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("1 line rejected"), std::string::npos);

    EXPECT_EQ(tool(home, "check '" + home.file("absent.txt") + "'", &output), 2);
    EXPECT_NE(output.find("cannot read"), std::string::npos);
    EXPECT_EQ(tool(home, "check", &output), 2);
    EXPECT_EQ(tool(home, "check '" + home.file("clean.txt") + "' --debug x", &output), 2);
}

TEST(CheckCommand, DebugLevelShowsTheListing) {
    test::ScopedUserFolder home;
    test::writeFile(home.file("clean.txt"), "LAYER\nOUT = SIN(TIME) * 0.5\n");
    std::string output;
    EXPECT_EQ(tool(home, "check '" + home.file("clean.txt") + "' --debug 2", &output), 0);
    EXPECT_NE(output.find("Layer # 1, operation # 0"), std::string::npos) << output;
}

TEST(CheckCommand, RejectionsAreCountedFromTheLog) {
    EXPECT_EQ(countRejections(""), 0);
    EXPECT_EQ(countRejections("************ Line 3, file a\r\nERROR: x\r\n************ Line 4, file a\r\n"), 2);
    EXPECT_EQ(countRejections("\r\n*******************\r\nFATAL ERROR: limit of 8192 LAYERs reached"), 1);
    EXPECT_EQ(countRejections("**************** ERROR: file \"x\" does not exist"), 1);
    EXPECT_EQ(countRejections("WARNING: CURVE directive not supported in this version, line ignored...\r\n"), 0);
    // The parser's message line belongs to the header of its line.
    EXPECT_EQ(countRejections("************ Line 2, file a\r\nResult slot: 3\r\n******************** ERROR in OSC : "
                              "WRONG PARAM NUMBER: MUST BE 5 )\r\n"),
              1);
}

TEST(CheckCommand, LinesRefusedByTheParserCountOnce) {
    test::ScopedUserFolder home;
    test::writeFile(home.file("calls.txt"), "LAYER\nx = OSC(1, 2)\ny = SIN(1) +\nOUT = SIN(TIME)\n");
    std::string output;
    EXPECT_EQ(tool(home, "check '" + home.file("calls.txt") + "'", &output), 1) << output;
    EXPECT_NE(output.find("---- 2 lines rejected ----"), std::string::npos) << output;
}

TEST(RenderInstrument, TheFirstExampleIsAQuarterScaleA440) {
    test::ScopedUserFolder home;
    const std::string wav = home.file("tone.wav");
    std::string output;
    ASSERT_EQ(tool(home, "render --instrument '" TESSARINE_SOURCE_DIR "/examples/first-tone.txt' --seconds 1 -o '" +
                             wav + "'",
                   &output),
              0)
        << output;
    EXPECT_NE(output.find("Instrument loaded"), std::string::npos) << output;
    WavAudio audio;
    std::string error;
    ASSERT_TRUE(readWavFile(wav, audio, error)) << error;
    ASSERT_EQ(audio.left.size(), 44100u);
    float peak = 0.0f;
    int crossings = 0;
    for (std::size_t i = 1; i < audio.left.size(); ++i) {
        peak = std::max(peak, std::fabs(audio.left[i]));
        if (audio.left[i - 1] < 0.0f && audio.left[i] >= 0.0f) ++crossings;
        ASSERT_EQ(audio.left[i], audio.right[i]);
    }
    EXPECT_NEAR(20.0 * std::log10(peak), -12.04, 0.05);
    EXPECT_NEAR(crossings, 440, 1);
}

TEST(RenderInstrument, AnInstrumentThatCannotBeReadFailsTheRender) {
    test::ScopedUserFolder home;
    std::string output;
    for (const std::string& file : {home.file("none.txt"), home.path()}) {
        EXPECT_EQ(tool(home, "render --instrument '" + file + "' --seconds 0.1 -o '" + home.file("x.wav") + "'", &output),
                  1)
            << output;
        EXPECT_NE(output.find("tessarine: " + file + ": cannot read the instrument file"), std::string::npos) << output;
        EXPECT_EQ(output.find("Instrument loaded"), std::string::npos) << output;
    }
}

TEST(RenderInstrument, RejectedLinesAreCountedAndTheFirstIsShown) {
    test::ScopedUserFolder home;
    const std::string file = home.file("typo.txt");
    test::writeFile(file, "LAYER\nx = 1\nOUT = y * 2\nOUT = OSC(1)\n");
    std::string output;
    // The plug-in plays what it accepted, so the render itself succeeds.
    ASSERT_EQ(tool(home, "render --instrument '" + file + "' --seconds 0.1 -o '" + home.file("x.wav") + "'", &output), 0)
        << output;
    EXPECT_NE(output.find("Instrument loaded with 2 rejected lines: " + file + "\n"), std::string::npos) << output;
    EXPECT_NE(output.find("  ************ Line 3, file " + file + "\n  ERROR: \"y\" variable is UNDEFINED...\n  OUT = y * 2\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("tessarine check \"" + file + "\""), std::string::npos) << output;
    EXPECT_EQ(output.find("Line 4"), std::string::npos) << output;  // only the first message
}

}  // namespace
}  // namespace tess::tool
