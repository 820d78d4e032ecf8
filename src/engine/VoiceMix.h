// Adding a voice's OUT into the host's output: each channel times the voice's crossfade gain,
// and the block level, the largest |left| + |right| the voice added.
#pragma once

#include <algorithm>
#include <cmath>

#include "engine/Stereo.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tess {

static_assert(sizeof(Stereo) == 2 * sizeof(float), "Stereo values are read as interleaved floats");

// Returns the larger of `level` and every |l| + |r| added. The level is a maximum of values that
// are never NaN or -0 (a NaN sum is passed over, as std::max passes it over), so the order in
// which four of them are compared at once does not change it.
inline float mixVoiceRun(const Stereo* out, float crossfade, float* left, float* right, int n, float level) {
    int i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128 gain = _mm_set1_ps(crossfade);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 peak = _mm_set1_ps(level);
    for (; i + 4 <= n; i += 4) {
        const __m128 a = _mm_loadu_ps(&out[i].l);      // l0 r0 l1 r1
        const __m128 b = _mm_loadu_ps(&out[i + 2].l);  // l2 r2 l3 r3
        const __m128 l = _mm_mul_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)), gain);
        const __m128 r = _mm_mul_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)), gain);
        _mm_storeu_ps(left + i, _mm_add_ps(_mm_loadu_ps(left + i), l));
        _mm_storeu_ps(right + i, _mm_add_ps(_mm_loadu_ps(right + i), r));
        const __m128 sum = _mm_add_ps(_mm_and_ps(l, magnitude), _mm_and_ps(r, magnitude));
        peak = _mm_max_ps(sum, peak);  // sum > peak ? sum : peak, the peak when sum is NaN
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, peak);
    level = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < n; ++i) {
        const float l = out[i].l * crossfade;
        const float r = out[i].r * crossfade;
        left[i] += l;
        right[i] += r;
        level = std::max(level, std::fabs(l) + std::fabs(r));
    }
    return level;
}

}  // namespace tess
