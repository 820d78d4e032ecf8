#include "engine/filters/StateVariableCascade.h"

#include <algorithm>
#include <cmath>

namespace tess::filt {

SvfCoefficients svfCoefficients(float fc, float q, float sampleRate) {
    // A negative cutoff would give a negative coefficient and a filter that grows without
    // bound; it counts as 0.
    const float g = std::clamp(fc / sampleRate, 0.0f, 0.45f);
    SvfCoefficients k;
    k.f = 2.0f * std::sin(g * 1.5707964f);
    // The second bound keeps the filter stable at high cutoffs. Below 0 (q above 1) the
    // filter would ring louder every cycle until it overflowed; 0 is the self-oscillating
    // limit.
    const float bound = std::min(2.0f, 2.0f / k.f - k.f / 2.0f);
    k.damping = std::max(std::min(2.0f * (1.0f - q), bound), 0.0f);
    return k;
}

float svfCascade(SvfStage* stages, int stageCount, int channel, float x, SvfOutput output,
                 SvfCoefficients k) {
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
            switch (output) {
                case SvfOutput::LowPass: sum += low; break;
                case SvfOutput::HighPass: sum += high; break;
                case SvfOutput::BandPass: sum += band; break;
                case SvfOutput::Notch: sum += t; break;
                case SvfOutput::LowMinusHigh: sum += low - high; break;
            }
        }
        u = 0.5f * sum;
    }
    return u;
}

}  // namespace tess::filt
