// The library's exported entry. Hosts look for "VSTPluginMain" and, older ones, "main".
#include "plugin/CreateInstance.h"
#include "plugin/Tessarine.h"

#if defined(_WIN32)
#define TESSARINE_EXPORT extern "C" __declspec(dllexport)
#else
#define TESSARINE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TESSARINE_EXPORT vst::AEffect* VSTPluginMain(vst::AudioMasterCallback audioMaster) {
    if (audioMaster == nullptr) return nullptr;
    if (audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    tess::Tessarine* plugin = tess::createEffectInstance(audioMaster);
    return plugin != nullptr ? plugin->getAeffect() : nullptr;
}

#if !defined(_WIN32)
// C++ does not allow a function named main here, so the second export is an assembler label
// (the Windows build exports it through the .def file).
TESSARINE_EXPORT vst::AEffect* tessarineLegacyMain(vst::AudioMasterCallback audioMaster) asm("main");
vst::AEffect* tessarineLegacyMain(vst::AudioMasterCallback audioMaster) {
    return VSTPluginMain(audioMaster);
}
#endif
