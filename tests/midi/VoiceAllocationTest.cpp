// Voice start: polyphony and stealing, retrigger modes with glide and legato return, trigger
// rounding onto the host's bars, and the program copy.
#include <gtest/gtest.h>

#include "compiler/InstrumentCompiler.h"
#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;
const double kLevel100 = 0.2 * 100.0 / 127.0;

// Which of the keys still sound in `out`, from the amplitude of their tones.
std::vector<int> soundingKeys(const std::vector<float>& out, std::initializer_list<int> keys) {
    std::vector<int> sounding;
    for (int key : keys)
        if (toneAmplitude(out, keyFrequency(key), kRate) > 0.01) sounding.push_back(key);
    return sounding;
}

TEST(VoiceAllocation, PolyphonyTwoStealsByItsOption) {
    const struct {
        const char* poly;
        int velocities[3];
        std::vector<int> remaining;
    } cases[] = {
        {"POLY 2, 0\n", {100, 100, 100}, {64, 67}},  // the oldest goes
        {"POLY 2, 3\n", {100, 20, 100}, {60, 67}},   // the quietest goes
        {"POLY 2, 1\n", {100, 100, 100}, {64, 67}},  // the lowest goes
        {"POLY 2, 2\n", {100, 100, 100}, {60, 67}},  // the highest goes (64, before 67 starts)
    };
    for (const auto& c : cases) {
        PluginHarness host(std::string(c.poly) + kSineLayer);
        host.render(4410, {noteOn(0, 60, c.velocities[0])});
        host.render(4410, {noteOn(0, 64, c.velocities[1])});
        const std::vector<float> out = host.render(17640, {noteOn(0, 67, c.velocities[2])});
        EXPECT_EQ(host.activeVoices(), 2) << c.poly;
        EXPECT_EQ(soundingKeys(slice(out, 4410, 17640), {60, 64, 67}), c.remaining) << c.poly;
    }
}

TEST(VoiceAllocation, RetriggerModeThreeGlidesToTheNewKeyAndBack) {
    PluginHarness host(std::string("POLY 4, 0, 3, 0.05\n") + kSineLayer);
    host.render(8820, {noteOn(0, 57)});  // 220 Hz, held for 0.2 s
    const std::vector<float> glided = host.render(22050, {noteOn(0, 69)});
    EXPECT_EQ(host.activeVoices(), 1);  // the held voice was taken over
    const Voice* voice = host.voiceOn(69);
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(voice->previousKey, 57);
    // Gliding for 0.05 s, then at the new key.
    const double during = measuredFrequency(slice(glided, 200, 1000), kRate);
    EXPECT_GT(during, 230.0);
    EXPECT_LT(during, 380.0);
    EXPECT_NEAR(measuredFrequency(slice(glided, 2400, 22050), kRate), 440.0, 0.5);
    EXPECT_GT(peakLevel(glided, 0, 400), 0.1f);  // no restart: the tone goes on
    // Releasing the newer key glides back to the key still held.
    const std::vector<float> back = host.render(22050, {noteOff(0, 69)});
    EXPECT_EQ(host.activeVoices(), 1);
    EXPECT_NEAR(measuredFrequency(slice(back, 2400, 22050), kRate), 220.0, 0.5);
    EXPECT_NEAR(peakLevel(back, 2400), kLevel100, 0.01);
    // Releasing the older key first only forgets it.
    host.render(4410, {noteOn(0, 69)});
    host.render(512, {noteOff(0, 57)});
    ASSERT_NE(host.voiceOn(69), nullptr);
    EXPECT_EQ(host.voiceOn(69)->previousKey, -1);
    EXPECT_LT(host.voiceOn(69)->releaseTime, 0);
}

// Mode 2 glides a new voice from where the nearest held voice's own glide stands at the new
// voice's start: the time the event lies inside its block and a TIMING delay both count.
TEST(VoiceAllocation, ModeTwoStartsFromTheSourceGlideAtTheNewStart) {
    const struct {
        const char* settings;
        int gap;  // samples between the notes
        double glideSeconds;
    } cases[] = {
        {"POLY 4, 0, 2, 0.5\n", 8820, 0.5},                             // mid-block, no delay
        {"POLY 4, 0, 2, 2\nTIMING -1, 0, 127, 0.25\n", 30000, 2.0},  // each note a quarter bar late
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        PluginHarness host(std::string(c.settings) + kSineLayer);
        host.render(c.gap, {noteOn(0, 57)});
        host.render(c.gap, {noteOn(0, 69)});  // glides from 220 Hz towards 440 Hz
        host.render(512, {noteOn(100, 81)});
        const Voice* source = host.voiceOn(69);
        const Voice* glided = host.voiceOn(81);
        ASSERT_NE(source, nullptr);
        ASSERT_NE(glided, nullptr);
        EXPECT_EQ(glided->glideSource, source - &host.voice(0));
        const double elapsed = double(glided->startTime - source->startTime) / kRate;
        const double expected = 220.0 * std::pow(2.0, std::min(1.0, elapsed / c.glideSeconds));
        // Undo the advances the glide has made since its start.
        const double advanced = double(host.engine().sampleClock - glided->startTime);
        const double start = advanced > 0 ? glided->glideStartFrequency / std::pow(double(glided->glideRatio), advanced)
                                          : glided->glideStartFrequency;
        EXPECT_NEAR(start / expected, 1.0, 1e-4) << start << " Hz, expected " << expected;
    }
}

TEST(VoiceAllocation, ModesTwoAndThreeFallBackWithoutAHeldVoice) {
    PluginHarness host(std::string("POLY 4, 0, 3, 0.05\n") + kSineLayer);
    const std::vector<float> out = host.render(8820, {noteOn(0, 69)});
    const Voice* voice = host.voiceOn(69);
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(voice->retriggerMode, 0);
    EXPECT_EQ(voice->glideRatio, 0.0f);
    EXPECT_NEAR(measuredFrequency(slice(out, 10, 8820), kRate), 440.0, 0.5);
}

TEST(VoiceAllocation, TriggerRoundingStartsOnTheNextBarOfTheHost) {
    // 120 BPM in 4/4 at 44100 Hz: a bar is 88200 samples.
    PluginHarness host(std::string("TIMING -1, 0, 127, 0, 0, 0, 1\n") + kSineLayer);
    const std::vector<float> out = host.render(100000, {noteOn(1000, 69)});
    EXPECT_EQ(onsetSample(out), 88201);
    // The grid is the host's timeline, not the sample clock: this host stands 300 samples
    // before its third bar when the plug-in starts.
    PluginHarness shifted(std::string("TIMING -1, 0, 127, 0, 0, 0, 1\n") + kSineLayer);
    shifted.hostStart = 2 * 88200 - 300;
    shifted.block(256);
    const std::vector<float> after = shifted.render(1000, {noteOn(0, 69)});
    EXPECT_EQ(onsetSample(after), 300 - 256 + 1);
}

TEST(VoiceAllocation, ACrossfadeOfZeroStartsNoVoiceAndStealsNone) {
    PluginHarness host(std::string("POLY 1\n") + kSineLayer);
    host.render(512, {noteOn(0, 60)});
    compiler::LayerSettings& s = host.plugin().compiler->instrument().layers[0].settings;
    s.crossfades[0] = {10.0f, 127.0f, 130, 0, 0};  // fades in over ONVEL from 10 to 127
    s.crossfadeCount = 1;
    host.render(512, {noteOn(0, 67, 5)});
    EXPECT_EQ(host.voiceOn(67), nullptr);
    EXPECT_NE(host.voiceOn(60), nullptr);  // the sounding voice was not taken
    const std::vector<float> out = host.render(4410, {noteOn(0, 64, 127)});
    ASSERT_NE(host.voiceOn(64), nullptr);
    EXPECT_FLOAT_EQ(host.voiceOn(64)->crossfadeGain, 1.0f);
    EXPECT_NEAR(peakLevel(out, 100), 0.2, 0.002);
    s.crossfades[0].curve = 1;
    host.render(512, {noteOn(0, 62, 64)});
    ASSERT_NE(host.voiceOn(62), nullptr);
    EXPECT_NEAR(host.voiceOn(62)->crossfadeGain, std::sqrt((64.0 - 10.0) / 117.0), 1e-5);
}

TEST(VoiceAllocation, VoicesReuseTheirStorageBetweenNotes) {
    PluginHarness host(kSineLayer);
    host.render(4410, {noteOn(0, 60)});
    Voice* voice = host.voiceOn(60);
    ASSERT_NE(voice, nullptr);
    const void* operations = voice->operations.data();
    const void* registers = voice->registers.data();
    host.render(22050, {noteOff(0, 60)});
    EXPECT_FALSE(voice->active());
    host.render(4410, {noteOn(0, 62)});
    ASSERT_EQ(host.voiceOn(62), voice);  // the last free voice is taken again
    EXPECT_EQ(voice->operations.data(), operations);
    EXPECT_EQ(voice->registers.data(), registers);
}

}  // namespace
}  // namespace tess::test
