// The plug-in library hosted by the tool's own host code, the whole life of an instance as a
// DAW drives it: load, open, sample rate, block size, resume, MIDI and processing, suspend,
// close. This program also runs under the sanitizers, which report any leak at exit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "tessarine/VstHost.h"

namespace tess {
namespace {

TEST(HostedPlugin, AnInstanceLivesThroughAHostSessionAndPlaysANote) {
    test::ScopedUserFolder home;
    test::writeFile(home.file("sine.txt"), "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.5 * ONVEL / 127\n");
    tool::VstHost host;
    std::string error;
    ASSERT_TRUE(host.load(TESSARINE_PLUGIN_PATH, error)) << error;
    host.open();
    host.prepare(48000, 256);
    std::string path = home.file("sine.txt");
    ASSERT_EQ(host.dispatch(vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, path.data()), 1);
    EXPECT_EQ(host.text(vst::effGetProgramName), "sine.txt");
    host.resume();

    std::vector<float> silence(256, 0.0f), left(256), right(256), all;
    const tool::HostMidiEvent noteOn{100, {0x90, 69, 127}};
    for (int block = 0; block < 40; ++block) {
        host.process(block == 0 ? &noteOn : nullptr, block == 0 ? 1 : 0, silence.data(), silence.data(),
                     left.data(), right.data(), 256);
        all.insert(all.end(), left.begin(), left.end());
    }
    // Silent before the event's sample, sounding from it on at 440 Hz and half scale.
    for (int i = 0; i < 100; ++i) ASSERT_EQ(all[static_cast<std::size_t>(i)], 0.0f) << i;
    EXPECT_NE(all[101], 0.0f);
    float peak = 0.0f;
    int crossings = 0;
    for (std::size_t i = 101; i < all.size(); ++i) {
        peak = std::max(peak, std::fabs(all[i]));
        if (all[i - 1] < 0.0f && all[i] >= 0.0f) ++crossings;
    }
    EXPECT_NEAR(peak, 0.5f, 0.01f);
    const double seconds = static_cast<double>(all.size() - 101) / 48000.0;
    EXPECT_NEAR(crossings / seconds, 440.0, 5.0);
    EXPECT_EQ(host.callbackCounts().eventsReturned, 1);  // MIDI thru

    host.suspend();
    host.close();
}

}  // namespace
}  // namespace tess
