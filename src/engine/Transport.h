// The host's timeline as the engine sees it, refreshed once per block: tempo and metre, the
// song clock used for bar-aligned timing, and transport-stop detection.
#pragma once

#include <cstdint>

#include "plugin/vst/VstAbi.h"

namespace tess {

class Transport {
public:
    // Takes the block's time information (null when the host gives none). Returns true on the
    // first block whose host position did not move after a block whose position did: the
    // transport stopped.
    bool update(const vst::VstTimeInfo* info, std::int64_t sampleClock, float sampleRate);

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
