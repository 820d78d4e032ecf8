// The layer directives: how each LAYER is triggered and tuned. GROUP, BASEG, VELTRACK, BASEF,
// KEYTRACK, KEYCENTER, XFADE, SAMPLEOFF, the ON triggers (ONMCCT and its shorthands ONFIRST,
// ONLEGATO, ONRROBIN, ONCHANNEL), the OFF triggers (OFFMCCT and OFFGROUP) and ONNOTEON.
//
// Written in COMMON a directive sets the default for every later layer; inside a LAYER it sets
// that layer's own value. The shorthands rewrite their line into an ONMCCT or OFFMCCT line and
// hand it on. Lists (crossfades, triggers) are edited in file order: a negative first value
// empties the list, an empty range deletes the entry of that controller, any other line updates
// it or appends a new one.
#pragma once

#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

void handleGroup(const DirectiveLine& line, CompiledInstrument& instrument);
// BASEG, VELTRACK, BASEF, KEYTRACK and KEYCENTER.
void handleToneSetting(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument);
void handleCrossfade(const DirectiveLine& line, CompiledInstrument& instrument);
void handleSampleOffset(const DirectiveLine& line, CompiledInstrument& instrument);
void handleNoteOnRanges(const DirectiveLine& line, CompiledInstrument& instrument);
void handleOnTrigger(const DirectiveLine& line, CompiledInstrument& instrument);
void handleOffTrigger(const DirectiveLine& line, CompiledInstrument& instrument);
// ONFIRST, ONLEGATO, ONRROBIN, ONCHANNEL (ON triggers on 1000 .. 1003) and OFFGROUP.
void handleTriggerShorthand(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument);

// Installs the sixteen handlers; they write `instrument`'s defaults and layer records.
void installLayerDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

// A LAYER begins with the default group, lists and sample offset, the ONNOTEON ranges 0..127,
// its own tuning values and modulation unset.
void startLayerSettings(CompiledInstrument& instrument, int layer);
// At the end of a LAYER the tuning values it left unset take the defaults (modulation: see
// finishLayerModulation).
void finishLayerSettings(CompiledInstrument& instrument, int layer);

}  // namespace tess::compiler
