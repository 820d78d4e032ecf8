#include "plugin/CreateInstance.h"

#include "platform/Platform.h"
#include "plugin/Tessarine.h"
#include "state/SettingsFile.h"

namespace tess {

Tessarine* createEffectInstance(vst::AudioMasterCallback audioMaster) {
    const std::string folder = platform::userFolder();
    std::string problem;
    const bool settingsReady = ensureSettingsFile(folder, &problem);
    const CreationSettings settings = readCreationSettings(settingsPath(folder));
    auto* plugin = new Tessarine(audioMaster, 1, settings.numParams, settings.editorWidth,
                                 settings.editorHeight);
    if (!settingsReady)
        plugin->log.appendf(Log::kMain, "************ ERROR: %s The default settings are used.\r\n", problem.c_str());
    return plugin;
}

}  // namespace tess
