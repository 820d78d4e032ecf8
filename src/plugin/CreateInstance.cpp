#include "plugin/CreateInstance.h"

#include "platform/Platform.h"
#include "plugin/Tessarine.h"
#include "state/SettingsFile.h"

namespace tess {

Tessarine* createEffectInstance(vst::AudioMasterCallback audioMaster) {
    const std::string folder = platform::userFolder();
    ensureSettingsFile(folder);
    const CreationSettings settings = readCreationSettings(settingsPath(folder));
    return new Tessarine(audioMaster, 1, settings.numParams, settings.editorWidth,
                         settings.editorHeight);
}

}  // namespace tess
