// What the audio callbacks promise a host: processReplacing and processEvents run with
// flush-to-zero and denormals-are-zero whatever the host set, and hand the host's own mode
// back on return, so decaying tails cannot slow the audio thread; an instrument given no
// input buffers plays as if its inputs were silent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/DenormalGuard.h"
#include "midi/PluginHarness.h"

namespace tess {
namespace {

using test::PluginHarness;

TEST(AudioCallback, AnInstrumentGivenNoInputBuffersHearsSilenceOnIn) {
    const std::string instrument = "LAYER\nOUT = IN + SIN(6.2831853 * FREQ * TIME) * 0.1\n";
    constexpr int kFrames = 10000;  // longer than one slice of the engine
    std::vector<float> silence(kFrames, 0.0f), expectedLeft(kFrames), expectedRight(kFrames);
    {
        PluginHarness h(instrument);
        h.block(16, {test::noteOn(0, 69)});
        float* inputs[2] = {silence.data(), silence.data()};
        float* outputs[2] = {expectedLeft.data(), expectedRight.data()};
        vst::AEffect* effect = h.plugin().getAeffect();
        effect->processReplacing(effect, inputs, outputs, kFrames);
    }
    float* const noBuffers[2] = {nullptr, nullptr};
    float* const oneBuffer[2] = {silence.data(), nullptr};
    struct Case {
        const char* what;
        float** inputs;
    };
    const Case cases[] = {
        {"no input array", nullptr},
        {"an array of null pointers", const_cast<float**>(noBuffers)},
        {"a right input missing", const_cast<float**>(oneBuffer)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PluginHarness h(instrument);
        h.block(16, {test::noteOn(0, 69)});
        std::vector<float> left(kFrames, 9.0f), right(kFrames, 9.0f);
        float* outputs[2] = {left.data(), right.data()};
        vst::AEffect* effect = h.plugin().getAeffect();
        effect->processReplacing(effect, c.inputs, outputs, kFrames);
        EXPECT_EQ(left, expectedLeft);
        EXPECT_EQ(right, expectedRight);
        EXPECT_GT(test::peakLevel(left), 0.09f);
    }
}

#ifdef TESSARINE_HAS_MXCSR

constexpr unsigned kFlushBits = DenormalGuard::kFlushToZero | DenormalGuard::kDenormalsAreZero;

// Restores the test thread's mode whatever a test leaves behind.
class HostFloatMode {
public:
    explicit HostFloatMode(unsigned mode) : saved_(_mm_getcsr()) { _mm_setcsr(mode); }
    ~HostFloatMode() { _mm_setcsr(saved_); }

private:
    unsigned saved_;
};

TEST(AudioCallback, DenormalResultsAndOperandsBecomeZeroInsideTheCallbacks) {
    struct Case {
        const char* what;
        const char* out;  // tiny without the mode, 0 with it
    };
    const Case cases[] = {
        // 1e-20 * 1e-20 is below the normal range: flushed to zero it stays 0 when scaled up.
        {"a denormal result", "OUT = (1e-20 + TIME * 0) * 1e-20 * 1e20\n"},
        // The constant 1e-40 is itself denormal: read as zero it makes the product, a normal
        // 1e-10 otherwise, 0.
        {"a denormal operand", "OUT = (1e30 + TIME * 0) * 1e-40\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HostFloatMode host(_mm_getcsr() & ~kFlushBits);
        PluginHarness h(std::string("LAYER\n") + c.out);
        const std::vector<float> left = h.render(512, {test::noteOn(0, 60)});
        ASSERT_EQ(h.activeVoices(), 1) << h.log();
        for (float sample : left) ASSERT_EQ(sample, 0.0f);

        // The same arithmetic outside the callbacks, in the host's mode, is not zero.
        volatile float tiny = 1e-20f, scale = 1e20f, denormal = 1e-40f, large = 1e30f;
        EXPECT_GT(tiny * tiny * scale, 0.0f);
        EXPECT_GT(denormal * large, 0.0f);
    }
}

TEST(AudioCallback, TheHostsModeIsRestoredAndTheFlushIsOnInsideEveryCallback) {
    // Host modes: the usual default, one that rounds toward zero, and one that already flushes.
    const unsigned modes[] = {0x1F80, 0x1F80 | 0x6000, 0x1F80 | kFlushBits};
    for (unsigned mode : modes) {
        SCOPED_TRACE(mode);
        PluginHarness h(test::kSineLayer);
        std::vector<unsigned> inside;
        h.onCallback = [&inside](vst::VstInt32) { inside.push_back(_mm_getcsr()); };
        const HostFloatMode host(mode);
        h.block(256, {test::noteOn(0, 60)});  // processEvents passes the events back; processReplacing asks the time
        EXPECT_EQ(_mm_getcsr() & ~0x3Fu, mode & ~0x3Fu);  // the six sticky exception flags aside
        ASSERT_GE(inside.size(), 2u);
        for (unsigned seen : inside) EXPECT_EQ(seen & ~0x3Fu, (mode | kFlushBits) & ~0x3Fu);
    }
}

#endif

}  // namespace
}  // namespace tess
