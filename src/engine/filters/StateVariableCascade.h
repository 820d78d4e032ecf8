// One to four state-variable stages in series, each run twice per sample (the filter works at
// twice the sample rate) and averaged, with five outputs: low-pass, high-pass, band-pass,
// notch and low minus high.
#pragma once

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

// Runs `x` of one channel through `stages` stages (1..4) and returns the chosen output.
float svfCascade(SvfStage* stages, int stageCount, int channel, float x, SvfOutput output,
                 SvfCoefficients k);

}  // namespace tess::filt
