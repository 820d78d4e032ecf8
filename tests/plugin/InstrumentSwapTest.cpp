#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "plugin/InstrumentSwap.h"

namespace tess {
namespace {

// The audio side of a swap, driven block by block over a constant signal of 1 while the loader
// waits for the fade: the old sound ramps down to the last frame of a block, never through a
// frame at gain 0; then blocks are silent until the install; the new sound ramps up from its
// first frame, which is not 0 either. So the silence between the two sounds is exactly the
// blocks the swap itself takes.
TEST(InstrumentSwap, TheFadesLeaveNoZeroFrameOfTheirOwn) {
    for (const int block : {64, 256, 1000}) {
        SCOPED_TRACE(block);
        InstrumentSwap swap;
        std::vector<float> all;
        std::vector<float> left(static_cast<std::size_t>(block)), right(static_cast<std::size_t>(block));
        float* outputs[2] = {left.data(), right.data()};
        auto playBlock = [&] {
            swap.callbackStarted();
            if (swap.silent()) {
                std::fill(left.begin(), left.end(), 0.0f);
            } else {
                std::fill(left.begin(), left.end(), 1.0f);
                std::fill(right.begin(), right.end(), 1.0f);
                swap.shapeOutput(outputs, block, 44100.0f);
            }
            all.insert(all.end(), left.begin(), left.end());
        };
        playBlock();
        std::atomic<bool> faded{false};
        std::thread loader([&] { faded = swap.fadeOut(std::chrono::milliseconds(5000)); });
        // The loader's request arrives between blocks; play until the fade has run out.
        while (!swap.silent()) playBlock();
        loader.join();
        ASSERT_TRUE(faded.load());
        const std::size_t fadeEnd = all.size();
        playBlock();  // one silent block: the install takes this long here
        swap.installed(true);
        for (int i = 0; i < 2 + 200 / block; ++i) playBlock();

        std::size_t zeros = 0, longest = 0;
        for (float v : all) {
            zeros = v == 0.0f ? zeros + 1 : 0;
            longest = std::max(longest, zeros);
        }
        EXPECT_EQ(longest, static_cast<std::size_t>(block));
        EXPECT_GT(all[fadeEnd - 1], 0.0f);             // the old sound's last frame
        EXPECT_LT(all[fadeEnd - 1], 0.01f);            // ... is at the end of its ramp
        EXPECT_GT(all[fadeEnd + block], 0.0f);         // the new sound's first frame
        EXPECT_LT(all[fadeEnd + block], 0.01f);        // ... is at the start of its ramp
        EXPECT_EQ(all.back(), 1.0f);                   // and it reaches full level
        for (std::size_t i = block; i + 1 < fadeEnd; ++i)  // the fade-out only falls
            ASSERT_GE(all[i], all[i + 1]) << i;
    }
}

}  // namespace
}  // namespace tess
