// The envelope and LFO functions played through the plug-in's VST interface: programs whose OUT
// is the envelope itself, rendered and read sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;

// A layer whose output is `expression` (an envelope level, a DC signal).
std::string levelLayer(const std::string& expression) { return "LAYER\nOUT = " + expression + "\n"; }

// Sample indices at which `signal` first rises through `threshold` after being below it.
std::vector<long> risingEdges(const std::vector<float>& signal, float threshold) {
    std::vector<long> edges;
    for (std::size_t i = 1; i < signal.size(); ++i)
        if (signal[i - 1] < threshold && signal[i] >= threshold) edges.push_back(static_cast<long>(i));
    return edges;
}

TEST(Envelopes, AttackTakesItsTimeAndAtLeastAMillisecond) {
    const struct {
        const char* attack;
        int full;          // about attack × rate: the first sample at full level
        bool exponential;  // above 0: the curve is above the straight line halfway
    } cases[] = {{"0", 45, false}, {"-0.0001", 45, false}, {"-0.01", 441, false}, {"0.01", 441, true}};
    for (const auto& c : cases) {
        PluginHarness host(levelLayer(std::string("ENV0(") + c.attack + ", 1, 1, 0.1)"));
        const std::vector<float> out = host.render(2048, {noteOn(0, 60)});
        EXPECT_EQ(out[0], 0.0f) << c.attack;
        const long full = std::find(out.begin(), out.end(), 1.0f) - out.begin();
        EXPECT_GE(full, c.full) << c.attack;
        EXPECT_LE(full, c.full + 1) << c.attack;
        EXPECT_GT(out[static_cast<std::size_t>(c.full - 1)], 0.99f) << c.attack;
        const float halfway = out[static_cast<std::size_t>(c.full / 2)];
        if (c.exponential)
            EXPECT_GT(halfway, 0.9f) << c.attack;
        else
            EXPECT_NEAR(halfway, 0.5f, 0.02f) << c.attack;
    }
}

TEST(Envelopes, ExponentialSegmentsEndOnTheirTargets) {
    // Attack 10 ms and decay 10 ms to sustain 0, both exponential; then the release of a
    // second note from its sustain level.
    PluginHarness host(levelLayer("ENV0(0.01, 0.01, 0, 0.01)"));
    const std::vector<float> out = host.render(2048, {noteOn(0, 60)});
    const float peak = peakLevel(out);
    EXPECT_GT(peak, 0.9997f);  // the scale 1.0067836 takes the curve to 1 ...
    EXPECT_LE(peak, 1.0f);     // ... and not beyond
    // Right after the decay the level is what the falling curve left: about 0, not 0.0068.
    EXPECT_LT(out[900], 1e-4f);
    EXPECT_GE(*std::min_element(out.begin(), out.end()), 0.0f);

    PluginHarness held(levelLayer("ENV0(0.01, 0.01, 0.8, 0.01)"));
    held.render(4410, {noteOn(0, 60)});
    const std::vector<float> release = held.render(4410, {noteOff(0, 60)});
    EXPECT_NEAR(release[0], 0.8f, 1e-3f);
    // The release ends with at most a ten-thousandth of the level it started from.
    EXPECT_LT(release[445], 1e-4f * 0.8f);
}

TEST(Envelopes, ALegatoReuseContinuesFromTheCurrentLevel) {
    // One voice. Retrigger mode 1 re-uses it for the next key with its program kept; mode 0
    // builds a new program. Linear attacks of 0.2 s are half way after 0.1 s.
    const struct {
        const char* directives;
        const char* out;
    } layers[] = {{"", "ENV0(-0.2, 1, 1, 0.1)"}, {"GAINENV 1, 0, -0.2, 0, 1, 1, 0.1\n", "GAIN"}};
    for (const auto& layer : layers) {
        for (int mode : {1, 0}) {
            PluginHarness host("POLY 1, 0, " + std::to_string(mode) + "\n" + layer.directives +
                               levelLayer(layer.out));
            // Blocks of 441 samples: the second note starts on a block boundary.
            const std::vector<float> out = host.render(8820, {noteOn(0, 60, 127), noteOn(4410, 62, 127)}, 441);
            ASSERT_NEAR(out[4409], 0.5f, 0.02f) << layer.out;
            if (mode == 1) {
                EXPECT_GT(*std::min_element(out.begin() + 4410, out.end()), 0.49f) << layer.out;
                EXPECT_NEAR(out[8819], 1.0f, 0.02f) << layer.out;  // 0.1 s of attack left
            } else {
                EXPECT_LT(out[4411], 0.01f) << layer.out;  // a new program starts from 0
            }
        }
    }
}

TEST(Envelopes, APercussiveEnvRunsThroughTheNoteOff) {
    // ENV(type, start, peak, sustain, end, delay, hold, release hold, attack, decay, release):
    // a 10 ms attack, then a linear decay of 0.5 s; the note is released after 0.1 s.
    const std::string arguments = ", 0, 1, 0.5, 0, 0, 0, 0, -0.01, -0.5, 0.05)";
    PluginHarness percussive(levelLayer("ENV(2" + arguments));
    const std::vector<float> plucked = percussive.render(22050, {noteOn(0, 60), noteOff(4410, 60)});
    // The decay goes on towards 0 (type 2 has sustain 0) as if the key were still down: it
    // falls by a fifth every 0.1 s.
    EXPECT_GT(plucked[8820], 0.5f);
    EXPECT_NEAR(plucked[8820] - plucked[13230], 0.2f, 1e-3f);
    EXPECT_LT(plucked[22049], 0.05f);

    PluginHarness normal(levelLayer("ENV(0" + arguments));
    const std::vector<float> released = normal.render(22050, {noteOn(0, 60), noteOff(4410, 60)});
    EXPECT_GT(released[4420], 0.85f);
    EXPECT_LT(released[4411 + 45 + 2205 + 10], 0.01f);  // release hold, then 50 ms of release
}

TEST(Envelopes, ALoopingEnvRepeatsWhileHeld) {
    // Delay 1 ms, attack 10 ms, hold 1 ms, decay 40 ms to 0, then it starts again from its
    // delay. Each segment keeps its own time, whatever the steps of its neighbours, so a cycle
    // takes their sum: 52 ms, 2293.2 samples.
    PluginHarness looping(levelLayer("ENV(1, 0, 1, 0, 0, 0, 0, 0, -0.01, -0.04, 0.01)"));
    const std::vector<float> out = looping.render(22050, {noteOn(0, 60)});
    const std::vector<long> edges = risingEdges(out, 0.5f);
    ASSERT_GE(edges.size(), 9u);
    for (std::size_t i = 1; i < edges.size(); ++i) EXPECT_NEAR(edges[i] - edges[i - 1], 2293.2, 1.5) << i;

    PluginHarness once(levelLayer("ENV(0, 0, 1, 0, 0, 0, 0, 0, -0.01, -0.04, 0.01)"));
    EXPECT_EQ(risingEdges(once.render(22050, {noteOn(0, 60)}), 0.5f).size(), 1u);
}

TEST(Envelopes, BarTimedEnvRetriggersEveryInterval) {
    // At 120 BPM in 4/4 a bar is 88200 samples; type 1004 re-triggers every 4/32 bar (11025
    // samples) from the voice's start, type 2004 on the host timeline's grid of that length.
    const std::string arguments = ", 0, 1, 0, 0, 0, 0, 0, -0.005, -0.05, 0.01)";
    PluginHarness fromStart(levelLayer("ENV(1004" + arguments));
    const std::vector<long> edges = risingEdges(fromStart.render(50000, {noteOn(5000, 60)}), 0.5f);
    ASSERT_EQ(edges.size(), 5u);
    for (std::size_t i = 0; i < edges.size(); ++i)
        EXPECT_EQ(edges[i], edges[0] + 11025 * static_cast<long>(i)) << i;
    EXPECT_LT(edges[0] - 5000, 300);

    PluginHarness onGrid(levelLayer("ENV(2004" + arguments));
    onGrid.hostStart = 3000;  // the host's timeline runs 3000 samples ahead of the plug-in's clock
    const std::vector<long> grid = risingEdges(onGrid.render(50000, {noteOn(5000, 60)}), 0.5f);
    ASSERT_GE(grid.size(), 4u);
    const long firstLine = 11025 - 3000;  // the grid line after the note, on the plug-in's clock
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const long line = firstLine + 11025 * static_cast<long>(i);
        EXPECT_GE(grid[i], line) << i;
        EXPECT_LT(grid[i], line + 300) << i;
    }
}

TEST(Envelopes, EnvCurveReadsItsLevelsFromTheCurve) {
    // x 0..1 attack, 1..2 decay, 2 sustain, 2..3 release: a rise to 1 (slope 0.5 then 1.5), a
    // fall to 0.4 and an end at 0. Each segment lasts 0.1 s (4410 samples).
    const std::string curve = "CURVE 5, 0, 0, 0.5, 0.25, 1, 1, 2, 0.4, 3, 0\n";
    PluginHarness host(curve + levelLayer("ENVCURVE(0, 5, 0, -0.1, 0, -0.1, 0, -0.1)"));
    const std::vector<float> out = host.render(13230, {noteOn(0, 60)});
    const std::size_t hold = static_cast<std::size_t>(std::find(out.begin(), out.end(), 1.0f) - out.begin());
    ASSERT_GT(hold, 4000u);
    ASSERT_LT(hold, 4500u);
    EXPECT_NEAR(out[hold - 2205], 0.25f, 0.003f);  // CURVE(5, 0.5)
    EXPECT_NEAR(out[hold - 3308], 0.125f, 0.003f);  // CURVE(5, 0.25)
    EXPECT_NEAR(out[hold + 500] - out[hold + 500 + 2205], 0.3f, 0.003f);  // half the decay: 0.6 / 2
    EXPECT_NEAR(out[13229], 0.4f, 0.003f);          // sustain
    const std::vector<float> release = host.render(8820, {noteOff(0, 60)});
    EXPECT_NEAR(release[30], 0.4f, 0.003f);          // the release hold keeps the level
    EXPECT_NEAR(release[500] - release[500 + 2205], 0.2f, 0.003f);  // CURVE(5, 2 .. 3) falls by 0.4
    EXPECT_LT(release[8819], 0.01f);
}

TEST(Envelopes, EnvelopesAreOneInThePostStep) {
    PluginHarness host("POST\nOUT = ENV0(1, 1, 0, 1) + ENV1(1, 1, 0, 1, 1, 1) + ENV(0, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1)\n");
    const std::vector<float> out = host.render(1024);
    EXPECT_EQ(out[0], 3.0f);
    EXPECT_EQ(out[1023], 3.0f);
}

TEST(Lfos, FrequencyFadeAndKeepingTheVoice) {
    // LFO0 at 100 Hz; LFO(wave, delay, fade-in, release, freq) with a 0.1 s delay and 0.1 s fade-in.
    PluginHarness plain(levelLayer("LFO0(0, 100)"));
    const std::vector<float> sine = plain.render(44100, {noteOn(0, 60)});
    EXPECT_NEAR(measuredFrequency(sine, kRate), 100.0, 0.01);
    EXPECT_NEAR(peakLevel(sine), 1.0f, 1e-4f);

    PluginHarness faded(levelLayer("LFO(0, 0.1, -0.1, 0.05, 50) * 0.5"));
    const std::vector<float> out = faded.render(22050, {noteOn(0, 60)});
    EXPECT_EQ(peakLevel(out, 0, 4410), 0.0f);            // the delay
    EXPECT_LT(peakLevel(out, 4410, 5292), 0.11f);        // the first fifth of the fade-in
    EXPECT_NEAR(peakLevel(out, 13230, 22050), 0.5f, 1e-3f);
    // An LFO with a fade keeps its voice until the note-off, then fades out.
    PluginHarness silent(levelLayer("LFO(0, 0, 0, 0.05, 5) * 0"));
    silent.render(22050, {noteOn(0, 60)});
    EXPECT_EQ(silent.activeVoices(), 1);
    silent.render(22050, {noteOff(0, 60)});
    EXPECT_EQ(silent.activeVoices(), 0);
}

TEST(Lfos, Lfo1AndLfosynTakeTheirPhaseWhenTheDelayEnds) {
    // The delay (1 ms) is over at sample 44 or 45; from there the phase runs from the offset
    // pi/2: a cosine, under a fade that has settled at 1 by sample 3000.
    PluginHarness host(levelLayer("LFO1(0, 0, 0, 0, 1, 10, 1.5707963)"));
    const std::vector<float> out = host.render(4410, {noteOn(0, 60)});
    for (const int n : {3000, 3500, 4000}) {
        const auto expected = [n](int reset) { return std::cos(6.2831853f * 10.0f * (n - reset) / 44100.0f); };
        EXPECT_TRUE(std::fabs(out[static_cast<std::size_t>(n)] - expected(44)) < 0.01f ||
                    std::fabs(out[static_cast<std::size_t>(n)] - expected(45)) < 0.01f)
            << n << ": " << out[static_cast<std::size_t>(n)] << " vs " << expected(44);
    }
    // LFOSYN wave 1 (pulse) with shape 0.25: a quarter of each cycle at +1.
    PluginHarness pulse(levelLayer("LFOSYN(1, 0.25, 0, 0, 0, 1, 100, 0)"));
    const std::vector<float> wave = pulse.render(44100, {noteOn(0, 60)});
    int high = 0;
    for (std::size_t i = 4410; i < wave.size(); ++i) high += wave[i] > 0.5f ? 1 : 0;
    EXPECT_NEAR(high / static_cast<double>(wave.size() - 4410), 0.25, 0.01);
}

}  // namespace
}  // namespace tess::test
