#include "engine/math/SampleHold.h"

namespace tess::math {

namespace {

// Integer period in samples, or 0 when there is none (1 or less, NaN). Periods too long for
// a 64-bit count can never come round within a note: they are capped instead of converted.
std::int64_t holdPeriod(float bars, double samplesPerBar) {
    const double samples = bars * samplesPerBar;
    if (!(samples >= 2.0)) return 0;
    if (samples >= 9.0e18) return INT64_MAX;
    return static_cast<std::int64_t>(samples);
}

float holdChannel(float held, float x, float bars, std::int64_t elapsed, double samplesPerBar) {
    if (elapsed == 0) return x;
    const std::int64_t period = holdPeriod(bars, samplesPerBar);
    if (period > 1 && elapsed % period == 0) return x;
    return held;
}

}  // namespace

Stereo opShold(SampleHoldState& state, Stereo x, Stereo p, std::int64_t t, std::int64_t startTime,
               double samplesPerBar) {
    const std::int64_t elapsed = t - startTime;
    state.held.l = holdChannel(state.held.l, x.l, p.l, elapsed, samplesPerBar);
    state.held.r = holdChannel(state.held.r, x.r, p.r, elapsed, samplesPerBar);
    return state.held;
}

}  // namespace tess::math
