// Where an operand of a voice's program comes from and where a result goes, resolved once when
// a voice takes its program (and once per program when an instrument is installed).
#pragma once

#include <cstdint>

namespace tess {

// A register index (>= 0: a ResultSlot, or slotCount + a reg:: keyword register), or a
// controller read (-1 - controller number).
std::int32_t resolveOperand(std::int32_t code, int slotCount, int midiKey);
// A register index, a send bus (ResolvedOperation::kSendDestination - bus) or no destination.
std::int32_t resolveDestination(std::int32_t code, int slotCount);

}  // namespace tess
