#include "engine/oscillators/OscSynGroup.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>

#include "engine/Waveforms.h"
#include "engine/oscillators/WaveOscillators.h"

namespace tess::osc {

namespace {

constexpr int kChunk = 64;
constexpr int kLanes = 4;
constexpr int kVectors = kMaxOscGroup / kLanes;

}  // namespace

bool oscSynSteadyGroup(const OscSynJob* jobs, int count, int n) {
    if (count < 2 || count > kMaxOscGroup) return false;
    for (int g = 0; g < count; ++g)
        if (!jobs[g].state->started || wave::waveNumber(jobs[g].wave.l) == 5 ||
            !oscSynMirrored(*jobs[g].state, jobs[g].wave, jobs[g].shape, jobs[g].sync, jobs[g].gain,
                            jobs[g].frequency, jobs[g].phase))
            return false;

    // The phase chains: lanes past the group's voices run a chain of their own that nobody reads.
    alignas(16) float increment[kMaxOscGroup] = {}, position[kMaxOscGroup] = {};
    float start[kMaxOscGroup], offset[kMaxOscGroup];
    for (int g = 0; g < count; ++g) {
        const OscSynJob& job = jobs[g];
        const float hz = syncedFrequency(job.frequency.l, job.context.barsPerSecond);
        increment[g] = wave::kTwoPi * hz / job.context.sampleRate;
        position[g] = job.state->phase[0];
        start[g] = job.state->startPhase[0];
        offset[g] = job.phase.l;
        // The samples before the note-off keep the voice alive.
        const std::int64_t held = std::clamp<std::int64_t>(job.context.releaseTime - job.context.t, 0, n);
        std::fill(job.lowestStage, job.lowestStage + held, 0.0f);
    }
    const int vectors = (count + kLanes - 1) / kLanes;
    const __m128 low = _mm_set1_ps(-wave::kPi), high = _mm_set1_ps(wave::kPi), zero = _mm_setzero_ps();
    __m128 c[kVectors], step[kVectors];
    for (int v = 0; v < vectors; ++v) {
        c[v] = _mm_load_ps(position + v * kLanes);
        step[v] = _mm_load_ps(increment + v * kLanes);
    }

    alignas(16) float positions[kChunk][kMaxOscGroup];
    alignas(16) float p[kMaxOscGroup][kChunk];
    float shaped[kChunk];
    for (int at = 0; at < n; at += kChunk) {
        const int m = std::min(kChunk, n - at);
        // As oscSynSteady's chain: inside (-pi, pi) the chain carries the bare sum and the
        // position is that sum + 0; a lane that leaves the range is wrapped on its own.
        for (int i = 0; i < m; ++i) {
            for (int v = 0; v < vectors; ++v) {
                const __m128 next = _mm_add_ps(c[v], step[v]);
                const __m128 inside = _mm_and_ps(_mm_cmpge_ps(next, low), _mm_cmple_ps(next, high));
                c[v] = next;
                _mm_store_ps(&positions[i][v * kLanes], _mm_add_ps(next, zero));
                if (_mm_movemask_ps(inside) == 0xF) continue;
                alignas(16) float lanes[kLanes];
                _mm_store_ps(lanes, next);
                for (int k = 0; k < kLanes; ++k) {
                    if (lanes[k] >= -wave::kPi && lanes[k] <= wave::kPi) continue;
                    lanes[k] = wave::wrap(lanes[k]);
                    positions[i][v * kLanes + k] = lanes[k];
                }
                c[v] = _mm_load_ps(lanes);
            }
        }
        // wrap(position + start + offset) for each voice, four samples at a time: the positions
        // of four voices at four samples are turned round into four samples of each voice.
        const int whole = m & ~3;
        for (int v = 0; v < vectors; ++v) {
            for (int i = 0; i < whole; i += 4) {
                __m128 rows[4] = {_mm_load_ps(&positions[i][v * kLanes]), _mm_load_ps(&positions[i + 1][v * kLanes]),
                                  _mm_load_ps(&positions[i + 2][v * kLanes]), _mm_load_ps(&positions[i + 3][v * kLanes])};
                _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
                for (int k = 0; k < kLanes && v * kLanes + k < count; ++k) {
                    const int g = v * kLanes + k;
                    const __m128 sum = _mm_add_ps(_mm_add_ps(rows[k], _mm_set1_ps(start[g])), _mm_set1_ps(offset[g]));
                    const __m128 inside = _mm_and_ps(_mm_cmpge_ps(sum, low), _mm_cmple_ps(sum, high));
                    _mm_storeu_ps(&p[g][i], _mm_add_ps(sum, zero));
                    if (_mm_movemask_ps(inside) == 0xF) continue;
                    for (int e = i; e < i + 4; ++e) p[g][e] = wave::wrap(positions[e][g] + start[g] + offset[g]);
                }
            }
        }
        for (int g = 0; g < count; ++g)
            for (int i = whole; i < m; ++i) p[g][i] = wave::wrap(positions[i][g] + start[g] + offset[g]);
        for (int g = 0; g < count; ++g) {
            const OscSynJob& job = jobs[g];
            wave::shapedRun(wave::waveNumber(job.wave.l), job.shape.l, p[g], shaped, m, *job.context.noise);
            const float gain = job.gain.l;
            for (int i = 0; i < m; ++i) job.out[at + i] = both(shaped[i] * gain);
        }
        for (int g = 0; g < count; ++g) position[g] = positions[m - 1][g];
    }
    for (int g = 0; g < count; ++g) jobs[g].state->phase[0] = jobs[g].state->phase[1] = position[g];
    return true;
}

}  // namespace tess::osc
