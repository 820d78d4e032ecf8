#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/VoiceMix.h"

namespace tess {
namespace {

// The mix one sample at a time, as the per-sample render path does it.
float mixOneByOne(const Stereo* out, float crossfade, float* left, float* right, int n, float level) {
    for (int i = 0; i < n; ++i) {
        const float l = out[i].l * crossfade;
        const float r = out[i].r * crossfade;
        left[i] += l;
        right[i] += r;
        level = std::max(level, std::fabs(l) + std::fabs(r));
    }
    return level;
}

// The run mix gives the same outputs and level, bit for bit, as the sample-by-sample mix: for
// every length around the four-at-once steps, with NaN, infinities, -0 and a negative gain.
TEST(VoiceMix, RunMixEqualsTheMixSampleBySample) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        std::vector<float> values;  // cycled through the channels
        float crossfade, level;
    } cases[] = {
        {"ordinary", {0.25f, -0.5f, 0.125f, 0.75f, -1.0f, 0.3f, 0.01f}, 0.8f, 0.0f},
        {"level from earlier runs", {0.25f, -0.5f, 0.125f}, 1.0f, 5.0f},
        {"negative gain and -0", {-0.0f, 0.0f, -0.5f, 2.0f}, -0.5f, 0.0f},
        {"NaN passed over by the level", {nan, 0.5f, -0.25f, nan, 3.0f}, 1.0f, 0.0f},
        {"infinities", {inf, -inf, 0.5f, 1.0f}, 0.5f, 0.0f},
    };
    for (const auto& c : cases) {
        for (int n : {0, 1, 3, 4, 5, 7, 8, 9, 63, 64}) {
            std::vector<Stereo> out(static_cast<std::size_t>(n));
            std::vector<float> leftA(static_cast<std::size_t>(n)), rightA(leftA.size());
            for (int i = 0; i < n; ++i) {
                const std::size_t k = static_cast<std::size_t>(i);
                out[k] = {c.values[(2 * k) % c.values.size()], c.values[(2 * k + 1) % c.values.size()]};
                leftA[k] = 0.1f * static_cast<float>(i);
                rightA[k] = -0.2f * static_cast<float>(i);
            }
            std::vector<float> leftB = leftA, rightB = rightA;
            const float a = mixVoiceRun(out.data(), c.crossfade, leftA.data(), rightA.data(), n, c.level);
            const float b = mixOneByOne(out.data(), c.crossfade, leftB.data(), rightB.data(), n, c.level);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b)) << c.name << ", n " << n;
            for (std::size_t k = 0; k < leftA.size(); ++k) {
                EXPECT_EQ(std::bit_cast<std::uint32_t>(leftA[k]), std::bit_cast<std::uint32_t>(leftB[k]))
                    << c.name << ", n " << n << ", left " << k;
                EXPECT_EQ(std::bit_cast<std::uint32_t>(rightA[k]), std::bit_cast<std::uint32_t>(rightB[k]))
                    << c.name << ", n " << n << ", right " << k;
            }
        }
    }
}

}  // namespace
}  // namespace tess
