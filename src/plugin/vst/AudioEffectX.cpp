#include "plugin/vst/AudioEffectX.h"

namespace vst {

AudioEffectX::AudioEffectX(AudioMasterCallback master, VstInt32 programs, VstInt32 params)
    : AudioEffect(master, programs, params) {}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    switch (opcode) {
        case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
        case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
        case effGetProgramNameIndexed:
            return getProgramNameIndexed(static_cast<VstInt32>(value), index,
                                         static_cast<char*>(ptr))
                       ? 1
                       : 0;
        case effGetEffectName: return getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
        case effGetVendorString: return getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
        case effGetProductString: return getProductString(static_cast<char*>(ptr)) ? 1 : 0;
        case effGetVendorVersion: return getVendorVersion();
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return ptr != nullptr ? canDo(static_cast<char*>(ptr)) : 0;
        case effGetTailSize: return getGetTailSize();
        case effGetVstVersion: return getVstVersion();
        case effStartProcess: return startProcess();
        case effStopProcess: return stopProcess();
        case effGetNumMidiInputChannels: return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
        default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

}  // namespace vst
