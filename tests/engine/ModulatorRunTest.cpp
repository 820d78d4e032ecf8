// The layer modulators over a run against the same modulators one sample at a time: each
// modulator run through the run on its own, then combined per sample, must give the registers,
// the lowest stage and the state that modulateWith gives sample by sample, bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/VoiceModulation.h"

namespace tess {
namespace {

using Target = compiler::LayerModulation::Target;

const compiler::LfoPart kVibrato{0, 1.0f, 50.0f / 1200.0f, 5.0f, 0.02f, -0.03f, 0.05f};
const compiler::LfoPart kNoise{5, 0.0f, 0.1f, 3.0f, 0.0f, 0.01f, -0.02f};
const compiler::LfoPart kSaw{3, 0.5f, 0.5f, 10.0f, 0.0f, 0.0f, 0.02f};
const compiler::LfoPart kTremolo{1, 0.3f, -0.2f, 6.0f, 0.01f, 0.02f, 0.01f};
const compiler::EnvelopePart kGainEnvelope{1.0f, 0.005f, 0.01f, 0.003f, -0.05f, 0.4f, 0.03f};
const compiler::EnvelopePart kCutoffEnvelope{2.0f, 0.0f, -0.01f, 0.0f, 0.1f, 0.2f, -0.05f};
const compiler::EnvelopePart kPitchEnvelope{-0.5f, 0.0f, 0.002f, 0.01f, -0.02f, 0.0f, 0.01f};
const compiler::LfoPart kNoLfo{};
const compiler::EnvelopePart kNoEnvelope{};

struct ModulatorCase {
    const char* name;
    compiler::LfoPart lfo[4];            // frequency, gain, filter, phase
    compiler::EnvelopePart envelope[3];  // frequency, gain, filter
    std::int64_t startTime, releaseTime;
    int total;
    std::int64_t pedalFrom = -1;   // the pedal holds the note in runs from this time on
    std::int64_t forcedFrom = -1;  // a forced release of 20 ms in runs from this time on
    bool fresh = true;
    std::int64_t legatoAt = -1;  // the voice is re-used legato, starting again at this time
};

const ModulatorCase kCases[] = {
    {"AllTargetsNoteOffInsideARun", {kVibrato, kTremolo, kSaw, kSaw}, {kPitchEnvelope, kGainEnvelope, kCutoffEnvelope},
     0, 3000, 6000},
    {"PedalHeldReleaseTakesTheDecay", {kNoLfo, kNoLfo, kNoLfo, kNoLfo}, {kNoEnvelope, kGainEnvelope, kCutoffEnvelope},
     0, 2000, 5000, 1792},
    {"ForcedRelease", {kVibrato, kNoLfo, kNoLfo, kNoLfo}, {kNoEnvelope, kGainEnvelope, kNoEnvelope},
     0, 2100, 5000, -1, 2048},
    {"GainLfoAloneHasAnOffEnvelope", {kNoLfo, kTremolo, kNoLfo, kNoLfo}, {kNoEnvelope, kNoEnvelope, kNoEnvelope},
     0, 2500, 4000},
    {"OneNoiseLfo", {kNoise, kNoLfo, kNoLfo, kSaw}, {kNoEnvelope, kGainEnvelope, kNoEnvelope}, 0, 2500, 4000},
    {"NotFresh", {kVibrato, kNoLfo, kNoLfo, kNoLfo}, {kNoEnvelope, kGainEnvelope, kNoEnvelope}, 0, 2500, 4000, -1,
     -1, false},
    {"StartInsideTheRun", {kVibrato, kTremolo, kNoLfo, kNoLfo}, {kPitchEnvelope, kGainEnvelope, kNoEnvelope},
     100, 2500, 4000},
    {"LegatoRestart", {kVibrato, kNoLfo, kNoLfo, kNoLfo}, {kPitchEnvelope, kGainEnvelope, kCutoffEnvelope},
     0, 5000, 6000, -1, -1, false, 1500},
    {"ReleasedBeforeTheStart", {kVibrato, kNoLfo, kNoLfo, kNoLfo}, {kNoEnvelope, kGainEnvelope, kNoEnvelope},
     300, 200, 2000},
};

compiler::LayerModulation layerOf(const ModulatorCase& c) {
    compiler::LayerModulation layer;
    for (int k = 0; k < 4; ++k) layer.lfo[k] = c.lfo[k];
    for (int k = 0; k < 3; ++k) layer.envelope[k] = c.envelope[k];
    // Scales from COMPLEXMOD (no controllers: each reads 1), so that every part is weighted.
    layer.complex = {{3, -1, -1, 0.5f}, {7, -1, -1, 2.0f}, {10, -1, -1, 0.75f}, {12, -1, -1, 1.5f}};
    layer.cutoffSetting = 3.0f;
    return layer;
}

void expectSameBits(float a, float b, const char* what, const ModulatorCase& c, int runLength, std::int64_t t) {
    ASSERT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b))
        << what << " of " << c.name << ", runs of " << runLength << ", sample " << t;
}

void expectSameAsSingleSamples(const ModulatorCase& c, int runLength) {
    const compiler::LayerModulation layer = layerOf(c);
    ControllerSpace controllers;
    env::ModulatorStart start;
    start.controllers = &controllers;
    // Two voices' worth of state, one for each form; each has its own noise source.
    VoiceModulation single, run;
    startVoiceModulation(single, layer, start);
    startVoiceModulation(run, layer, start);
    ASSERT_TRUE(modulatorsRunApart(run));
    Noise singleNoise, runNoise;
    auto modulatorRun = std::make_unique<ModulatorRun>();

    env::EnvelopeTiming timing;
    timing.startTime = c.startTime;
    timing.releaseTime = c.releaseTime;
    ModulationSample sample;
    sample.controllers = &controllers;
    sample.timing = &timing;
    sample.midiKey = 60;
    sample.fresh = c.fresh;
    float lowest = 5.0f;
    sample.lowestStage = &lowest;
    const ListedModulation listed = modulateLists(single, sample, 440.0f, 0.8f);

    for (int t0 = 0; t0 < c.total; t0 += runLength) {
        const int n = std::min(runLength, c.total - t0);
        if (c.legatoAt >= t0 && c.legatoAt < t0 + n) {
            // A legato re-use: the envelopes go on from their levels, the note starts again.
            start.keepEnvelope = true;
            start.t = c.legatoAt;
            startVoiceModulation(single, layer, start);
            startVoiceModulation(run, layer, start);
            timing.startTime = c.legatoAt;
            timing.blockStart = t0;
        }
        timing.pedalHeld = c.pedalFrom >= 0 && t0 >= c.pedalFrom;
        timing.forcedReleaseTime = c.forcedFrom >= 0 && t0 >= c.forcedFrom ? 0.02f : 0.0f;
        timing.t = t0;
        sample.noise = &runNoise;
        runModulators(run, sample, *modulatorRun, n);
        combineModulators(run, listed, *modulatorRun, 440.0f, n);
        sample.noise = &singleNoise;
        for (int i = 0; i < n; ++i) {
            timing.t = t0 + i;
            lowest = 5.0f;
            const ModulatedRegisters expected = modulateWith(single, listed, sample, 440.0f);
            const ModulatorRun& got = *modulatorRun;
            expectSameBits(got.frequency[i], expected.frequency, "FREQ", c, runLength, timing.t);
            expectSameBits(got.gain[i], expected.gain, "GAIN", c, runLength, timing.t);
            expectSameBits(got.defaultFc[i], expected.defaultFc, "DEFAULTFC", c, runLength, timing.t);
            expectSameBits(got.phase[i], expected.phase, "phase", c, runLength, timing.t);
            ASSERT_EQ(modulatorRun->keepsAlive, lowest == 0.0f) << c.name << " sample " << timing.t;
        }
    }
    for (int k = 0; k < VoiceModulation::Count; ++k) {
        SCOPED_TRACE(k);
        const env::VoiceModulator& a = single.modulators[k];
        const env::VoiceModulator& b = run.modulators[k];
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a.phase), std::bit_cast<std::uint32_t>(b.phase));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a.fade.stage), std::bit_cast<std::uint64_t>(b.fade.stage));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a.envelope.stage), std::bit_cast<std::uint64_t>(b.envelope.stage));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a.envelope.level), std::bit_cast<std::uint32_t>(b.envelope.level));
    }
    EXPECT_EQ(singleNoise.next(), runNoise.next()) << "the same number of noise draws";
}

class ModulatorsOverARun : public ::testing::TestWithParam<ModulatorCase> {};

TEST_P(ModulatorsOverARun, EqualTheSingleSampleForm) {
    for (const int runLength : {256, 37}) expectSameAsSingleSamples(GetParam(), runLength);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModulatorsOverARun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ModulatorCase>& info) { return std::string(info.param.name); });

TEST(ModulatorsOverARunRule, TwoNoiseLfosStaySampleBySample) {
    const struct {
        compiler::LfoPart frequency, gain, filter;
        bool apart;
    } cases[] = {
        {kNoise, kNoLfo, kVibrato, true},
        {kNoise, kNoise, kNoLfo, false},
        {kNoise, kTremolo, kNoise, false},
        {kVibrato, kTremolo, kSaw, true},
    };
    for (const auto& c : cases) {
        compiler::LayerModulation layer;
        layer.lfo[Target::Frequency] = c.frequency;
        layer.lfo[Target::Gain] = c.gain;
        layer.lfo[Target::Filter] = c.filter;
        VoiceModulation m;
        startVoiceModulation(m, layer, env::ModulatorStart{});
        EXPECT_EQ(modulatorsRunApart(m), c.apart);
    }
}

}  // namespace
}  // namespace tess
