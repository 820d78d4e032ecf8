// The modulation directives: the per-voice modulators of a layer that need no expression code.
//   FREQLFO, GAINLFO, FCLFO, PHASELFO  wave, shape, frequency, depth, delay, fade-in, fade-out
//   FREQENV, GAINENV, FCENV            depth, delay, attack, hold, decay, sustain, release
//   FREQMOD, GAINMOD                   controller, value, ... (couples)
//   FCMOD                              cutoff setting, then couples
//   COMPLEXMOD                         type, controller a, controller b, value
// Depths and couple values are converted when stored: cents to octaves, dB to dB × 0.05. A
// parameter written "$n" names a controller. In COMMON a directive sets the default, inside a
// LAYER the layer's own value; none is accepted in POST.
#pragma once

#include <string_view>

#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

// The seven-parameter directives (FREQLFO ... FCENV).
void handleModulatorPart(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument);
// FREQMOD, GAINMOD and FCMOD.
void handleCouples(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument);
void handleComplexModulation(const DirectiveLine& line, CompiledInstrument& instrument);

// Installs the eleven handlers; they write `instrument`'s defaults and layer records.
void installModulationDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

// At the end of a LAYER: each part it left unset takes the default part, an unset cutoff
// setting the default one, every default couple whose controller the layer's list does not
// name is appended, and a layer without COMPLEXMOD lines of its own takes the default list.
void finishLayerModulation(CompiledInstrument& instrument, int layer);

}  // namespace tess::compiler
