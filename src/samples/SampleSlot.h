// One SampleSlot: the waveform an oscillator plays. Either sampled audio prepared for the
// player (the layout builder's data and markers) or an additive recipe of up to 32 harmonics.
// Slots are descriptions filled at load time; the audio thread only reads them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tess {

// Where the player finds the loop and the release part inside the prepared data. Every value
// is a frame index of the prepared data.
struct SampleMarkers {
    std::int32_t lastIndex = -1;   // last playable frame
    std::int32_t loopStart = 0;
    std::int32_t loopEnd = 0;
    std::int32_t loopLength = 0;   // loopEnd - loopStart
    std::int32_t releaseStart = 0;
};

struct SampleSlot {
    static constexpr int kMaxHarmonics = 32;
    static constexpr std::uint8_t kSampled = 0;
    static constexpr std::uint8_t kAdditive = 1;
    static constexpr std::uint8_t kEmpty = 255;  // nothing to play
    // Loop flags: the player loops; a release part lies inside the sample.
    static constexpr std::uint8_t kLoops = 2;
    static constexpr std::uint8_t kHasRelease = 1;
    static constexpr std::int64_t kNoRelease = 10000000000LL;

    std::uint8_t kind = kEmpty;

    // Additive recipe. Phases are kept in radians, ready to add to an oscillator phase.
    int harmonicCount = 0;
    std::array<std::int8_t, kMaxHarmonics> codes{};
    std::array<float, kMaxHarmonics> amplitudes{};
    std::array<float, kMaxHarmonics> ratios{};
    std::array<float, kMaxHarmonics> phases{};

    // Prepared sample data; `right` is empty for mono.
    std::vector<float> left;
    std::vector<float> right;
    int channels = 1;
    std::int32_t frames = 0;
    std::string fileName;
    float fileRate = 44100.0f;
    float centreNote = 69.0f;
    SampleMarkers markers;
    std::uint8_t loopFlags = 0;
    std::int32_t looped = 1;  // the player's loop count: 0 without limit
    std::uint8_t direction = 0;
    std::int64_t releasePoint = kNoRelease;  // relative to the start that was read
    // The file frames the load settled on (start, end, loop), so that a sample panel can show
    // and rebuild the slot from the values it was made with.
    std::int64_t fileStart = 0;
    std::int64_t fileEnd = 0;
    std::int64_t fileLoopStart = 0;
    std::int64_t fileLoopEnd = 0;
    std::array<std::int32_t, 3> crossfades{5, 5, 5};
    std::uint8_t normalisation = 0;

    bool playable() const {
        return (kind == kSampled && frames > 0 && !left.empty()) || (kind == kAdditive && harmonicCount > 0);
    }
    bool hasSamples() const { return !left.empty() || !right.empty(); }
    const float* rightData() const { return channels == 2 && !right.empty() ? right.data() : left.data(); }

    // Frees the sample data and forgets everything: the slot plays nothing.
    void clear() { *this = SampleSlot{}; }
};

}  // namespace tess
