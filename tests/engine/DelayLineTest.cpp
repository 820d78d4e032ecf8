// The delay lines on a plain zero-filled buffer: delay times in samples, the filtered
// feedbacks, the ping-pong taps and the ring's size. (What each form writes and returns is
// measured through the render loop, in EffectsRenderTest.)
#include <gtest/gtest.h>

#include <vector>

#include "engine/DelayTestSupport.h"
#include "engine/delays/DelayLines.h"
#include "engine/delays/Reverbs.h"

namespace tess::fx {
namespace {

using test::TestDelayMemory;

constexpr float kRate = 44100.0f;
// At this rate a time of n / kExactRate seconds is exactly n samples.
constexpr float kExactRate = 32768.0f;

struct Args {
    Stereo t, a2, a3, a4;
};

// Runs `input` through a fresh zero-filled line; returns the outputs.
std::vector<Stereo> run(DelayForm form, bool interpolate, const std::vector<Stereo>& input, Args args,
                        float rate = kExactRate) {
    TestDelayMemory memory(MemoryKind::Delay, TestDelayMemory::ZeroFilled);
    std::vector<Stereo> out;
    for (const Stereo& x : input) out.push_back(delayLine(memory.state, form, interpolate, x, args.t, args.a2, args.a3, args.a4, rate));
    return out;
}

std::vector<Stereo> impulse(std::size_t length, Stereo first = both(1.0f)) {
    std::vector<Stereo> v(length);
    v[0] = first;
    return v;
}

// The first sample whose value is not 0, per channel (-1 when none).
long onset(const std::vector<Stereo>& v, bool right = false) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if ((right ? v[i].r : v[i].l) != 0.0f) return static_cast<long>(i);
    return -1;
}

TEST(DelayLine, TimeInSecondsDelaysByOneSampleMoreThanItsFrames) {
    const struct {
        float seconds;
        long samples;
    } cases[] = {{0.0f, 1}, {0.5f, 22051}, {0.25f, 11026}, {1.0f, 44101}, {-0.0f, 1}};
    for (const auto& c : cases)
        for (bool interpolate : {true, false}) {
            const auto out = run(DelayForm::Plain, interpolate, impulse(50000), {both(c.seconds), {}, {}, {}}, kRate);
            EXPECT_EQ(onset(out), c.samples) << c.seconds << (interpolate ? "" : " (NI)");
            EXPECT_EQ(out[static_cast<std::size_t>(c.samples)].l, 1.0f);
        }
}

TEST(DelayLine, FractionalTimesInterpolateUnlessNonInterpolating) {
    const auto smooth = run(DelayForm::Plain, true, impulse(10), {both(2.25f / kExactRate), {}, {}, {}});
    EXPECT_EQ(smooth[3].l, 0.75f);  // v(2) + (v(3) - v(2)) * 0.25
    EXPECT_EQ(smooth[4].l, 0.25f);
    const auto plain = run(DelayForm::Plain, false, impulse(10), {both(2.25f / kExactRate), {}, {}, {}});
    EXPECT_EQ(plain[3].l, 1.0f);
    EXPECT_EQ(plain[4].l, 0.0f);
}

TEST(DelayLine, FeedbackFilterSignPicksLowOrHighPass) {
    // A constant input fed back at 0.5 builds up to 2 when the feedback keeps DC (a low-pass)
    // and stays at 1 when it removes it (a high-pass, negative fc).
    const std::vector<Stereo> dc(20000, both(1.0f));
    const struct {
        DelayForm form;
        float a2, a3, a4;
        float settled;
    } cases[] = {
        {DelayForm::FilteredFeedback, 0.5f, 1000.0f, 0, 2.0f},
        {DelayForm::FilteredFeedback, 0.5f, -1000.0f, 0, 1.0f},
        {DelayForm::TwoBandFeedback, 0.5f, 0.0f, 1000.0f, 2.0f},
        {DelayForm::TwoBandFeedback, 0.0f, 0.5f, 1000.0f, 1.0f},
    };
    for (const auto& c : cases) {
        const auto out = run(c.form, true, dc, {both(0.0f), both(c.a2), both(c.a3), both(c.a4)}, kRate);
        EXPECT_NEAR(out.back().l, c.settled, 1e-3f) << c.a2 << " " << c.a3 << " " << c.a4;
    }
}

TEST(DelayLine, PingPongReadsTheSecondTapAfterTheFirstAndFeedsItBack) {
    TestDelayMemory memory(MemoryKind::Delay, TestDelayMemory::ZeroFilled);
    const Stereo t{10.0f / kExactRate, 5.0f / kExactRate};
    std::vector<Stereo> out;
    for (int i = 0; i < 40; ++i)
        out.push_back(pingPongDelay(memory.state, true, i == 0 ? Stereo{1.0f, 0.0f} : Stereo{}, t, both(0.5f),
                                    both(0.0f), both(1e9f), kExactRate));
    // The mid of the input (0.5) comes out left after 11 samples and right after 16; the right
    // tap is fed back at 0.5 and comes round again 16 samples later.
    EXPECT_EQ(onset(out), 11);
    EXPECT_EQ(out[11].l, 0.5f);
    EXPECT_EQ(onset(out, true), 16);
    EXPECT_EQ(out[16].r, 0.5f);
    EXPECT_EQ(out[27].l, 0.25f);
    EXPECT_EQ(out[32].r, 0.25f);
    EXPECT_EQ(out[12].l + out[26].l + out[17].r + out[31].r, 0.0f);
}

TEST(DelayLine, TheRingHoldsTwoToTheTwentyOneFramesAndLongerTimesWrap) {
    const float frames = static_cast<float>(kDelayStereoFrames);
    const struct {
        float delayFrames;
        long samples;
    } cases[] = {{frames - 1.0f, 2097152}, {frames + 9.0f, 10}};
    for (const auto& c : cases) {
        const auto out = run(DelayForm::Plain, false, impulse(2100000), {both(c.delayFrames / kExactRate), {}, {}, {}});
        EXPECT_EQ(onset(out), c.samples) << c.delayFrames;
    }
}

TEST(DelayLine, WithoutMemoryEveryDelayAndReverbIsSilent) {
    DelayState state;  // the pool had no buffer for this note
    for (int form = 0; form <= static_cast<int>(DelayForm::TwoBandFeedbackWet); ++form)
        EXPECT_EQ(delayLine(state, static_cast<DelayForm>(form), true, both(1.0f), both(0.0f), both(0.5f), both(0.5f),
                            both(0.5f), kRate),
                  Stereo{});
    EXPECT_EQ(pingPongDelay(state, true, both(1.0f), both(0.0f), both(0.5f), both(0.5f), both(100.0f), kRate), Stereo{});
    EXPECT_EQ(reverb(state, both(1.0f), both(0.5f), both(0.5f), ReverbShape{}, kRate), Stereo{});
    EXPECT_EQ(state.written, 0u);
}

}  // namespace
}  // namespace tess::fx
