// SHOLD(x, p): sample and hold with a period of p bars, each channel with its own period.
#pragma once

#include <cstdint>

#include "engine/Stereo.h"

namespace tess::math {

// The held values live in the Operation that calls SHOLD.
struct SampleHoldState {
    Stereo held;
};

// Samples x at the voice's first sample (t == startTime) and, when the period
// trunc(p * samplesPerBar) is above 1, whenever t - startTime is a multiple of it. With a
// period of 1 or less the first value is held for the whole note. Returns the held value.
Stereo opShold(SampleHoldState& state, Stereo x, Stereo p, std::int64_t t, std::int64_t startTime,
               double samplesPerBar);

}  // namespace tess::math
