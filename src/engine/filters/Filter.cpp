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
template <SvfOutput kOutput, int kVectors, int kStages>
struct SvfLanes {
    __m128 f[kVectors], damping[kVectors], band[kStages][kVectors], low[kStages][kVectors];

    // One sample of every lane: u in, the cascade's output back in u.
    [[gnu::always_inline]] void step(__m128* u) {
        const __m128 half = _mm_set1_ps(0.5f);
        for (int s = 0; s < kStages; ++s) {
            __m128 sum[kVectors];
            for (int v = 0; v < kVectors; ++v) sum[v] = _mm_setzero_ps();
            for (int iteration = 0; iteration < 2; ++iteration) {
                for (int v = 0; v < kVectors; ++v) {
                    __m128& b = band[s][v];
                    __m128& l = low[s][v];
                    const __m128 t = _mm_sub_ps(u[v], _mm_mul_ps(b, damping[v]));
                    l = _mm_add_ps(l, _mm_mul_ps(b, f[v]));
                    const __m128 high = _mm_sub_ps(t, l);
                    b = _mm_add_ps(b, _mm_mul_ps(high, f[v]));
                    if constexpr (kOutput == SvfOutput::LowPass) sum[v] = _mm_add_ps(sum[v], l);
                    else if constexpr (kOutput == SvfOutput::HighPass) sum[v] = _mm_add_ps(sum[v], high);
                    else if constexpr (kOutput == SvfOutput::BandPass) sum[v] = _mm_add_ps(sum[v], b);
                    else if constexpr (kOutput == SvfOutput::Notch) sum[v] = _mm_add_ps(sum[v], t);
                    else sum[v] = _mm_add_ps(sum[v], _mm_sub_ps(l, high));
                }
            }
            for (int v = 0; v < kVectors; ++v) u[v] = _mm_mul_ps(half, sum[v]);
        }
    }
};

// The left channels of four frames.
inline __m128 leftOfFour(const Stereo* x) {
    const float* p = &x->l;
    return _mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _MM_SHUFFLE(2, 0, 2, 0));
}

// Four samples written to both channels of four frames.
inline void bothOfFour(Stereo* out, __m128 v) {
    float* p = &out->l;
    _mm_storeu_ps(p, _mm_unpacklo_ps(v, v));
    _mm_storeu_ps(p + 4, _mm_unpackhi_ps(v, v));
}

// Every lane through n samples: the inputs in, the cascade, the outputs out; `coefficients(i)`
// sets the lanes' coefficients for sample i before it runs.
template <SvfOutput kOutput, int kVectors, int kStages, typename Coefficients>
void svfRunLanes(const FilterJob* jobs, int count, SvfLanes<kOutput, kVectors, kStages>& lanes, int n,
                 Coefficients coefficients) {
    constexpr int kLanes = 4 * kVectors;
    bool lanesOfInput = true;
    for (int g = 0; g < count; ++g) lanesOfInput = lanesOfInput && jobs[g].xStride == 1;
    int i = 0;
    if (lanesOfInput) {
        // Four samples at a time: each voice's four inputs turned round into four vectors of
        // one sample across the voices, and the outputs turned back.
        for (; i + 4 <= n; i += 4) {
            __m128 in[4][kVectors];
            for (int v = 0; v < kVectors; ++v) {
                __m128 rows[4];
                for (int r = 0; r < 4; ++r) {
                    const int g = 4 * v + r;
                    rows[r] = g < count ? leftOfFour(jobs[g].x + i) : _mm_setzero_ps();
                }
                _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
                for (int s = 0; s < 4; ++s) in[s][v] = rows[s];
            }
            for (int s = 0; s < 4; ++s) {
                coefficients(i + s);
                lanes.step(in[s]);
            }
            for (int v = 0; v < kVectors; ++v) {
                __m128 rows[4] = {in[0][v], in[1][v], in[2][v], in[3][v]};
                _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
                for (int r = 0; r < 4; ++r) {
                    const int g = 4 * v + r;
                    if (g < count) bothOfFour(jobs[g].out + i, rows[r]);
                }
            }
        }
    }
    alignas(16) float in[kLanes] = {}, result[kLanes];
    for (; i < n; ++i) {
        for (int g = 0; g < count; ++g) in[g] = jobs[g].x[i * jobs[g].xStride].l;
        __m128 u[kVectors];
        for (int v = 0; v < kVectors; ++v) u[v] = _mm_load_ps(in + 4 * v);
        coefficients(i);
        lanes.step(u);
        for (int v = 0; v < kVectors; ++v) _mm_store_ps(result + 4 * v, u[v]);
        for (int g = 0; g < count; ++g) jobs[g].out[i] = both(result[g]);
    }
}

// The voices' integrators into the lanes, and back (both channels, as the mirrored path leaves
// them).
template <SvfOutput kOutput, int kVectors, int kStages>
void loadIntegrators(const FilterJob* jobs, int count, SvfLanes<kOutput, kVectors, kStages>& lanes) {
    constexpr int kLanes = 4 * kVectors;
    alignas(16) float band[kStages][kLanes] = {}, low[kStages][kLanes] = {};
    for (int g = 0; g < count; ++g)
        for (int s = 0; s < kStages; ++s) {
            band[s][g] = jobs[g].state->stages[s].band[0];
            low[s][g] = jobs[g].state->stages[s].low[0];
        }
    for (int v = 0; v < kVectors; ++v)
        for (int s = 0; s < kStages; ++s) {
            lanes.band[s][v] = _mm_load_ps(band[s] + 4 * v);
            lanes.low[s][v] = _mm_load_ps(low[s] + 4 * v);
        }
}

template <SvfOutput kOutput, int kVectors, int kStages>
void storeIntegrators(const FilterJob* jobs, int count, const SvfLanes<kOutput, kVectors, kStages>& lanes) {
    constexpr int kLanes = 4 * kVectors;
    alignas(16) float band[kStages][kLanes], low[kStages][kLanes];
    for (int v = 0; v < kVectors; ++v)
        for (int s = 0; s < kStages; ++s) {
            _mm_store_ps(band[s] + 4 * v, lanes.band[s][v]);
            _mm_store_ps(low[s] + 4 * v, lanes.low[s][v]);
        }
    for (int g = 0; g < count; ++g)
        for (int s = 0; s < kStages; ++s) {
            SvfStage& stage = jobs[g].state->stages[s];
            stage.band[0] = stage.band[1] = band[s][g];
            stage.low[0] = stage.low[1] = low[s][g];
        }
}

// The coefficients of each sample are taken a chunk at a time for every voice: the given ones
// when they hold (k), else worked out through each voice's own cache, as its single-voice run
// would; then the lanes take them sample by sample.
template <SvfOutput kOutput, int kVectors, int kStages>
void svfRunGroup(const FilterJob* jobs, int count, const SvfCoefficients* k, float sampleRate, int n) {
    constexpr int kLanes = 4 * kVectors;
    constexpr int kChunk = 64;
    alignas(16) float f[kChunk][kLanes] = {}, damping[kChunk][kLanes] = {};
    if (k != nullptr)
        for (int i = 0; i < kChunk; ++i)
            for (int g = 0; g < count; ++g) {
                f[i][g] = k[g].f;
                damping[i][g] = k[g].damping;
            }
    SvfLanes<kOutput, kVectors, kStages> lanes;
    loadIntegrators(jobs, count, lanes);
    for (int at = 0; at < n; at += kChunk) {
        const int m = std::min(kChunk, n - at);
        for (int g = 0; g < count && k == nullptr; ++g) {
            const FilterJob& job = jobs[g];
            SvfCoefficientCache& cache = job.state->coefficients[0];
            for (int i = 0; i < m; ++i) {
                const SvfCoefficients c =
                    cache.get(job.fc[(at + i) * job.fcStride].l, job.q[(at + i) * job.qStride].l, sampleRate);
                f[i][g] = c.f;
                damping[i][g] = c.damping;
            }
        }
        FilterJob chunk[kMaxGroup];
        for (int g = 0; g < count; ++g) {
            chunk[g] = jobs[g];
            chunk[g].x = jobs[g].x + at * jobs[g].xStride;
            chunk[g].out = jobs[g].out + at;
        }
        svfRunLanes(chunk, count, lanes, m, [&](int i) {
            for (int v = 0; v < kVectors; ++v) {
                lanes.f[v] = _mm_load_ps(f[i] + 4 * v);
                lanes.damping[v] = _mm_load_ps(damping[i] + 4 * v);
            }
        });
    }
    storeIntegrators(jobs, count, lanes);
}

template <SvfOutput kOutput, int kVectors>
void svfRunGroupOfStages(const FilterJob* jobs, int count, int stageCount, const SvfCoefficients* k,
                         float sampleRate, int n) {
    switch (stageCount) {
        case 1: svfRunGroup<kOutput, kVectors, 1>(jobs, count, k, sampleRate, n); break;
        case 2: svfRunGroup<kOutput, kVectors, 2>(jobs, count, k, sampleRate, n); break;
        case 3: svfRunGroup<kOutput, kVectors, 3>(jobs, count, k, sampleRate, n); break;
        default: svfRunGroup<kOutput, kVectors, 4>(jobs, count, k, sampleRate, n); break;
    }
}

template <SvfOutput kOutput>
void svfRunGroupOf(const FilterJob* jobs, int count, int stageCount, const SvfCoefficients* k, float sampleRate,
                   int n) {
    if (count <= 4) svfRunGroupOfStages<kOutput, 1>(jobs, count, stageCount, k, sampleRate, n);
    else svfRunGroupOfStages<kOutput, 2>(jobs, count, stageCount, k, sampleRate, n);
}

// k: the coefficients of each voice when they hold, null when they are worked out per sample.
void svfRunGroupOfType(SvfOutput output, const FilterJob* jobs, int count, int stageCount, const SvfCoefficients* k,
                       float sampleRate, int n) {
    switch (output) {
        case SvfOutput::LowPass: svfRunGroupOf<SvfOutput::LowPass>(jobs, count, stageCount, k, sampleRate, n); break;
        case SvfOutput::HighPass: svfRunGroupOf<SvfOutput::HighPass>(jobs, count, stageCount, k, sampleRate, n); break;
        case SvfOutput::BandPass: svfRunGroupOf<SvfOutput::BandPass>(jobs, count, stageCount, k, sampleRate, n); break;
        case SvfOutput::Notch: svfRunGroupOf<SvfOutput::Notch>(jobs, count, stageCount, k, sampleRate, n); break;
        case SvfOutput::LowMinusHigh: svfRunGroupOf<SvfOutput::LowMinusHigh>(jobs, count, stageCount, k, sampleRate, n); break;
    }
}

}  // namespace
#endif

bool filterRunGroup(const FilterJob* jobs, int count, float sampleRate, int n) {
#if TESS_FILTER_GROUPS
    if (count < 2 || count > kMaxGroup || n <= 0) return false;
    std::int32_t kind = 0;
    bool moving = false;
    for (int g = 0; g < count; ++g) {
        FilterState& state = *jobs[g].state;
        if (!state.typeFixed) {
            state.type = filterType(jobs[g].type.l);
            state.typeFixed = true;
        }
        if (g > 0 && state.type != kind) return false;
        kind = state.type;
        moving = moving || jobs[g].fcStride != 0 || jobs[g].qStride != 0;
    }
    if (kind < 0) return false;
    const int stageCount = (kind & 3) + 1;
    if (moving) {
        // As filterRunMoving for each voice: its mirrored path.
        for (int g = 0; g < count; ++g) {
            const FilterJob& job = jobs[g];
            if (!mirroredMoving(*job.state, stageCount, job.x, job.xStride, job.fc, job.fcStride, job.q, job.qStride, n))
                return false;
        }
        svfRunGroupOfType(outputOfType(kind), jobs, count, stageCount, nullptr, sampleRate, n);
        return true;
    }
    SvfCoefficients k[kMaxGroup];
    for (int g = 0; g < count; ++g) {
        const FilterJob& job = jobs[g];
        const SvfCoefficients left = job.state->coefficients[0].get(job.fc->l, job.q->l, sampleRate);
        const SvfCoefficients right = job.state->coefficients[1].get(job.fc->r, job.q->r, sampleRate);
        if (!mirrored(*job.state, stageCount, job.x, job.xStride, left, right, n)) return false;
        k[g] = left;
    }
    svfRunGroupOfType(outputOfType(kind), jobs, count, stageCount, k, sampleRate, n);
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
