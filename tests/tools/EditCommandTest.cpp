// The edit command's command line and script language, the frequency measure its play command
// reports, and what the command does in a build without an editor window.
#include <gtest/gtest.h>

#include <cstdlib>

#include <cmath>
#include <numbers>
#include <vector>

#include "support/TestSupport.h"
#include "tessarine/Commands.h"
#include "tessarine/Edit.h"
#include "tessarine/Levels.h"

namespace tess::tool {
namespace {

TEST(EditCommand, ArgumentsNameTheLibraryAndTheOptions) {
    EditOptions options;
    std::string error;
    ASSERT_TRUE(parseEditArguments({"Tessarine.dll", "--instrument", "a b.txt", "--seconds", "2.5", "--screenshot",
                                    "out.bmp", "--script", "s.txt"},
                                   options, error))
        << error;
    EXPECT_EQ(options.plugin, "Tessarine.dll");
    EXPECT_EQ(options.instrument, "a b.txt");
    EXPECT_EQ(options.seconds, 2.5);
    EXPECT_EQ(options.screenshot, "out.bmp");
    EXPECT_EQ(options.script, "s.txt");

    const struct {
        std::vector<std::string> args;
        const char* message;
    } wrong[] = {
        {{}, "needs a plug-in library"},
        {{"--seconds", "1"}, "needs a plug-in library"},
        {{"lib.dll", "--seconds"}, "--seconds needs a value"},
        {{"lib.dll", "--seconds", "-1"}, "--seconds needs a number"},
        {{"lib.dll", "--seconds", "x"}, "--seconds needs a number"},
        {{"lib.dll", "other.dll"}, "unexpected argument \"other.dll\""},
        {{"lib.dll", "--zoom"}, "unexpected argument \"--zoom\""},
    };
    for (const auto& w : wrong) {
        EditOptions ignored;
        EXPECT_FALSE(parseEditArguments(w.args, ignored, error));
        EXPECT_NE(error.find(w.message), std::string::npos) << error;
    }
}

TEST(EditCommand, ScriptsAreWordsPerLineWithQuotesAndComments) {
    std::vector<ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(parseEditScript("# set up\r\n"
                                "slider 0 10000\r\n"
                                "\n"
                                "  click \"SF2 bulk import\"   # the import button\n"
                                "dialog choose \"C:\\my files\\a.txt\"\n"
                                "print text 5\n",
                                commands, error))
        << error;
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].verb, "slider");
    EXPECT_EQ(commands[0].words, (std::vector<std::string>{"0", "10000"}));
    EXPECT_EQ(commands[0].line, 2);
    EXPECT_EQ(commands[1].words, (std::vector<std::string>{"SF2 bulk import"}));
    EXPECT_EQ(commands[2].words, (std::vector<std::string>{"choose", "C:\\my files\\a.txt"}));
    EXPECT_EQ(commands[3].line, 6);

    const struct {
        const char* script;
        const char* message;
    } wrong[] = {
        {"slider 0\n", "line 1: usage: slider I P"},
        {"\nwiggle 3\n", "line 2: unknown command \"wiggle\""},
        {"click \"Reload\n", "line 1: unmatched quote"},
        {"print\n", "line 1: usage: print"},
        {"idle 1 2\n", "line 1: usage: idle N"},
    };
    for (const auto& w : wrong) {
        std::vector<ScriptCommand> ignored;
        EXPECT_FALSE(parseEditScript(w.script, ignored, error)) << w.script;
        EXPECT_NE(error.find(w.message), std::string::npos) << error;
    }
}

TEST(EditCommand, ZeroCrossingsGiveTheFrequencyOfATone) {
    for (double frequency : {55.0, 261.6256, 440.0, 523.2511, 3000.0}) {
        std::vector<float> tone(44100);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<float>(0.3 * std::sin(2.0 * std::numbers::pi * frequency * double(i) / 44100.0 + 0.4));
        EXPECT_NEAR(zeroCrossingFrequency(tone.data(), tone.size(), 44100.0), frequency, frequency * 1e-4);
    }
    const std::vector<float> silence(1000, 0.0f);
    EXPECT_EQ(zeroCrossingFrequency(silence.data(), silence.size(), 44100.0), 0.0);
}

TEST(EditCommand, WithoutADisplayTheCommandSaysSo) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    std::ostringstream out, err;
    EXPECT_EQ(runTool({"edit", "Tessarine.so"}, out, err), 1);
    if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_NE(err.str().find("cannot open the X display (is DISPLAY set?)"), std::string::npos) << err.str();
    EXPECT_EQ(runTool({"edit"}, out, err), 2);
    std::ostringstream help;
    EXPECT_EQ(runTool({"edit", "--help"}, help, err), 0);
    EXPECT_NE(help.str().find("dialog cancel | dialog choose PATH"), std::string::npos);
}

}  // namespace
}  // namespace tess::tool
