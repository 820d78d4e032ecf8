// Trigonometric and rounding built-ins, per channel in single precision.
#pragma once

#include <cmath>

#include "engine/Stereo.h"
#include "engine/math/Arithmetic.h"

namespace tess::math {

inline Stereo opSin(Stereo x) {
    return perChannel(x, [](float v) { return std::sin(v); });
}
inline Stereo opCos(Stereo x) {
    return perChannel(x, [](float v) { return std::cos(v); });
}
inline Stereo opTan(Stereo x) {
    return perChannel(x, [](float v) { return std::tan(v); });
}
inline Stereo opAsin(Stereo x) {
    return perChannel(x, [](float v) { return std::asin(v); });
}
inline Stereo opAcos(Stereo x) {
    return perChannel(x, [](float v) { return std::acos(v); });
}
inline Stereo opAtan(Stereo x) {
    return perChannel(x, [](float v) { return std::atan(v); });
}

// SINC(f) at the voice's TIME t (seconds): y = 2 pi f t + 1e-30, sin(y) / y. The offset makes
// the first sample of a voice (t = 0) exactly 1.
inline float sincAt(float f, float t) {
    const float y = 6.2831855f * f * t + 1e-30f;
    return std::sin(y) / y;
}
inline Stereo opSinc(Stereo f, float timeSeconds) {
    return {sincAt(f.l, timeSeconds), sincAt(f.r, timeSeconds)};
}

// ROUND: halves away from zero.
inline Stereo opRound(Stereo x) {
    return perChannel(x, [](float v) { return std::round(v); });
}

// FLOOR and CEIL work on the 32-bit integer range; anything outside it (including infinities
// and NaN) is returned unchanged.
inline bool inInt32Range(float v) {
    return v >= -2147483648.0f && v < 2147483648.0f;
}
inline float floorInRange(float v) {
    return inInt32Range(v) ? std::floor(v) : v;
}
inline float ceilInRange(float v) {
    return inInt32Range(v) ? std::ceil(v) : v;
}
inline Stereo opFloor(Stereo x) {
    return perChannel(x, floorInRange);
}
inline Stereo opCeil(Stereo x) {
    return perChannel(x, ceilInRange);
}

// FRAC: fractional part with the sign of x.
inline Stereo opFrac(Stereo x) {
    return perChannel(x, [](float v) {
        float whole;
        return std::modf(v, &whole);
    });
}

}  // namespace tess::math
