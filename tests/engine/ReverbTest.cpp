// The reverbs on a plain zero-filled buffer, heard through an impulse: when the first comb
// arrives on each channel, how size, spread and diffusion move it, and how the feedback makes
// the tail last.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/DelayTestSupport.h"
#include "engine/delays/Reverbs.h"

namespace tess::fx {
namespace {

using test::TestDelayMemory;

constexpr float kRate = 44100.0f;

struct Feedback {
    float low = 0.0f, high = 0.0f;
};

std::vector<Stereo> impulseResponse(const ReverbShape& shape, Feedback fb = {}, int length = 6000) {
    TestDelayMemory memory(MemoryKind::Reverb, TestDelayMemory::ZeroFilled);
    std::vector<Stereo> out;
    for (int i = 0; i < length; ++i)
        out.push_back(reverb(memory.state, both(i == 0 ? 1.0f : 0.0f), both(fb.low), both(fb.high), shape, kRate));
    return out;
}

long onset(const std::vector<Stereo>& v, bool right) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if ((right ? v[i].r : v[i].l) != 0.0f) return static_cast<long>(i);
    return -1;
}

double energy(const std::vector<Stereo>& v, std::size_t from, std::size_t to) {
    double e = 0.0;
    for (std::size_t i = from; i < to && i < v.size(); ++i) e += double(v[i].l) * v[i].l + double(v[i].r) * v[i].r;
    return e;
}

ReverbShape shape(float size, float spread, float diffusion = 0.618f) {
    ReverbShape s;
    s.size = size;
    s.spread = spread;
    s.diffusion = diffusion;
    s.cutoff = 5000.0f;
    return s;
}

TEST(Reverb, SpreadMovesTheLeftCombsEarlierAndTheRightOnesLater) {
    // The shortest comb is 1117.5 frames: read half at 1117 and half at 1118 frames, so its
    // first sound comes 1118 samples after the impulse (the allpasses pass part of it at once).
    const struct {
        float size, spread;
        long left, right;
    } cases[] = {
        {1.0f, 0.0f, 1118, 1118},   {1.0f, 100.0f, 1018, 1218}, {1.0f, -100.0f, 1218, 1018},
        {1.0f, 250.0f, 1018, 1218},  // clamped to 100
        {2.0f, 0.0f, 2236, 2236},   {2.0f, 50.0f, 2136, 2336},  // the size scales the spread too
    };
    for (const auto& c : cases) {
        const auto out = impulseResponse(shape(c.size, c.spread));
        EXPECT_EQ(onset(out, false), c.left) << c.size << " " << c.spread;
        EXPECT_EQ(onset(out, true), c.right) << c.size << " " << c.spread;
    }
}

TEST(Reverb, WithoutDiffusionTheAllpassesOnlyDelay) {
    // g = 0: each allpass passes its input after 228, 343, 458, 573, 688 and 803 samples.
    const auto out = impulseResponse(shape(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(onset(out, false), 1118 + 228 + 343 + 458 + 573 + 688 + 803);
}

TEST(Reverb, FeedbackLengthensTheTailAndEachBandHasItsOwn) {
    // Energy in the second half of the first second after an impulse.
    const int length = 44100;
    const auto late = [&](Feedback fb) { return energy(impulseResponse(shape(1.0f, 0.0f), fb, length), 22050, 44100); };
    const double none = late({0.0f, 0.0f});
    const double lowOnly = late({0.85f, 0.0f});
    const double highOnly = late({0.0f, 0.85f});
    const double full = late({0.85f, 0.85f});
    EXPECT_GT(lowOnly, 1e4 * none);
    EXPECT_GT(lowOnly, 1e4 * highOnly);  // most of the combs' energy is below the 5 kHz split
    EXPECT_GT(full, 1.3 * lowOnly);
    for (const Stereo& s : impulseResponse(shape(1.0f, 0.0f), {0.85f, 0.85f}, length))
        ASSERT_TRUE(std::isfinite(s.l) && std::isfinite(s.r));
}

}  // namespace
}  // namespace tess::fx
