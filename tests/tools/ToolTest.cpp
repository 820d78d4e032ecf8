// The built tessarine program end to end: its command line, and hosting real third-party
// plug-ins (Debian's dpf-plugins-vst) and our own library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Version.h"
#include "support/TestSupport.h"
#include "tessarine/WavFile.h"
#include "tools/SmfBuilder.h"

namespace tess::tool {
namespace {

const std::string kTool = TESSARINE_TOOL_PATH;
const std::string kKars = "/usr/lib/vst/Kars-vst.so";
const std::string kMVerb = "/usr/lib/vst/MVerb-vst.so";

int tool(const std::string& arguments, std::string* output) {
    output->clear();
    return test::runCommand("'" + kTool + "' " + arguments, output);
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

WavAudio readWav(const std::string& path) {
    WavAudio audio;
    std::string error;
    EXPECT_TRUE(readWavFile(path, audio, error)) << error;
    return audio;
}

std::int64_t firstAbove(const std::vector<float>& samples, std::size_t from, float threshold) {
    for (std::size_t i = from; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > threshold) return std::int64_t(i);
    return -1;
}

double printedPeak(const std::string& output, const std::string& channel) {
    const std::size_t at = output.find(channel);
    double peak = 0.0;
    if (at == std::string::npos || std::sscanf(output.c_str() + at + channel.size(), " peak %lf", &peak) != 1) return NAN;
    return peak;
}

struct UsageCase {
    const char* arguments;
    int status;
    const char* message;
};

TEST(ToolCommandTest, CommandLineMistakesAreUsageErrors) {
    const std::vector<UsageCase> cases = {
        {"", 2, "Usage:"},
        {"--help", 0, "tessarine render"},
        {"help", 0, "tessarine info [LIB] [--instrument FILE]"},
        {"render --help", 0, "Usage:"},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
        {"render", 2, "no output file"},
        {"render -o x.wav --rate 12", 2, "--rate needs a whole number"},
        {"render -o x.wav --rate=44.1k", 2, "--rate needs a whole number"},
        {"render -o x.wav --block 0", 2, "--block needs"},
        {"render -o x.wav --seconds -1", 2, "--seconds needs"},
        {"render -o x.wav --seconds nan", 2, "--seconds needs"},
        {"render -o x.wav --param 1", 2, "--param needs INDEX=VALUE"},
        {"render -o x.wav --param 1=2", 2, "--param needs INDEX=VALUE"},
        {"render -o x.wav --tempo", 2, "--tempo needs a value"},
        {"render -o x.wav --pcm16=yes", 2, "--pcm16 takes no value"},
        {"render -o x.wav --bogus 1", 2, "unknown option --bogus"},
        {"render -o x.wav extra", 2, "unexpected argument extra"},
        {"info a.so b.so", 2, "unexpected argument \"b.so\""},
        {"info --instrument", 2, "--instrument needs a file"},
        {"info --bogus", 2, "unexpected argument \"--bogus\""},
    };
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string output;
        EXPECT_EQ(tool(c.arguments, &output), c.status) << output;
        EXPECT_TRUE(contains(output, c.message)) << output;
    }
}

TEST(ToolCommandTest, FilesThatCannotBeUsedFailWithTheirName) {
    test::TempDir dir;
    test::writeFile(dir.file("fake.so"), "this is not a shared library");
    test::writeFile(dir.file("bad.mid"), std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x10\0\x90", 24));
    test::writeFile(dir.file("format2.mid"), test::smf(2, 96, {test::SmfTrack().end()}));
    test::writeFile(dir.file("bad.wav"), std::string("RIFF\x10\0\0\0WAVEjunk\0\0\0\0", 20));
    test::writeFile(dir.file("ok.mid"), test::smf(0, 96, {test::SmfTrack().end()}));
    struct Case {
        std::string arguments;
        std::string message;
    };
    const std::string out = " -o " + quoted(dir.file("out.wav"));
    const std::vector<Case> cases = {
        {"info " + quoted(dir.file("absent.so")), dir.file("absent.so") + ": plug-in library not found"},
        {"info " + quoted(dir.file("fake.so")), dir.file("fake.so") + ": cannot load the library"},
        {"info " + quoted(dir.path()), dir.path() + ": cannot load the library"},
        {"render --plugin " + quoted(dir.file("absent.so")) + out, dir.file("absent.so") + ": plug-in library not found"},
        {"render --plugin " + kKars + " --midi " + quoted(dir.file("absent.mid")) + out, dir.file("absent.mid") + ": cannot open"},
        {"render --plugin " + kKars + " --midi " + quoted(dir.file("bad.mid")) + out,
         dir.file("bad.mid") + ": chunk 'MTrk' at byte 14 claims 16 bytes but only 2 remain"},
        {"render --plugin " + kKars + " --midi " + quoted(dir.file("format2.mid")) + out, "format 2"},
        {"render --plugin " + kMVerb + " --input " + quoted(dir.file("bad.wav")) + out, dir.file("bad.wav") + ": no format chunk"},
        {"render --plugin " + kKars + " --midi " + quoted(dir.file("ok.mid")) + " -o " + quoted(dir.file("no/such/dir/x.wav")),
         dir.file("no/such/dir/x.wav") + ": cannot create"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string output;
        EXPECT_EQ(tool(c.arguments, &output), 1) << output;
        EXPECT_TRUE(contains(output, c.message)) << output;
    }
}

TEST(ToolHostTest, InfoShowsWhatAHostSeesOfThirdPartyPlugins) {
    struct Case {
        std::string library;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {kKars,
         {"Effect name: Kars\n", "Product: Kars\n", "Vendor: falkTX\n", "Unique ID: DKrs (1145795187, 0x444B7273)\n",
          "Is synth: yes\n", "Can replacing: yes\n", "Inputs: 0\n", "Outputs: 1\n", "Category: synth (2)\n",
          "Parameters: 3\n", "Parameter 2: name \"Volume\", label \"%\"", "Can do receiveVstMidiEvent: 1 (yes)\n",
          "VST version: 2400\n"}},
        {kMVerb,
         {"Effect name: MVerb\n", "Unique ID: MVrb (", "Is synth: no\n", "Has editor: yes\n", "Inputs: 2\n",
          "Outputs: 2\n", "Category: effect (1)\n", "Parameters: 9\n", "Parameter 0: name \"Damping\", label \"%\"",
          "Program name: Default\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        std::string output;
        ASSERT_EQ(tool("info " + c.library, &output), 0) << output;
        for (const std::string& line : c.lines) EXPECT_TRUE(contains(output, line)) << line << "\n" << output;
    }
}

TEST(ToolHostTest, InfoShowsTessarinesOwnNamesAndAnswers) {
    test::ScopedUserFolder home;
    std::string output;
    ASSERT_EQ(tool(std::string("info ") + quoted(TESSARINE_PLUGIN_PATH), &output), 0) << output;
    for (const char* line : {"Effect name: Tessarine\n", "Vendor: Tessarine\n", "Product: Tessarine\n",
                             "Unique ID: Tsrn (1416852078, 0x5473726E)\n", "Is synth: yes\n", "Program chunks: yes\n",
                             "Inputs: 2\n", "Outputs: 2\n", "Programs: 1\n",
                             "Plug-in version: 1\n", "MIDI input channels: 16\n", "MIDI output channels: 16\n",
                             "Can do receiveVstMidiEvent: 1 (yes)\n", "Can do sendVstMidiEvent: 1 (yes)\n",
                             "Can do receiveVstTimeInfo: 1 (yes)\n", "Can do bypass: -1 (no)\n",
                             "Can do offline: -1 (no)\n"})
        EXPECT_TRUE(contains(output, line)) << line << "\n" << output;
    // The vendor version is the release's version as a number.
    EXPECT_TRUE(contains(output, "Vendor version: " + std::to_string(kVendorVersion) + "\n")) << output;
}

TEST(ToolHostTest, VersionPrintsTheReleaseVersion) {
    std::string output;
    ASSERT_EQ(tool("--version", &output), 0) << output;
    EXPECT_EQ(output, std::string("tessarine ") + kVersion + "\n");
}

// 100 BPM from the start; a note at tick 123 (sample 6780.375), off at 600 (33075); at tick 960
// (sample 52920) 200 BPM; a note at tick 1000 (54022.5, rounds up) and off at 1200 (59535).
std::string karsSong() {
    return test::smf(1, 480,
                     {test::SmfTrack().tempo(0, 600000).tempo(960, 300000).end(),
                      test::SmfTrack()
                          .event(123, {0x90, 60, 110})
                          .event(477, {0x80, 60, 0})
                          .event(400, {0x90, 67, 110})
                          .event(200, {0x80, 67, 0})
                          .end()});
}

TEST(ToolHostTest, KarsPlaysTheMidiFileSampleAccurately) {
    test::TempDir dir;
    test::writeFile(dir.file("song.mid"), karsSong());
    std::string output;
    // Volume 0.4 keeps the peaks below full scale, where sox would clip its reading.
    ASSERT_EQ(tool("render --plugin " + kKars + " --param 2=0.4 --midi " + quoted(dir.file("song.mid")) + " -o " +
                       quoted(dir.file("k.wav")),
                   &output),
              0)
        << output;
    EXPECT_TRUE(contains(output, "Plug-in: Kars")) << output;
    EXPECT_TRUE(contains(output, "MIDI events: 4 sent")) << output;
    EXPECT_TRUE(contains(output, "Output: " + dir.file("k.wav"))) << output;
    EXPECT_FALSE(contains(output, "\r")) << "no progress bar when standard error is not a terminal";

    const WavAudio audio = readWav(dir.file("k.wav"));
    EXPECT_EQ(audio.sampleRate, 44100);
    ASSERT_EQ(audio.left.size(), 59535u + 88200u);  // the MIDI file's length plus two seconds
    EXPECT_EQ(firstAbove(audio.left, 0, 0.0f), 6780);
    EXPECT_EQ(firstAbove(audio.left, 52000, 0.0f), 54023);  // the string rang out after its note-off
    EXPECT_EQ(audio.left, audio.right);                      // a mono synth on both channels

    // Our level report agrees with sox's reading of the file.
    std::string stat;
    ASSERT_EQ(test::runCommand("sox " + quoted(dir.file("k.wav")) + " -n remix 1 stat", &stat), 0) << stat;
    double maximum = 0.0, minimum = 0.0;
    ASSERT_EQ(std::sscanf(stat.c_str() + stat.find("Maximum amplitude:"), "Maximum amplitude: %lf", &maximum), 1);
    ASSERT_EQ(std::sscanf(stat.c_str() + stat.find("Minimum amplitude:"), "Minimum amplitude: %lf", &minimum), 1);
    const double soxPeak = 20.0 * std::log10(std::max(maximum, -minimum));
    EXPECT_GT(soxPeak, -20.0);
    EXPECT_NEAR(printedPeak(output, "Left:"), soxPeak, 0.01) << output;
    EXPECT_NEAR(printedPeak(output, "Right:"), soxPeak, 0.01) << output;
}

TEST(ToolHostTest, KarsRendersSixteenBitAtOtherRatesAndBlockSizes) {
    test::TempDir dir;
    test::writeFile(dir.file("song.mid"), karsSong());
    std::string output;
    ASSERT_EQ(tool("render --plugin " + kKars + " --midi " + quoted(dir.file("song.mid")) +
                       " --rate 48000 --block 37 --pcm16 --param 2=0.5 -o " + quoted(dir.file("k16.wav")),
                   &output),
              0)
        << output;
    std::string info;
    ASSERT_EQ(test::runCommand("sox --i " + quoted(dir.file("k16.wav")), &info), 0) << info;
    EXPECT_TRUE(contains(info, "16-bit Signed Integer PCM")) << info;
    EXPECT_TRUE(contains(info, "Sample Rate    : 48000")) << info;
    // 1.35 s of MIDI at 48 kHz is 64800 samples, plus two seconds.
    EXPECT_TRUE(contains(info, "= 160800 samples")) << info;
    const WavAudio audio = readWav(dir.file("k16.wav"));
    EXPECT_EQ(firstAbove(audio.left, 0, 0.0f), 7380);  // 0.15375 s
}

TEST(ToolHostTest, MVerbProcessesAnInputWrittenBySox) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(test::runCommand("sox -D -n -r 44100 -c 1 -b 24 " + quoted(dir.file("tone.wav")) + " synth 1 sine 440 vol 0.5",
                               &output),
              0)
        << output;
    ASSERT_EQ(tool("render --plugin " + kMVerb + " --input " + quoted(dir.file("tone.wav")) + " -o " +
                       quoted(dir.file("verb.wav")),
                   &output),
              0)
        << output;
    const WavAudio audio = readWav(dir.file("verb.wav"));
    ASSERT_EQ(audio.left.size(), 44100u);  // the input's length
    double peak = 0.0, difference = 0.0;
    for (std::size_t i = 0; i < audio.left.size(); ++i) {
        peak = std::max(peak, double(std::fabs(audio.left[i])));
        difference = std::max(difference, double(std::fabs(audio.left[i] - audio.right[i])));
    }
    EXPECT_GT(20.0 * std::log10(peak), -12.0);  // the tone came through
    EXPECT_GT(difference, 0.01);                 // and the reverb made the channels differ
    EXPECT_NEAR(printedPeak(output, "Left:"), 20.0 * std::log10(peak), 0.01) << output;
}

TEST(ToolHostTest, InstrumentRequestToAPluginThatIgnoresItWarnsAndGoesOn) {
    test::TempDir dir;
    test::writeFile(dir.file("inst.txt"), "COMMON\n");
    std::string output;
    ASSERT_EQ(tool("render --plugin " + kKars + " --seconds 0.25 --instrument " + quoted(dir.file("inst.txt")) + " -o " +
                       quoted(dir.file("x.wav")),
                   &output),
              0)
        << output;
    EXPECT_TRUE(contains(output, "warning: the plug-in did not load " + dir.file("inst.txt") + " (it answered 0)")) << output;
    EXPECT_EQ(readWav(dir.file("x.wav")).left.size(), 11025u);
}

TEST(ToolHostTest, RenderUsesTheTessarineLibraryBesideTheProgramByDefault) {
    test::ScopedUserFolder home;
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(tool("render --seconds 0.5 -o " + quoted(dir.file("t.wav")), &output), 0) << output;
    EXPECT_TRUE(contains(output, "Plug-in: Tessarine (")) << output;
    EXPECT_EQ(readWav(dir.file("t.wav")).left.size(), 22050u);
}

// make demo draws each rendered example as a spectrogram beside its WAV file.
TEST(DemoSpectrogram, DrawsAPngOfARenderedFile) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(test::runCommand("sox -n -r 44100 -c 2 " + quoted(dir.file("tone.wav")) + " synth 1 sine 1000", &output), 0)
        << output;
    const std::string script = TESSARINE_SOURCE_DIR "/scripts/spectrogram.sh";
    ASSERT_EQ(test::runCommand(quoted(script) + " " + quoted(dir.file("tone.wav")) + " " + quoted(dir.file("tone.png")) +
                                   " tone",
                               &output),
              0)
        << output;
    const std::string png = test::readFile(dir.file("tone.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const auto be32 = [&png](std::size_t at) {
        unsigned value = 0;
        for (std::size_t k = 0; k < 4; ++k) value = value << 8 | static_cast<unsigned char>(png[at + k]);
        return value;
    };
    EXPECT_GT(be32(16), 640u);  // 640 pixels of time plus the axes
    EXPECT_GT(be32(20), 257u);  // 257 rows of frequency plus the axes
}

}  // namespace
}  // namespace tess::tool
