#include "engine/math/Curve.h"

#include <cmath>

namespace tess::math {

float builtinCurveShape(int n, float x) {
    const int k = -2 - n;
    const int kind = k % 4;
    if (kind == 3) x = x >= 0.5f ? 1.0f : 0.0f;
    if (k & 4) x = 1.0f - x;
    if (k & 8) x = 2.0f * x - 1.0f;
    if (kind == 1) {
        x = x * std::fabs(x);
    } else if (kind == 2) {
        x = std::copysign(std::sqrt(std::fabs(x)), x);
    }
    return x;
}

float curveValue(const CurveTable& curves, float n, float x) {
    // Check the range before converting: a float to int conversion of NaN or of a huge value
    // is undefined. Truncation maps (-18, 256) onto -17 .. 255.
    if (!(n > -18.0f && n < 256.0f)) return x;
    const int number = static_cast<int>(n);
    if (number >= 0) return curves[number].apply(x);
    if (number == -1) return std::fabs(x);
    return builtinCurveShape(number, x);
}

Stereo opCurve(const CurveTable& curves, Stereo n, Stereo x) {
    return {curveValue(curves, n.l, x.l), curveValue(curves, n.r, x.r)};
}

Stereo opMod2(const CurveTable& curves, Stereo a, Stereo b, Stereo ca, Stereo cb, Stereo s,
              Stereo co) {
    auto one = [&curves](float av, float bv, float cav, float cbv, float sv, float cov) {
        return curveValue(curves, cov,
                          curveValue(curves, cav, av) * curveValue(curves, cbv, bv) * sv);
    };
    return {one(a.l, b.l, ca.l, cb.l, s.l, co.l), one(a.r, b.r, ca.r, cb.r, s.r, co.r)};
}

}  // namespace tess::math
