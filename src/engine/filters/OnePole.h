// The one-pole smoother shared by the filters, the filtered delay feedbacks and the reverb
// combs: m = m + (x - m) * (1 - c) with c = exp(-2 pi fc / rate).
#pragma once

#include <cmath>

namespace tess::filt {

inline constexpr float kTwoPi = 6.2831855f;

// The coefficient c of a low-pass at `fc` Hz. A cutoff below 0 counts as 0 (c = 1, the memory
// holds still): c above 1 would make the memory grow without bound.
inline float lowPassCoefficient(float fc, float sampleRate) {
    return std::exp(-kTwoPi * std::fmax(fc, 0.0f) / sampleRate);
}

// One step of the smoother; returns the new memory (the low-passed value).
inline float onePoleStep(float& memory, float x, float c) {
    memory = memory + (x - memory) * (1.0f - c);
    return memory;
}

}  // namespace tess::filt
