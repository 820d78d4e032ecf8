#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/oscillators/WaveOscillators.h"

namespace tess {
namespace {

using osc::OscillatorContext;
using osc::OscillatorState;

struct SteadyCase {
    const char* name;
    Stereo wave, shape, sync, gain, frequency, phase;
    int samples;
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The run form against the single-sample form: the same samples, bit for bit, the same phases
// after, and the note kept alive only while it is held.
TEST(OscSynSteady, GivesTheSamplesOfTheSingleSampleForm) {
    const SteadyCase cases[] = {
        {"saw", both(2), both(1), both(0), both(0.1f), both(440), both(0), 64},
        {"reversed saw", both(2), both(0), both(0), both(0.1f), both(97.5f), both(0), 64},
        {"moving triangle", both(2), both(0.3f), both(0), both(0.2f), both(1234), both(0.5f), 64},
        {"sine", both(0), both(1), both(0), both(0.5f), both(3000), both(0), 64},
        {"squared sine", both(0), both(0.4f), both(1), both(0.5f), both(220), both(0), 64},
        {"pulse", both(1), both(0.3f), both(0), both(0.5f), both(330), both(0), 64},
        {"curved saw", both(3), both(2.0f), both(0), both(0.5f), both(5000), both(0), 64},
        {"curved triangle", both(4), both(0.5f), both(0), both(0.5f), both(110), both(0), 64},
        {"tempo-synced", both(2), both(1), both(0), both(0.5f), both(-0.25f), both(0), 64},
        {"unknown waveform", both(9), both(1), both(0), both(0.5f), both(440), both(0), 64},
        {"gains of opposite zero", both(2), both(1), both(0), {0.0f, -0.0f}, both(440), both(0), 64},
        {"channels apart", {2, 0}, {1, 0.5f}, both(0), {0.1f, 0.3f}, {440, 441}, {0, 1.5f}, 64},
        {"phase beyond a turn", both(2), both(1), both(0), both(0.1f), both(21000), both(9.0f), 64},
        {"long run", both(2), both(1), both(0), both(0.1f), both(440), both(0), 300},
        {"zero frequency", both(2), both(1), both(0), both(0.1f), both(0), both(-0.0f), 64},
        {"high frequency, a wrap every sample or two", both(2), both(1), both(0), both(0.1f), both(30000), both(0), 300},
    };
    for (const SteadyCase& k : cases) {
        SCOPED_TRACE(k.name);
        Noise noise;
        OscillatorContext context;
        context.noise = &noise;
        context.sampleRate = 44100.0f;
        context.startTime = 0;
        context.releaseTime = 40;  // released part way through
        float lowest = 5.0f;
        context.lowestStage = &lowest;
        OscillatorState reference, steady;
        // Both start from a phase that has already moved.
        for (int i = 0; i < 3; ++i) {
            context.t = i;
            osc::oscSyn(reference, context, k.wave, k.shape, k.sync, k.gain, k.frequency, k.phase);
            osc::oscSyn(steady, context, k.wave, k.shape, k.sync, k.gain, k.frequency, k.phase);
        }
        std::vector<Stereo> expected(static_cast<std::size_t>(k.samples));
        std::vector<float> expectedStage(static_cast<std::size_t>(k.samples), 5.0f);
        for (int i = 0; i < k.samples; ++i) {
            context.t = 3 + i;
            context.lowestStage = &expectedStage[static_cast<std::size_t>(i)];
            expected[static_cast<std::size_t>(i)] =
                osc::oscSyn(reference, context, k.wave, k.shape, k.sync, k.gain, k.frequency, k.phase);
        }
        std::vector<Stereo> out(static_cast<std::size_t>(k.samples));
        std::vector<float> stage(static_cast<std::size_t>(k.samples), 5.0f);
        context.t = 3;
        ASSERT_TRUE(osc::oscSynSteady(steady, context, k.wave, k.shape, k.sync, k.gain, k.frequency, k.phase,
                                      out.data(), stage.data(), k.samples));
        for (int i = 0; i < k.samples; ++i) {
            const auto at = static_cast<std::size_t>(i);
            ASSERT_TRUE(sameBits(out[at].l, expected[at].l) && sameBits(out[at].r, expected[at].r))
                << "sample " << i << ": " << out[at].l << ", " << out[at].r << " for " << expected[at].l << ", "
                << expected[at].r;
            ASSERT_EQ(stage[at], expectedStage[at]) << "sample " << i;
        }
        EXPECT_TRUE(sameBits(steady.phase[0], reference.phase[0]) && sameBits(steady.phase[1], reference.phase[1]));
    }
}

TEST(OscSynSteady, LeavesTheNoiseWaveformToTheSingleSampleForm) {
    Noise noise;
    OscillatorContext context;
    context.noise = &noise;
    float lowest = 5.0f;
    context.lowestStage = &lowest;
    OscillatorState state;
    osc::oscSyn(state, context, both(5), both(0), both(0), both(1), both(440), both(0));
    Stereo out[8];
    float stage[8];
    EXPECT_FALSE(osc::oscSynSteady(state, context, both(5), both(0), both(0), both(1), both(440), both(0), out,
                                   stage, 8));
    EXPECT_FALSE(osc::oscSynSteady(state, context, {2, 5}, both(0), both(0), both(1), both(440), both(0), out,
                                   stage, 8));
}

}  // namespace
}  // namespace tess
