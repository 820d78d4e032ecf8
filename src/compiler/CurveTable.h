// The breakpoint curves filled by the CURVE directive: 256 curves, each up to 256 points
// (x ascending, y). About 512 KB: the owner keeps it on the heap.
#pragma once

#include <cstdint>

namespace tess {

struct Curve {
    static constexpr int kMaxPoints = 256;
    std::int32_t count = 0;
    float x[kMaxPoints] = {};
    float y[kMaxPoints] = {};

    // Piecewise-linear lookup. Fewer than 2 points: x itself. At or below the first point's x:
    // the first y; at or beyond the last point's x: the last y.
    float apply(float input) const;
};

class CurveTable {
public:
    static constexpr int kCurves = 256;

    // Empties every curve.
    void clear();
    // Stores count points into curve n; counts above 256 keep the first 256 points and
    // negative counts store an empty curve. Returns the number of points stored, or -1 when
    // n is not a curve number.
    int set(int n, const float* xs, const float* ys, int count);

    static constexpr bool valid(int n) { return static_cast<unsigned>(n) < kCurves; }
    const Curve& operator[](int n) const { return curves_[n]; }
    Curve& operator[](int n) { return curves_[n]; }

private:
    Curve curves_[kCurves];
};

}  // namespace tess
