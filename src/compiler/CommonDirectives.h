// The global directives of the COMMON section: DEBUG (log verbosity, effective from the next
// line), VSTVARS (number of host parameters shown), QUALITY (interpolation kernel), CURVE
// (breakpoint curves), POLY (polyphony, retrigger, glide), SILTH (silence threshold), MIDICH
// (accepted MIDI channels), INTERFACE (editor size), SAMPLEUI (sample buttons of the editor)
// and UIMOD (position and size of one editor item).
//
// Every handler consumes its line: it either stores its values (and logs them at debug level 2)
// or logs why the line was refused and stores nothing more. DEBUG and VSTVARS are accepted in
// every section, the others only in COMMON.
#pragma once

#include "common/Log.h"
#include "compiler/CompiledInstrument.h"
#include "compiler/CurveTable.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

void handleDebug(const DirectiveLine& line);
void handleVstVars(const DirectiveLine& line, CommonSettings& settings);
void handleQuality(const DirectiveLine& line, CommonSettings& settings);
void handleCurve(const DirectiveLine& line, CurveTable& curves);
void handlePoly(const DirectiveLine& line, CommonSettings& settings);
void handleSilenceThreshold(const DirectiveLine& line, CommonSettings& settings);
void handleMidiChannels(const DirectiveLine& line, CommonSettings& settings);
void handleInterface(const DirectiveLine& line, CommonSettings& settings);
void handleSampleUi(const DirectiveLine& line, CommonSettings& settings);
void handleUiMod(const DirectiveLine& line, CommonSettings& settings);

// Installs the ten handlers in the chain. They keep references to `instrument`'s settings and
// curve table, so the instrument must outlive the chain.
void installCommonDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

}  // namespace tess::compiler
