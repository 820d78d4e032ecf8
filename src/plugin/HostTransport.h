// The host's time information, as the plug-in asks for it each block, translated into the
// engine's own transport input.
#pragma once

#include <optional>

#include "engine/Transport.h"
#include "plugin/vst/VstAbi.h"

namespace tess {

// Nothing when the host gave no record, or a record whose position is not a sample count the
// engine can hold (not finite, or beyond 64 bits): the engine then runs on its own clock.
// Otherwise the position is truncated to whole samples, the playing flag is the host's, and a
// tempo that is not a positive float or a time signature below 1 is passed on as not given.
// The validity flags are not consulted: a field the host leaves at 0 reads as not given.
std::optional<TransportInput> transportFromHost(const vst::VstTimeInfo* info);

}  // namespace tess
