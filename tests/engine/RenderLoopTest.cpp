#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/EngineHarness.h"

namespace tess {
namespace {

using test::EngineHarness;

TEST(RenderLoop, SineLayerHasThePitchOfItsKeyAndTheLevelItAsks) {
    EngineHarness h("LAYER\nOUT = SIN(2 * 3.14159265 * FREQ * TIME) * 0.25\n");
    const struct {
        float key;
        double hz;
    } notes[] = {{69.0f, 440.0}, {57.0f, 220.0}, {76.0f, 659.255}};
    for (const auto& note : notes) {
        ASSERT_GE(h.start(0, note.key), 0);
        const std::vector<float> left = h.renderLeft(0.5);
        EXPECT_NEAR(test::zeroCrossingFrequency(left, 44100.0), note.hz, note.hz * 0.002) << note.key;
        EXPECT_NEAR(test::peak(left), 0.25f, 0.001f);
        h.engine->voices.releaseNoteVoices();
        h.renderLeft(0.01);
    }
}

TEST(RenderLoop, HoldKeepsOneRandomValuePerVoice) {
    EngineHarness h("LAYER\nHOLD r = RND(1)\nOUT = r\n");
    h.start(0, 60);
    std::vector<float> left, right;
    h.render(256, left, right);
    const float first = left[0];
    EXPECT_NE(first, 0.0f);
    for (float v : left) ASSERT_EQ(v, first);
    h.render(256, left, right);
    EXPECT_EQ(left[255], first);
    EXPECT_NE(right[0], first);  // the right channel drew its own value

    h.engine->voices.releaseNoteVoices();
    h.render(16, left, right);
    h.start(0, 60);
    h.render(64, left, right);
    EXPECT_NE(left[0], first);
    EXPECT_EQ(left[63], left[0]);
}

TEST(RenderLoop, AVoiceThatNeverWritesOutEndsAfterATenthOfASecond) {
    EngineHarness h("LAYER\nx = 1\n");
    const int v = h.start(0, 60);
    ASSERT_GE(v, 0);
    std::vector<float> left, right;
    int blocks = 0;
    while (h.engine->voices[v].frequency > 0.0f && blocks < 100) {
        h.render(441, left, right);
        ++blocks;
    }
    // 4410 samples keep it; the block that ends past them frees it.
    EXPECT_EQ(blocks, 11);
    EXPECT_LT(h.engine->voices[v].frequency, 0.0f);
    EXPECT_EQ(h.engine->voices[v].operationCount, 0);
}

TEST(RenderLoop, PostReadsTheMixAndReplacesTheOutput) {
    EngineHarness h("POST\nOUT = OUT * 2 + 0.125\nLAYER\nOUT = 0.25\nLAYER\nOUT = JOIN(0.1, -0.1)\n");
    std::vector<float> left, right;
    h.render(8, left, right);
    EXPECT_FLOAT_EQ(left[0], 0.125f);  // POST alone
    h.start(0, 60);
    h.start(1, 60);
    h.render(8, left, right);
    EXPECT_FLOAT_EQ(left[3], (0.25f + 0.1f) * 2 + 0.125f);
    EXPECT_FLOAT_EQ(right[3], (0.25f - 0.1f) * 2 + 0.125f);
}

TEST(RenderLoop, WithoutPostTheMixIsWrittenUnchanged) {
    EngineHarness h("LAYER\nOUT = 0.25\nLAYER\nOUT = 0.5\n");
    h.start(0, 60);
    h.start(1, 60);
    std::vector<float> left, right;
    h.render(4, left, right);
    EXPECT_FLOAT_EQ(left[0], 0.75f);
    EXPECT_FLOAT_EQ(right[3], 0.75f);
}

TEST(RenderLoop, EffectModeAddsToTheHostBuffersAndInReadsTheHostInput) {
    EngineHarness h("LAYER\nOUT = IN * 0.5\n");
    std::vector<float> input(16, 0.5f), left(16, 0.25f), right(16, -0.25f);
    float* inputs[2] = {input.data(), input.data()};
    float* outputs[2] = {left.data(), right.data()};
    h.engine->process(inputs, outputs, 16, nullptr, true);
    EXPECT_EQ(left[5], 0.25f);  // no voice: the host's buffers stay as they were
    EXPECT_EQ(right[5], -0.25f);
    h.start(0, 60);
    h.engine->process(inputs, outputs, 16, nullptr, true);
    EXPECT_FLOAT_EQ(left[5], 0.5f);
    EXPECT_FLOAT_EQ(right[5], 0.0f);
}

TEST(RenderLoop, InstrumentModeClearsTheOutputAndInReadsTheInputCopy) {
    EngineHarness h("LAYER\nOUT = IN\n");
    h.start(0, 60);
    std::vector<float> inL(8, 0.3f), inR(8, -0.2f), left(8, 9.0f), right(8, 9.0f);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {left.data(), right.data()};
    h.engine->process(inputs, outputs, 8, nullptr, false);
    EXPECT_FLOAT_EQ(left[7], 0.3f);
    EXPECT_FLOAT_EQ(right[7], -0.2f);
}

TEST(RenderLoop, SendsAreScaledByTheCrossfadeGainAndReadByPost) {
    EngineHarness h("POST\nOUT = SENDS1 + SENDS4 * 10\nLAYER\nSENDS1 = 0.5\nSENDS4 = 0.01\nOUT = 0\n");
    const int v = h.start(0, 60);
    h.engine->voices[v].crossfadeGain = 0.5f;
    const int w = h.start(0, 62);
    h.engine->voices[w].crossfadeGain = 0.25f;
    std::vector<float> left, right;
    h.render(32, left, right);
    EXPECT_FLOAT_EQ(left[10], 0.5f * 0.75f + 0.01f * 0.75f * 10);
    EXPECT_FLOAT_EQ(right[31], left[10]);
}

TEST(RenderLoop, TheTransportStopLineIsLoggedOncePerStop) {
    EngineHarness h("LAYER\nOUT = 0\n", 2);
    h.log.clear();
    TransportInput time{};
    time.tempo = 120;
    time.numerator = 4;
    time.denominator = 4;
    std::vector<float> left, right;
    const std::int64_t positions[] = {0, 64, 128, 128, 128, 192, 192, 192};
    h.engine->noteCounter = 5;
    int resets = 0;
    for (std::int64_t position : positions) {
        time.samplePosition = position;
        h.render(64, left, right, &time);
        if (h.engine->noteCounter == 0) {
            ++resets;
            h.engine->noteCounter = 5;
        }
    }
    EXPECT_EQ(h.log.main.view(), "NOTEON counter reset.\r\nNOTEON counter reset.\r\n");
    EXPECT_EQ(resets, 2);
}

TEST(RenderLoop, IfComparesTheLeftChannel) {
    const std::string program =
        "LAYER\n"
        "s = JOIN(SIDE, -SIDE)\n"
        "o = 0.1\n"
        "IF s > 0 GOTO done\n"
        "o = 0.9\n"
        "LABEL done\n"
        "OUT = o\n";
    const struct {
        const char* side;
        float expected;
    } cases[] = {{"1", 0.1f}, {"-1", 0.9f}};
    for (const auto& c : cases) {
        std::string text = program;
        text.replace(text.find("SIDE"), 4, c.side);
        text.replace(text.find("SIDE"), 4, c.side);
        EngineHarness h(text);
        h.start(0, 60);
        std::vector<float> left, right;
        h.render(4, left, right);
        EXPECT_FLOAT_EQ(left[2], c.expected) << c.side;
        EXPECT_FLOAT_EQ(right[2], c.expected) << c.side;  // the right channel follows the left's jump
    }
}

TEST(RenderLoop, AJumpLoopCannotStallTheBlock) {
    // The label names the IF itself, so a true condition jumps back to it for ever.
    EngineHarness h("LAYER\nn = 0.5\nLABEL again\nIF n > 0 GOTO again\nOUT = n\n");
    h.start(0, 60);
    std::vector<float> left, right;
    h.render(64, left, right);  // returns: each sample stops after its bounded number of jumps
    EXPECT_EQ(h.engine->sampleClock, 64);
    EXPECT_EQ(left[10], 0.0f);  // OUT is never reached
}

TEST(RenderLoop, PostTimeCountsTheClockAndGainIsOne) {
    EngineHarness h("POST\nOUT = JOIN(TIME * 44100, GAIN)\n");
    std::vector<float> left, right;
    h.render(4, left, right);
    EXPECT_FLOAT_EQ(left[0], 0.0f);
    EXPECT_FLOAT_EQ(left[3], 3.0f);
    EXPECT_FLOAT_EQ(right[3], 1.0f);
    h.render(4, left, right);
    EXPECT_NEAR(left[0], 5.0f, 1e-3f);  // from the second block on TIME counts from -1
}

TEST(RenderLoop, BlocksLongerThanTheBuffersAreRenderedInSlices) {
    EngineHarness h("POST\nOUT = TIME\n");
    const int frames = Engine::kMaxBlock + 1000;
    std::vector<float> left, right;
    h.render(frames, left, right);
    EXPECT_EQ(h.engine->sampleClock, frames);
    const std::size_t edge = Engine::kMaxBlock;
    // TIME keeps counting across the slice boundary (the POST start time moves to -1 after
    // the first slice, which adds one sample).
    EXPECT_NEAR(left[edge - 1] * 44100.0f, static_cast<float>(edge - 1), 0.1f);
    EXPECT_NEAR(left[edge] * 44100.0f, static_cast<float>(edge + 1), 0.1f);
}

TEST(RenderLoop, ANewNoteReusesTheVoiceStorage) {
    EngineHarness h("LAYER\nOUT = SIN(TIME * 100) * 0.1 + 0.5\n");
    const int v = h.start(0, 60);
    const compiler::Operation* operations = h.engine->voices[v].operations.data();
    const Stereo* registers = h.engine->voices[v].registers.data();
    h.engine->voices.releaseNoteVoices();
    std::vector<float> left, right;
    h.render(8, left, right);
    EXPECT_EQ(h.start(0, 62), v);
    EXPECT_EQ(h.engine->voices[v].operations.data(), operations);
    EXPECT_EQ(h.engine->voices[v].registers.data(), registers);
    // The copy equals the layer's program, with fresh running state.
    const compiler::LayerProgram& program = h.compiler->instrument().layers[0];
    ASSERT_EQ(h.engine->voices[v].operationCount, program.operationCount());
    for (int i = 0; i < program.slotCount; ++i) {
        EXPECT_EQ(h.engine->voices[v].slot(i).l, program.left[static_cast<std::size_t>(i)]);
        EXPECT_EQ(h.engine->voices[v].slot(i).r, program.right[static_cast<std::size_t>(i)]);
    }
}

TEST(RenderLoop, ControllerKeywordsReadTheControllerSpace) {
    EngineHarness h("LAYER\nOUT = JOIN(BPM, MCC(145))\n");
    h.start(0, 60);
    TransportInput time{};
    time.tempo = 96;
    time.numerator = 3;
    time.denominator = 4;
    std::vector<float> left, right;
    h.render(4, left, right, &time);
    EXPECT_FLOAT_EQ(left[0], 96.0f);
    EXPECT_FLOAT_EQ(right[0], 44100.0f);
    EXPECT_NEAR(h.engine->transport.samplesPerBar, 3 * 60.0 / 96 * 44100, 1e-6);
}

}  // namespace
}  // namespace tess
