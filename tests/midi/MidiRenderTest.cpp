// `tessarine render --instrument F --midi M.mid` plays the file through the plug-in library:
// onsets and pitches measured in the written WAV.
#include <gtest/gtest.h>

#include <cmath>

#include "midi/PluginHarness.h"
#include "support/TestSupport.h"
#include "tessarine/WavFile.h"
#include "tools/SmfBuilder.h"

namespace tess::test {
namespace {

const std::string kTool = TESSARINE_TOOL_PATH;

std::vector<float> renderWithTool(const ScopedUserFolder& home, const std::string& instrument,
                                  const std::string& midi, std::string* output) {
    const std::string wav = home.file("out.wav");
    const int status = runCommand("TESSARINE_HOME='" + home.path() + "' '" + kTool + "' render --instrument '" +
                                      instrument + "' --midi '" + midi + "' -o '" + wav + "'",
                                  output);
    EXPECT_EQ(status, 0) << *output;
    tool::WavAudio audio;
    std::string error;
    EXPECT_TRUE(tool::readWavFile(wav, audio, error)) << error;
    return audio.left;
}

TEST(MidiRender, NotesOfAMidiFileSoundAtTheirTimesAndKeys) {
    ScopedUserFolder home;
    writeFile(home.file("sine.txt"), kSineLayer);
    // 480 ticks per quarter at 120 BPM: a quarter is 22050 samples.
    SmfTrack track;
    track.tempo(0, 500000).event(0, {0x90, 69, 127}).event(480, {0x80, 69, 0}).event(480, {0x90, 76, 127});
    track.event(240, {0x80, 76, 0}).end();
    writeFile(home.file("notes.mid"), smf(0, 480, {track}));
    std::string output;
    const std::vector<float> out = renderWithTool(home, home.file("sine.txt"), home.file("notes.mid"), &output);
    ASSERT_GT(out.size(), 3u * 22050u);
    EXPECT_NE(output.find("MIDI events: 4 sent, 4 returned by the plug-in"), std::string::npos) << output;
    EXPECT_EQ(onsetSample(out), 1);
    EXPECT_NEAR(measuredFrequency(slice(out, 100, 22000), 44100.0), 440.0, 0.05);
    EXPECT_NEAR(peakLevel(out, 0, 22050), 0.2, 1e-3);
    EXPECT_EQ(peakLevel(out, 22052, 44100), 0.0f);  // released after one quarter
    EXPECT_EQ(onsetSample(out, 1e-6f, 22052), 44101);
    EXPECT_NEAR(measuredFrequency(slice(out, 44200, 55000), 44100.0), keyFrequency(76), 0.05);
    EXPECT_EQ(peakLevel(out, 44100 + 11027), 0.0f);
}

TEST(MidiRender, TheTemperamentExampleTunesItsThirdsByProgramChange) {
    ScopedUserFolder home;
    std::string output;
    const std::vector<float> out = renderWithTool(home, TESSARINE_SOURCE_DIR "/examples/temperament.txt",
                                                  TESSARINE_SOURCE_DIR "/examples/temperament.mid", &output);
    // Each program plays C E G for two seconds; find E's fundamental within +-30 cents.
    const double expectedCents[] = {0.0, -13.686, -13.7};
    for (int part = 0; part < 3; ++part) {
        const std::vector<float> chord = slice(out, static_cast<std::size_t>(part * 88200 + 4410),
                                               static_cast<std::size_t>(part * 88200 + 79380));
        double best = 0.0, bestCents = 0.0;
        for (double c = -30.0; c <= 30.0; c += 0.25) {
            const double a = toneAmplitude(chord, keyFrequency(64) * std::pow(2.0, c / 1200.0), 44100.0);
            if (a > best) {
                best = a;
                bestCents = c;
            }
        }
        EXPECT_NEAR(bestCents, expectedCents[part], 0.3) << "part " << part;
    }
}

}  // namespace
}  // namespace tess::test
