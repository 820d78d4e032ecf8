#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "samples/LayoutBuilder.h"
#include "samples/Normalisation.h"

namespace tess {
namespace {

// Material whose value names its frame: frame i holds i (left) and -i (right).
std::vector<float> frames(int n, int channels) {
    std::vector<float> v;
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) v.push_back(c == 0 ? static_cast<float>(i) : -static_cast<float>(i));
    return v;
}

Layout build(const std::vector<float>& material, int channels, int direction, std::uint8_t flags, int loopStart,
             int loopEnd, std::int64_t release, int crossfade = 0) {
    LayoutRequest r;
    r.data = material.data();
    r.channels = channels;
    r.frames = static_cast<std::int64_t>(material.size()) / channels;
    r.direction = direction;
    r.loopFlags = flags;
    r.loopStart = loopStart;
    r.loopEnd = loopEnd;
    r.release = release;
    r.crossfade = crossfade;
    Layout layout;
    EXPECT_TRUE(buildLayout(r, layout));
    return layout;
}

// The frames a player moving one frame per sample reads: it wraps by the loop length at the
// loop end for `wraps` times, then runs on to the last frame.
std::vector<float> played(const Layout& layout, int wraps) {
    std::vector<float> out;
    const SampleMarkers& m = layout.markers;
    std::int64_t p = 0;
    while (p <= m.lastIndex && out.size() < 100000) {
        if (wraps > 0 && p >= m.loopEnd) {
            p -= m.loopLength;
            --wraps;
        }
        out.push_back(layout.data[static_cast<std::size_t>(p)]);
        ++p;
    }
    return out;
}

std::vector<float> sequence(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<float> v;
    for (auto [from, to] : runs)
        for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1) v.push_back(static_cast<float>(i));
    return v;
}

TEST(LayoutBuilder, EachDirectionPlaysItsMaterialInOrder) {
    const std::vector<float> m = frames(20, 1);
    const struct {
        int direction;
        std::uint8_t flags;
        int wraps;
        std::vector<float> expected;
    } cases[] = {
        // Loop 5..12 (relative), release at 15 where a release is asked for.
        {0, 0, 0, sequence({{0, 19}})},
        {1, 0, 0, sequence({{19, 0}})},
        {2, 0, 0, sequence({{0, 19}, {18, 0}})},
        {3, 0, 0, sequence({{19, 0}, {1, 19}})},
        {0, SampleSlot::kLoops, 2, sequence({{0, 11}, {5, 11}, {5, 19}})},
        // A backward sample loops the same file frames, 11 down to 5.
        {1, SampleSlot::kLoops, 1, sequence({{19, 5}, {11, 0}})},
        // Forward + backward loops turn on both loop points, then the rest follows.
        {2, SampleSlot::kLoops, 2, sequence({{0, 12}, {11, 5}, {6, 12}, {11, 5}, {6, 12}, {11, 5}, {6, 19}})},
        {3, SampleSlot::kLoops, 1, sequence({{19, 5}, {6, 12}, {11, 5}, {6, 12}, {11, 0}})},
    };
    for (const auto& c : cases) {
        const Layout layout = build(m, 1, c.direction, c.flags, 5, 12, SampleSlot::kNoRelease);
        EXPECT_EQ(played(layout, c.wraps), c.expected) << "direction " << c.direction << " flags " << int(c.flags);
        EXPECT_EQ(layout.markers.lastIndex, layout.frames - 1);
        EXPECT_EQ(layout.markers.loopLength, layout.markers.loopEnd - layout.markers.loopStart);
    }
}

TEST(LayoutBuilder, ReleaseMarkersPointAtTheReleaseFrameInPlayOrder) {
    const std::vector<float> m = frames(40, 2);
    const std::uint8_t both = SampleSlot::kLoops | SampleSlot::kHasRelease;
    const struct {
        int direction;
        std::uint8_t flags;
        int release;
        float expected;  // the file frame at the release marker
    } cases[] = {
        {0, SampleSlot::kHasRelease, 30, 30}, {1, SampleSlot::kHasRelease, 30, 30},
        {2, both, 30, 30},                    {2, both, 3, 3},
        {3, both, 30, 30},                    {0, both, 25, 25},
    };
    for (const auto& c : cases) {
        const Layout layout = build(m, 2, c.direction, c.flags, 10, 20, c.release);
        const auto at = static_cast<std::size_t>(layout.markers.releaseStart) * 2;
        EXPECT_EQ(layout.data[at], c.expected) << c.direction;
        EXPECT_EQ(layout.data[at + 1], -c.expected) << c.direction;  // channels stay paired
    }
}

TEST(LayoutBuilder, JoinsAreEqualPowerAndTakeAtMostHalfAPiece) {
    // A constant signal through a forward + backward join: equal-power gains sum above 1 in the
    // middle of the fade (sqrt(r) + sqrt(1 - r) peaks at sqrt(2)), and the fade never shortens
    // the material by more than half.
    const std::vector<float> ones(10, 1.0f);
    const Layout layout = build(ones, 1, 2, 0, 0, 9, SampleSlot::kNoRelease, 100);
    EXPECT_EQ(layout.frames, 10 + 9 - 4);  // a fade of 4 frames: half of the 9-frame backward pass
    float highest = 0.0f;
    for (float v : layout.data) {
        EXPECT_GE(v, 1.0f - 1e-6f);
        highest = std::max(highest, v);
    }
    EXPECT_NEAR(highest, std::sqrt(0.4f) + std::sqrt(0.6f), 1e-5f);  // r = 2/5 and 3/5 in the middle
}

TEST(LayoutBuilder, RefusesWhatCannotBePlayed) {
    Layout layout;
    LayoutRequest none;
    EXPECT_FALSE(buildLayout(none, layout));
    const std::vector<float> one{0.5f};
    LayoutRequest r;
    r.data = one.data();
    r.frames = 1;
    r.channels = 3;
    EXPECT_FALSE(buildLayout(r, layout));
    r.channels = 1;
    r.loopFlags = SampleSlot::kLoops;
    r.direction = 2;
    ASSERT_TRUE(buildLayout(r, layout));  // one frame: playable, the loop spans nothing
    EXPECT_EQ(layout.frames, 1);
    EXPECT_EQ(layout.markers.loopLength, 0);
}

TEST(Normalisation, ModesScaleByPeakOrRms) {
    std::vector<float> half(1000), quarter(1000), silent(1000, 0.0f), tiny(1000, 1e-5f);
    for (int i = 0; i < 1000; ++i) {
        half[static_cast<std::size_t>(i)] = (i % 2 == 0 ? 0.5f : -0.25f);
        quarter[static_cast<std::size_t>(i)] = (i % 2 == 0 ? 0.25f : -0.25f);
    }
    const std::vector<float> none;
    const struct {
        int mode;
        const std::vector<float>* left;
        const std::vector<float>* right;
        float l, r;
    } cases[] = {
        {0, &half, &none, 1.0f, 1.0f},
        {1, &half, &none, 2.0f, 2.0f},           // a file peaking at 0.5 is doubled
        {1, &silent, &none, 1000.0f, 1000.0f},   // silence: peak taken as 0.001
        {1, &half, &quarter, 2.0f, 2.0f},        // the louder channel sets both
        {2, &half, &quarter, 2.0f, 4.0f},        // each channel its own
        {2, &tiny, &half, 1000.0f, 2.0f},
        // RMS of the 300 frames from 10 % on, over n + 1 frames: 0.25 * sqrt(300 / 301).
        {3, &quarter, &none, 1.0f / std::sqrt(300.0f / 301.0f), 1.0f / std::sqrt(300.0f / 301.0f)},
        {3, &silent, &silent, 25.0f, 25.0f},     // RMS taken as at least 0.01
        {4, &quarter, &tiny, 1.0f / std::sqrt(300.0f / 301.0f), 25.0f},
    };
    for (const auto& c : cases) {
        const NormalisationFactors f = normalisationFactors(c.mode, *c.left, *c.right);
        EXPECT_NEAR(f.left, c.l, c.l * 1e-5f) << c.mode;
        EXPECT_NEAR(f.right, c.r, c.r * 1e-5f) << c.mode;
    }
    std::vector<float> left = half, right;
    normalise(1, left, right);
    for (std::size_t i = 0; i < left.size(); ++i) ASSERT_EQ(left[i], half[i] * 2.0f);
}

}  // namespace
}  // namespace tess
