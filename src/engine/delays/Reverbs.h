// REVERB, REVERB1 and REVERB2: twelve parallel combs with two-band feedback, summed, then six
// allpasses in series. Only the reverberated signal comes out (no dry part).
#pragma once

#include "engine/Stereo.h"
#include "engine/delays/DelayMemory.h"

namespace tess::fx {

// The single values that shape a reverb (taken from the left channel of their arguments).
struct ReverbShape {
    float size = 1.0f;       // scales every delay (REVERB: 1)
    float spread = 0.0f;     // frames the left combs are shorter and the right ones longer,
                             // clamped to -100 .. 100 before the size scales it
    float diffusion = 0.618f;  // the allpass gain (REVERB, REVERB1: 0.618)
    float cutoff = 0.0f;     // Hz, of the combs' feedback split
};

// x is fed into every comb; fbLow and fbHigh (per channel) weigh the low-passed and the
// remaining part of each comb's feedback.
Stereo reverb(DelayState& state, Stereo x, Stereo fbLow, Stereo fbHigh, const ReverbShape& shape,
              float sampleRate);

}  // namespace tess::fx
