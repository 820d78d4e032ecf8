// CURVE and MOD2: shaping a value through a built-in shape or a breakpoint curve.
#pragma once

#include "compiler/CurveTable.h"
#include "engine/Stereo.h"

namespace tess::math {

// Curve number n applied to x:
//   n < -17 or n > 255   x unchanged
//   -1                   |x|
//   -2 .. -17            built-in shape k = -2 - n: k % 4 == 3 turns x into a step at 0.5,
//                        bit 4 inverts (1 - x), bit 8 makes it bipolar (2x - 1), then
//                        k % 4 == 1 squares (x |x|) and k % 4 == 2 takes the root (sign kept)
//   0 .. 255             breakpoint curve n of the table
// n arrives as a float and is truncated toward zero; values that are not numbers, or too
// large to be a curve number, leave x unchanged.
float curveValue(const CurveTable& curves, float n, float x);
float builtinCurveShape(int n, float x);  // n in -17 .. -2

// CURVE(n, x), per channel.
Stereo opCurve(const CurveTable& curves, Stereo n, Stereo x);

// MOD2(a, b, ca, cb, s, co) = CURVE(co, CURVE(ca, a) * CURVE(cb, b) * s), per channel.
Stereo opMod2(const CurveTable& curves, Stereo a, Stereo b, Stereo ca, Stereo cb, Stereo s,
              Stereo co);

}  // namespace tess::math
