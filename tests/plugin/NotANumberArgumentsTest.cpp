// Arguments that are not numbers (0 / 0 in an instrument file) reach the oscillators' integer
// arguments through the VST interface. Every conversion to an integer is checked first, which
// this program proves when it runs under UndefinedBehaviorSanitizer.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "samples/SampleFiles.h"
#include "support/TestSupport.h"
#include "tessarine/VstHost.h"

namespace tess {
namespace {

// Renders key 60 held for `frames` samples and returns the left channel.
std::vector<float> playKey60(const std::string& instrument, int frames) {
    tool::VstHost host;
    std::string error;
    EXPECT_TRUE(host.load(TESSARINE_PLUGIN_PATH, error)) << error;
    host.open();
    host.prepare(44100, 512);
    std::string path = instrument;
    EXPECT_EQ(host.dispatch(vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, path.data()), 1);
    host.resume();
    std::vector<float> silence(512, 0.0f), left(512), right(512), all;
    const tool::HostMidiEvent noteOn{0, {0x90, 60, 127}};
    for (int done = 0; done < frames; done += 512) {
        host.process(done == 0 ? &noteOn : nullptr, done == 0 ? 1 : 0, silence.data(), silence.data(), left.data(),
                     right.data(), 512);
        all.insert(all.end(), left.begin(), left.end());
    }
    host.suspend();
    host.close();
    return all;
}

TEST(NotANumberArguments, OscsynWaveIsAnUnknownWaveform) {
    test::ScopedUserFolder home;
    test::writeFile(home.file("syn.txt"), "LAYER\nnan = 0 / 0\nOUT = OSCSYN(nan, 1, 0, 0.5, FREQ, 0)\n");
    const std::vector<float> out = playKey60(home.file("syn.txt"), 4096);
    for (float v : out) ASSERT_EQ(v, 0.0f);
}

TEST(NotANumberArguments, OscsamLoopModePlaysTheFramesOnce) {
    test::ScopedUserFolder home;
    ASSERT_TRUE(test::writeFloatWav(home.file("flat.wav"), std::vector<float>(2000, 0.5f)));
    test::writeFile(home.file("sam.txt"), "SAMPLE 0, \"flat.wav\"\nLAYER\nnan = 0 / 0\n"
                                          "OUT = OSCSAM(0, 0, 1999, 500, 1500, nan, 1, FREQ, 0)\n");
    const std::vector<float> out = playKey60(home.file("sam.txt"), 20480);
    for (std::size_t i = 20; i < 300; ++i) ASSERT_NEAR(out[i], 0.5f, 0.01f) << i;
    for (std::size_t i = 10000; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;  // no loop
}

}  // namespace
}  // namespace tess
