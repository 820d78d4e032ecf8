// The directives the compiler itself needs: DEBUG (log verbosity, effective from the next line)
// and VSTVARS (number of host parameters shown).
#pragma once

#include "common/Log.h"
#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

void handleDebug(const DirectiveLine& line);
void handleVstVars(const DirectiveLine& line, CommonSettings& settings);

// Installs both handlers in the chain.
void installCommonDirectives(DirectiveDispatch& dispatch, CommonSettings& settings);

}  // namespace tess::compiler
