// The delay memory pool: lending and taking back, how many buffers an instrument gets, and the
// promise that makes reuse without clearing safe: a pooled buffer full of an earlier note's
// leftovers sounds exactly like a freshly zero-filled one.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "engine/DelayTestSupport.h"
#include "engine/EngineHarness.h"
#include "engine/delays/DelayLines.h"
#include "engine/delays/DelayMemoryPlan.h"
#include "engine/delays/DelayMemoryPool.h"
#include "engine/delays/Reverbs.h"

namespace tess::fx {
namespace {

using test::TestDelayMemory;

TEST(DelayMemoryPool, LendsEachBufferOnceAndTakesItBackOnce) {
    DelayMemoryPool pool;
    ASSERT_EQ(pool.reserve({2, 1}), (DelayMemoryPool::Capacity{2, 1}));
    DelayMemory a, b, c, r;
    EXPECT_TRUE(pool.lend(MemoryKind::Delay, a));
    EXPECT_TRUE(pool.lend(MemoryKind::Delay, b));
    EXPECT_NE(a.data, b.data);
    EXPECT_FALSE(pool.lend(MemoryKind::Delay, c));
    EXPECT_EQ(c.data, nullptr);
    EXPECT_TRUE(pool.lend(MemoryKind::Reverb, r));  // the kinds have their own shelves
    EXPECT_FALSE(pool.lend(MemoryKind::None, c));

    // Running dry is worth one report until a buffer comes back.
    EXPECT_TRUE(pool.firstRefusalSinceReturn());
    EXPECT_FALSE(pool.firstRefusalSinceReturn());

    float* const lent = a.data;
    DelayMemory copy = a;
    pool.takeBack(a);
    EXPECT_EQ(a.data, nullptr);
    pool.takeBack(copy);  // a second return of the same buffer is ignored
    EXPECT_EQ(pool.freeCount(MemoryKind::Delay), 1);
    float stranger[4];
    DelayMemory foreign{stranger, 0, MemoryKind::Delay};
    pool.takeBack(foreign);
    EXPECT_EQ(pool.freeCount(MemoryKind::Delay), 1);
    EXPECT_TRUE(pool.firstRefusalSinceReturn());

    EXPECT_TRUE(pool.lend(MemoryKind::Delay, c));
    EXPECT_EQ(c.data, lent);
}

TEST(DelayMemoryPool, AnInstrumentGetsItsPostBuffersAndEnoughForItsVoices) {
    const struct {
        const char* text;
        DelayMemoryPool::Capacity want;
    } cases[] = {
        {"LAYER\nOUT = SIN(TIME)\n", {0, 0}},
        {"POST\nOUT = DELAY(OUT, 0.1) + REVERB(OUT, 0.5, 0.5, 3000, 0)\n", {1, 1}},
        {"POLY 8\nPOST\nOUT = DELAY(OUT, 0.1)\n"
         "LAYER\nOUT = DELAY(SIN(TIME), 0.1)\n"
         "LAYER\nx = NIDELAYF(SIN(TIME), 0.1, 0.5)\nOUT = PPDELAY(x, 0.1, 0.5, 0, 1000) + REVERB2(x, 0.5, 0.5, 1000, 0, 1, 0.5)\n",
         {1 + 2 * 8, 8}},
        // 64 voices at most, and no more than 128 delay buffers for notes.
        {"LAYER\nOUT = DELAY(SIN(TIME), 0.1) + REVERB1(SIN(TIME), 0.5, 0.5, 3000, 0, 1)\n", {64, 64}},
        {"LAYER\nOUT = DELAY(DELAY(DELAY(SIN(TIME), 0.1), 0.1), 0.1)\n", {128, 0}},
    };
    for (const auto& c : cases) {
        test::EngineHarness h(c.text);
        EXPECT_EQ(memoryPlanFor(h.compiler->instrument()), c.want) << c.text;
        EXPECT_EQ(h.engine->delayMemory.capacity(), c.want) << c.text;
    }
}

// Runs one delay or reverb function over `samples` samples of changing arguments.
using Step = std::function<Stereo(DelayState&, const std::vector<Stereo>&, int)>;

std::vector<Stereo> drive(DelayState& state, const Step& step, int samples, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<Stereo> out;
    std::vector<Stereo> args(6);
    for (int i = 0; i < samples; ++i) {
        for (Stereo& a : args) a = {unit(random), unit(random)};
        out.push_back(step(state, args, i));
    }
    return out;
}

TEST(DelayMemoryPool, LeftoversOfEarlierNotesSoundLikeAZeroFilledBuffer) {
    constexpr float rate = 44100.0f;
    // Times that read what was written, what was not yet, and round the whole ring.
    const auto time = [](Stereo u, int i) {
        const float t[] = {0.0f, 0.05f, 0.4f, 47.6f, 95.2f, -0.01f};
        return Stereo{t[i % 6] + 0.01f * u.l, t[(i / 7) % 6] + 0.01f * u.r};
    };
    std::vector<std::pair<std::string, Step>> functions;
    for (int form = 0; form <= static_cast<int>(DelayForm::TwoBandFeedbackWet); ++form)
        for (bool interpolate : {true, false}) {
            functions.emplace_back(
                "delay form " + std::to_string(form) + (interpolate ? "" : " NI"),
                [form, interpolate, time](DelayState& s, const std::vector<Stereo>& a, int i) {
                    return delayLine(s, static_cast<DelayForm>(form), interpolate, a[0], time(a[1], i / 97),
                                     a[2], {a[3].l * 4000.0f, a[3].r * 4000.0f}, {a[4].l * 8000.0f, 0.0f}, rate);
                });
        }
    for (bool interpolate : {true, false}) {
        functions.emplace_back(interpolate ? "PPDELAY" : "NIPPDELAY",
                               [interpolate, time](DelayState& s, const std::vector<Stereo>& a, int i) {
                                   return pingPongDelay(s, interpolate, a[0], time(a[1], i / 89), a[2], a[3],
                                                        both(a[4].l * 6000.0f), rate);
                               });
    }
    functions.emplace_back("reverb", [](DelayState& s, const std::vector<Stereo>& a, int) {
        ReverbShape shape;
        shape.size = 1.75f + 1.25f * a[5].l;  // up to 3: long combs read round their rings
        shape.spread = 150.0f * a[4].l;
        shape.diffusion = 0.9f * a[4].r;
        shape.cutoff = 8000.0f * a[3].l;
        return reverb(s, a[0], both(0.9f * a[1].l), both(0.9f * a[2].l), shape, rate);
    });

    for (const auto& [name, step] : functions) {
        const MemoryKind kind = name == "reverb" ? MemoryKind::Reverb : MemoryKind::Delay;
        TestDelayMemory zeroFilled(kind, TestDelayMemory::ZeroFilled);
        TestDelayMemory pooled(kind, TestDelayMemory::Leftovers);
        const auto want = drive(zeroFilled.state, step, 12000, 7);
        const auto got = drive(pooled.state, step, 12000, 7);
        for (std::size_t i = 0; i < want.size(); ++i) {
            ASSERT_TRUE(std::isfinite(want[i].l) && std::isfinite(want[i].r)) << name << " at " << i;
            ASSERT_EQ(got[i], want[i]) << name << " at sample " << i;
        }
    }
}

}  // namespace
}  // namespace tess::fx
