#include "engine/filters/Filter.h"

#include <bit>
#include <cstdint>

#include "engine/filters/OnePole.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TESS_FILTER_GROUPS 1
#endif

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

#if TESS_FILTER_GROUPS
namespace {

// svfCascadeOf with one voice per lane: the same operations in the same order on each lane.
// Voices 0..3 share one vector, 4..7 a second, whose chain interleaves with the first's.
template <SvfOutput kOutput, int kVectors>
void svfRunGroup(const FilterJob* jobs, int count, int stageCount, const SvfCoefficients* k, int n) {
    constexpr int kLanes = 4 * kVectors;
    alignas(16) float f[kLanes] = {}, damping[kLanes] = {}, band[kMaxStages][kLanes] = {},
                      low[kMaxStages][kLanes] = {};
    for (int g = 0; g < count; ++g) {
        f[g] = k[g].f;
        damping[g] = k[g].damping;
        for (int s = 0; s < stageCount; ++s) {
            band[s][g] = jobs[g].state->stages[s].band[0];
            low[s][g] = jobs[g].state->stages[s].low[0];
        }
    }
    const __m128 half = _mm_set1_ps(0.5f);
    __m128 vf[kVectors], vd[kVectors], vband[kMaxStages][kVectors], vlow[kMaxStages][kVectors];
    for (int v = 0; v < kVectors; ++v) {
        vf[v] = _mm_load_ps(f + 4 * v);
        vd[v] = _mm_load_ps(damping + 4 * v);
        for (int s = 0; s < stageCount; ++s) {
            vband[s][v] = _mm_load_ps(band[s] + 4 * v);
            vlow[s][v] = _mm_load_ps(low[s] + 4 * v);
        }
    }
    alignas(16) float in[kLanes] = {}, result[kLanes];
    for (int i = 0; i < n; ++i) {
        for (int g = 0; g < count; ++g) in[g] = jobs[g].x[i * jobs[g].xStride].l;
        __m128 u[kVectors];
        for (int v = 0; v < kVectors; ++v) u[v] = _mm_load_ps(in + 4 * v);
        for (int s = 0; s < stageCount; ++s) {
            __m128 sum[kVectors];
            for (int v = 0; v < kVectors; ++v) sum[v] = _mm_setzero_ps();
            for (int iteration = 0; iteration < 2; ++iteration) {
                for (int v = 0; v < kVectors; ++v) {
                    __m128& b = vband[s][v];
                    __m128& l = vlow[s][v];
                    const __m128 t = _mm_sub_ps(u[v], _mm_mul_ps(b, vd[v]));
                    l = _mm_add_ps(l, _mm_mul_ps(b, vf[v]));
                    const __m128 high = _mm_sub_ps(t, l);
                    b = _mm_add_ps(b, _mm_mul_ps(high, vf[v]));
                    if constexpr (kOutput == SvfOutput::LowPass) sum[v] = _mm_add_ps(sum[v], l);
                    else if constexpr (kOutput == SvfOutput::HighPass) sum[v] = _mm_add_ps(sum[v], high);
                    else if constexpr (kOutput == SvfOutput::BandPass) sum[v] = _mm_add_ps(sum[v], b);
                    else if constexpr (kOutput == SvfOutput::Notch) sum[v] = _mm_add_ps(sum[v], t);
                    else sum[v] = _mm_add_ps(sum[v], _mm_sub_ps(l, high));
                }
            }
            for (int v = 0; v < kVectors; ++v) u[v] = _mm_mul_ps(half, sum[v]);
        }
        for (int v = 0; v < kVectors; ++v) _mm_store_ps(result + 4 * v, u[v]);
        for (int g = 0; g < count; ++g) jobs[g].out[i] = both(result[g]);
    }
    for (int v = 0; v < kVectors; ++v)
        for (int s = 0; s < stageCount; ++s) {
            _mm_store_ps(band[s] + 4 * v, vband[s][v]);
            _mm_store_ps(low[s] + 4 * v, vlow[s][v]);
        }
    for (int g = 0; g < count; ++g)
        for (int s = 0; s < stageCount; ++s) {
            SvfStage& stage = jobs[g].state->stages[s];
            stage.band[0] = stage.band[1] = band[s][g];
            stage.low[0] = stage.low[1] = low[s][g];
        }
}

template <SvfOutput kOutput>
void svfRunGroupOf(const FilterJob* jobs, int count, int stageCount, const SvfCoefficients* k, int n) {
    if (count <= 4) svfRunGroup<kOutput, 1>(jobs, count, stageCount, k, n);
    else svfRunGroup<kOutput, 2>(jobs, count, stageCount, k, n);
}

}  // namespace
#endif

bool filterRunGroup(const FilterJob* jobs, int count, float sampleRate, int n) {
#if TESS_FILTER_GROUPS
    if (count < 2 || count > kMaxGroup || n <= 0) return false;
    std::int32_t kind = 0;
    for (int g = 0; g < count; ++g) {
        FilterState& state = *jobs[g].state;
        if (!state.typeFixed) {
            state.type = filterType(jobs[g].type.l);
            state.typeFixed = true;
        }
        if (g > 0 && state.type != kind) return false;
        kind = state.type;
    }
    if (kind < 0) return false;
    const int stageCount = (kind & 3) + 1;
    SvfCoefficients k[kMaxGroup];
    for (int g = 0; g < count; ++g) {
        const FilterJob& job = jobs[g];
        const SvfCoefficients left = job.state->coefficients[0].get(job.fc.l, job.q.l, sampleRate);
        const SvfCoefficients right = job.state->coefficients[1].get(job.fc.r, job.q.r, sampleRate);
        if (!mirrored(*job.state, stageCount, job.x, job.xStride, left, right, n)) return false;
        k[g] = left;
    }
    switch (outputOfType(kind)) {
        case SvfOutput::LowPass: svfRunGroupOf<SvfOutput::LowPass>(jobs, count, stageCount, k, n); break;
        case SvfOutput::HighPass: svfRunGroupOf<SvfOutput::HighPass>(jobs, count, stageCount, k, n); break;
        case SvfOutput::BandPass: svfRunGroupOf<SvfOutput::BandPass>(jobs, count, stageCount, k, n); break;
        case SvfOutput::Notch: svfRunGroupOf<SvfOutput::Notch>(jobs, count, stageCount, k, n); break;
        case SvfOutput::LowMinusHigh: svfRunGroupOf<SvfOutput::LowMinusHigh>(jobs, count, stageCount, k, n); break;
    }
    return true;
#else
    (void)jobs;
    (void)count;
    (void)sampleRate;
    (void)n;
    return false;
#endif
}

}  // namespace tess::filt
