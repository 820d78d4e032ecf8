#include "plugin/PluginLibrary.h"

#include <dlfcn.h>

#include <cstring>

namespace tess::test {

PluginLibrary::PluginLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

vst::AEffect* (*PluginLibrary::entry(const char* name) const)(vst::AudioMasterCallback) {
    return reinterpret_cast<vst::AEffect* (*)(vst::AudioMasterCallback)>(dlsym(handle_, name));
}

int HostRecorder::versionAnswer = 2400;
int HostRecorder::versionRequests = 0;
int HostRecorder::processEventsCalls = 0;
int HostRecorder::lastEventCount = 0;
int HostRecorder::automateCalls = 0;

void HostRecorder::reset() {
    versionAnswer = 2400;
    versionRequests = processEventsCalls = lastEventCount = automateCalls = 0;
}

vst::VstIntPtr HostRecorder::callback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32,
                                      vst::VstIntPtr, void* ptr, float) {
    switch (opcode) {
        case vst::audioMasterVersion: ++versionRequests; return versionAnswer;
        case vst::audioMasterProcessEvents:
            ++processEventsCalls;
            lastEventCount = ptr != nullptr ? static_cast<vst::VstEvents*>(ptr)->numEvents : -1;
            return 1;
        case vst::audioMasterAutomate: ++automateCalls; return 1;
        default: return 0;
    }
}

vst::VstIntPtr dispatch(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                        vst::VstIntPtr value, void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string dispatchString(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    dispatch(effect, opcode, index, 0, buffer);
    return buffer;
}

}  // namespace tess::test
