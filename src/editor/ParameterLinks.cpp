#include "editor/ParameterLinks.h"

#include "plugin/Tessarine.h"

namespace tess::editor {

// The controller-to-parameter links are not part of the plug-in yet: no controller drives a
// host parameter.
int parameterFollowingController(Tessarine&, int) { return -1; }

// Without the host parameter table's scale conversion, the instrument's value is written where
// the instrument reads it; the host is not told.
void setParameterFromInternalValue(Tessarine& plugin, int parameter, float internal) {
    plugin.engine.controllers.setVstVar(parameter, internal);
}

}  // namespace tess::editor
