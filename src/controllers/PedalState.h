// The sustain pedals and sostenuto pedals as the note path leaves them for the render loop.
// The two sustain flags follow their controllers (PEDAL); the two sostenuto states only tell
// whether a sostenuto pedal is down, since the voices it caught carry their own latches.
#pragma once

#include <cstdint>

namespace tess {

struct PedalState {
    std::int32_t pedalAll = 0;      // every key is held
    std::int32_t pedalRange = 0;    // the keys of pedalMin .. pedalMax are held
    std::int32_t pedalMin = 0;
    std::int32_t pedalMax = 127;
    std::int32_t sostenutoAll = 0;  // the all-keys sostenuto is down
    std::int32_t sostenutoRange = 0;
    std::int32_t sostenutoMin = 0;
    std::int32_t sostenutoMax = 127;

    // True when a voice on `midiKey` is held by a pedal after its note-off; `latched` is true
    // when one of the voice's sostenuto latches is set.
    bool holds(int midiKey, bool latched) const {
        return latched || pedalAll != 0 || (pedalRange != 0 && midiKey >= pedalMin && midiKey <= pedalMax);
    }
    void release() {
        pedalAll = pedalRange = 0;
        sostenutoAll = sostenutoRange = 0;
    }
};

}  // namespace tess
