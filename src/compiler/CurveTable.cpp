#include "compiler/CurveTable.h"

#include <algorithm>

namespace tess {

float Curve::apply(float input) const {
    const int n = std::min<int>(count, kMaxPoints);
    if (n < 2) return input;
    if (input <= x[0]) return y[0];
    if (input >= x[n - 1]) return y[n - 1];
    for (int i = 1; i < n; ++i) {
        if (x[i] >= input) {
            // x[i - 1] < input <= x[i], so the span is never zero.
            const float x0 = x[i - 1];
            const float y0 = y[i - 1];
            return y0 + (input - x0) * (y[i] - y0) / (x[i] - x0);
        }
    }
    return input;  // only a NaN input gets here
}

void CurveTable::clear() {
    for (Curve& c : curves_) c.count = 0;
}

int CurveTable::set(int n, const float* xs, const float* ys, int count) {
    if (!valid(n)) return -1;
    Curve& c = curves_[n];
    const int stored = std::clamp(count, 0, Curve::kMaxPoints);
    std::copy(xs, xs + stored, c.x);
    std::copy(ys, ys + stored, c.y);
    c.count = stored;
    return stored;
}

}  // namespace tess
