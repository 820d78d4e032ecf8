#include "engine/filters/Filter.h"

#include <bit>
#include <cstdint>

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

namespace {

template <SvfOutput kOutput>
void svfRun(FilterState& state, int stageCount, const Stereo* x, int xStride, SvfCoefficients left,
            SvfCoefficients right, Stereo* out, int n) {
    for (int i = 0; i < n; ++i) {
        const Stereo in = x[i * xStride];
        out[i] = {svfCascadeOf<kOutput>(state.stages, stageCount, 0, in.l, left),
                  svfCascadeOf<kOutput>(state.stages, stageCount, 1, in.r, right)};
    }
}

// One channel computed and copied to both, for a run whose two channels are the same in every
// bit: the same operations on the same values give the same results.
template <SvfOutput kOutput>
void svfRunMirrored(FilterState& state, int stageCount, const Stereo* x, int xStride, SvfCoefficients k,
                    Stereo* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = both(svfCascadeOf<kOutput>(state.stages, stageCount, 0, x[i * xStride].l, k));
    for (int s = 0; s < stageCount; ++s) {
        state.stages[s].band[1] = state.stages[s].band[0];
        state.stages[s].low[1] = state.stages[s].low[0];
    }
}

bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// Whether both channels would compute the same samples: equal coefficients, integrators and
// inputs, bit for bit.
bool mirrored(const FilterState& state, int stageCount, const Stereo* x, int xStride, SvfCoefficients left,
              SvfCoefficients right, int n) {
    if (!sameBits(left.f, right.f) || !sameBits(left.damping, right.damping)) return false;
    for (int s = 0; s < stageCount; ++s)
        if (!sameBits(state.stages[s].band[0], state.stages[s].band[1]) ||
            !sameBits(state.stages[s].low[0], state.stages[s].low[1]))
            return false;
    // Both channels of every input sample compared at once, without a branch per sample.
    std::uint32_t differ = 0;
    for (int i = 0; i < n; ++i)
        differ |= std::bit_cast<std::uint32_t>(x[i * xStride].l) ^ std::bit_cast<std::uint32_t>(x[i * xStride].r);
    return differ == 0;
}

template <SvfOutput kOutput>
void svfRunEither(FilterState& state, int stageCount, const Stereo* x, int xStride, SvfCoefficients left,
                  SvfCoefficients right, Stereo* out, int n) {
    if (mirrored(state, stageCount, x, xStride, left, right, n))
        svfRunMirrored<kOutput>(state, stageCount, x, xStride, left, out, n);
    else
        svfRun<kOutput>(state, stageCount, x, xStride, left, right, out, n);
}

// Whether both channels compute the same samples through a run with moving coefficients: the
// integrators equal, and each sample's input, cutoff and resonance the same on both channels.
bool mirroredMoving(const FilterState& state, int stageCount, const Stereo* x, int xStride, const Stereo* fc,
                    int fcStride, const Stereo* q, int qStride, int n) {
    for (int s = 0; s < stageCount; ++s)
        if (!sameBits(state.stages[s].band[0], state.stages[s].band[1]) ||
            !sameBits(state.stages[s].low[0], state.stages[s].low[1]))
            return false;
    std::uint32_t differ = 0;
    for (int i = 0; i < n; ++i) {
        differ |= std::bit_cast<std::uint32_t>(x[i * xStride].l) ^ std::bit_cast<std::uint32_t>(x[i * xStride].r);
        differ |= std::bit_cast<std::uint32_t>(fc[i * fcStride].l) ^ std::bit_cast<std::uint32_t>(fc[i * fcStride].r);
        differ |= std::bit_cast<std::uint32_t>(q[i * qStride].l) ^ std::bit_cast<std::uint32_t>(q[i * qStride].r);
    }
    return differ == 0;
}

template <SvfOutput kOutput>
void svfRunMovingMirrored(FilterState& state, int stageCount, const Stereo* x, int xStride, const Stereo* fc,
                          int fcStride, const Stereo* q, int qStride, float sampleRate, Stereo* out, int n) {
    for (int i = 0; i < n; ++i) {
        const SvfCoefficients k = state.coefficients[0].get(fc[i * fcStride].l, q[i * qStride].l, sampleRate);
        out[i] = both(svfCascadeOf<kOutput>(state.stages, stageCount, 0, x[i * xStride].l, k));
    }
    for (int s = 0; s < stageCount; ++s) {
        state.stages[s].band[1] = state.stages[s].band[0];
        state.stages[s].low[1] = state.stages[s].low[0];
    }
}

}  // namespace

void filterRunMoving(FilterState& state, Stereo type, const Stereo* x, int xStride, const Stereo* fc, int fcStride,
                     const Stereo* q, int qStride, float sampleRate, Stereo* out, int n) {
    if (n <= 0) return;
    if (!state.typeFixed) {
        state.type = filterType(type.l);
        state.typeFixed = true;
    }
    const std::int32_t kind = state.type;
    const int stageCount = (kind & 3) + 1;
    if (kind < 0 || !mirroredMoving(state, stageCount, x, xStride, fc, fcStride, q, qStride, n)) {
        for (int i = 0; i < n; ++i)
            out[i] = filter(state, type, x[i * xStride], fc[i * fcStride], q[i * qStride], sampleRate);
        return;
    }
    switch (outputOfType(kind)) {
        case SvfOutput::LowPass:
            svfRunMovingMirrored<SvfOutput::LowPass>(state, stageCount, x, xStride, fc, fcStride, q, qStride, sampleRate, out, n);
            break;
        case SvfOutput::HighPass:
            svfRunMovingMirrored<SvfOutput::HighPass>(state, stageCount, x, xStride, fc, fcStride, q, qStride, sampleRate, out, n);
            break;
        case SvfOutput::BandPass:
            svfRunMovingMirrored<SvfOutput::BandPass>(state, stageCount, x, xStride, fc, fcStride, q, qStride, sampleRate, out, n);
            break;
        case SvfOutput::Notch:
            svfRunMovingMirrored<SvfOutput::Notch>(state, stageCount, x, xStride, fc, fcStride, q, qStride, sampleRate, out, n);
            break;
        case SvfOutput::LowMinusHigh:
            svfRunMovingMirrored<SvfOutput::LowMinusHigh>(state, stageCount, x, xStride, fc, fcStride, q, qStride, sampleRate, out, n);
            break;
    }
}

void filterRun(FilterState& state, Stereo type, const Stereo* x, int xStride, Stereo fc, Stereo q, float sampleRate,
               Stereo* out, int n) {
    if (n <= 0) return;
    if (!state.typeFixed) {
        state.type = filterType(type.l);
        state.typeFixed = true;
    }
    const std::int32_t kind = state.type;
    if (kind < 0) {
        for (int i = 0; i < n; ++i) out[i] = filter(state, type, x[i * xStride], fc, q, sampleRate);
        return;
    }
    const int stageCount = (kind & 3) + 1;
    const SvfCoefficients left = state.coefficients[0].get(fc.l, q.l, sampleRate);
    const SvfCoefficients right = state.coefficients[1].get(fc.r, q.r, sampleRate);
    switch (outputOfType(kind)) {
        case SvfOutput::LowPass: svfRunEither<SvfOutput::LowPass>(state, stageCount, x, xStride, left, right, out, n); break;
        case SvfOutput::HighPass: svfRunEither<SvfOutput::HighPass>(state, stageCount, x, xStride, left, right, out, n); break;
        case SvfOutput::BandPass: svfRunEither<SvfOutput::BandPass>(state, stageCount, x, xStride, left, right, out, n); break;
        case SvfOutput::Notch: svfRunEither<SvfOutput::Notch>(state, stageCount, x, xStride, left, right, out, n); break;
        case SvfOutput::LowMinusHigh:
            svfRunEither<SvfOutput::LowMinusHigh>(state, stageCount, x, xStride, left, right, out, n);
            break;
    }
}

}  // namespace tess::filt
