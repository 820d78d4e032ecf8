// The layer modulation through the plug-in's VST interface: couples, modulators, COMPLEXMOD and
// DEFAULTFC, measured on the rendered audio or on programs whose OUT is a register.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;

// A sine oscillator that follows FREQ and GAIN (SampleSlot 1 is a one-harmonic sine).
const std::string kSineSlot = "SAMPLE 1, 0\n";
// The oscillator with a 10 ms release, so that a released note is gone before the next is measured.
const std::string kOscLayer = "LAYER\nOUT = OSCENV(1, 0, 1, 1, -0.01) * 0.2\n";

// Key 20 is a keyswitch whose state starts at 1: MCC 420 reads exactly 1.0, and pressing key
// 20 steps it to 0.
const std::string kSwitchAtOne = "KEYSWITCH \"Switch\", 1, 1, 20, 20, 0, 1\n";

double cents(double f, double reference) { return 1200.0 * std::log2(f / reference); }

TEST(Modulation, FreqmodOf1200CentsRaisesByAnOctave) {
    PluginHarness host(kSineSlot + kSwitchAtOne + "FREQMOD 420, 1200\n" + kOscLayer);
    const std::vector<float> up = host.render(22050, {noteOn(0, 57)});
    EXPECT_NEAR(measuredFrequency(slice(up, 100, 22050), kRate), 440.0, 0.01);  // key 57 is 220 Hz
    // The switch at 0: no modulation.
    const std::vector<float> plain = host.render(22050, {noteOff(0, 57), noteOn(0, 20), noteOn(4410, 57)});
    EXPECT_NEAR(measuredFrequency(slice(plain, 4500, 22050), kRate), 220.0, 0.01);
}

TEST(Modulation, ControllerValuedCouplesAndComplexEntries) {
    // FREQMOD 420, $420: both controllers at 1.0 and the value read in cents: 1/1200 octave.
    // COMPLEXMOD 0, 420, -1, 700: 1.0 × 1 (no controller) × 700 cents.
    const struct {
        const char* directive;
        double cents;
    } cases[] = {{"FREQMOD 420, $420", 1.0}, {"COMPLEXMOD 0, 420, -1, 700", 700.0},
                 {"COMPLEXMOD 0, 420, 420, -1200\nFREQMOD 420, 600", -600.0}};
    for (const auto& c : cases) {
        PluginHarness host(kSineSlot + kSwitchAtOne + c.directive + "\n" + kOscLayer);
        const std::vector<float> out = host.render(44100, {noteOn(0, 69)});
        EXPECT_NEAR(cents(measuredFrequency(slice(out, 100, 44100), kRate), 440.0), c.cents, 0.05) << c.directive;
    }
}

TEST(Modulation, VibratoDepthAndRateFromTheInstantaneousFrequency) {
    // A sine LFO (shaped wave 0 with shape 1) at 5 Hz and 50 cents, after a 0.2 s delay and a
    // 0.1 s fade-in.
    PluginHarness host(kSineSlot + "FREQLFO 0, 1, 5, 50, 0.2, -0.1, 0.5\n" + kOscLayer);
    const std::vector<float> out = host.render(88200, {noteOn(0, 69)});
    const auto track = pitchTrack(out, kRate);
    double low = 1e9, high = 0.0, quietLow = 1e9, quietHigh = 0.0;
    std::vector<std::pair<double, double>> full;  // after the fade-in
    for (const auto& [time, hz] : track) {
        if (time < 0.19 * kRate) {
            quietLow = std::min(quietLow, hz);
            quietHigh = std::max(quietHigh, hz);
        }
        if (time > 0.4 * kRate) {
            low = std::min(low, hz);
            high = std::max(high, hz);
            full.emplace_back(time, hz);
        }
    }
    EXPECT_NEAR(cents(quietHigh, 440.0), 0.0, 0.05);  // no vibrato during the delay
    EXPECT_NEAR(cents(quietLow, 440.0), 0.0, 0.05);
    EXPECT_NEAR(cents(high, 440.0), 50.0, 1.5);
    EXPECT_NEAR(cents(low, 440.0), -50.0, 1.5);
    const std::vector<double> upward = upwardPassages(full, 440.0);
    ASSERT_GE(upward.size(), 7u);
    const double rate = (upward.size() - 1) * kRate / (upward.back() - upward.front());
    EXPECT_NEAR(rate, 5.0, 0.02);
}

TEST(Modulation, AGainLfoAloneLeavesTheGainToItsDepth) {
    // A pulse LFO (shaped wave 1, shape 0.5: half a cycle each) of 6 dB at 10 Hz and no gain
    // envelope: the envelope part is off and multiplies GAIN by its depth, 1.
    PluginHarness host("GAINLFO 1, 0.5, 10, 6, 0, 0, 0.1\nLAYER\nOUT = GAIN\n");
    const std::vector<float> out = host.render(22050, {noteOn(0, 60, 127)});
    // From 0.25 s on the fade has settled at 1.
    const auto [lowest, highest] = std::minmax_element(out.begin() + 11025, out.end());
    EXPECT_NEAR(*highest, std::pow(10.0f, 0.3f), 1e-3f);
    EXPECT_NEAR(*lowest, std::pow(10.0f, -0.3f), 1e-3f);
    // COMPLEXMOD 6 scales the gain envelope part: with the part off it scales GAIN itself.
    PluginHarness scaled(std::string("GAINLFO 1, 0.5, 10, 6, 0, 0, 0.1\nCOMPLEXMOD 6, -1, -1, 0.5\n") +
                         "LAYER\nOUT = GAIN\n");
    const std::vector<float> half = scaled.render(22050, {noteOn(0, 60, 127)});
    EXPECT_NEAR(*std::max_element(half.begin() + 11025, half.end()), 0.5f * std::pow(10.0f, 0.3f), 1e-3f);
}

TEST(Modulation, AGainEnvelopeShapesTheNoteAndItsForcedRelease) {
    // GAINENV: depth 1, no delay, a linear attack of 0.1 s, sustain 0.5, release 0.5 s. An OFF
    // trigger on CC 64 releases the note with a forced release of 0.05 s.
    const std::string text = "GAINENV 1, 0, -0.1, 0, -0.1, 0.5, -0.5\nOFFMCCT 64, 100, 127, 0.05\n"
                             "LAYER\nOUT = GAIN\n";
    PluginHarness host(text);
    const std::vector<float> out = host.render(22050, {noteOn(0, 60, 127)});
    EXPECT_NEAR(out[44 + 2205], 0.5f, 0.03f);  // half way up the attack
    EXPECT_NEAR(out[22049], 0.5f, 0.01f);
    const std::vector<float> released = host.render(4410, {controlChange(0, 64, 120)});
    EXPECT_NEAR(released[1 + 1102], 0.25f, 0.01f);  // half way down a 0.05 s release
    EXPECT_LT(released[1 + 2205 + 10], 1e-3f);

    PluginHarness normal(text);
    normal.render(22050, {noteOn(0, 60, 127)});
    const std::vector<float> slow = normal.render(4410, {noteOff(0, 60)});
    EXPECT_NEAR(slow[1 + 2205], 0.45f, 0.01f);  // a tenth of the 0.5 s release
}

TEST(Modulation, DefaultFcFollowsFreqAndTheCutoffSetting) {
    // OUT = DEFAULTFC / 10000 for key 69 (440 Hz); FREQMOD raises FREQ by an octave in the last
    // two cases, which a negative setting ignores.
    const struct {
        const char* directives;
        float hertz;
    } cases[] = {
        {"", 440.0f},
        {"FCMOD 2", 880.0f},
        {"FCMOD 1000", 1000.0f},
        {"FCMOD -0.5\nFREQMOD 420, 1200", 220.0f},
        {"FCMOD 0.5\nFREQMOD 420, 1200", 440.0f},
        {"FCMOD 0, 420, -1200", 220.0f},
        {"FCENV 1200, 0, 0, 0, 0, 1, 0", 880.0f},
        {"COMPLEXMOD 2, 420, -1, 2400", 1760.0f},
        {"FCENV 1200, 0, 0, 0, 0, 1, 0\nCOMPLEXMOD 9, -1, -1, 0.5", 622.25397f},
    };
    for (const auto& c : cases) {
        PluginHarness host(kSwitchAtOne + c.directives + "\nLAYER\nOUT = DEFAULTFC * 0.0001\n");
        const std::vector<float> out = host.render(4410, {noteOn(0, 69)});
        EXPECT_NEAR(out[4409] * 10000.0f, c.hertz, c.hertz * 1e-4f) << c.directives;
    }
}

TEST(Modulation, APhaseLfoMovesTheOscillatorPhase) {
    // PHASELFO with a pulse LFO (shaped wave 1) of depth 1.5: the OSC family adds it to the
    // phase of every partial (radians), so the tone jumps between two phases; without it the
    // tone is a clean sine.
    PluginHarness host(kSineSlot + "PHASELFO 1, 0.5, 10, 1.5, 0, 0, 0.1\n" + kOscLayer);
    const std::vector<float> out = host.render(22050, {noteOn(0, 69, 127)});
    PluginHarness clean(kSineSlot + kOscLayer);
    const std::vector<float> reference = clean.render(22050, {noteOn(0, 69, 127)});
    double difference = 0.0;
    for (std::size_t i = 4410; i < out.size(); ++i) difference = std::max(difference, double(std::fabs(out[i] - reference[i])));
    // 1.5 radians apart, two sines of 0.2 differ by up to 2 × 0.2 × sin(0.75) = 0.27.
    EXPECT_NEAR(difference, 0.27, 0.01);
}

TEST(Modulation, AModulatorKeepsASilentNoteUntilItsNoteOff) {
    PluginHarness host("FREQLFO 0, 1, 5, 50, 0, 0, 0.5\nLAYER\nOUT = 0\n");
    host.render(22050, {noteOn(0, 60)});
    EXPECT_EQ(host.activeVoices(), 1);
    host.render(8192, {noteOff(0, 60)});
    EXPECT_EQ(host.activeVoices(), 0);
    PluginHarness none("LAYER\nOUT = 0\n");
    none.render(22050, {noteOn(0, 60)});
    EXPECT_EQ(none.activeVoices(), 0);
}

}  // namespace
}  // namespace tess::test
