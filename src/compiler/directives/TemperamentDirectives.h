// TEMPERAMENT defines a named tuning (twelve offsets in cents from C upward) or selects one by
// number or by name; TEMPERAMENTCC links the choice to a controller, a keyswitch key or a host
// parameter. The table always starts with "Host Temperament" and "Equal Temperament".
//
// A selection that happens while a link exists asks the linked controller or parameter to take
// the selected index; the compile records it in TemperamentTable::linkValue and the load
// applies it once the compile is over.
#pragma once

#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

void handleTemperament(const DirectiveLine& line, TemperamentTable& table);
void handleTemperamentController(const DirectiveLine& line, TemperamentTable& table);

// Installs both handlers; they write `instrument.temperaments`.
void installTemperamentDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

}  // namespace tess::compiler
