// FILT, FILT0, the delay lines and the reverbs as instrument programs: every function name
// reaches its own form, the voices borrow delay memory at their start and give it back when
// they end, and the POST step keeps its memory through suspend while its tail is cleared.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/EngineHarness.h"
#include "engine/filters/Filter.h"

namespace tess {
namespace {

using test::EngineHarness;

// 1 at a voice's first sample, 0 after it.
const std::string kImpulse = "x = (SAT((0.5 / 44100 - TIME) * 1e9) + 1) * 0.5\n";

struct Rendered {
    std::vector<float> left, right;
};

Rendered renderNote(EngineHarness& h, int frames) {
    Rendered r;
    h.start(0, 60);
    std::vector<float> left, right;
    for (int done = 0; done < frames; done += 512) {
        h.render(512, left, right);
        r.left.insert(r.left.end(), left.begin(), left.end());
        r.right.insert(r.right.end(), right.begin(), right.end());
    }
    return r;
}

long onset(const std::vector<float>& v) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] != 0.0f) return static_cast<long>(i);
    return -1;
}

TEST(EffectsRender, EveryDelayFunctionReachesItsOwnForm) {
    // An impulse through a one-sample line: the output at samples 0 to 3.
    const struct {
        const char* call;
        float at[4];
    } cases[] = {
        {"DELAY(x, 0)", {0.0f, 1.0f, 0.0f, 0.0f}},
        {"NIDELAY(x, 0)", {0.0f, 1.0f, 0.0f, 0.0f}},
        {"DELAYF(x, 0, 0.5)", {1.0f, 0.5f, 0.25f, 0.125f}},
        {"NIDELAYF(x, 0, 0.5)", {1.0f, 0.5f, 0.25f, 0.125f}},
        {"DELAYFF(x, 0, 0.5, 0)", {1.0f, 0.5f, 0.25f, 0.125f}},
        {"NIDELAYFF(x, 0, 0.5, 0)", {1.0f, 0.5f, 0.25f, 0.125f}},
        {"DELAY2C(x, 0, 0.5, -0.5)", {-0.5f, 0.75f, 0.375f, 0.1875f}},
        {"NIDELAY2C(x, 0, 0.5, -0.5)", {-0.5f, 0.75f, 0.375f, 0.1875f}},
        {"DELAYFF2(x, 0, 0.5, 0)", {0.0f, 1.0f, 0.5f, 0.25f}},
        {"NIDELAYFF2(x, 0, 0.5, 0)", {0.0f, 1.0f, 0.5f, 0.25f}},
        {"DELAYFF3(x, 0, 0.5, 0.25, 0)", {1.0f, 0.25f, 0.0625f, 0.015625f}},
        {"NIDELAYFF3(x, 0, 0.5, 0.25, 0)", {1.0f, 0.25f, 0.0625f, 0.015625f}},
        {"DELAYFF4(x, 0, 0.5, 0.25, 0)", {0.0f, 1.0f, 0.25f, 0.0625f}},
        {"NIDELAYFF4(x, 0, 0.5, 0.25, 0)", {0.0f, 1.0f, 0.25f, 0.0625f}},
        {"PPDELAY(x, 0, 0.5, 0, 1e9)", {0.0f, 1.0f, 0.5f, 0.25f}},
        {"NIPPDELAY(x, 0, 0.5, 0, 1e9)", {0.0f, 1.0f, 0.5f, 0.25f}},
    };
    for (const auto& c : cases) {
        EngineHarness h("LAYER\n" + kImpulse + "OUT = " + c.call + "\n");
        const Rendered r = renderNote(h, 512);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r.left[static_cast<std::size_t>(i)], c.at[i]) << c.call << " at " << i;
    }
}

TEST(EffectsRender, ReverbFunctionsTakeTheirSizeAndDiffusion) {
    const struct {
        const char* call;
        long left, right;
    } cases[] = {
        {"REVERB(x, 0, 0, 5000, 100)", 1018, 1218},
        {"REVERB1(x, 0, 0, 5000, 0, 2)", 2236, 2236},
        {"REVERB2(x, 0, 0, 5000, 0, 1, 0)", 4211, 4211},
        {"REVERB2(x, 0, 0, 5000, -100, 1, 0.618)", 1218, 1018},
    };
    for (const auto& c : cases) {
        EngineHarness h("LAYER\n" + kImpulse + "OUT = " + c.call + "\n");
        const Rendered r = renderNote(h, 5120);
        EXPECT_EQ(onset(r.left), c.left) << c.call;
        EXPECT_EQ(onset(r.right), c.right) << c.call;
    }
}

TEST(EffectsRender, FiltAndFilt0FilterTheVoiceAndFilt0ReadsDefaultFc) {
    EngineHarness h("POST\n" + kImpulse +
                    "a = FILT0(1, x, 0.7)\nb = FILT(1, x, DEFAULTFC, 0.7)\nOUT = JOIN(a, a - b)\n");
    h.engine->defaultFc = 700.0f;
    std::vector<float> left, right;
    h.render(2048, left, right);
    filt::FilterState reference;
    for (int i = 0; i < 2048; ++i) {
        const float x = i == 0 ? 1.0f : 0.0f;
        ASSERT_EQ(left[static_cast<std::size_t>(i)], filt::filter(reference, both(1.0f), both(x), both(700.0f), both(0.7f), 44100.0f).l) << i;
        ASSERT_EQ(right[static_cast<std::size_t>(i)], 0.0f) << i;
    }
    EXPECT_GT(test::peak(left), 0.001f);
}

TEST(EffectsRender, VoicesBorrowDelayMemoryAtTheirStartAndReturnItWhenTheyEnd) {
    EngineHarness h("POST\nOUT = DELAY(OUT, 0.1)\nLAYER\nOUT = DELAY(0, 0.1) + REVERB(0, 0.5, 0.5, 3000, 0)\n");
    fx::DelayMemoryPool& pool = h.engine->delayMemory;
    const int delays = pool.capacity().delays;
    ASSERT_EQ(delays, 1 + 64);
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Delay), delays - 1);  // the POST step holds one

    const int a = h.start(0, 60);
    const int b = h.start(0, 64);
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Delay), delays - 3);
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Reverb), 64 - 2);
    // A voice that gets a new program gives its memory back first.
    h.engine->copyProgram(h.engine->voices[a], h.compiler->instrument().layers[0]);
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Delay), delays - 3);
    // Silent voices end after a tenth of a second and bring their memory home.
    h.renderLeft(0.2);
    EXPECT_FALSE(h.engine->voices[a].active());
    EXPECT_FALSE(h.engine->voices[b].active());
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Delay), delays - 1);
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Reverb), 64);

    // A new instrument takes every buffer back, the POST step's too, before the pool is refilled.
    h.start(0, 60);
    h.engine->installInstrument(h.compiler->instrument());
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Delay), delays - 1);
    h.renderLeft(0.01);  // the voice cut by the load ends without returning anything twice
    EXPECT_EQ(pool.freeCount(fx::MemoryKind::Delay), delays - 1);
}

TEST(EffectsRender, SuspendClearsThePostTailButKeepsItsMemory) {
    EngineHarness h("POST\nOUT = DELAYF(OUT, 0.01, 0.9)\nLAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.2\n");
    h.start(0, 69);
    h.renderLeft(0.05);
    h.engine->voices.releaseNoteVoices();
    EXPECT_GT(test::peak(h.renderLeft(0.05), 1024), 0.01f);  // the echoes go on without the voice

    h.engine->suspend();
    h.engine->resume();
    EXPECT_EQ(test::peak(h.renderLeft(0.05)), 0.0f);
    EXPECT_EQ(h.engine->delayMemory.freeCount(fx::MemoryKind::Delay), h.engine->delayMemory.capacity().delays - 1);
    h.start(0, 69);
    h.renderLeft(0.05);
    h.engine->voices.releaseNoteVoices();
    EXPECT_GT(test::peak(h.renderLeft(0.05), 1024), 0.01f);
}

}  // namespace
}  // namespace tess
