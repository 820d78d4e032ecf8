// The tool as a DAW saving and reopening a project: `render --save-state` and
// `render --load-state`, and `info --instrument` showing the named parameters.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "tessarine/WavFile.h"

namespace tess::tool {
namespace {

const std::string kTool = TESSARINE_TOOL_PATH;
const std::string kExamples = std::string(TESSARINE_SOURCE_DIR) + "/examples/";

int tool(const test::ScopedUserFolder& home, const std::string& arguments, std::string* output) {
    output->clear();
    return test::runCommand("TESSARINE_HOME='" + home.path() + "' '" + kTool + "' " + arguments, output);
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

WavAudio readWav(const std::string& path) {
    WavAudio audio;
    std::string error;
    EXPECT_TRUE(readWavFile(path, audio, error)) << error;
    return audio;
}

TEST(StateTool, ASavedRenderReplaysSampleIdentically) {
    test::ScopedUserFolder home;
    const std::string midi = "--midi " + quoted(kExamples + "parameters.mid");
    const std::string instrument = "--instrument " + quoted(kExamples + "parameters.txt");
    std::string output;
    // Parameters changed before saving: sustain pedal down, the organ voice, just tuning.
    ASSERT_EQ(tool(home, "render " + instrument + " " + midi + " --param 4=1 --param 3=1 --param 5=0.125 --save-state " +
                             quoted(home.file("project.state")) + " -o " + quoted(home.file("first.wav")),
                   &output),
              0)
        << output;
    EXPECT_NE(output.find("State saved: " + home.file("project.state") + " (20488 bytes)"), std::string::npos);
    ASSERT_EQ(tool(home, "render " + midi + " --load-state " + quoted(home.file("project.state")) + " -o " +
                             quoted(home.file("again.wav")),
                   &output),
              0)
        << output;
    EXPECT_NE(output.find("State loaded: " + home.file("project.state") + " (20488 bytes)"), std::string::npos);
    const WavAudio first = readWav(home.file("first.wav"));
    const WavAudio again = readWav(home.file("again.wav"));
    ASSERT_GT(first.left.size(), 44100u);
    EXPECT_EQ(again.left, first.left);
    EXPECT_EQ(again.right, first.right);

    // The saved changes are heard: the file alone renders differently.
    ASSERT_EQ(tool(home, "render " + instrument + " " + midi + " -o " + quoted(home.file("plain.wav")), &output), 0);
    EXPECT_NE(readWav(home.file("plain.wav")).left, first.left);
}

TEST(StateTool, AStateFileThatCannotBeReadStopsTheRender) {
    test::ScopedUserFolder home;
    std::string output;
    EXPECT_EQ(tool(home, "render --load-state " + quoted(home.file("none.state")) + " -o " + quoted(home.file("x.wav")),
                   &output),
              1);
    EXPECT_NE(output.find(home.file("none.state") + ": cannot open"), std::string::npos) << output;
    EXPECT_FALSE(test::runCommand("test -e " + quoted(home.file("x.wav")), &output) == 0);
    EXPECT_EQ(tool(home, "render -o x.wav --save-state", &output), 2);
    EXPECT_NE(output.find("--save-state needs a value"), std::string::npos) << output;
}

TEST(StateTool, InfoShowsTheInstrumentsParametersByName) {
    test::ScopedUserFolder home;
    std::string output;
    ASSERT_EQ(tool(home, "info --instrument " + quoted(kExamples + "parameters.txt"), &output), 0) << output;
    const char* lines[] = {
        "Instrument loaded: ",
        "Program name: parameters.txt\n",
        "Parameter 0: name \"Level\", label \"dB\", display \"-12.00\", value 0.700000\n",
        "Parameter 1: name \"Tremolo\", label \"beats\", display \"1/2\", value 0.111111\n",
        "Parameter 3: name \"Voice\", label \"\", display \"2\", value 0.500000\n",
        "Parameter 6: name \"Release\", label \"s\", display \"0.10000\", value 0.434588\n",
        "Parameter 7: name \"Var #7\", label \"\", display \"0.000000\", value 0.000000\n",
    };
    for (const char* line : lines) EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    EXPECT_EQ(tool(home, "info --instrument " + quoted(home.file("absent.txt")), &output), 1);
    EXPECT_NE(output.find("did not load"), std::string::npos) << output;
}

}  // namespace
}  // namespace tess::tool
