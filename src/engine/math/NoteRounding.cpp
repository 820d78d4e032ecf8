#include "engine/math/NoteRounding.h"

#include <cmath>
#include <cstdint>

namespace tess::math {

int pitchClassOf(float note) {
    if (!(std::fabs(note) < 1.0e15f)) return 0;
    const std::int64_t whole = static_cast<std::int64_t>(note);
    const int q = static_cast<int>(whole % 12);
    return q < 0 ? q + 12 : q;
}

float roundToNote(const TuningContext& tuning, float f, float step) {
    const float n =
        std::round((std::log2(f / tuning.base) * 12.0f / tuning.track + tuning.center) / step) *
        step;
    if (!std::isfinite(n)) return f;
    const float cents = tuning.cents12 ? tuning.cents12[pitchClassOf(n)] : 0.0f;
    return tuning.base *
           std::pow(2.0f, (cents * 0.01f + n - tuning.center) * tuning.track * 0.083333336f);
}

Stereo opRoundF(const TuningContext& tuning, Stereo f) {
    return {roundToNote(tuning, f.l, 1.0f), roundToNote(tuning, f.r, 1.0f)};
}

Stereo opRoundF2(const TuningContext& tuning, Stereo f, Stereo step) {
    return {roundToNote(tuning, f.l, step.l), roundToNote(tuning, f.r, step.r)};
}

}  // namespace tess::math
