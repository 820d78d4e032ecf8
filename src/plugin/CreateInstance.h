#pragma once

#include "plugin/vst/VstAbi.h"

namespace tess {
class Tessarine;

// Finds the per-user folder, writes the default Settings.ini when it is missing, reads the
// host parameter count and editor size from it, and constructs the plug-in object.
Tessarine* createEffectInstance(vst::AudioMasterCallback audioMaster);
}  // namespace tess
