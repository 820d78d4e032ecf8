// Which layers a note-on sounds: key and velocity ranges, ON conditions (round robin, first,
// legato, channel, controllers), OFF triggers, group releases. The layer directives that set
// these conditions come later; the tests set the layer settings directly after the load.
#include <gtest/gtest.h>

#include "compiler/InstrumentCompiler.h"
#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;
using compiler::LayerSettings;

std::string twoSineLayers() { return std::string(kSineLayer) + kSineLayer; }

LayerSettings& layer(PluginHarness& host, int index) {
    return host.plugin().compiler->instrument().layers[static_cast<std::size_t>(index)].settings;
}

void addOn(LayerSettings& s, int mcc, float lo, float hi) {
    s.onTriggers[static_cast<std::size_t>(s.onTriggerCount++)] = {lo, hi, static_cast<std::int16_t>(mcc)};
}
void addOff(LayerSettings& s, int mcc, float lo, float hi, float release = 0.0f) {
    s.offTriggers[static_cast<std::size_t>(s.offTriggerCount++)] = {lo, hi, release, static_cast<std::int16_t>(mcc)};
}

TEST(LayerSelection, KeyAndVelocityRangesAreInclusive) {
    PluginHarness host(twoSineLayers());
    LayerSettings& low = layer(host, 0);
    low.keyMax = 59;
    LayerSettings& soft = layer(host, 1);
    soft.keyMin = 60;
    soft.velocityMax = 64;
    const struct {
        int key, velocity, voices;
    } cases[] = {{59, 127, 1}, {60, 64, 1}, {60, 65, 0}, {40, 10, 1}};
    for (const auto& c : cases) {
        host.render(512, {noteOn(0, c.key, c.velocity)});
        int started = 0;
        for (int i = 0; i < VoiceTable::kNoteVoices; ++i)
            started += host.voice(i).active() && host.voice(i).releaseTime < 0 ? 1 : 0;
        EXPECT_EQ(started, c.voices) << c.key << "/" << c.velocity;
        host.render(8192, {noteOff(0, c.key)});
    }
}

TEST(LayerSelection, RoundRobinAlternatesLayersAndCountsEachNoteOnce) {
    PluginHarness host(twoSineLayers());
    addOn(layer(host, 0), mcc::kTriggerRoundRobin, 0, 2);
    addOn(layer(host, 1), mcc::kTriggerRoundRobin, 1, 2);
    layer(host, 1).baseFrequency = 880.0f;  // layer 2 sounds an octave above
    host.block(64);
    const int counterBefore = host.engine().noteCounter;
    for (int note = 0; note < 4; ++note) {
        const std::vector<float> out = host.render(8192, {noteOn(0, 69), noteOff(4410, 69)});
        const std::vector<float> held = slice(out, 100, 4400);
        const double expected = note % 2 == 0 ? 440.0 : 880.0;
        EXPECT_NEAR(measuredFrequency(held, kRate), expected, 0.5) << "note " << note;
        EXPECT_EQ(host.engine().noteCounter, counterBefore + note + 1);
    }
}

TEST(LayerSelection, ARoundRobinWhoseDivisorIsBelowOneNeverSounds) {
    PluginHarness host(kSineLayer);
    addOn(layer(host, 0), mcc::kTriggerRoundRobin, 0, 0.5f);
    host.render(2048, {noteOn(0, 60)});
    EXPECT_EQ(host.activeVoices(), 0);
}

TEST(LayerSelection, FirstAndLegatoLayers) {
    PluginHarness host(twoSineLayers());
    addOn(layer(host, 0), mcc::kTriggerFirst, 0, 127);
    addOn(layer(host, 1), mcc::kTriggerLegato, 0, 127);
    layer(host, 1).baseFrequency = 880.0f;
    const std::vector<float> first = host.render(8192, {noteOn(0, 69)});
    EXPECT_NEAR(measuredFrequency(slice(first, 100, 8192), kRate), 440.0, 0.5);  // layer 1 only
    const std::vector<float> both = host.render(8192, {noteOn(0, 57)});
    // Key 57 while 69 is held: legato (layer 2, 880 * 2^-1 = 440 Hz at key 57), not first.
    EXPECT_EQ(host.activeVoices(), 2);
    const Voice* legato = host.voiceOn(57);
    ASSERT_NE(legato, nullptr);
    EXPECT_EQ(legato->layer, 1);
    EXPECT_NEAR(legato->frequency, 440.0f, 0.01f);
    // The same key again while it is held is not legato (no other key) and not first.
    host.render(512, {noteOff(0, 57)});
    host.render(4096);
    host.render(512, {noteOn(0, 69)});
    int onSixtyNine = 0;
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i)
        onSixtyNine += host.voice(i).active() && host.voice(i).midiKey == 69 ? 1 : 0;
    EXPECT_EQ(onSixtyNine, 1);
}

TEST(LayerSelection, ChannelCondition) {
    PluginHarness host(kSineLayer);
    addOn(layer(host, 0), mcc::kTriggerChannel, 2, 3);
    host.render(512, {noteOn(0, 60, 100, 1), noteOn(1, 61, 100, 2), noteOn(2, 62, 100, 3), noteOn(3, 63, 100, 4)});
    EXPECT_EQ(host.voiceOn(60), nullptr);
    EXPECT_NE(host.voiceOn(61), nullptr);
    EXPECT_NE(host.voiceOn(62), nullptr);
    EXPECT_EQ(host.voiceOn(63), nullptr);
}

// A POST section that reads CC 64 every sample lets the smoothed value settle, as a playing
// instrument that uses the controller does.
const char* kReadsSustain = "POST\nOUT = OUT + MCC(64) * 0\n";

TEST(LayerSelection, AnOffTriggerOnTheSustainControllerKeepsTheLayerSilent) {
    PluginHarness host(std::string(kReadsSustain) + kSineLayer);
    addOff(layer(host, 0), 64, 64, 127);
    const std::vector<float> pedalDown = host.render(44100, {controlChange(0, 64, 100), noteOn(22050, 60)});
    EXPECT_EQ(host.activeVoices(), 0);
    EXPECT_EQ(peakLevel(pedalDown), 0.0f);
    const std::vector<float> pedalUp = host.render(44100, {controlChange(0, 64, 0), noteOn(22050, 60)});
    EXPECT_EQ(host.activeVoices(), 1);
    EXPECT_EQ(onsetSample(pedalUp), 22051);
}

TEST(LayerSelection, AControllerConditionSeesTheSmoothedValue) {
    PluginHarness host(kSineLayer);
    addOn(layer(host, 0), 1, 64, 127);
    // Nothing reads CC 1 between the change and the note: one smoothing step from 0.
    host.render(512, {controlChange(0, 1, 127), noteOn(100, 60)});
    EXPECT_EQ(host.activeVoices(), 0);
}

TEST(LayerSelection, AnOffTriggerReleasesTheLayerWithItsForcedReleaseTime) {
    PluginHarness host(twoSineLayers());
    addOff(layer(host, 0), 64, 100, 127, 0.05f);
    layer(host, 1).keyMin = 100;  // layer 2 does not sound key 60
    host.render(512, {noteOn(0, 60), noteOn(0, 61, 100, 1)});
    host.block(256, {controlChange(10, 64, 110)});
    Voice* onChannelZero = host.voiceOn(60);
    Voice* onChannelOne = host.voiceOn(61);
    ASSERT_NE(onChannelZero, nullptr);
    ASSERT_NE(onChannelOne, nullptr);
    EXPECT_EQ(onChannelZero->releaseTime, 512 + 10 + 1);
    EXPECT_FLOAT_EQ(onChannelZero->forcedReleaseTime, 0.05f);
    EXPECT_LT(onChannelOne->releaseTime, 0);
    host.block(256, {controlChange(0, 64, 120)});
    EXPECT_FLOAT_EQ(onChannelZero->forcedReleaseTime, 0.05f);  // the shorter one stays
}

TEST(LayerSelection, AGroupReleasesTheOtherKeysOfItsGroup) {
    PluginHarness host(kSineLayer);
    LayerSettings& hats = layer(host, 0);
    hats.group = 3;
    addOff(hats, 1000, 3, 3);
    host.render(512, {noteOn(0, 42)});
    host.render(512, {noteOn(0, 46)});
    ASSERT_NE(host.voiceOn(42), nullptr);
    EXPECT_GE(host.voiceOn(42)->releaseTime, 0);
    ASSERT_NE(host.voiceOn(46), nullptr);
    EXPECT_LT(host.voiceOn(46)->releaseTime, 0);  // not the key just played
}

}  // namespace
}  // namespace tess::test
