// The layer directives heard through the plug-in's VST interface: tuning and gain, crossfades,
// round robin, first and legato layers, groups and the layer's own ROUNDF tuning.
#include <gtest/gtest.h>

#include <cmath>

#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;

// A sine at FREQ with the level GAIN × 0.2 that stops at the note's release.
const char* kGainSine =
    "OUT = SIN(6.2831853 * FREQ * TIME) * GAIN * 0.2 * (SAT((DURATION - TIME) * 100000 + 1) + 1) * 0.5\n";

std::string layer(const std::string& directives) { return "LAYER\n" + directives + kGainSine; }

TEST(LayerTuning, BaseFrequencyKeyTrackingKeyCentreAndGain) {
    const struct {
        const char* text;
        int key;
        int velocity;
        double hertz;
        double level;
    } cases[] = {
        {"BASEF 261.63\nKEYCENTER 60\n", 60, 127, 261.63, 0.2},
        {"KEYTRACK 0.5\n", 81, 127, 440.0 * std::sqrt(2.0), 0.2},
        {"KEYTRACK 0\nBASEF 100\n", 30, 127, 100.0, 0.2},
        {"BASEG 0.5\n", 69, 127, 440.0, 0.1},
        {"VELTRACK 1\n", 69, 64, 440.0, 0.2 * 64 / 127.0},
        {"VELTRACK 0\n", 69, 1, 440.0, 0.2},
        // Set in COMMON, used by the layer; a layer value below the bound keeps the default.
        {"COMMON", 60, 127, 523.25, 0.2},
    };
    for (const auto& c : cases) {
        const std::string text = std::string(c.text) == "COMMON" ? "BASEF 523.25\nKEYCENTER 60\n" + layer("BASEF 0\n")
                                                                  : layer(c.text);
        PluginHarness host(text);
        const std::vector<float> out = host.render(22050, {noteOn(0, c.key, c.velocity)});
        EXPECT_NEAR(measuredFrequency(slice(out, 100, 22050), kRate), c.hertz, c.hertz * 1e-4) << c.text;
        EXPECT_NEAR(peakLevel(out), c.level, 1e-3) << c.text;
    }
}

TEST(LayerTuning, ControllerValuedBaseFrequency) {
    // BASEF $7 reads CC 7 (as value / 128) when the note starts; with KEYTRACK 0 the voice's
    // frequency is that value.
    PluginHarness host("BASEF $7\n" + layer("KEYTRACK 0\n"));
    host.render(512, {controlChange(0, 7, 64)});
    host.render(512, {noteOn(0, 60)});
    ASSERT_NE(host.voiceOn(60), nullptr);
    EXPECT_FLOAT_EQ(host.voiceOn(60)->frequency, 0.5f);
}

TEST(LayerTuning, RoundfSnapsToTheLayersOwnTuning) {
    // A layer tuned to 432 Hz: 2 % above its key lies 34 cents above the key on its own grid,
    // so ROUNDF gives the key's frequency back (on a 440 Hz grid it would give 440).
    PluginHarness host("LAYER\nBASEF 432\nOUT = SIN(6.2831853 * ROUNDF(FREQ * 1.02) * TIME) * 0.2\n");
    const std::vector<float> out = host.render(22050, {noteOn(0, 69)});
    EXPECT_NEAR(measuredFrequency(slice(out, 100, 22050), kRate), 432.0, 0.05);
    PluginHarness octaves("LAYER\nKEYTRACK 2\nOUT = SIN(6.2831853 * ROUNDF(FREQ * 1.3) * TIME) * 0.2\n");
    // Key 70 at KEYTRACK 2 is 440 × 2^(1/6); a step of 2 semitones on this grid is a 1/3 octave.
    const std::vector<float> stretched = octaves.render(22050, {noteOn(0, 70)});
    EXPECT_NEAR(measuredFrequency(slice(stretched, 100, 22050), kRate), 440.0 * std::pow(2.0, 3.0 / 6.0), 0.05);
}

TEST(LayerCrossfade, AModWheelCrossfadeAfterTheControllerSettled) {
    // A POST section reads CC 1 every sample, so its smoothed value settles as in a playing
    // instrument; the crossfade takes that value when the note starts.
    const struct {
        int curve;
        double gain;
    } cases[] = {{0, 64 * 1.0001 / 127}, {1, std::sqrt(64 * 1.0001 / 127)}, {2, std::pow(10.0, (64 * 1.0001 / 127 - 1) * 3)}};
    for (const auto& c : cases) {
        PluginHarness host("POST\nOUT = OUT + MCC(1) * 0\n" +
                           layer("XFADE 0, 1, 0, 127, " + std::to_string(c.curve) + "\n"));
        host.render(44100, {controlChange(0, 1, 64)});
        const std::vector<float> out = host.render(22050, {noteOn(0, 69, 127)});
        EXPECT_NEAR(peakLevel(out) / 0.2, c.gain, 1e-3) << c.curve;
    }
    EXPECT_NEAR(64 * 1.0001 / 127, 0.504, 1e-3);
    EXPECT_NEAR(std::sqrt(64 * 1.0001 / 127), 0.71, 1e-3);
}

TEST(LayerCrossfade, FadedOutLayersTakeNoVoice) {
    // Two layers over CC 1: one fades out, the other in. At 0 only the first sounds.
    PluginHarness host("POST\nOUT = OUT + MCC(1) * 0\n" + layer("XFADE 1, 1, 0, 127\n") +
                       layer("XFADE 0, 1, 0, 127\nBASEF 880\n"));
    host.render(512, {noteOn(0, 69, 127)});
    EXPECT_EQ(host.activeVoices(), 1);
    const std::vector<float> out = host.render(22050);
    EXPECT_NEAR(measuredFrequency(slice(out, 0, 22050), kRate), 440.0, 0.05);
}

TEST(LayerTriggers, TwoRoundRobinLayersAlternateOnRepeatedNotes) {
    PluginHarness host(layer("ONRROBIN 0, 2\n") + layer("ONRROBIN 1, 2\nBASEG 0.25\n"));
    for (int note = 0; note < 6; ++note) {
        const std::vector<float> out = host.render(8192, {noteOn(0, 69, 127), noteOff(4410, 69)});
        const double expected = note % 2 == 0 ? 0.2 : 0.05;
        EXPECT_NEAR(peakLevel(out), expected, 1e-3) << "note " << note;
    }
}

TEST(LayerTriggers, FirstAndLegatoLayersCountNotesWhoseReleaseIsAhead) {
    // Key 60 plays an arpeggio whose notes end by themselves (their release is set ahead of
    // time). While one of them sounds, key 40 is not a first note but a legato one.
    const std::string text = "ARPEGGIO -1, 60, 60, 1, 0, 0, 0.5, 1, 12, 0.5, 0.5, 1\n" + layer("ONFIRST 0, 127\n") +
                             layer("ONLEGATO 0, 127\nBASEF 880\n");
    PluginHarness host(text);
    host.render(4410, {noteOn(0, 60, 127)});
    const Voice* arpeggio = host.voiceOn(60);
    ASSERT_NE(arpeggio, nullptr);
    ASSERT_GT(arpeggio->releaseTime, 4410 + 512);  // set ahead of time, not yet reached
    host.render(512, {noteOn(0, 40, 127)});
    const Voice* forty = host.voiceOn(40);
    ASSERT_NE(forty, nullptr);
    EXPECT_EQ(forty->layer, 1);
}

TEST(LayerTriggers, OffGroupReleasesTheOtherKeysOfTheGroup) {
    // Open and closed hi-hat: a note of group 1 releases the sounding notes of the layer whose
    // OFF trigger names group 1, except the key just played.
    PluginHarness host("GROUP 1\nOFFGROUP 1, 0.01\n" + layer(""));
    host.render(4410, {noteOn(0, 46, 127)});
    host.render(256, {noteOn(0, 42, 127)});
    ASSERT_NE(host.voiceOn(46), nullptr);
    EXPECT_GE(host.voiceOn(46)->releaseTime, 0);
    EXPECT_FLOAT_EQ(host.voiceOn(46)->forcedReleaseTime, 0.01f);
    EXPECT_LT(host.voiceOn(42)->releaseTime, 0);
}

TEST(LayerTriggers, ControllerOnTriggerAndNoteOnRanges) {
    PluginHarness host("POST\nOUT = OUT + MCC(64) * 0\n" + layer("ONMCCT 64, 64, 127\nONNOTEON 60, 72, 0, 100\n"));
    host.render(44100, {controlChange(0, 64, 100)});
    host.render(512, {noteOn(0, 59, 90), noteOn(0, 61, 90), noteOn(0, 62, 110)});
    EXPECT_EQ(host.activeVoices(), 1);
    EXPECT_NE(host.voiceOn(61), nullptr);
    host.render(44100, {controlChange(0, 64, 0)});
    host.render(512, {noteOn(0, 63, 90)});
    EXPECT_EQ(host.voiceOn(63), nullptr);
}

}  // namespace
}  // namespace tess::test
