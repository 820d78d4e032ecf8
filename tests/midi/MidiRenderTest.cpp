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

tool::WavAudio renderAudioWithTool(const ScopedUserFolder& home, const std::string& instrument,
                                   const std::string& midi, std::string* output) {
    const std::string wav = home.file("out.wav");
    const int status = runCommand("TESSARINE_HOME='" + home.path() + "' '" + kTool + "' render --instrument '" +
                                      instrument + "' --midi '" + midi + "' -o '" + wav + "'",
                                  output);
    EXPECT_EQ(status, 0) << *output;
    tool::WavAudio audio;
    std::string error;
    EXPECT_TRUE(tool::readWavFile(wav, audio, error)) << error;
    return audio;
}

std::vector<float> renderWithTool(const ScopedUserFolder& home, const std::string& instrument,
                                  const std::string& midi, std::string* output) {
    return renderAudioWithTool(home, instrument, midi, output).left;
}

tool::WavAudio renderExample(const std::string& name) {
    ScopedUserFolder home;
    std::string output;
    const std::string base = std::string(TESSARINE_SOURCE_DIR) + "/examples/" + name;
    return renderAudioWithTool(home, base + ".txt", base + ".mid", &output);
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

// The frequency at which a signal's energy is centred: rate / 2 pi * rms(derivative) / rms.
double rmsFrequency(const std::vector<float>& s) {
    double e = 0.0, d = 0.0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        e += double(s[i]) * s[i];
        d += double(s[i] - s[i - 1]) * (s[i] - s[i - 1]);
    }
    return 44100.0 / (2.0 * 3.14159265358979) * std::sqrt(d / e);
}

TEST(MidiRender, TheEffectExamplesEchoSweepAndRing) {
    // pingpong: the first note (0 .. 0.125 s) comes back 45 / BPM = 0.375 s later on the left
    // only; the right stays silent until the second note (0.5 s).
    const tool::WavAudio echo = renderExample("pingpong");
    EXPECT_EQ(onsetSample(echo.left, 0.0f, 10000), 16539);  // the note's sine is 0 at its first sample
    EXPECT_GT(peakLevel(echo.left, 16538, 20948), 0.05f);
    EXPECT_EQ(peakLevel(echo.right, 10000, 22050), 0.0f);
    EXPECT_GT(peakLevel(echo.right, 33076, 37486), 0.05f);  // the second tap, 0.75 s after the note

    // filter-sweep: the first note is bright at its start and dark 0.6 s later.
    const tool::WavAudio sweep = renderExample("filter-sweep");
    EXPECT_GT(rmsFrequency(slice(sweep.left, 0, 2205)), 1800.0);
    EXPECT_LT(rmsFrequency(slice(sweep.left, 26460, 30870)), 600.0);

    // reverb-send: the last chord is released at 1.65 s; the send's reverb rings on and fades.
    const tool::WavAudio room = renderExample("reverb-send");
    const auto level = [&](double from) { return peakLevel(room.right, std::size_t(from * 44100), std::size_t((from + 0.25) * 44100)); };
    EXPECT_GT(level(1.75), 0.03f);
    EXPECT_LT(level(3.0), level(1.75) * 0.05f);
    EXPECT_GT(level(3.0), 0.0f);
}

}  // namespace
}  // namespace tess::test
