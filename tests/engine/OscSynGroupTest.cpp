#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "engine/oscillators/OscSynGroup.h"
#include "engine/oscillators/WaveOscillators.h"

namespace tess {
namespace {

using osc::OscillatorContext;
using osc::OscillatorState;
using osc::OscSynJob;

struct Oscillator {
    float wave, shape, gain, frequency, phase;
};

bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

OscillatorContext contextAt(Noise& noise, std::int64_t t, std::int64_t releaseTime) {
    OscillatorContext context;
    context.noise = &noise;
    context.sampleRate = 44100.0f;
    context.startTime = 0;
    context.releaseTime = releaseTime;
    context.t = t;
    return context;
}

// Each oscillator started with a few single samples (so that their phases have moved apart),
// then run once through oscSynSteady alone and once side by side with the others.
void expectTheSamplesOfEachAlone(const std::vector<Oscillator>& group, int samples, std::int64_t releaseTime) {
    Noise noise;
    const auto count = group.size();
    std::vector<OscillatorState> alone(count), together(count);
    std::vector<std::vector<Stereo>> expected(count, std::vector<Stereo>(static_cast<std::size_t>(samples)));
    std::vector<std::vector<Stereo>> out(count, std::vector<Stereo>(static_cast<std::size_t>(samples)));
    std::vector<std::vector<float>> expectedStage(count, std::vector<float>(static_cast<std::size_t>(samples), 5.0f));
    std::vector<std::vector<float>> stage(count, std::vector<float>(static_cast<std::size_t>(samples), 5.0f));
    std::vector<OscSynJob> jobs;
    for (std::size_t g = 0; g < count; ++g) {
        const Oscillator& o = group[g];
        float lowest = 5.0f;
        for (int i = 0; i < static_cast<int>(g) + 1; ++i) {
            OscillatorContext context = contextAt(noise, i, releaseTime);
            context.lowestStage = &lowest;
            for (OscillatorState* s : {&alone[g], &together[g]})
                osc::oscSyn(*s, context, both(o.wave), both(o.shape), both(0), both(o.gain), both(o.frequency),
                            both(o.phase));
        }
        const OscillatorContext context = contextAt(noise, 10, releaseTime);
        ASSERT_TRUE(osc::oscSynSteady(alone[g], context, both(o.wave), both(o.shape), both(0), both(o.gain),
                                      both(o.frequency), both(o.phase), expected[g].data(), expectedStage[g].data(),
                                      samples));
        jobs.push_back({&together[g], context, both(o.wave), both(o.shape), both(0), both(o.gain), both(o.frequency),
                        both(o.phase), out[g].data(), stage[g].data()});
    }
    ASSERT_TRUE(osc::oscSynSteadyGroup(jobs.data(), static_cast<int>(count), samples));
    for (std::size_t g = 0; g < count; ++g) {
        SCOPED_TRACE("voice " + std::to_string(g));
        for (std::size_t i = 0; i < static_cast<std::size_t>(samples); ++i) {
            ASSERT_TRUE(sameBits(out[g][i].l, expected[g][i].l) && sameBits(out[g][i].r, expected[g][i].r))
                << "sample " << i << ": " << out[g][i].l << " for " << expected[g][i].l;
            ASSERT_EQ(stage[g][i], expectedStage[g][i]) << "sample " << i;
        }
        EXPECT_TRUE(sameBits(together[g].phase[0], alone[g].phase[0]) &&
                    sameBits(together[g].phase[1], alone[g].phase[1]));
    }
}

TEST(OscSynGroup, GivesEachVoiceTheSamplesItGivesAlone) {
    const Oscillator saw{2, 1, 0.1f, 440, 0};
    struct Case {
        const char* name;
        std::vector<Oscillator> group;
        int samples;
    };
    const Case cases[] = {
        {"two saws", {saw, {2, 1, 0.1f, 97.5f, 0}}, 64},
        {"eight voices over several chunks",
         {saw, {2, 1, 0.1f, 110, 0}, {2, 1, 0.2f, 220.5f, 0}, {2, 1, 0.1f, 1234, 0}, {2, 1, 0.1f, 55, 0},
          {2, 1, 0.3f, 880, 0}, {2, 1, 0.1f, 3520, 0}, {2, 1, 0.1f, 61.7f, 0}},
         256},
        {"five voices: a vector part filled", {saw, saw, {2, 1, 0.1f, 300, 0}, saw, {2, 1, 0.5f, 7000, 0}}, 200},
        {"a wrap every sample or two beside slow voices", {{2, 1, 0.1f, 30000, 0}, {2, 1, 0.1f, 20, 0}, saw}, 300},
        {"waveforms and shapes apart",
         {{0, 1, 0.5f, 3000, 0}, {1, 0.3f, 0.5f, 330, 0}, {3, 2, 0.5f, 5000, 0}, {4, 0.5f, 0.5f, 110, 0},
          {2, 0.3f, 0.2f, 1234, 0.5f}, {9, 1, 0.5f, 440, 0}},
         100},
        {"phase offsets beyond a turn and tempo-synced", {{2, 1, 0.1f, 21000, 9.0f}, {2, 1, 0.5f, -0.25f, -7.0f}}, 128},
        {"zero frequency and a gain of -0", {{2, 1, 0.1f, 0, -0.0f}, {2, 1, -0.0f, 440, 0}}, 64},
        {"one sample", {saw, {2, 1, 0.1f, 1000, 0}}, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        expectTheSamplesOfEachAlone(k.group, k.samples, 1000);
        expectTheSamplesOfEachAlone(k.group, k.samples, 40);  // released part way through
    }
}

TEST(OscSynGroup, RefusesWhatItCannotRunSideBySideAndChangesNothing) {
    Noise noise;
    const OscillatorContext context = contextAt(noise, 5, 1000);
    float lowest = 5.0f;
    OscillatorContext first = contextAt(noise, 0, 1000);
    first.lowestStage = &lowest;
    OscillatorState started;
    osc::oscSyn(started, first, both(2), both(1), both(0), both(0.1f), both(440), both(0));
    OscillatorState split = started;
    split.phase[1] = split.phase[0] + 0.5f;
    Stereo out[2][16];
    float stage[2][16];
    auto job = [&](OscillatorState* s, Stereo wave, Stereo frequency, int g) {
        return OscSynJob{s, context, wave, both(1), both(0), both(0.1f), frequency, both(0), out[g], stage[g]};
    };
    struct Case {
        const char* name;
        OscillatorState first;
        Stereo wave, frequency;
    };
    const Case cases[] = {
        {"noise", started, both(5), both(440)},
        {"channels apart", started, both(2), {440, 441}},
        {"phases apart", split, both(2), both(440)},
        {"not started", OscillatorState{}, both(2), both(440)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        OscillatorState a = k.first, b = started;
        const OscSynJob jobs[2] = {job(&a, k.wave, k.frequency, 0), job(&b, both(2), both(440), 1)};
        EXPECT_FALSE(osc::oscSynSteadyGroup(jobs, 2, 16));
        EXPECT_TRUE(sameBits(a.phase[0], k.first.phase[0]) && sameBits(a.phase[1], k.first.phase[1]));
        EXPECT_TRUE(sameBits(b.phase[0], started.phase[0]));
    }
    OscillatorState a = started;
    const OscSynJob alone[1] = {job(&a, both(2), both(440), 0)};
    EXPECT_FALSE(osc::oscSynSteadyGroup(alone, 1, 16));
}

}  // namespace
}  // namespace tess
