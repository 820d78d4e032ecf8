#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/Waveforms.h"
#include "engine/envelopes/StageModel.h"

namespace tess {
namespace {

constexpr float kPi = 3.14159265f;

TEST(Waveforms, BasicValuesAtChosenPhases) {
    Noise noise;
    const struct {
        int code;
        float phase;
        float value;
    } rows[] = {
        {0, kPi / 2, 1.0f},       {0, -kPi / 6, -0.5f},     {1, -0.001f, -1.0f},     {1, 0.0f, 1.0f},
        {2, kPi / 2, 0.5f},       {2, -kPi, -1.0f},         {3, kPi / 4, 0.5f},      {3, kPi / 2, 1.0f},
        {3, 3 * kPi / 4, 0.5f},   {3, -3 * kPi / 4, -0.5f}, {3, kPi, 0.0f},
        {5, kPi / 6, std::pow(0.5f, 0.3f)},                 {6, -kPi / 6, -std::pow(0.5f, 0.1f)},
        {7, kPi / 2, 1.0f},       {8, kPi / 6, std::pow(0.5f, 0.01f)},
        {5, kPi, 0.0f},           // sin(pi) rounds below 0 in float: still no NaN
        {9, kPi / 2, 0.5f - std::pow(0.5f, 9.0f)},           {10, -kPi / 2, -0.5f + std::pow(0.5f, 19.0f)},
        {11, kPi, 0.0f},          {12, kPi / 2, 0.5f - std::pow(0.5f, 59.0f)},
        {13, 1.0f, 0.0f},         {-1, 1.0f, 0.0f},
    };
    for (const auto& r : rows) {
        const float v = wave::basic(r.code, r.phase, noise);
        EXPECT_NEAR(v, r.value, 2e-6f) << r.code << " at " << r.phase;
        EXPECT_FALSE(std::isnan(v)) << r.code;
    }
}

TEST(Waveforms, ShapedValuesAtChosenPhases) {
    Noise noise;
    const struct {
        int code;
        float shape;
        float phase;
        float value;
    } rows[] = {
        {0, 1.0f, kPi / 6, 0.5f},           {0, 2.0f, -kPi / 6, -0.25f},         {0, 0.5f, kPi, 0.0f},
        {1, 0.5f, 0.1f, -1.0f},             {1, 0.5f, -0.1f, 1.0f},              {1, 0.75f, 1.0f, 1.0f},
        {1, 0.75f, 1.6f, -1.0f},            {2, 0.0f, kPi / 2, -0.5f},           {2, 1.0f, kPi / 2, 0.5f},
        {2, 0.5f, 0.0f, 1.0f},              {2, 0.5f, -kPi, -1.0f},              {2, 0.25f, -kPi / 2, 1.0f},
        {2, 0.25f, kPi, -1.0f},             {3, 2.0f, kPi / 2, 0.25f},           {3, 2.0f, -kPi / 2, -0.25f},
        {4, 1.0f, kPi / 4, 0.5f},           {4, 2.0f, -kPi / 4, -0.25f},         {6, 1.0f, 1.0f, 0.0f},
    };
    for (const auto& r : rows)
        EXPECT_NEAR(wave::shaped(r.code, r.shape, r.phase, noise), r.value, 2e-6f)
            << r.code << " shape " << r.shape << " at " << r.phase;
}

TEST(Waveforms, NoiseStaysBelowOne) {
    Noise noise;
    float low = 1.0f, high = -1.0f;
    for (int i = 0; i < 200000; ++i) {
        const float v = wave::basic(4, 0.0f, noise);
        const float s = wave::shaped(5, 0.5f, 0.0f, noise);
        ASSERT_LT(v, 1.0f);
        ASSERT_LT(s, 1.0f);
        ASSERT_GE(v, -1.0f);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_LT(low, -0.999f);
    EXPECT_GT(high, 0.999f);
}

TEST(Waveforms, BasicRunGivesTheSingleSampleValues) {
    // Every basic waveform (and numbers outside the set) over phases across the turn, the turn's
    // ends and 0 included; noise draws in the same order.
    constexpr int n = 203;
    float p[n];
    for (int i = 0; i < n; ++i) p[i] = -kPi + 2.0f * kPi * static_cast<float>(i) / (n - 1);
    p[n / 2] = 0.0f;
    for (int code = -1; code <= 13; ++code) {
        Noise single(7), run(7);
        float out[n];
        wave::basicRun(code, p, out, n, run);
        for (int i = 0; i < n; ++i) {
            const float v = wave::basic(code, p[i], single);
            ASSERT_EQ(std::memcmp(&out[i], &v, sizeof v), 0) << "code " << code << " phase " << p[i];
        }
        EXPECT_EQ(run.next(), single.next()) << "code " << code;
    }
}

TEST(Waveforms, WrapTakesWholeTurns) {
    const struct {
        float in, out;
    } rows[] = {{0.5f, 0.5f}, {kPi + 0.5f, 0.5f - kPi}, {-kPi - 0.5f, kPi - 0.5f}, {7 * kPi / 2, -kPi / 2},
                {-101.0f * kPi / 2, -kPi / 2}};
    for (const auto& r : rows) {
        const float w = wave::wrap(r.in);
        EXPECT_NEAR(w, r.out, 2e-5f) << r.in;
        EXPECT_LE(std::fabs(w), kPi + 1e-6f);
    }
}

TEST(StageModel, SegmentsEndExactlyOnTheirTargets) {
    EXPECT_FLOAT_EQ(env::rising(1.0f, true), 1.0f);
    EXPECT_FLOAT_EQ(env::rising(0.5f, false), 0.5f);
    EXPECT_NEAR(env::falling(0.8f, 0.0f, 1.0f, true), 0.0f, 1e-7f);
    EXPECT_NEAR(env::falling(1.0f, 0.3f, 1.0f, true), 0.3f, 1e-7f);
    EXPECT_FLOAT_EQ(env::falling(1.0f, 0.3f, 0.5f, false), 0.65f);
    for (float level : {0.1f, 0.5f, 0.9f}) {
        EXPECT_NEAR(env::rising(env::stageOfLevel(level, true), true), level, 1e-5f);
        EXPECT_EQ(env::stageOfLevel(level, false), level);
    }
    EXPECT_FLOAT_EQ(env::curvedSegment(0.0f, 44100.0f).step, 1.0f / 44.1f);
    EXPECT_TRUE(env::curvedSegment(0.5f, 44100.0f).exponential);
    EXPECT_FALSE(env::curvedSegment(-0.5f, 44100.0f).exponential);
    EXPECT_EQ(env::curvedSegment(-0.5f, 44100.0f).step, env::curvedSegment(0.5f, 44100.0f).step);
}

// Every segment keeps its own time: a short segment whose last step runs past its end hands the
// rest of that sample to the next segment at the next segment's rate, and a long segment's many
// small steps add up without rounding.
TEST(StageModel, SegmentsKeepTheirTimeWhateverTheirNeighbours) {
    struct Case {
        const char* what;
        float delay, attack, hold, decay, sustain, release;
        std::int64_t noteOff;  // samples
        double at;             // seconds
        float level;
    };
    const Case cases[] = {
        // A 1 ms delay ends 0.1 sample into its last step: a 10 s linear attack starts there.
        {"10 s attack after 1 ms delay", 0.001f, -10.0f, 0.001f, -0.001f, 1.0f, -1.0f, 1 << 30,
         0.001 + 1.0, 0.1f},
        {"10 s attack after 1 ms delay, early", 0.001f, -10.0f, 0.001f, -0.001f, 1.0f, -1.0f,
         1 << 30, 0.001 + 0.01, 0.001f},
        // A 1 ms attack into a 20 s hold, then a linear 1 s decay to 0.
        {"decay after a long hold", 0.001f, -0.001f, 20.0f, -1.0f, 0.0f, -1.0f, 1 << 30,
         0.002 + 20.0 + 0.25, 0.75f},
        // A 40 s linear release: halfway after 20 s.
        {"long release", 0.001f, -0.001f, 0.001f, -0.001f, 1.0f, -40.0f, 44100, 1.0 + 20.0,
         0.5f},
    };
    for (const Case& c : cases) {
        env::EnvelopeState s;
        env::EnvelopeTiming timing;
        timing.releaseTime = c.noteOff;
        const auto last = static_cast<std::int64_t>(std::llround(c.at * 44100.0));
        float level = 0.0f;
        for (std::int64_t t = 0; t <= last; ++t) {
            timing.t = t;
            level = env::runEnv1(s, c.attack, c.decay, c.sustain, c.release, c.delay, c.hold, timing);
        }
        EXPECT_NEAR(level, c.level, 2e-4f) << c.what;
    }
}

// ENV0 sample by sample: attack, decay, sustain settle, release, tail.
TEST(StageModel, Env0WalksItsStages) {
    env::EnvelopeState s;
    env::EnvelopeTiming timing;
    timing.sampleRate = 1000.0f;
    timing.releaseTime = 1000;
    std::vector<float> levels;
    for (std::int64_t t = 0; t < 1200; ++t) {
        timing.t = t;
        levels.push_back(env::runEnv0(s, -0.01f, -0.01f, 0.5f, -0.1f, timing));
    }
    EXPECT_FLOAT_EQ(levels[0], 0.0f);
    EXPECT_NEAR(levels[5], 0.5f, 1e-5f);   // linear attack over 10 samples
    EXPECT_NEAR(levels[15], 0.75f, 1e-5f);  // halfway down to the sustain
    // The sustain settles towards 0.5 by a thousandth of the distance per sample.
    EXPECT_NEAR(levels[901] - 0.5f, (levels[900] - 0.5f) * 0.999f, 1e-6f);
    EXPECT_GT(levels[900], 0.5f);
    EXPECT_LT(levels[900], 0.53f);
    EXPECT_NEAR(levels[1050], levels[999] * 0.5f, 1e-3f);  // halfway through a 100-sample release
    EXPECT_LT(levels[1150], 1e-3f);
    EXPECT_GE(s.stage, 4.0f);
    // A restart at the current level continues the attack from there.
    env::EnvelopeState again;
    again.level = 0.5f;
    timing.t = timing.startTime = 2000;
    timing.releaseTime = 5000;
    EXPECT_NEAR(env::runEnv0(again, -0.01f, -0.01f, 0.5f, -0.1f, timing), 0.5f, 1e-6f);
    // A forced release time replaces the release argument.
    timing.forcedReleaseTime = 0.01f;
    EXPECT_EQ(env::releaseSeconds(2.0f, 0.3f, timing), 0.01f);
    timing.forcedReleaseTime = 0.0f;
    timing.pedalHeld = true;
    EXPECT_EQ(env::releaseSeconds(2.0f, 0.3f, timing), 0.3f);
}

}  // namespace
}  // namespace tess
