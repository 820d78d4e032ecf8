// The key-mapping directives at note-on, measured from the rendered audio.
#include <gtest/gtest.h>

#include <algorithm>

#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;

TEST(KeyMapping, WithoutDirectivesANoteIsOneVoiceAtItsKeyAndVelocity) {
    PluginHarness host(kSineLayer);
    const std::vector<float> out = host.render(8192, {noteOn(0, 64, 90)});
    EXPECT_EQ(host.activeVoices(), 1);
    const Voice* v = host.voiceOn(64);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->tunedPitch, 64.0f);
    EXPECT_EQ(v->onVelocity, 90.0f);
    EXPECT_EQ(v->shift, 0);
    EXPECT_EQ(v->spread, 0);
    EXPECT_EQ(v->rounding, 1);
    EXPECT_NEAR(measuredFrequency(slice(out, 10, 8192), kRate), keyFrequency(64), 0.05);
}

TEST(KeyMapping, AChordStartsItsNotesTogether) {
    PluginHarness host(std::string("CHORD -1, 0, 127, 0, 1, 4, 0.8, 7, 0.8\n") + kSineLayer);
    const std::vector<float> out = host.render(44100, {noteOn(100, 60, 100)});
    EXPECT_EQ(host.activeVoices(), 3);
    const std::vector<float> held = slice(out, 101, 44100);
    const double full = 0.2 * 100 / 127;
    EXPECT_NEAR(toneAmplitude(held, keyFrequency(60), kRate), full, 0.002);
    EXPECT_NEAR(toneAmplitude(held, keyFrequency(64), kRate), full * 0.8, 0.002);
    EXPECT_NEAR(toneAmplitude(held, keyFrequency(67), kRate), full * 0.8, 0.002);
    // Every note of the chord belongs to the played key (its MIDI key) and sounds its own pitch.
    std::vector<float> pitches;
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i) {
        const Voice& v = host.voice(i);
        if (!v.active()) continue;
        pitches.push_back(v.key);
        EXPECT_EQ(v.midiKey, 60);
        EXPECT_EQ(v.startTime, 100);
        EXPECT_LT(v.releaseTime, 0);
        EXPECT_EQ(v.spread, 0);
        EXPECT_EQ(v.repeat.blocking, 1);
    }
    std::sort(pitches.begin(), pitches.end());
    EXPECT_EQ(pitches, (std::vector<float>{60.0f, 64.0f, 67.0f}));
    EXPECT_EQ(onsetSample(out), 101);
}

// Two notes a quarter bar apart, each an eighth of a bar long, repeated every half bar
// (120 BPM, 4/4, 44100 Hz: a bar is 88200 samples).
const char* kArpeggio = "ARPEGGIO -1, 0, 127, 0.5, 0, 0, 0.125, 1, 12, 0.25, 0.125, 1\n";

TEST(KeyMapping, AnArpeggioRepeatsWhileItsKeyIsHeld) {
    PluginHarness host(std::string(kArpeggio) + kSineLayer);
    const std::vector<float> out = host.render(4 * 44100, {noteOn(0, 57), noteOff(3 * 44100 - 1000, 57)});
    // Each half bar (44100 samples) plays key 57 at 0 .. 11025 and key 69 at 22050 .. 33075.
    for (int repeat = 0; repeat < 3; ++repeat) {
        const std::size_t base = static_cast<std::size_t>(repeat) * 44100;
        const std::vector<float> low = slice(out, base + 200, base + 11000);
        const std::vector<float> high = slice(out, base + 22250, base + 33000);
        EXPECT_NEAR(measuredFrequency(low, kRate), 220.0, 0.5) << "repeat " << repeat;
        EXPECT_NEAR(measuredFrequency(high, kRate), 440.0, 0.5) << "repeat " << repeat;
        EXPECT_EQ(peakLevel(out, base + 11100, base + 22000), 0.0f) << "repeat " << repeat;
        EXPECT_EQ(onsetSample(out, 1e-6f, base + 11100), static_cast<long>(base) + 22051) << "repeat " << repeat;
    }
    // The note-off stopped the repetition: nothing after the third pattern.
    EXPECT_EQ(peakLevel(out, 3 * 44100 + 100), 0.0f);
}

// An arpeggio whose key range is given without notes plays the key itself as its one note:
// a quarter bar (the default duration) every half bar.
TEST(KeyMapping, AnArpeggioWithoutNotesRepeatsTheKey) {
    PluginHarness host(std::string("ARPEGGIO -1, 48, 72, 0.5\n") + kSineLayer);
    const std::vector<float> out = host.render(2 * 44100, {noteOn(0, 57)});
    EXPECT_NEAR(measuredFrequency(slice(out, 200, 22000), kRate), 220.0, 0.5);
    EXPECT_EQ(peakLevel(out, 22200, 44100), 0.0f);  // released after a quarter bar though held
    EXPECT_NEAR(measuredFrequency(slice(out, 44300, 66000), kRate), 220.0, 0.5);
}

TEST(KeyMapping, ANegativeStepSetsTheReverseFlag) {
    PluginHarness host(std::string("ARPEGGIO -1, 0, 127, -0.5, 0, 0, 0.125, 1, 12, 0.25, 0.125, 1\n") + kSineLayer);
    host.render(512, {noteOn(0, 57)});
    int notes = 0;
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i) {
        const Voice& v = host.voice(i);
        if (!v.active()) continue;
        ++notes;
        EXPECT_EQ(v.repeat.reverse, 1);
        EXPECT_EQ(v.repeat.step, 44100);  // the absolute step
        EXPECT_EQ(v.repeat.enabled, 1);
    }
    EXPECT_EQ(notes, 2);
}

TEST(KeyMapping, ANoteOffBeforeAPatternNoteStartsDropsIt) {
    PluginHarness host(std::string(kArpeggio) + kSineLayer);
    const std::vector<float> out = host.render(44100, {noteOn(0, 57), noteOff(5000, 57)});
    EXPECT_EQ(peakLevel(out, 11100), 0.0f);  // key 69 at 22050 never sounds
    EXPECT_EQ(host.voiceOn(69), nullptr);
}

TEST(KeyMapping, MapVelocityPitchAndTimingExamples) {
    const struct {
        const char* directive;
        int key, velocity;
        double frequency;
        double level;
        long onset;
        float rate;
    } cases[] = {
        // Pitch class 3 sounds as 4: key 63 plays 64.
        {"MAP -1, 0, 127, 0, 1, 2, 4, 4, 5, 6, 7, 8, 9, 10, 11\n", 63, 100, keyFrequency(64), 0.2 * 100 / 127, 1, 44100},
        // Black keys to the white key below: 61 plays 60, 70 plays 69.
        {"MAP -1, 0, 127, 0, 0, 2, 2, 4, 5, 5, 7, 7, 9, 9, 11\n", 70, 100, 440.0, 0.2 * 100 / 127, 1, 44100},
        // Out range 64 .. 127 with exponent 1: velocity 1 maps to 64 + 63/127.
        {"VELOCITY -1, 0, 127, 0, 127, 64, 127, 1, 0\n", 69, 1, 440.0, 0.2 * (64.0 + 63.0 / 127.0) / 127, 1, 44100},
        // The identity curve leaves velocities as they are.
        {"VELOCITY -1, 0, 127, 0, 127, 0, 127, 1, 0\n", 69, 77, 440.0, 0.2 * 77 / 127, 1, 44100},
        // An input range of zero width maps to the top of the output range.
        {"VELOCITY -1, 0, 127, 100, 100, 20, 50, 1, 0\n", 69, 100, 440.0, 0.2 * 50 / 127, 1, 44100},
        // An octave up; 61.4 quantised to steps of 2 keys is 62.
        {"PITCH -1, 0, 127, 12, 0, 0, 0\n", 57, 100, 440.0, 0.2 * 100 / 127, 1, 44100},
        {"PITCH -1, 0, 127, 0.4, 0, 0, 2\n", 61, 100, keyFrequency(62), 0.2 * 100 / 127, 1, 44100},
        // At 48000 Hz a bar is 96000 samples: a quarter bar later.
        {"TIMING -1, 0, 127, 0.25, 0, 0, 0\n", 69, 100, 440.0, 0.2 * 100 / 127, 24001, 48000},
        // Out of its key range a directive does nothing.
        {"PITCH -1, 0, 60, 12, 0, 0, 0\n", 69, 100, 440.0, 0.2 * 100 / 127, 1, 44100},
    };
    for (const auto& c : cases) {
        PluginHarness host(std::string(c.directive) + kSineLayer, c.rate);
        const std::vector<float> out = host.render(48000, {noteOn(0, c.key, c.velocity)});
        EXPECT_EQ(onsetSample(out), c.onset) << c.directive;
        const std::vector<float> held = slice(out, static_cast<std::size_t>(c.onset) + 100, 48000);
        EXPECT_NEAR(measuredFrequency(held, c.rate), c.frequency, 0.05) << c.directive;
        EXPECT_NEAR(peakLevel(held), c.level, 5e-4) << c.directive;
    }
}

// KEY is the key nearest the pitch on both sides of key 0, so that it agrees with KEYF.
TEST(KeyMapping, KeyIsTheNearestKeyBelowZeroToo) {
    const struct {
        const char* offset;
        float key;
    } cases[] = {{"-20", -10.0f}, {"-20.4", -10.0f}, {"-19.5", -9.0f}, {"-20.6", -11.0f}, {"0.5", 11.0f}};
    for (const auto& c : cases) {
        PluginHarness host(std::string("PITCH -1, 0, 127, ") + c.offset + ", 0, 0, 0\nLAYER\nOUT = KEY * 0.001\n");
        const std::vector<float> out = host.render(256, {noteOn(0, 10)});
        ASSERT_NE(host.voiceOn(10), nullptr) << c.offset;
        EXPECT_EQ(host.voiceOn(10)->key, c.key) << c.offset;
        EXPECT_FLOAT_EQ(out[100], c.key * 0.001f) << c.offset;
    }
}

TEST(KeyMapping, ASwitchControllerTurnsADirectiveOff) {
    PluginHarness host(std::string("PITCH 80, 0, 127, 12, 0, 0, 0\n") + kSineLayer);
    host.render(4096, {noteOn(0, 57)});
    EXPECT_EQ(host.voiceOn(57)->tunedPitch, 57.0f);  // CC 80 at 0: off
    host.render(4096, {controlChange(0, 80, 127), noteOn(10, 45)});
    EXPECT_EQ(host.voiceOn(45)->tunedPitch, 57.0f);
}

TEST(KeyMapping, PitchWithProbabilityZeroNeverAddsTheSpread) {
    PluginHarness host(std::string("PITCH -1, 0, 127, 0, 12, 0, 0\n") + kSineLayer);
    for (int i = 0; i < 20; ++i) host.block(64, {noteOn(0, 60), noteOff(32, 60)});
    int checked = 0;
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i) {
        if (!host.voice(i).active()) continue;
        EXPECT_EQ(host.voice(i).tunedPitch, 60.0f);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace tess::test
