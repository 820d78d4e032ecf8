#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/EngineHarness.h"
#include "samples/SampleFiles.h"

namespace tess {
namespace {

using test::EngineHarness;

// Frequency from the strongest autocorrelation lag between 2 ms and 20 ms, refined by a
// parabola through its neighbours; for signals with harmonics, where zero crossings mislead.
double periodFrequency(const std::vector<float>& x, double rate, std::size_t from) {
    const auto lagOf = [&](int lag) {
        double sum = 0.0;
        for (std::size_t i = from; i + static_cast<std::size_t>(lag) < x.size(); ++i) sum += x[i] * x[i + static_cast<std::size_t>(lag)];
        return sum;
    };
    int best = 0;
    double bestValue = -1e30;
    const int lo = static_cast<int>(rate * 0.002), hi = static_cast<int>(rate * 0.02);
    for (int lag = lo; lag <= hi; ++lag) {
        const double v = lagOf(lag);
        if (v > bestValue * 1.02 || (best == 0 && v > bestValue)) {
            if (best != 0 && lag > best * 1.5) break;  // the first full period wins over multiples
            bestValue = v;
            best = lag;
        }
    }
    const double a = lagOf(best - 1), b = lagOf(best), c = lagOf(best + 1);
    const double shift = 0.5 * (a - c) / (a - 2 * b + c);
    return rate / (best + shift);
}

std::string examplesFolder() { return std::string(TESSARINE_SOURCE_DIR) + "/examples"; }

TEST(SamplePlayback, CentreNoteAtTheFileRateAdvancesOneFramePerSample) {
    test::TempDir files;
    ASSERT_TRUE(test::writeFloatWav(files.file("ramp.wav"), test::ramp(30000, 1, 32768.0f)));
    EngineHarness h("SAMPLE 0, \"" + files.file("ramp.wav") + "\"\nLAYER\nOUT = OSC0(0)\n");
    ASSERT_TRUE((*h.bank)[0].playable()) << h.log.main.c_str();
    ASSERT_GE(h.start(0, 69.0f), 0);
    const std::vector<float> out = h.renderLeft(0.7);
    for (int i = 0; i < 29990; ++i)
        ASSERT_NEAR(out[static_cast<std::size_t>(i)], static_cast<float>(i) / 32768.0f, 1e-6f) << i;
    for (std::size_t i = 30000; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;  // past the end
}

TEST(SamplePlayback, NegativeFrequenciesCountBars) {
    // 120 BPM in 4/4: a bar lasts 2 s.
    const struct {
        const char* expression;
        double hz;
    } rows[] = {
        {"OSCSYN(0, 1, 0, 0.5, -1, 0)", 0.5},
        {"OSCSYN(0, 1, 0, 0.5, -0.25, 0)", 2.0},
        {"OSC(0, 0, 0.5, -0.25, 0)", 2.0},  // an additive sine slot
    };
    for (const auto& row : rows) {
        EngineHarness h(std::string("SAMPLE 0, 0\nLAYER\nOUT = ") + row.expression + "\n");
        ASSERT_GE(h.start(0, 60.0f), 0);
        const std::vector<float> out = h.renderLeft(6.5, 4096);
        EXPECT_NEAR(test::zeroCrossingFrequency(out, 44100.0), row.hz, row.hz * 0.01) << row.expression;
        EXPECT_NEAR(test::peak(out), 0.5f, 1e-3f) << row.expression;
    }
}

TEST(SamplePlayback, AdditiveOrganExampleSoundsItsKey) {
    std::string text = test::readFile(examplesFolder() + "/organ.txt");
    EngineHarness h(text);
    EXPECT_EQ(h.log.main.view().find("ERROR"), std::string::npos) << h.log.main.c_str();
    ASSERT_EQ((*h.bank)[1].harmonicCount, 5);
    ASSERT_GE(h.start(0, 57.0f), 0);  // A3, 220 Hz
    const std::vector<float> out = h.renderLeft(0.5);
    EXPECT_NEAR(periodFrequency(out, 44100.0, 4410), 220.0, 1.0);
    EXPECT_GT(test::peak(out, 4410), 0.1f);
    EXPECT_LT(test::peak(out), 0.4f);
}

TEST(SamplePlayback, SampledExamplePlaysItsWavAtTheKeysPitch) {
    std::string text = test::readFile(examplesFolder() + "/sampled.txt");
    const std::size_t at = text.find("\"samples/");
    ASSERT_NE(at, std::string::npos);
    text.insert(at + 1, examplesFolder() + "/");
    EngineHarness h(text);
    EXPECT_EQ(h.log.main.view().find("ERROR"), std::string::npos) << h.log.main.c_str();
    const SampleSlot& slot = (*h.bank)[0];
    ASSERT_TRUE(slot.playable());
    EXPECT_EQ(slot.fileRate, 22050.0f);
    float loudest = 0.0f;
    for (float v : slot.left) loudest = std::max(loudest, std::fabs(v));
    EXPECT_FLOAT_EQ(loudest, 1.0f);  // normalised by its peak
    ASSERT_GE(h.start(0, 67.0f), 0);  // G4 from a middle-C sample
    const std::vector<float> out = h.renderLeft(0.4);
    EXPECT_NEAR(periodFrequency(out, 44100.0, 441), 392.0, 2.0);
    EXPECT_GT(test::peak(out), 0.2f);
}

TEST(SamplePlayback, SongClockLocksAdditivePhasesAcrossNotes) {
    // The same note started 1050 samples (10.48 cycles) later: OSC0AUTO joins the first note's phase, OSC0
    // starts its own.
    for (const char* function : {"OSC0AUTO", "OSC0"}) {
        const std::string text = std::string("SAMPLE 0, 0\nLAYER\nOUT = ") + function + "(0)\n";
        EngineHarness early(text), late(text);
        early.start(0, 69.0f);
        std::vector<float> a, b, l, r;
        early.render(1050, l, r);
        late.render(1050, l, r);
        late.start(0, 69.0f);
        early.render(500, a, r);
        late.render(500, b, r);
        float difference = 0.0f;
        for (std::size_t i = 0; i < a.size(); ++i) difference = std::max(difference, std::fabs(a[i] - b[i]));
        if (std::string(function) == "OSC0AUTO")
            EXPECT_LT(difference, 1e-3f);
        else
            EXPECT_GT(difference, 0.5f);
    }
}

TEST(SamplePlayback, OscSyncLocksEachChannelByItsOwnArgument) {
    // As above, with the sync argument above 0 on one channel only: that channel joins the
    // earlier note's phase, the other starts its own.
    for (const bool lockRight : {true, false}) {
        const std::string text = std::string("SAMPLE 0, 0\nLAYER\nOUT = OSC(0, JOIN(") + (lockRight ? "0, 1" : "1, 0") +
                                 "), 1, FREQ, 0)\n";
        EngineHarness early(text), late(text);
        early.start(0, 69.0f);
        std::vector<float> l, r, earlyLeft, earlyRight, lateLeft, lateRight;
        early.render(1050, l, r);
        late.render(1050, l, r);
        late.start(0, 69.0f);
        early.render(500, earlyLeft, earlyRight);
        late.render(500, lateLeft, lateRight);
        float left = 0.0f, right = 0.0f;
        for (std::size_t i = 0; i < earlyLeft.size(); ++i) {
            left = std::max(left, std::fabs(earlyLeft[i] - lateLeft[i]));
            right = std::max(right, std::fabs(earlyRight[i] - lateRight[i]));
        }
        EXPECT_LT(lockRight ? right : left, 1e-3f) << text;
        EXPECT_GT(lockRight ? left : right, 0.5f) << text;
    }
}

TEST(SamplePlayback, EnvelopedOscillatorReleasesAndTheVoiceEnds) {
    EngineHarness h("SAMPLE 0, 0\nLAYER\nOUT = OSCENV(0, 0.01, 0.01, 0.5, 0.05)\n");
    const int v = h.start(0, 69.0f);
    std::vector<float> held = h.renderLeft(0.3);
    EXPECT_NEAR(test::peak(held, 8820), 0.5f, 0.01f);
    h.engine->voices[v].releaseTime = h.engine->sampleClock;
    std::vector<float> after = h.renderLeft(0.5);
    EXPECT_LT(test::peak(after, 4410), 1e-3f);
    EXPECT_LT(h.engine->voices[v].frequency, 0.0f);
    // A held oscillator keeps a silent voice alive until its note-off.
    EngineHarness quiet("SAMPLE 0, 0\nLAYER\nOUT = OSC1(0, 0)\n");
    const int w = quiet.start(0, 69.0f);
    quiet.renderLeft(0.5);
    EXPECT_GT(quiet.engine->voices[w].frequency, 0.0f);
    quiet.engine->voices[w].releaseTime = quiet.engine->sampleClock;
    quiet.renderLeft(0.2);
    EXPECT_LT(quiet.engine->voices[w].frequency, 0.0f);
}

TEST(SamplePlayback, MissingSlotsAndNoBankPlaySilence) {
    EngineHarness h("SAMPLE 0, 0\nLAYER\nOUT = OSC0(0) + OSC0(5) + OSC0(9000) + WAVETABLE(0, 0.1)\n");
    h.start(0, 69.0f);
    const float withBank = test::peak(h.renderLeft(0.1));
    EXPECT_NEAR(withBank, 1.0f, 1e-3f);  // only slot 0 sounds
    h.engine->voices.releaseNoteVoices();
    h.renderLeft(0.01);
    h.engine->samples = nullptr;
    h.start(0, 69.0f);
    EXPECT_EQ(test::peak(h.renderLeft(0.1)), 0.0f);
}

}  // namespace
}  // namespace tess
