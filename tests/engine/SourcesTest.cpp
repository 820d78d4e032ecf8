// SHOLD, ROUNDF / ROUNDF2, RND with the noise source, and MCC2.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "controllers/ControllerSpace.h"
#include "engine/Noise.h"
#include "engine/math/NoteRounding.h"
#include "engine/math/SampleHold.h"
#include "engine/math/Sources.h"

namespace tess::math {
namespace {

TEST(SampleHold, PeriodsPerChannel) {
    // 200 samples per bar: left holds for half a bar (100 samples); the right period truncates
    // to 1 sample, which holds the first value for the whole note.
    SampleHoldState state;
    const std::int64_t start = 1000;
    const struct {
        std::int64_t t;
        float left, right;
    } expected[] = {{1000, 1000, 1000}, {1001, 1000, 1000}, {1099, 1000, 1000},
                    {1100, 1100, 1000}, {1150, 1100, 1000}, {1200, 1200, 1000}};
    std::size_t next = 0;
    for (std::int64_t t = start; t <= 1200; ++t) {
        const float x = static_cast<float>(t);
        const Stereo held = opShold(state, {x, x}, {0.5f, 0.0099f}, t, start, 200.0f);
        if (next < std::size(expected) && expected[next].t == t) {
            EXPECT_EQ(held.l, expected[next].left) << t;
            EXPECT_EQ(held.r, expected[next].right) << t;
            ++next;
        }
    }
    EXPECT_EQ(next, std::size(expected));
}

TEST(SampleHold, UnusablePeriodsHoldTheFirstValue) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float p : {1.0e30f, -1.0f, 0.0f, nan}) {
        SampleHoldState state;
        opShold(state, {7.0f, 7.0f}, {p, p}, 0, 0, 48000.0f);
        const Stereo held = opShold(state, {9.0f, 9.0f}, {p, p}, 96000, 0, 48000.0f);
        EXPECT_EQ(held, (Stereo{7.0f, 7.0f})) << p;
    }
}

TEST(NoteRounding, PitchClassIsAlwaysZeroToEleven) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float note;
        int q;
    } cases[] = {{0.0f, 0},   {11.0f, 11},  {12.0f, 0}, {127.0f, 7},  {-1.0f, 11},
                 {-12.0f, 0}, {-13.0f, 11}, {-0.5f, 0}, {1.0e30f, 0}, {nan, 0}};
    for (const auto& c : cases) EXPECT_EQ(pitchClassOf(c.note), c.q) << c.note;
}

TEST(NoteRounding, SnapsToTheLayerTuning) {
    float cents[12];
    for (int i = 0; i < 12; ++i) cents[i] = 10.0f * i;  // distinct offset per pitch class
    const TuningContext equal{440.0f, 1.0f, 69.0f, nullptr};
    const TuningContext tempered{440.0f, 1.0f, 69.0f, cents};
    // Track 24 makes a doubling half a note: 880 and 220 sit exactly half way.
    const TuningContext halfNotes{440.0f, 24.0f, 0.0f, nullptr};
    const TuningContext halfNotesTempered{440.0f, 24.0f, 0.0f, cents};
    const struct {
        const char* what;
        const TuningContext& tuning;
        float f, step, want;
    } cases[] = {
        {"on a note", equal, 440.0f, 1.0f, 440.0f},
        {"below half way", equal, 450.0f, 1.0f, 440.0f},
        {"above half way", equal, 460.0f, 1.0f, 466.16376f},
        {"half way rounds up", halfNotes, 880.0f, 1.0f, 1760.0f},
        {"half way below 0 rounds down", halfNotes, 220.0f, 1.0f, 110.0f},
        {"note -1 uses pitch class 11", halfNotesTempered, 220.0f, 1.0f,
         110.0f * std::pow(2.0f, 2.2f)},
        {"temperament offset of A (9)", tempered, 445.0f, 1.0f, 440.0f * std::pow(2.0f, 0.9f / 12)},
        {"temperament offset of C (0)", tempered, 520.0f, 1.0f, 523.25113f},
        {"temperament offset of B (11)", tempered, 490.0f, 1.0f,
         440.0f * std::pow(2.0f, 3.1f / 12)},
        {"grid of 2 notes", equal, 470.0f, 2.0f, 466.16376f},    // 70.14 -> 70
        {"grid of 12 notes", equal, 600.0f, 12.0f, 523.25113f},  // 74.37 -> 72
        {"zero frequency", equal, 0.0f, 1.0f, 0.0f},
        {"step 0 leaves f", equal, 450.0f, 0.0f, 450.0f},
        {"negative frequency left alone", equal, -450.0f, 1.0f, -450.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(roundToNote(c.tuning, c.f, c.step), c.want, 1e-5f * std::fabs(c.want))
            << c.what;
    const TuningContext noTracking{440.0f, 0.0f, 69.0f, cents};
    EXPECT_EQ(roundToNote(noTracking, 450.0f, 1.0f), 450.0f);
    EXPECT_EQ(roundToNote(noTracking, 440.0f, 1.0f), 440.0f);

    const Stereo both = opRoundF2(equal, {460.0f, 500.0f}, {1.0f, 2.0f});
    EXPECT_NEAR(both.l, 466.16376f, 1e-3f);
    EXPECT_NEAR(both.r, 523.25113f, 1e-3f);  // 71.21 on a grid of 2 -> 72
    EXPECT_EQ(opRoundF(equal, {450.0f, 430.0f}), (Stereo{440.0f, 440.0f}));
}

TEST(Noise, DrawsAndTheirRange) {
    // The first draws of the 214013 / 2531011 generator from seed 1.
    Noise noise(1);
    for (int want : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(noise.next15(), want);
    EXPECT_EQ(Noise::fromDraws(0, 0), -1.0f);
    EXPECT_EQ(Noise::fromDraws(32767, 32767), 1.0f - 0x1p-23f);
    EXPECT_EQ(Noise::fromDraws(0, 16384), 0.0f);
}

TEST(Noise, NeverReachesOneAndCoversTheRange) {
    Noise noise(12345);
    float lo = 1.0f, hi = -1.0f;
    double sum = 0.0;
    const int count = 2000000;
    for (int i = 0; i < count; ++i) {
        const float v = noise.next();
        ASSERT_TRUE(v >= -1.0f && v < 1.0f) << v;
        lo = std::min(lo, v), hi = std::max(hi, v), sum += v;
    }
    EXPECT_LT(lo, -0.999f);
    EXPECT_GT(hi, 0.999f);
    EXPECT_NEAR(sum / count, 0.0, 0.003);
}

TEST(Rnd, ChannelsDrawIndependently) {
    Noise noise(7);
    const int count = 20000;
    double sumSquares = 0.0, sumProducts = 0.0;
    for (int i = 0; i < count; ++i) {
        const Stereo u = opRnd(noise, {1.0f, 1.0f});
        ASSERT_TRUE(u.l >= -1.0f && u.l < 1.0f && u.r >= -1.0f && u.r < 1.0f);
        sumSquares += u.l * u.l;
        sumProducts += u.l * u.r;
    }
    EXPECT_NEAR(sumSquares / count, 1.0 / 3.0, 0.01);  // variance of uniform [-1, 1)
    EXPECT_NEAR(sumProducts / count, 0.0, 0.01);       // no correlation between channels
    const Stereo scaled = opRnd(noise, {4.0f, 0.0f});
    EXPECT_EQ(scaled.r, 0.0f);
    EXPECT_LT(std::fabs(scaled.l), 4.0f);
}

TEST(Mcc2, ReadsTheScaledControllerOnBothChannels) {
    auto cs = std::make_unique<ControllerSpace>();
    cs->writeMidi(7, 64.0f, 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        float n;
        float want;
    } cases[] = {
        {"CC 7, truncated", 7.9f, 0.5f * 0.0010001f},
        {"none", -1.0f, 1.0f},
        {"-0.5 truncates to CC 0", -0.5f, 0.0f},
        {"far below", -1.0e30f, 1.0f},
        {"NaN reads as none", nan, 1.0f},
        {"1000 and above", 1000.0f, 0.0f},
        {"far above", 1.0e30f, 0.0f},
    };
    for (const auto& c : cases) {
        const Stereo v = opMcc2(*cs, {c.n, 3.0f}, 10);
        EXPECT_FLOAT_EQ(v.l, c.want) << c.what;
        EXPECT_EQ(v.l, v.r) << c.what;
    }
}

}  // namespace
}  // namespace tess::math
