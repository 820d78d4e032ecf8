// The key-mapping directives of the COMMON section: MAP (pitch classes), VELOCITY (velocity
// curve), PITCH (offset, random spread, quantisation), TIMING (start offset and spreads,
// trigger rounding), ARPEGGIO and CHORD (one key plays a pattern of notes), PEDAL and
// SOSTENUTO (the controllers that hold notes).
//
// Each handler either stores its whole setting (a later line of the same directive replaces
// it; ARPEGGIO and CHORD share one) or logs why the line was refused and stores nothing.
#pragma once

#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"

namespace tess::compiler {

void handleMap(const DirectiveLine& line, KeyMappingSettings& settings);
void handleVelocity(const DirectiveLine& line, KeyMappingSettings& settings);
void handlePitch(const DirectiveLine& line, KeyMappingSettings& settings);
void handleTiming(const DirectiveLine& line, KeyMappingSettings& settings);
void handleArpeggio(const DirectiveLine& line, KeyMappingSettings& settings);
void handleChord(const DirectiveLine& line, KeyMappingSettings& settings);
void handlePedal(const DirectiveLine& line, KeyMappingSettings& settings);
void handleSostenuto(const DirectiveLine& line, KeyMappingSettings& settings);

// Installs the eight handlers; they write `instrument.keyMapping`.
void installKeyMappingDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

// Installs every directive of the note path: the eight above, KEYSWITCH, TEMPERAMENT and
// TEMPERAMENTCC.
void installNoteDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument);

}  // namespace tess::compiler
