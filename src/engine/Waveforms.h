// The two waveform sets of the engine, evaluated at a phase p in [-pi, pi]:
//  - basic waveforms 0..12 (additive partials, LFO, LFO0, RND): sine, square, saw, triangle,
//    noise, four increasingly square sines and four saws with rounded resets;
//  - shaped waveforms 0..5 (OSCSYN, LFO1, LFOSYN, the voice modulators): sine with an exponent,
//    pulse with a duty cycle, triangle with a moving peak, curved saw, curved triangle, noise.
// Unknown numbers give 0.
#pragma once

#include <cmath>

#include "engine/Noise.h"

namespace tess::wave {

inline constexpr float kPi = 3.14159265358979f;
inline constexpr float kTwoPi = 6.28318530717959f;

float basic(int code, float p, Noise& noise);
// basic() at the n phases p, into out: the waveform chosen once for all of them.
void basicRun(int code, const float* p, float* out, int n, Noise& noise);
// The basic waveform that draws from the noise source.
inline bool basicIsNoise(int code) { return code == 4; }
float shaped(int code, float shape, float p, Noise& noise);
// The shaped waveform that draws from the noise source.
inline bool shapedIsNoise(int code) { return code == 5; }
// shaped() at the n phases p, into out: the waveform chosen once for all of them.
void shapedRun(int code, float shape, const float* p, float* out, int n, Noise& noise);

// A waveform number from a float argument, truncated toward zero. Values far outside every
// waveform set and NaN give -1, an unknown number, so the conversion is always defined.
inline int waveNumber(float v) { return v > -1.0f && v < 1000.0f ? static_cast<int>(v) : -1; }

// Triangle through 0 at p = 0 with its peaks +-1 at +-pi/2 (basic waveform 3).
float triangle(float p);

// Brings a phase into [-pi, pi] by whole turns; returns the amount added.
inline float wrapOffset(float p) {
    if (p >= -kPi && p <= kPi) return 0.0f;
    float offset = -std::floor((p + kPi) / kTwoPi) * kTwoPi;
    // Rounding can leave the result a hair outside; one more turn settles it.
    if (p + offset > kPi) offset -= kTwoPi;
    if (p + offset < -kPi) offset += kTwoPi;
    return offset;
}
inline float wrap(float p) { return p + wrapOffset(p); }

}  // namespace tess::wave
