// The host's timeline as the engine sees it, refreshed once per block: tempo and metre, the
// song clock used for bar-aligned timing, and transport-stop detection.
#pragma once

#include <cstdint>

namespace tess {

// What the host reports about its timeline for one block, in the engine's own terms. A tempo
// or a time-signature value not above 0 was not given: the last one given stays in force.
struct TransportInput {
    float tempo = 0.0f;  // beats per minute
    std::int32_t numerator = 0;
    std::int32_t denominator = 0;
    std::int64_t samplePosition = 0;  // the host's position of the block's first sample
    bool playing = false;             // the host's transport runs
};

class Transport {
public:
    // Takes the block's transport input (null when the host gives none). Returns true on the
    // first block whose host position did not move after a block whose position did: the
    // transport stopped.
    bool update(const TransportInput* input, std::int64_t sampleClock, float sampleRate);

    float tempo = 120.0f;
    float numerator = 4.0f;
    float denominator = 4.0f;
    std::int64_t songClock = 0;
    double samplesPerBar = 88200.0;
    float barsPerSecond = 0.5f;

private:
    std::int64_t lastHostPosition_ = 0;
    bool positionUnchanged_ = true;
};

}  // namespace tess
