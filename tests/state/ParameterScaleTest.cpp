// Host value to internal value and back for the four scale types, the beat grid, and the
// display texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "state/ParameterScale.h"

namespace tess {
namespace {

std::string display(int type, float x, std::size_t capacity = 64) {
    char text[64];
    std::memset(text, '#', sizeof text);
    formatParameterDisplay(type, x, text, capacity);
    return text;
}

TEST(ParameterScale, HostValueToInternalValue) {
    const struct {
        int type;
        float min, max, host, internal;
        const char* shown;
    } cases[] = {
        {kScaleLinear, 20, 20000, 0.5f, 10010.0f, "10010"},
        {kScaleLogarithmic, 20, 20000, 0.5f, 632.4555f, "632.5"},  // the geometric mean
        {kScaleLogarithmic, 20, 20000, 0.0f, 20.0f, "20.00"},
        {kScaleLogarithmic, 20, 20000, 1.0f, 20000.0f, "20000"},
        {kScaleInteger, 0, 10, 0.33f, 3.0f, "3"},  // roundf(3.3)
        {kScaleInteger, 0, 10, 0.35f, 4.0f, "4"},
        {kScaleBeats, 0.03125f, 4, 0.0677f, 0.25f, "1/4"},  // 0.3 beats on the grid
        {kScaleBeats, 0.03125f, 4, 0.6480f, 3.0f, "3"},     // 2.6 beats
        {kScaleLinear, 10, 0, 0.0f, 10.0f, "10.00"},        // a reversed range
        {kScaleLinear, 10, 0, 1.0f, 0.0f, "0.000000"},
        {kScaleLinear, 0, 1, 1.5f, 1.5f, "1.500"},  // not clamped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " at " + std::to_string(c.host));
        const float x = internalFromHost(c.type, c.min, c.max, c.host);
        EXPECT_NEAR(x, c.internal, 0.0005f * std::max(1.0f, c.internal));
        EXPECT_EQ(display(c.type, x), c.shown);
    }
}

TEST(ParameterScale, InternalValueToHostValueRoundsAndQuantisesFirst) {
    const struct {
        int type;
        float min, max, internal, stored, host;
    } cases[] = {
        {kScaleLinear, 20, 20000, 10010, 10010, 0.5f},
        {kScaleLogarithmic, 20, 20000, 632.4555f, 632.4555f, 0.5f},
        {kScaleInteger, 0, 10, 3.3f, 3, 0.3f},
        {kScaleBeats, 0.03125f, 4, 0.3f, 0.25f, (0.25f - 0.03125f) / 3.96875f},
        {kScaleBeats, 0.03125f, 4, 2.6f, 3, (3 - 0.03125f) / 3.96875f},
        {kScaleLinear, 10, 0, 2.5f, 2.5f, 0.75f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " with " + std::to_string(c.internal));
        float x = c.internal;
        EXPECT_NEAR(hostFromInternal(c.type, c.min, c.max, x), c.host, 1e-6f);
        EXPECT_FLOAT_EQ(x, c.stored);
    }
}

TEST(ParameterScale, TheBeatGridAndItsFractions) {
    const struct {
        float beats, value;
        const char* shown;
    } cases[] = {
        {7.4f, 7, "7"},         {2.5f, 3, "3"},         {1.75f, 2, "2"},        {1.74f, 1.5f, "3/2"},
        {1.25f, 1.5f, "3/2"},   {1.2f, 1, "1"},         {0.85f, 1, "1"},        {0.7f, 0.75f, "3/4"},
        {0.5f, 0.5f, "1/2"},    {0.4f, 0.375f, "3/8"},  {0.2f, 0.25f, "1/4"},   {0.18f, 0.1875f, "3/16"},
        {0.12f, 0.125f, "1/8"}, {0.09f, 0.09375f, "3/32"}, {0.06f, 0.0625f, "1/16"}, {0.04f, 0.03125f, "1/32"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.beats);
        EXPECT_FLOAT_EQ(quantiseBeats(c.beats), c.value);
        EXPECT_EQ(display(kScaleBeats, quantiseBeats(c.beats)), c.shown);
    }
}

TEST(ParameterScale, DecimalsFollowTheMagnitude) {
    const struct {
        float x;
        const char* shown;
    } cases[] = {
        {1234.5f, "1234"}, {-1000.0f, "-1000"}, {999.94f, "999.9"}, {100.0f, "100.0"}, {56.789f, "56.79"},
        {-10.0f, "-10.00"}, {3.14159f, "3.142"}, {0.5f, "0.5000"}, {0.05f, "0.05000"}, {0.001234f, "0.001234"},
        {0.0f, "0.000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(display(kScaleLinear, c.x), c.shown) << c.x;
    EXPECT_EQ(display(kScaleInteger, 2.6f), "3");
}

TEST(ParameterScale, ADisplayFitsItsSpaceWithoutLosingTheNumber) {
    // A host's display field holds 8 characters: a longer number keeps its magnitude.
    EXPECT_EQ(display(kScaleLinear, 123456789.0f, 9), "1.23e+08");
    EXPECT_EQ(display(kScaleLinear, -0.004567f, 9), "-0.00457");
    EXPECT_EQ(display(kScaleLinear, 20000.0f, 9), "20000");
    EXPECT_EQ(display(kScaleBeats, 0.1875f, 3), "3/");  // a fraction is cut, never overrun
    char tiny[1] = {'x'};
    formatParameterDisplay(kScaleLinear, 1.0f, tiny, 1);
    EXPECT_EQ(tiny[0], '\0');
}

}  // namespace
}  // namespace tess
