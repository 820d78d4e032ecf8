#include "engine/Transport.h"

namespace tess {

bool Transport::update(const TransportInput* input, std::int64_t sampleClock, float sampleRate) {
    std::int64_t position = sampleClock;
    if (input != nullptr) {
        if (input->tempo > 0.0f) tempo = input->tempo;
        if (input->numerator > 0) numerator = static_cast<float>(input->numerator);
        if (input->denominator > 0) denominator = static_cast<float>(input->denominator);
        position = input->samplePosition;
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
