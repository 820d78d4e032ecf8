#include "plugin/HostTransport.h"

#include <cmath>
#include <limits>

namespace tess {

std::optional<TransportInput> transportFromHost(const vst::VstTimeInfo* info) {
    if (info == nullptr) return std::nullopt;
    const double limit = std::ldexp(1.0, 63);  // the first value past the 64-bit range
    const double position = info->samplePos;
    if (!std::isfinite(position) || position < -limit || position >= limit) return std::nullopt;

    TransportInput input;
    input.samplePosition = static_cast<std::int64_t>(position);
    const double tempo = info->tempo;
    if (tempo > 0.0 && tempo <= static_cast<double>(std::numeric_limits<float>::max()))
        input.tempo = static_cast<float>(tempo);
    input.numerator = info->timeSigNumerator > 0 ? info->timeSigNumerator : 0;
    input.denominator = info->timeSigDenominator > 0 ? info->timeSigDenominator : 0;
    input.playing = (info->flags & vst::kVstTransportPlaying) != 0;
    return input;
}

}  // namespace tess
