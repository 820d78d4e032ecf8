// Filters, delays and reverbs heard through the plug-in's VST interface, and the delay memory
// seen from the host's side: a note that finds the pool empty is silent in that operation and
// says so once, and a reused buffer sounds like a fresh one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "midi/PluginHarness.h"

namespace tess {
namespace {

using test::MidiMessage;
using test::PluginHarness;

constexpr double kRate = 44100.0;
// 1 at a voice's first sample, 0 after it.
const std::string kImpulse = "x = (SAT((0.5 / 44100 - TIME) * 1e9) + 1) * 0.5\n";
// A sine at FREQ that stops at the note's release.
const std::string kGatedSine = "s = SIN(6.2831853 * FREQ * TIME) * (SAT((DURATION - TIME) * 100000 + 1) + 1)\n";

double db(double ratio) { return 20.0 * std::log10(ratio); }

TEST(EffectsThroughPlugin, FiltLowAndHighPassSplitTwoTones) {
    PluginHarness h("LAYER\nx = SIN(6.2831853 * 200 * TIME) + SIN(6.2831853 * 4000 * TIME)\n"
                    "OUT = JOIN(FILT(1, x, 1000, 0), FILT(5, x, 1000, 0)) * 0.25\n");
    h.render(4410, {test::noteOn(0, 60)});  // the filters settle
    const std::vector<float> low = h.render(22050);
    const std::vector<float> high = h.right;
    // Two-stage filters at 1 kHz: the tone on the pass side loses less than 1 dB, the one two
    // octaves or more on the other side at least 45 dB.
    EXPECT_GT(db(test::toneAmplitude(low, 200.0, kRate) / 0.25), -1.0);
    EXPECT_LT(db(test::toneAmplitude(low, 4000.0, kRate) / 0.25), -45.0);
    EXPECT_GT(db(test::toneAmplitude(high, 4000.0, kRate) / 0.25), -1.0);
    EXPECT_LT(db(test::toneAmplitude(high, 200.0, kRate) / 0.25), -45.0);
}

TEST(EffectsThroughPlugin, DelayTimesAreSecondsPerChannelPlusOneSample) {
    // On the mix: a voice that stays silent for a tenth of a second ends, and its delay with it.
    PluginHarness h("POST\nOUT = DELAY(OUT, JOIN(0.5, 0.25))\nLAYER\n" + kImpulse + "OUT = x\n");
    const std::vector<float> left = h.render(30000, {test::noteOn(100, 60)});
    EXPECT_EQ(test::onsetSample(left), 100 + 22051);
    EXPECT_EQ(test::onsetSample(h.right), 100 + 11026);
}

TEST(EffectsThroughPlugin, ReverbSpreadMovesTheCombsApart) {
    PluginHarness h("LAYER\n" + kImpulse + "OUT = REVERB(x, 0.8, 0.5, 4000, 100)\n");
    const std::vector<float> left = h.render(4096, {test::noteOn(100, 60)});
    EXPECT_EQ(test::onsetSample(left, 0.0f), 100 + 1018);
    EXPECT_EQ(test::onsetSample(h.right, 0.0f), 100 + 1218);
}

TEST(EffectsThroughPlugin, PostPingPongAnswersLeftThenRight) {
    PluginHarness h("POST\nOUT = PPDELAY(OUT, JOIN(0.1, 0.1), 0.5, 0, 1e9)\nLAYER\n" + kImpulse + "OUT = x\n");
    const std::vector<float> left = h.render(20000, {test::noteOn(100, 60)});
    // The mid of the voice's impulse: the first tap after 0.1 s on the left, the second after
    // 0.2 s on the right, and the second tap fed back at half level comes round again.
    EXPECT_EQ(test::onsetSample(left, 0.0f), 100 + 4411);
    EXPECT_EQ(test::onsetSample(h.right, 0.0f), 100 + 8821);
    EXPECT_EQ(left[100 + 4411], 1.0f);
    EXPECT_EQ(h.right[100 + 8821], 1.0f);
    EXPECT_EQ(left[100 + 8821 + 4411], 0.5f);
    EXPECT_EQ(h.right[100 + 8821 + 8821], 0.5f);
}

TEST(EffectsThroughPlugin, ANoteThatFindsThePoolEmptyIsSilentInItsDelayAndSaysSoOnce) {
    const std::string instrument = "DEBUG 1\nLAYER\n" + kGatedSine + "OUT = DELAY(s * 0.005, 0)\n";
    std::vector<MidiMessage> chord;
    for (int i = 0; i < 64; ++i) chord.push_back(test::noteOn(0, 40 + i));
    const std::vector<MidiMessage> extra = {test::noteOn(300, 20), test::noteOn(600, 21)};

    PluginHarness reference(instrument);
    const std::vector<float> without = reference.render(8192, chord);
    PluginHarness h(instrument);
    std::vector<MidiMessage> all = chord;
    all.insert(all.end(), extra.begin(), extra.end());
    const std::vector<float> with = h.render(8192, all);
    ASSERT_EQ(with.size(), without.size());
    for (std::size_t i = 0; i < with.size(); ++i) ASSERT_EQ(with[i], without[i]) << i;

    const std::string log = h.log();
    const std::string line = "Delay memory exhausted";
    const std::size_t first = log.find(line);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << log;

    // Once voices end and bring their memory back, a new note has its delay again.
    std::vector<MidiMessage> offs;
    for (int i = 0; i < 64; ++i) offs.push_back(test::noteOff(0, 40 + i));
    h.render(44100, offs);
    ASSERT_EQ(h.activeVoices(), 0);
    const std::vector<float> later = h.render(22050, {test::noteOn(0, 21)});
    EXPECT_NEAR(test::toneAmplitude(test::slice(later, 4410, 22050), test::keyFrequency(21), kRate), 0.01, 0.0005);
}

TEST(EffectsThroughPlugin, AReusedBufferSoundsLikeAFreshOne) {
    // The reverb's rings are short (4096 frames): the second note's first taps read round the
    // rings into what the first note left there.
    const std::string instrument =
        "LAYER\n" + kGatedSine + "OUT = REVERB(DELAYFF3(s * 0.1, 0.03, 0.8, 0.5, 2500), 0.7, 0.4, 3000, 20)\n";
    PluginHarness used(instrument);
    used.render(22050, {test::noteOn(0, 60), test::noteOff(13000, 60)});
    for (int i = 0; i < 40 && used.activeVoices() > 0; ++i) used.render(22050);
    ASSERT_EQ(used.activeVoices(), 0);
    PluginHarness fresh(instrument);
    // The second note takes the buffer the first one filled (the pool lends the last one back).
    const std::vector<float> again = used.render(30000, {test::noteOn(0, 67), test::noteOff(20000, 67)});
    const std::vector<float> first = fresh.render(30000, {test::noteOn(0, 67), test::noteOff(20000, 67)});
    EXPECT_GT(test::peakLevel(first), 0.05f);
    for (std::size_t i = 0; i < first.size(); ++i) ASSERT_EQ(again[i], first[i]) << i;
}

}  // namespace
}  // namespace tess
