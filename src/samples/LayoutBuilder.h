// Prepares the frames read from a sample file for the player: plays them forward, backward, or
// forward and backward joined by equal-power crossfades, and places the loop and release
// markers where the player expects them.
//
// The player only ever moves forward through the prepared data: a backward sample is stored
// reversed, and a looped forward-backward sample is stored with its loop unrolled (forward
// pass, backward pass) so that a plain wrap by the loop length plays the ping-pong. The
// material after the loop follows the unrolled loop, so the loop can be left (loop count
// reached, release) and playback runs on through the rest of the sample.
#pragma once

#include <cstdint>
#include <vector>

#include "samples/SampleSlot.h"

namespace tess {

struct LayoutRequest {
    const float* data = nullptr;  // interleaved frames
    int channels = 1;
    std::int64_t frames = 0;
    std::uint8_t loopFlags = 0;
    int direction = 0;  // 0 forward, 1 backward, 2 forward + backward, 3 backward + forward
    // Relative to the first frame of `data`.
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = 0;
    std::int64_t release = SampleSlot::kNoRelease;
    int crossfade = 5;         // the joins between forward and backward passes
    int releaseCrossfade = 5;  // kept for the player
    int halfWidth = 7;         // the kernel in force: fades stop this many frames short of an end
};

struct Layout {
    std::vector<float> data;  // interleaved
    std::int64_t frames = 0;
    SampleMarkers markers;
};

// False when nothing playable can be made (no frames, or more than the markers can address).
bool buildLayout(const LayoutRequest& request, Layout& layout);

}  // namespace tess
