#include "engine/delays/Reverbs.h"

#include <algorithm>

#include "engine/filters/OnePole.h"

namespace tess::fx {

namespace {

using RegionRing = Ring<kReverbRegionFrames, 2>;

constexpr float kCombBase = 1117.5f;
constexpr float kCombStep = 79.0f;
constexpr float kAllpassBase = 227.5f;
constexpr float kAllpassStep = 115.0f;

}  // namespace

Stereo reverb(DelayState& state, Stereo x, Stereo fbLow, Stereo fbHigh, const ReverbShape& shape,
              float sampleRate) {
    float* const data = state.memory.data;
    if (data == nullptr) return Stereo{};
    const float s = shape.size;
    const float p = std::clamp(shape.spread, -100.0f, 100.0f) * s;
    const float c = filt::lowPassCoefficient(shape.cutoff, sampleRate);
    const float g = shape.diffusion;
    const std::uint32_t newest = state.index / 2;
    const std::uint32_t next = (state.index + 2) & (kReverbRegionFloats - 1);
    const float in[2] = {x.l, x.r};
    const float low[2] = {fbLow.l, fbLow.r};
    const float high[2] = {fbHigh.l, fbHigh.r};

    float sum[2] = {0.0f, 0.0f};
    for (int k = 0; k < kCombs; ++k) {
        float* const region = data + static_cast<std::size_t>(k) * kReverbRegionFloats;
        const RegionRing ring{region, newest, state.written};
        const float b = kCombBase * s + kCombStep * s * static_cast<float>(k);
        const float tap[2] = {b - p, b + p};
        float write[2];
        for (int ch = 0; ch < 2; ++ch) {
            const float y = readDelayed(ring, splitDelay(tap[ch]), ch, true);
            const float m = filt::onePoleStep(state.combLow[k][ch], y, c);
            write[ch] = in[ch] + low[ch] * m + high[ch] * (y - m);
            sum[ch] += y;
        }
        region[next] = write[0];
        region[next + 1] = write[1];
    }

    float u[2] = {sum[0], sum[1]};
    for (int k = 0; k < kAllpasses; ++k) {
        float* const region = data + static_cast<std::size_t>(kCombs + k) * kReverbRegionFloats;
        const RegionRing ring{region, newest, state.written};
        const DelayTime delay = splitDelay(kAllpassBase * s + kAllpassStep * s * static_cast<float>(k));
        for (int ch = 0; ch < 2; ++ch) {
            const float y = readDelayed(ring, delay, ch, true);
            const float w = u[ch] + g * y;
            region[next + static_cast<std::uint32_t>(ch)] = w;
            u[ch] = y - g * w;
        }
    }

    state.index = next;
    if (state.written < kReverbRegionFrames) ++state.written;
    return {u[0], u[1]};
}

}  // namespace tess::fx
