// ROUNDF and ROUNDF2: snapping a frequency to the nearest note of the layer's tuning
// (BASEF, KEYTRACK, KEYCENTER) and the active temperament.
#pragma once

#include "engine/Stereo.h"

namespace tess::math {

struct TuningContext {
    float base = 440.0f;             // BASEF
    float track = 1.0f;              // KEYTRACK
    float center = 69.0f;            // KEYCENTER
    const float* cents12 = nullptr;  // the active temperament's 12 offsets; null: none
};

// n = round((log2(f / base) * 12 / track + center) / step) * step, q = n's pitch class in
// 0..11 (n truncated to an integer first), result base * 2^((cents[q] / 100 + n - center)
// * track / 12). When no finite note number can be formed (KEYTRACK or step 0, f not above 0)
// the frequency is returned unchanged instead of a NaN or a zero leaking into the voice.
float roundToNote(const TuningContext& tuning, float f, float step);
int pitchClassOf(float note);

// ROUNDF(f) is ROUNDF2(f, 1).
Stereo opRoundF(const TuningContext& tuning, Stereo f);
Stereo opRoundF2(const TuningContext& tuning, Stereo f, Stereo step);

}  // namespace tess::math
