#include "engine/Transport.h"

namespace tess {

bool Transport::update(const vst::VstTimeInfo* info, std::int64_t sampleClock, float sampleRate) {
    std::int64_t position = sampleClock;
    if (info != nullptr) {
        if (info->tempo > 0.0) tempo = static_cast<float>(info->tempo);
        if (info->timeSigNumerator > 0) numerator = static_cast<float>(info->timeSigNumerator);
        if (info->timeSigDenominator > 0) denominator = static_cast<float>(info->timeSigDenominator);
        position = static_cast<std::int64_t>(info->samplePos);
    }
    const bool previousMoved = !positionUnchanged_;
    positionUnchanged_ = position == lastHostPosition_;
    lastHostPosition_ = position;
    songClock = positionUnchanged_ ? sampleClock : position;

    samplesPerBar = ((240.0 / denominator) * numerator / tempo) * sampleRate;
    barsPerSecond = denominator * tempo * 0.004166667f / numerator;
    return previousMoved && positionUnchanged_;
}

}  // namespace tess
