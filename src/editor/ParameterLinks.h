// The editor's two questions about links between controllers and host parameters, kept in one
// place so that they follow the host parameter table: which host parameter a MIDI controller
// drives, and how an instrument value (such as a temperament index) becomes a host parameter's
// value.
#pragma once

namespace tess {
class Tessarine;
}

namespace tess::editor {

// The host parameter that MIDI controller `cc` drives (MIDICC link), or -1.
int parameterFollowingController(Tessarine& plugin, int cc);

// Sets host parameter `parameter` so that the instrument reads `internal` (MCC 600 + n).
void setParameterFromInternalValue(Tessarine& plugin, int parameter, float internal);

}  // namespace tess::editor
