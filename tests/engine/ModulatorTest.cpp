// The stage functions and the voice modulation as pure functions of their state: the restart
// rules, ENVCURVE's attack search, the modulators' off envelope and forced release, and the
// order and controller reading of the layer modulation.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/VoiceModulation.h"
#include "engine/envelopes/Envelopes.h"
#include "engine/envelopes/VoiceModulator.h"

namespace tess {
namespace {

env::EnvelopeTiming heldAt(std::int64_t t) {
    env::EnvelopeTiming timing;
    timing.t = t;
    timing.startTime = 0;
    timing.releaseTime = 1'000'000;
    return timing;
}

TEST(StageModel, RestartRulesFromALevel) {
    // A delayed envelope continues inside its attack, or at the hold, or takes its delay.
    EXPECT_FLOAT_EQ(env::delayedRestartStage(0.5f, false), 1.5f);
    EXPECT_FLOAT_EQ(env::delayedRestartStage(1.0f, false), 2.0f);
    EXPECT_FLOAT_EQ(env::delayedRestartStage(0.00005f, false), 0.0f);
    EXPECT_NEAR(env::delayedRestartStage(0.5f, true), 1.0f + -0.2f * std::log(1.0f - 0.9932621f * 0.5f), 1e-6f);
    EXPECT_FLOAT_EQ(env::delayedRestartStage(3.0f, false), 2.0f);  // clamped to 1 first
    // The fades and ENV skip their delay as soon as there is a level.
    EXPECT_EQ(env::skipDelayStage(0.0005f, false), 0.0f);
    EXPECT_EQ(env::skipDelayStage(0.002f, false), 1.0f);
}

TEST(StageModel, TheFadeReportsTheEndOfItsDelayOnce) {
    env::EnvelopeState fade;
    env::FadeSegments segments;
    segments.delayStep = 0.25f;
    segments.fadeIn = {0.5f, false};
    int ends = 0;
    int endedAt = -1;
    for (int i = 0; i < 10; ++i)
        if (env::runFade(fade, segments, false)) {
            ++ends;
            endedAt = i;
        }
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(endedAt, 3);
    // Two samples of fade-in (0, 0.5), then four of the settle towards 1.
    EXPECT_NEAR(fade.level, 1.0f - 0.5f * std::pow(0.999f, 4.0f), 1e-6f);
}

TEST(EnvCurve, TheAttackRestartsWhereTheCurveHasTheLevel) {
    CurveTable curves;
    const float xs[] = {0.0f, 0.5f, 1.0f, 2.0f};
    const float ys[] = {0.0f, 0.2f, 1.0f, 0.5f};
    curves.set(3, xs, ys, 4);
    const float shortXs[] = {0.0f, 0.5f};
    const float shortYs[] = {0.0f, 1.0f};
    curves.set(4, shortXs, shortYs, 2);
    curves.set(5, xs, ys, 1);
    const struct {
        float curve, level, stage;
    } cases[] = {
        {3, 0.0f, 0.0f},           // the first point: x 0, stage below 1.001
        {3, 0.2f, 1.5f},           // exactly the second point
        {3, 0.65f, 1.78125f},      // nearest 1.0 at x 1, towards 0.2 at x 0.5 (not the decay's 0.5)
        {3, 0.1f, 1.25f},          // between 0 and 0.2
        {3, 1.5f, 2.0f},           // clamped to 1: the third point, x 1
        {4, 0.9f, 2.0f},           // the nearest point is the curve's last: the decay
        {5, 0.5f, 0.0f},           // fewer than two points
        {-3, 0.5f, 0.0f},          // a built-in shape has no points
        {300, 0.5f, 0.0f},         // no curve
    };
    for (const auto& c : cases)
        EXPECT_NEAR(env::curveRestartStage(curves, c.curve, c.level), c.stage, 1e-5f) << c.curve << " " << c.level;
}

TEST(VoiceModulator, AGainLfoAloneHasAnOffEnvelopeOfDepthOne) {
    compiler::LfoPart lfo;
    lfo.depth = 0.3f;
    lfo.frequency = 5.0f;
    lfo.shape = 1.0f;
    env::ModulatorStart start;
    env::VoiceModulator gain, frequency;
    env::startVoiceModulator(gain, lfo, compiler::EnvelopePart{}, 1.0f, start);
    env::startVoiceModulator(frequency, lfo, compiler::EnvelopePart{}, 0.0f, start);
    EXPECT_TRUE(gain.envelopeOff);
    EXPECT_EQ(gain.envDepth, 1.0f);
    EXPECT_FALSE(frequency.envelopeOff);
    EXPECT_EQ(frequency.envDepth, 0.0f);
    Noise noise;
    EXPECT_EQ(env::runVoiceModulator(gain, heldAt(0), true, noise).envelope, 1.0f);
    EXPECT_EQ(env::runVoiceModulator(frequency, heldAt(0), true, noise).envelope, 0.0f);
    // Neither part given: the modulator does not run at all.
    env::VoiceModulator none;
    env::startVoiceModulator(none, compiler::LfoPart{}, compiler::EnvelopePart{}, 1.0f, start);
    EXPECT_FALSE(none.active());
}

TEST(VoiceModulator, AForcedReleaseTimeIsATimeNotAStep) {
    compiler::EnvelopePart part{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, -2.0f};  // sustain 1, release 2 s
    env::ModulatorStart start;
    env::VoiceModulator m;
    env::startVoiceModulator(m, compiler::LfoPart{}, part, 0.0f, start);
    Noise noise;
    env::EnvelopeTiming timing = heldAt(0);
    for (std::int64_t t = 0; t < 2000; ++t) {
        timing.t = t;
        env::runVoiceModulator(m, timing, true, noise);
    }
    timing.releaseTime = 2000;
    timing.forcedReleaseTime = 0.01f;  // 441 samples at 44.1 kHz
    float level = 0.0f;
    for (std::int64_t t = 2000; t <= 2000 + 220; ++t) {
        timing.t = t;
        level = env::runVoiceModulator(m, timing, true, noise).envelope;
    }
    EXPECT_NEAR(level, 0.5f, 0.01f);  // half way down a linear 10 ms release
}

TEST(VoiceModulator, ControllerValuesAreReadWhenTheVoiceStarts) {
    ControllerSpace controllers;
    controllers.writeMidi(7, 64.0f, 0);
    compiler::LfoPart lfo;
    lfo.depth = 10007.1f;     // CC 7: 0.5
    lfo.frequency = -2.0f;    // one cycle per 2 bars
    lfo.wave = 10007;         // wave from CC 7 (0.5 truncated: 0)
    env::ModulatorStart start;
    start.controllers = &controllers;
    start.barsPerSecond = 0.5f;
    env::VoiceModulator m;
    env::startVoiceModulator(m, lfo, compiler::EnvelopePart{}, 0.0f, start);
    EXPECT_EQ(m.lfoDepth, 0.5f);
    EXPECT_EQ(m.wave, 0);
    EXPECT_FLOAT_EQ(m.increment, 0.25f * 6.2831855f / 44100.0f);
}

TEST(LayerModulation, StepsInOrderWithTheirControllers) {
    ControllerSpace controllers;
    controllers.writeMidi(mcc::kPolyAftertouchBase + 60, 64.0f, 0);  // the note's own pressure
    compiler::LayerModulation layer;
    layer.couples[0] = {{132, 1.0f}};  // FREQMOD on POLYAFT: an octave per unit of pressure
    // COMPLEXMOD: no controllers (-1 reads 1); the frequency envelope scaled by 0, and the
    // gain by -1 dB (stored as -1 × 0.05).
    layer.complex = {{3, -1, -1, 0.0f}, {1, -1, -1, -0.05f}};
    layer.envelope[0] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};  // FREQENV: an octave, held
    layer.cutoffSetting = 2.0f;
    VoiceModulation m;
    env::ModulatorStart start;
    start.controllers = &controllers;
    startVoiceModulation(m, layer, start);
    ASSERT_TRUE(m.anyModulator);
    ASSERT_TRUE(m.anyList);
    Noise noise;
    env::EnvelopeTiming timing = heldAt(0);
    ModulationSample sample;
    sample.controllers = &controllers;
    sample.timing = &timing;
    sample.midiKey = 60;
    sample.noise = &noise;
    float lowest = 5.0f;
    sample.lowestStage = &lowest;
    ModulatedRegisters r;
    for (std::int64_t t = 0; t < 20000; ++t) {
        timing.t = t;
        r = modulate(m, sample, 440.0f, 1.0f);
    }
    const float pressure = 0.5f * 1.0001f;  // 64 / 128, settled by the smoothing
    EXPECT_NEAR(r.frequency, 440.0f * std::exp2(pressure), 0.05f);
    EXPECT_NEAR(r.gain, std::pow(10.0f, -0.05f), 1e-5f);
    EXPECT_NEAR(r.defaultFc, 2.0f * r.frequency, 1e-3f);
    EXPECT_EQ(lowest, 0.0f);  // a running modulator keeps the note while it is held
    // Released before its start: the modulator no longer holds the note.
    timing.releaseTime = -5;
    lowest = 5.0f;
    modulate(m, sample, 440.0f, 1.0f);
    EXPECT_EQ(lowest, 5.0f);
}

}  // namespace
}  // namespace tess
