// Loads a built plug-in library with dlopen and calls its entry like a minimal host, so the
// tests see exactly what a host sees.
#pragma once

#include <string>

#include "plugin/vst/VstAbi.h"

namespace tess::test {

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    bool loaded() const { return handle_ != nullptr; }
    vst::AEffect* (*entry(const char* name) const)(vst::AudioMasterCallback);

private:
    void* handle_ = nullptr;
};

// A host callback that answers the version request with 2400 and counts what it is asked.
struct HostRecorder {
    static vst::VstIntPtr callback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32 index,
                                   vst::VstIntPtr value, void* ptr, float opt);
    static void reset();
    static int versionAnswer;
    static int versionRequests;
    static int processEventsCalls;
    static int lastEventCount;
    static int automateCalls;
};

vst::VstIntPtr dispatch(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index = 0,
                        vst::VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
std::string dispatchString(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index = 0);

}  // namespace tess::test
