// TEMPERAMENT defines a named tuning (twelve offsets in cents from C upward) or selects one by
// number or by name; TEMPERAMENTCC links the choice to a controller, a keyswitch key or a host
// parameter. The table always starts with "Host Temperament" and "Equal Temperament".
//
// A selection that happens while a link exists asks the linked controller or parameter to take
// the selected index; the compile records it in TemperamentTable::linkValue and the load
// applies it once the compile is over.
#pragma once

#include <functional>

#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

// The value a controller (MCC 0 .. 199) or host parameter (MCC 600 .. 727) holds at this
// point of the load, for TEMPERAMENTCC to start from.
using LinkedValueReader = std::function<float(int mcc)>;

void handleTemperament(const DirectiveLine& line, TemperamentTable& table);
// Without a reader the link starts from the value an earlier selection gave it, else 0.
void handleTemperamentController(const DirectiveLine& line, TemperamentTable& table,
                                 const LinkedValueReader& read = nullptr);

// Installs both handlers; they write `instrument.temperaments`.
void installTemperamentDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

}  // namespace tess::compiler
