// One to four state-variable stages in series, each run twice per sample (the filter works at
// twice the sample rate) and averaged, with five outputs: low-pass, high-pass, band-pass,
// notch and low minus high.
#pragma once

#include <bit>
#include <cstdint>

namespace tess::filt {

inline constexpr int kMaxStages = 4;

enum class SvfOutput : int { LowPass = 0, HighPass = 1, BandPass = 2, Notch = 3, LowMinusHigh = 4 };

// Per stage and channel: the band and low integrators.
struct SvfStage {
    float band[2] = {0.0f, 0.0f};
    float low[2] = {0.0f, 0.0f};
};

// The per-sample coefficients of one channel.
struct SvfCoefficients {
    float f = 0.0f;        // 2 sin(pi/2 * fc / rate), the frequency coefficient at twice the rate
    float damping = 2.0f;  // 2 (1 - q), bounded for stability
};

// fc in Hz (0 .. 0.45 x rate; outside that it is clamped), q the resonance (0 none, 1
// self-oscillation; above 1 acts as 1).
SvfCoefficients svfCoefficients(float fc, float q, float sampleRate);

// The coefficients of one channel, worked out again only when the cutoff, the resonance or the
// rate differs in any bit from the last call (the same inputs give the same coefficients, so
// the cache never changes a result). A cutoff that holds still costs no sine per sample.
class SvfCoefficientCache {
public:
    SvfCoefficients get(float fc, float q, float sampleRate) {
        const std::uint32_t f = std::bit_cast<std::uint32_t>(fc);
        const std::uint32_t r = std::bit_cast<std::uint32_t>(q);
        const std::uint32_t s = std::bit_cast<std::uint32_t>(sampleRate);
        if (!valid_ || f != fc_ || r != q_ || s != rate_) {
            k_ = svfCoefficients(fc, q, sampleRate);
            fc_ = f;
            q_ = r;
            rate_ = s;
            valid_ = true;
        }
        return k_;
    }

private:
    SvfCoefficients k_;
    std::uint32_t fc_ = 0;
    std::uint32_t q_ = 0;
    std::uint32_t rate_ = 0;
    bool valid_ = false;
};

// Runs `x` of one channel through `stages` stages (1..4) and returns the chosen output.
float svfCascade(SvfStage* stages, int stageCount, int channel, float x, SvfOutput output,
                 SvfCoefficients k);

// The same with the output fixed, for loops that choose it once.
template <SvfOutput kOutput>
inline float svfCascadeOf(SvfStage* stages, int stageCount, int channel, float x, SvfCoefficients k) {
    float u = x;
    for (int s = 0; s < stageCount; ++s) {
        float& band = stages[s].band[channel];
        float& low = stages[s].low[channel];
        float sum = 0.0f;
        for (int iteration = 0; iteration < 2; ++iteration) {
            const float t = u - band * k.damping;
            low = low + band * k.f;
            const float high = t - low;
            band = band + high * k.f;
            if constexpr (kOutput == SvfOutput::LowPass) sum += low;
            else if constexpr (kOutput == SvfOutput::HighPass) sum += high;
            else if constexpr (kOutput == SvfOutput::BandPass) sum += band;
            else if constexpr (kOutput == SvfOutput::Notch) sum += t;
            else sum += low - high;
        }
        u = 0.5f * sum;
    }
    return u;
}

}  // namespace tess::filt
