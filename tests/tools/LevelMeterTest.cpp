#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tessarine/Levels.h"

namespace tess::tool {
namespace {

// Peak and RMS over blocks of any length, non-finite samples counted and left out of both.
TEST(LevelMeter, PeakRmsAndNonFiniteSamplesOverBlocks) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> left, right;
    for (int i = 0; i < 1001; ++i) {
        left.push_back(0.5f * std::sin(0.01f * static_cast<float>(i)));
        right.push_back(i % 250 == 7 ? (i % 500 == 7 ? nan : -inf) : -0.25f);
    }
    left[333] = -0.9f;
    double squares = 0.0, rightSquares = 0.0;
    int finiteRight = 0;
    for (int i = 0; i < 1001; ++i) {
        squares += static_cast<double>(left[static_cast<std::size_t>(i)]) * left[static_cast<std::size_t>(i)];
        if (std::isfinite(right[static_cast<std::size_t>(i)])) {
            rightSquares += 0.0625;
            ++finiteRight;
        }
    }
    for (std::size_t block : {1u, 3u, 64u, 1001u}) {
        LevelMeter meter;
        for (std::size_t at = 0; at < left.size(); at += block) {
            const std::size_t n = std::min(block, left.size() - at);
            meter.add(left.data() + at, right.data() + at, n);
        }
        EXPECT_EQ(meter.peak(0), 0.9f) << block;
        EXPECT_EQ(meter.peak(1), 0.25) << block;
        EXPECT_NEAR(meter.rms(0), std::sqrt(squares / 1001.0), 1e-12) << block;
        EXPECT_NEAR(meter.rms(1), std::sqrt(rightSquares / 1001.0), 1e-12) << block;
        EXPECT_EQ(meter.nonFiniteSamples(), 1001 - finiteRight) << block;
    }
}

}  // namespace
}  // namespace tess::tool
