#include "engine/filters/Filter.h"

#include "engine/filters/OnePole.h"

namespace tess::filt {

namespace {

// The integer part of the type argument; NaN reads as 0 and huge values saturate.
std::int32_t filterType(float value) {
    if (!(value == value)) return 0;
    if (value <= -2147483648.0f) return INT32_MIN;
    if (value >= 2147483647.0f) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

SvfOutput outputOfType(std::int32_t type) {
    const std::int32_t mode = type >> 2;
    return mode <= 4 ? static_cast<SvfOutput>(mode) : SvfOutput::LowPass;
}

}  // namespace

Stereo filter(FilterState& state, Stereo type, Stereo x, Stereo fc, Stereo q, float sampleRate) {
    if (!state.typeFixed) {
        state.type = filterType(type.l);
        state.typeFixed = true;
    }
    const std::int32_t kind = state.type;
    if (kind < 0) {
        const float in[2] = {x.l, x.r};
        const float cutoff[2] = {fc.l, fc.r};
        float out[2];
        for (int ch = 0; ch < 2; ++ch) {
            const float m = onePoleStep(state.memory[ch], in[ch], lowPassCoefficient(cutoff[ch], sampleRate));
            out[ch] = kind == -1 ? m : in[ch] - m;
        }
        return {out[0], out[1]};
    }
    const int stageCount = (kind & 3) + 1;
    const SvfOutput output = outputOfType(kind);
    return {svfCascade(state.stages, stageCount, 0, x.l, output, state.coefficients[0].get(fc.l, q.l, sampleRate)),
            svfCascade(state.stages, stageCount, 1, x.r, output, state.coefficients[1].get(fc.r, q.r, sampleRate))};
}

}  // namespace tess::filt
