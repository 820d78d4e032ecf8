// What a player or host has set on the running instrument (controllers, pitch bend,
// aftertouch, pedals, temperament, keyswitches, host parameters), and what the instrument file
// itself set at its load. A reload of the same file keeps the player's values wherever the file
// still sets what it set before; a value the file now sets differently starts from the file.
#pragma once

#include <array>
#include <cstdint>

#include "compiler/CompiledInstrument.h"
#include "controllers/ControllerSpace.h"
#include "controllers/PedalState.h"
#include "state/HostParameterTable.h"

namespace tess {

// The values one compile of a file produced, before anyone played.
struct FileValues {
    std::array<float, ControllerSpace::kControllers> controllers{};
    std::array<std::int32_t, ControllerSpace::kKeys> keyswitches{};
    std::int32_t temperament = 0;
    std::array<float, HostParameterTable::kCount> parameters{};
    bool valid = false;
};

// The values in force while playing.
struct PlayerState {
    std::array<float, ControllerSpace::kControllers> controllers{};
    std::array<float, ControllerSpace::kKeys> polyAftertouch{};
    std::array<std::int32_t, ControllerSpace::kKeys> keyswitches{};
    std::int32_t temperament = 0;
    PedalState pedals;
    std::array<float, HostParameterTable::kCount> parameters{};
};

// Reads either set from the controller space, the current temperament and the parameter table.
FileValues readFileValues(const ControllerSpace& controllers, int temperament, const HostParameterTable& parameters);
PlayerState readPlayerState(const ControllerSpace& controllers, int temperament, const HostParameterTable& parameters);

// The MIDI-driven numbers a player sets: controllers, channel pressure, program, pitch bend.
bool playerController(int number);

// Whether saved keyswitch states fit keyswitch `ks`: type 0 selects exactly one of its keys,
// types 1 and 2 hold a value of its range (the same on both keys of type 2).
bool fitsKeyswitch(const compiler::Keyswitch& ks, const std::array<std::int32_t, ControllerSpace::kKeys>& states);

}  // namespace tess
