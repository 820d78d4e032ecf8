#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "plugin/HostTransport.h"

namespace tess {
namespace {

vst::VstTimeInfo hostTime(double samplePos, double tempo, int numerator, int denominator, int flags) {
    vst::VstTimeInfo info{};
    info.samplePos = samplePos;
    info.sampleRate = 44100.0;
    info.tempo = tempo;
    info.timeSigNumerator = numerator;
    info.timeSigDenominator = denominator;
    info.flags = flags;
    return info;
}

constexpr int kPlaying = vst::kVstTransportPlaying;
constexpr int kValid = vst::kVstTempoValid | vst::kVstTimeSigValid;

TEST(HostTransport, NoRecordFromTheHostIsNoTransportInput) {
    EXPECT_FALSE(transportFromHost(nullptr).has_value());
}

TEST(HostTransport, TheHostsFieldsBecomeTheEnginesInput) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        vst::VstTimeInfo info;
        float tempo;
        std::int32_t numerator;
        std::int32_t denominator;
        std::int64_t position;
        bool playing;
    } cases[] = {
        {"playing", hostTime(88200.0, 96.5, 3, 4, kValid | kPlaying), 96.5f, 3, 4, 88200, true},
        {"stopped", hostTime(512.0, 120.0, 4, 4, kValid), 120.0f, 4, 4, 512, false},
        {"other flags do not make it play", hostTime(0.0, 120.0, 4, 4, ~kPlaying), 120.0f, 4, 4, 0, false},
        {"fields without their validity flags", hostTime(64.0, 140.0, 7, 8, kPlaying), 140.0f, 7, 8, 64, true},
        {"a fractional position is truncated", hostTime(1000.75, 120.0, 4, 4, 0), 120.0f, 4, 4, 1000, false},
        {"a pre-roll position is truncated toward 0", hostTime(-1000.75, 120.0, 4, 4, 0), 120.0f, 4, 4, -1000,
         false},
        {"zero tempo", hostTime(0.0, 0.0, 4, 4, 0), 0.0f, 4, 4, 0, false},
        {"negative tempo", hostTime(0.0, -120.0, 4, 4, 0), 0.0f, 4, 4, 0, false},
        {"tempo not a number", hostTime(0.0, nan, 4, 4, 0), 0.0f, 4, 4, 0, false},
        {"infinite tempo", hostTime(0.0, inf, 4, 4, 0), 0.0f, 4, 4, 0, false},
        {"tempo beyond a float", hostTime(0.0, 1e39, 4, 4, 0), 0.0f, 4, 4, 0, false},
        {"no time signature", hostTime(0.0, 120.0, 0, 0, 0), 120.0f, 0, 0, 0, false},
        {"negative time signature", hostTime(0.0, 120.0, -3, -8, 0), 120.0f, 0, 0, 0, false},
        {"lowest 64-bit position", hostTime(-std::ldexp(1.0, 63), 120.0, 4, 4, 0), 120.0f, 4, 4,
         std::numeric_limits<std::int64_t>::min(), false},
    };
    for (const auto& c : cases) {
        const std::optional<TransportInput> input = transportFromHost(&c.info);
        ASSERT_TRUE(input.has_value()) << c.what;
        EXPECT_EQ(input->tempo, c.tempo) << c.what;
        EXPECT_EQ(input->numerator, c.numerator) << c.what;
        EXPECT_EQ(input->denominator, c.denominator) << c.what;
        EXPECT_EQ(input->samplePosition, c.position) << c.what;
        EXPECT_EQ(input->playing, c.playing) << c.what;
    }
}

TEST(HostTransport, APositionThatIsNoSampleCountIsNoTransportInput) {
    const double positions[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(), std::ldexp(1.0, 63), 1e300,
                                -1e300};
    for (double position : positions) {
        const vst::VstTimeInfo info = hostTime(position, 120.0, 4, 4, kValid | kPlaying);
        EXPECT_FALSE(transportFromHost(&info).has_value()) << position;
    }
}

}  // namespace
}  // namespace tess
