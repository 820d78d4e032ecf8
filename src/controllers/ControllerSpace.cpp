#include "controllers/ControllerSpace.h"

#include <algorithm>
#include <iterator>

namespace tess {

ControllerSpace::ControllerSpace() {
    for (int n = 0; n < kTimed; ++n) {
        kind_[n] = kindOf(n);
        current_[n] = 0.0f;
        previous_[n] = 0.0f;
        switchTime_[n] = 0;
    }
    std::fill(std::begin(keyswitch_), std::end(keyswitch_), 0);
    std::fill(std::begin(vstVar_), std::end(vstVar_), 0.0f);
    std::fill(std::begin(scaleType_), std::end(scaleType_), std::int16_t{0});
    std::fill(std::begin(smoothRead_), std::end(smoothRead_), 0.0f);
    std::fill(std::begin(smoothScaled_), std::end(smoothScaled_), 0.0f);
}

bool ControllerSpace::writeMidi(int number, float value, std::int64_t sampleTime) {
    const bool midiDriven =
        (number >= 0 && number < 128) ||
        (number >= mcc::kAftertouch && number <= mcc::kPitchBend) ||
        (number >= mcc::kPolyAftertouchBase && number < mcc::kPolyAftertouchBase + kKeys);
    if (!midiDriven) return false;
    previous_[number] = current_[number];
    switchTime_[number] = sampleTime;
    current_[number] = value;
    return true;
}

void ControllerSpace::setStartValue(int number, float value) {
    if (number < 0 || number >= kControllers) return;
    current_[number] = value;
    previous_[number] = value;
    smoothRead_[number] = value;
    // The scaling reader smooths what it returns: a 7-bit value divided by 128.
    smoothScaled_[number] = kind_[number] == kMidi ? value * kScale : value;
}

void ControllerSpace::resetForLoad() {
    std::fill(std::begin(current_), std::end(current_), 0.0f);
    std::fill(std::begin(previous_), std::end(previous_), 0.0f);
    std::fill(std::begin(switchTime_), std::end(switchTime_), std::int64_t{0});
}

float ControllerSpace::pitchBendValue(int lsb, int msb) {
    lsb = std::clamp(lsb, 0, 127);
    msb = std::clamp(msb, 0, 127);
    // lsb / 8128 + msb / 64 == (lsb + 127 * msb) / 8128: one exact division, so the centre and
    // both ends come out exact.
    return static_cast<float>((lsb + 127.0 * msb) / 8128.0 - 1.0);
}

}  // namespace tess
