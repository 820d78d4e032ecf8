// Temperaments, keyswitches and pedals at run time, through the plug-in's VST interface.
#include <gtest/gtest.h>

#include <cmath>

#include "compiler/InstrumentCompiler.h"
#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;

double cents(double measured, double reference) { return 1200.0 * std::log2(measured / reference); }

TEST(Temperaments, JustTuningPlaysEThirteenPointSixEightSixCentsFlat) {
    PluginHarness host(std::string("TEMPERAMENT \"just\"\n") + kSineLayer);  // found without regard to case
    EXPECT_EQ(host.plugin().notes.temperament(), 2);
    const std::vector<float> out = host.render(88200, {noteOn(0, 64)});
    const double f = measuredFrequency(slice(out, 10, 88200), kRate);
    EXPECT_NEAR(cents(f, keyFrequency(64)), -13.686, 0.05);
    EXPECT_NEAR(host.voiceOn(64)->tunedPitch, 64.0f - 0.13686f, 1e-5f);
    EXPECT_EQ(host.voiceOn(64)->temperament, 2);
}

TEST(Temperaments, HostTemperamentTakesTheEventDetuneExceptForChordNotes) {
    const struct {
        const char* directives;
        int detune;
        double expectedCents;
    } cases[] = {
        {"", 10, 10.0},
        {"", -30, -30.0},
        {"TEMPERAMENT 1\n", 10, 0.0},                        // equal temperament ignores it
        {"CHORD -1, 0, 127, 0, 1, 12, 1\n", 10, 0.0},        // chord notes do not take it
    };
    for (const auto& c : cases) {
        PluginHarness host(std::string(c.directives) + kSineLayer);
        MidiMessage on = noteOn(0, 69);
        on.detune = c.detune;
        const std::vector<float> out = host.render(88200, {on});
        const double f = toneAmplitude(out, 440.0, kRate) > 0.05 || c.detune != 0
                             ? measuredFrequency(slice(out, 10, 88200), kRate)
                             : 0.0;
        if (std::string(c.directives).find("CHORD") != std::string::npos) {
            // Two notes an octave apart: both at their plain pitches.
            EXPECT_NEAR(toneAmplitude(slice(out, 10, 88200), 440.0, kRate), 0.2 * 100 / 127, 0.002);
            EXPECT_NEAR(toneAmplitude(slice(out, 10, 88200), 880.0, kRate), 0.2 * 100 / 127, 0.002);
        } else {
            EXPECT_NEAR(cents(f, 440.0), c.expectedCents, 0.05) << c.directives << c.detune;
        }
    }
}

TEST(Temperaments, ATemperamentKeyCyclesThroughTheTableAndNeverSounds) {
    PluginHarness host(std::string("DEBUG 2\nTEMPERAMENTCC 436\n") + kSineLayer);
    const int count = host.plugin().compiler->instrument().temperaments.count();
    ASSERT_EQ(count, 16);  // the two built-ins and the fourteen of Settings.ini
    for (int press = 1; press <= count + 1; ++press) {
        const std::vector<float> out = host.render(512, {noteOn(0, 36), noteOff(100, 36)});
        EXPECT_EQ(host.plugin().notes.temperament(), press % count);
        EXPECT_EQ(host.engine().controllers.keyswitch(36), press % count);
        EXPECT_EQ(peakLevel(out), 0.0f);
    }
    EXPECT_NE(host.log().find("TEMPERAMENT set to: Just (2) WITH KEY #36 KEYSWITCH.\r\n"), std::string::npos);
    EXPECT_EQ(host.activeVoices(), 0);
}

TEST(Temperaments, ALinkedControllerSelectsAndClamps) {
    PluginHarness host(std::string("DEBUG 2\nTEMPERAMENTCC 20\n") + kSineLayer);
    host.block(64, {controlChange(0, 20, 4)});
    EXPECT_EQ(host.plugin().notes.temperament(), 4);
    host.block(64, {controlChange(0, 20, 127)});
    EXPECT_EQ(host.plugin().notes.temperament(), 15);
    const std::string log = host.log();
    EXPECT_NE(log.find("TEMPERAMENT set to: Werckmeister IV(VI) (15) WITH MIDI CC CHANGE.\r\n"), std::string::npos);
    host.block(64, {controlChange(0, 20, 100)});  // still the last one: nothing new is logged
    EXPECT_EQ(host.log(), log + "MIDI CC #20 set to 100.\r\n");
}

TEST(Keyswitches, KeysSelectOptionsWithoutSounding) {
    PluginHarness host(std::string("DEBUG 2\n"
                                   "KEYSWITCH \"Articulation\", 0, 24, 24, 26, 0, 0, \"Legato\", \"Staccato\"\n"
                                   "KEYSWITCH \"Cycle\", 1, 2, 30, 30, 1, 3\n"
                                   "KEYSWITCH \"Steps\", 2, 0, 32, 33, 0, 2\n") +
                       kSineLayer);
    const ControllerSpace& c = host.engine().controllers;
    EXPECT_EQ(c.keyswitch(24), 1);  // the initial option
    const struct {
        int key;
        std::vector<std::pair<int, int>> states;  // key, state
        const char* logLine;
    } presses[] = {
        {25, {{24, 0}, {25, 1}, {26, 0}}, "KEYSWITCH Articulation set to: Staccato (1) WITH KEY #25 KEYSWITCH.\r\n"},
        {26, {{24, 0}, {25, 0}, {26, 1}}, "KEYSWITCH Articulation set to: Option #3 (2) WITH KEY #26 KEYSWITCH.\r\n"},
        {30, {{30, 3}}, "KEYSWITCH Cycle set to: Option #3 (2) WITH KEY #30 KEYSWITCH.\r\n"},
        {30, {{30, 1}}, "KEYSWITCH Cycle set to: Option #1 (0) WITH KEY #30 KEYSWITCH.\r\n"},
        {32, {{32, 2}, {33, 2}}, "KEYSWITCH Steps set to: Option #3 (2) WITH KEY #32 KEYSWITCH.\r\n"},  // wraps down
        {33, {{32, 0}, {33, 0}}, "KEYSWITCH Steps set to: Option #1 (0) WITH KEY #33 KEYSWITCH.\r\n"},  // wraps up
    };
    for (const auto& p : presses) {
        const std::vector<float> out = host.render(512, {noteOn(0, p.key), noteOff(200, p.key)});
        for (const auto& [key, state] : p.states) EXPECT_EQ(c.keyswitch(key), state) << p.key << " key " << key;
        EXPECT_EQ(peakLevel(out), 0.0f);
        EXPECT_NE(host.log().find(p.logLine), std::string::npos) << p.logLine;
    }
    EXPECT_EQ(host.activeVoices(), 0);
    // A keyswitch note-off releases nothing.
    host.render(512, {noteOn(0, 60)});
    host.render(512, {noteOff(0, 25)});
    EXPECT_LT(host.voiceOn(60)->releaseTime, 0);
}

TEST(Pedals, TheSustainPedalHoldsReleasedVoicesOfItsRange) {
    PluginHarness host(std::string("PEDAL 64, 65, 0, 59\n") + kSineLayer);
    const PedalState& pedals = host.engine().controllers.pedals;
    host.render(512, {noteOn(0, 60), noteOn(0, 50)});
    host.render(512, {controlChange(0, 64, 100), noteOff(10, 60)});
    Voice* voice = host.voiceOn(60);
    ASSERT_NE(voice, nullptr);
    EXPECT_GE(voice->releaseTime, 0);  // the note-off is recorded; the pedal holds it
    EXPECT_TRUE(pedals.holds(voice->midiKey, false));
    host.render(512, {controlChange(0, 64, 64)});  // 64 is off
    EXPECT_FALSE(pedals.holds(60, false));
    host.render(512, {controlChange(0, 65, 127)});
    EXPECT_TRUE(pedals.holds(50, false));
    EXPECT_FALSE(pedals.holds(60, false));
}

TEST(Pedals, PressingTheSostenutoTwiceLatchesOnlyTheFirstVoices) {
    PluginHarness host(std::string("SOSTENUTO 66, -1\n") + kSineLayer);
    host.render(512, {noteOn(0, 60)});
    host.render(512, {controlChange(0, 66, 127)});
    host.render(512, {noteOn(0, 62)});
    host.render(512, {controlChange(0, 66, 127)});  // pressed again: nothing new is latched
    Voice* first = host.voiceOn(60);
    Voice* second = host.voiceOn(62);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->sostenutoAll, 1);
    EXPECT_EQ(second->sostenutoAll, 0);
    host.render(512, {controlChange(0, 66, 0)});
    EXPECT_EQ(first->sostenutoAll, 0);
    EXPECT_EQ(host.engine().controllers.pedals.sostenutoAll, 0);
}

TEST(Pedals, EachPressOfTheRangeSostenutoLatchesTheVoicesStartedSince) {
    PluginHarness host(std::string("SOSTENUTO -1, 67, 0, 61\n") + kSineLayer);
    host.render(512, {noteOn(0, 60), noteOn(0, 70)});
    host.render(512, {controlChange(0, 67, 127)});
    host.render(512, {noteOn(0, 61)});
    host.render(512, {controlChange(0, 67, 127)});
    EXPECT_EQ(host.voiceOn(60)->sostenutoRange, 1);
    EXPECT_EQ(host.voiceOn(61)->sostenutoRange, 1);
    EXPECT_EQ(host.voiceOn(70)->sostenutoRange, 0);  // outside the range
}

}  // namespace
}  // namespace tess::test
