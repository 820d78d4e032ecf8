// KEYSWITCH: a selector of up to 32 options operated by MIDI keys that never sound. Type 0
// gives each key of a range one option, type 1 cycles with one key, type 2 steps down and up
// with two keys. The selected option is a key state the instrument reads as MCC 400 + key.
#pragma once

#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

void handleKeyswitch(const DirectiveLine& line, KeyswitchTable& table);

// Installs the handler; it writes `instrument.keyswitches`.
void installKeyswitchDirective(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

}  // namespace tess::compiler
