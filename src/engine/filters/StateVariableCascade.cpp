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
    switch (output) {
        case SvfOutput::LowPass: return svfCascadeOf<SvfOutput::LowPass>(stages, stageCount, channel, x, k);
        case SvfOutput::HighPass: return svfCascadeOf<SvfOutput::HighPass>(stages, stageCount, channel, x, k);
        case SvfOutput::BandPass: return svfCascadeOf<SvfOutput::BandPass>(stages, stageCount, channel, x, k);
        case SvfOutput::Notch: return svfCascadeOf<SvfOutput::Notch>(stages, stageCount, channel, x, k);
        case SvfOutput::LowMinusHigh: break;
    }
    return svfCascadeOf<SvfOutput::LowMinusHigh>(stages, stageCount, channel, x, k);
}

}  // namespace tess::filt
