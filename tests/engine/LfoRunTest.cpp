// LFO over a run against the same LFO one sample at a time: output, lowest stages, phase and fade
// state must agree bit for bit through delays, fade-ins, note-offs, starts inside a run, legato
// restarts, forced releases, the noise waveform and the POST step.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/envelopes/Lfos.h"

namespace tess {
namespace {

struct LfoCase {
    const char* name;
    float wave, delay, fadeIn, release, frequency;  // LFO's arguments
    std::int64_t startTime, releaseTime;
    int total;
    float level = 0.0f;          // fade level before the start (a legato restart)
    double stage = 0.0;          // fade stage before the start
    float forcedRelease = 0.0f;  // seconds
    bool isPost = false;
};

const LfoCase kCases[] = {
    {"DelayAndLinearFadeIn", 0, 0.01f, -0.02f, 0.03f, 5.0f, 0, 3000, 6000},
    {"ExponentialFadeInAndOut", 3, 0.002f, 0.02f, 0.05f, 4.3f, 0, 2500, 6000},
    {"LongReleaseAsAPianoHasIt", 3, 0.0099978f, 0.0f, 1e6f, 4.28876f, 0, 2000, 4000},
    {"MillisecondSegments", 1, 0.001f, 0.001f, -0.001f, 40.0f, 0, 300, 600},
    {"NoteOffDuringTheDelay", 2, 0.05f, 0.01f, 0.01f, 7.0f, 0, 900, 3000},
    {"StartInsideTheFirstRun", 0, 0.003f, 0.01f, 0.02f, 5.0f, 130, 3000, 4000},
    {"LegatoRestartFromALevel", 0, 0.01f, 0.02f, 0.02f, 5.0f, 90, 3000, 4000, 0.6f, 2.0},
    {"ForcedRelease", 0, 0.0f, 0.01f, 0.5f, 5.0f, 0, 1500, 4000, 0.0f, 0.0, 0.01f},
    {"Noise", 4, 0.002f, 0.01f, 0.02f, 5.0f, 0, 1500, 3000},
    {"TempoSynced", 0, 0.0f, 0.01f, 0.02f, -0.5f, 0, 1500, 3000},
    {"PostStep", 0, 0.01f, 0.02f, 0.03f, 5.0f, 0, 100, 2000, 0.0f, 0.0, 0.0f, true},
};

void expectSameAsSingleSamples(const LfoCase& c, int runLength) {
    Noise singleNoise, runNoise;
    env::LfoContext context;
    context.timing.startTime = c.startTime;
    context.timing.releaseTime = c.releaseTime;
    context.timing.blockStart = 0;
    context.timing.forcedReleaseTime = c.forcedRelease;
    context.isPost = c.isPost;
    env::LfoState singleLfo, runLfo;
    env::EnvelopeState singleFade;
    singleFade.level = singleFade.saved = c.level;
    singleFade.stage = c.stage;
    env::EnvelopeState runFade = singleFade;
    std::vector<Stereo> out(static_cast<std::size_t>(runLength));
    std::vector<float> lowest(static_cast<std::size_t>(runLength));
    for (int t0 = 0; t0 < c.total; t0 += runLength) {
        const int n = std::min(runLength, c.total - t0);
        for (int i = 0; i < n; ++i) lowest[static_cast<std::size_t>(i)] = (i % 2 == 0) ? 5.0f : 0.25f;
        context.timing.t = t0;
        context.noise = &runNoise;
        env::runLfoRun(runLfo, runFade, both(c.wave), both(c.delay), both(c.fadeIn), both(c.release),
                       both(c.frequency), context, out.data(), lowest.data(), n);
        context.noise = &singleNoise;
        for (int i = 0; i < n; ++i) {
            float expectedLowest = (i % 2 == 0) ? 5.0f : 0.25f;
            context.timing.t = t0 + i;
            context.lowestStage = &expectedLowest;
            const Stereo v = env::runLfo(singleLfo, singleFade, both(c.wave), both(c.delay), both(c.fadeIn),
                                         both(c.release), both(c.frequency), context);
            context.lowestStage = nullptr;
            const auto at = static_cast<std::size_t>(i);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out[at].l), std::bit_cast<std::uint32_t>(v.l))
                << c.name << ", runs of " << runLength << ", sample " << t0 + i;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out[at].r), std::bit_cast<std::uint32_t>(v.r));
            ASSERT_EQ(std::bit_cast<std::uint32_t>(lowest[at]), std::bit_cast<std::uint32_t>(expectedLowest))
                << c.name << ", runs of " << runLength << ", sample " << t0 + i;
        }
        ASSERT_EQ(std::bit_cast<std::uint32_t>(runLfo.phase[0]), std::bit_cast<std::uint32_t>(singleLfo.phase[0]));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(runFade.stage), std::bit_cast<std::uint64_t>(singleFade.stage));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(runFade.level), std::bit_cast<std::uint32_t>(singleFade.level));
    }
    EXPECT_EQ(runNoise.next(), singleNoise.next()) << "the same number of noise draws";
}

class LfoRun : public ::testing::TestWithParam<LfoCase> {};

TEST_P(LfoRun, EqualsTheSingleSampleForm) {
    for (const int runLength : {256, 61, 1}) expectSameAsSingleSamples(GetParam(), runLength);
}

INSTANTIATE_TEST_SUITE_P(Cases, LfoRun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LfoCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tess
