// The modulation examples rendered by `tessarine render` through the plug-in library, with
// what each should show measured in the written WAV: vibrato rate and depth, tremolo depth, a
// pluck that outlives its key, the pad's attack and mod-wheel crossfade, round robin, legato.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "midi/PluginHarness.h"
#include "support/TestSupport.h"
#include "tessarine/WavFile.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;

std::vector<float> renderExample(const std::string& name) {
    ScopedUserFolder home;
    const std::string base = std::string(TESSARINE_SOURCE_DIR) + "/examples/" + name;
    const std::string wav = home.file("out.wav");
    std::string output;
    const int status = runCommand("TESSARINE_HOME='" + home.path() + "' '" + TESSARINE_TOOL_PATH +
                                      "' render --instrument '" + base + ".txt' --midi '" + base + ".mid' -o '" + wav +
                                      "'",
                                  &output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("rejected"), std::string::npos) << output;
    tool::WavAudio audio;
    std::string error;
    EXPECT_TRUE(tool::readWavFile(wav, audio, error)) << error;
    return audio.left;
}

std::size_t at(double seconds) { return static_cast<std::size_t>(seconds * kRate); }

double decibels(double ratio) { return 20.0 * std::log10(ratio); }

// Peak levels of consecutive windows of `window` samples between two times.
std::vector<float> windowPeaks(const std::vector<float>& signal, double from, double to, std::size_t window) {
    std::vector<float> peaks;
    for (std::size_t i = at(from); i + window <= at(to) && i + window <= signal.size(); i += window)
        peaks.push_back(peakLevel(signal, i, i + window));
    return peaks;
}

TEST(ModulationExamples, VibratoRateAndDepth) {
    const std::vector<float> out = renderExample("vibrato");
    for (const auto& [from, to, hertz] : {std::tuple{0.8, 2.9, 440.0}, std::tuple{3.8, 5.9, keyFrequency(76)}}) {
        const auto track = pitchTrack(slice(out, at(from), at(to)), kRate);
        double low = 1e9, high = 0.0;
        for (const auto& point : track) {
            low = std::min(low, point.second);
            high = std::max(high, point.second);
        }
        EXPECT_NEAR(1200.0 * std::log2(high / hertz), 30.0, 1.0) << hertz;
        EXPECT_NEAR(1200.0 * std::log2(low / hertz), -30.0, 1.0) << hertz;
        const std::vector<double> upward = upwardPassages(track, hertz);
        ASSERT_GE(upward.size(), 8u);
        EXPECT_NEAR((upward.size() - 1) * kRate / (upward.back() - upward.front()), 5.0, 0.02) << hertz;
    }
    // Before the vibrato's delay is over the note holds its pitch.
    EXPECT_NEAR(measuredFrequency(slice(out, at(0.05), at(0.28)), kRate), 440.0, 0.2);
}

TEST(ModulationExamples, TremoloDepth) {
    const std::vector<float> out = renderExample("tremolo");
    const std::vector<float> peaks = windowPeaks(out, 1.0, 3.5, 441);  // 10 ms windows
    const auto [lowest, highest] = std::minmax_element(peaks.begin(), peaks.end());
    EXPECT_NEAR(decibels(*highest / *lowest), 8.0, 0.3);  // 4 dB either way
    int swings = 0;  // upward crossings of the middle level: six a second
    const float middle = std::sqrt(*highest * *lowest);
    for (std::size_t i = 1; i < peaks.size(); ++i) swings += peaks[i - 1] < middle && peaks[i] >= middle ? 1 : 0;
    EXPECT_NEAR(swings, 15, 1);
}

TEST(ModulationExamples, APluckRingsOnAfterAShortKey) {
    const std::vector<float> out = renderExample("plucked");
    // The first key is up after 25 ms; 0.4 s in, its pluck still follows the exponential
    // decay of 1.2 s: a third of the way down, 14.7 dB below the peak.
    const double staccato = peakLevel(out, at(0.40), at(0.45)) / peakLevel(out, 0, at(0.05));
    EXPECT_NEAR(decibels(staccato), -14.7, 1.0);
}

TEST(ModulationExamples, PadAttackAndModWheelCrossfade) {
    const std::vector<float> out = renderExample("pad");
    // The first chord (wheel at 0) is the sine layer alone; the second (wheel at 127) the
    // bright layer alone, whose second harmonic is half its fundamental.
    const double c4 = keyFrequency(60);
    const std::vector<float> soft = slice(out, at(1.5), at(2.5));
    const std::vector<float> bright = slice(out, at(6.0), at(7.0));
    EXPECT_LT(toneAmplitude(soft, 2 * c4, kRate), 0.01 * toneAmplitude(soft, c4, kRate));
    EXPECT_NEAR(toneAmplitude(bright, 2 * c4, kRate) / toneAmplitude(bright, c4, kRate), 0.5, 0.02);
    // A linear attack of 1.2 s: a tenth of a second in, the chord is 20 dB below its peak.
    EXPECT_LT(decibels(peakLevel(out, at(0.09), at(0.11)) / peakLevel(out, at(1.1), at(1.3))), -18.0);
}

TEST(ModulationExamples, RoundRobinAlternatesItsTwoTakes) {
    const std::vector<float> out = renderExample("roundrobin");
    for (int note = 0; note + 1 < 8; note += 2) {
        const double first = peakLevel(out, at(note * 0.25), at(note * 0.25 + 0.1));
        const double second = peakLevel(out, at((note + 1) * 0.25), at((note + 1) * 0.25 + 0.1));
        EXPECT_GT(first, 1.5 * second) << note;
    }
}

TEST(ModulationExamples, LegatoNotesComeFromTheLegatoLayer) {
    const std::vector<float> out = renderExample("legato");
    // Each note is measured while it sounds alone (the earlier note's release is over).
    const auto level = [&out](double start) { return peakLevel(out, at(start + 0.15), at(start + 0.4)); };
    // Detached notes at 0, 0.5, 1 s and the first of the legato phrase at 2 s come from the first
    // layer; the notes at 2.5, 3 and 3.5 s, each played while the one before is held, from the
    // softer legato layer.
    for (const double start : {0.0, 0.5, 1.0, 2.0})
        for (const double legato : {2.5, 3.0, 3.5})
            EXPECT_GT(decibels(level(start) / level(legato)), 4.0) << start << " / " << legato;
}

}  // namespace
}  // namespace tess::test
