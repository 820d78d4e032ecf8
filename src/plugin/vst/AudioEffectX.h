// The VST 2.x half of the plug-in base: the 2.x dispatcher opcodes and the host services
// (time info, event output, automation) an instrument needs.
#pragma once

#include "plugin/vst/AudioEffect.h"

namespace vst {

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(AudioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    virtual VstInt32 processEvents(VstEvents*) { return 0; }
    virtual bool canParameterBeAutomated(VstInt32) { return true; }
    virtual bool getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }
    virtual VstInt32 canDo(char*) { return 0; }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual VstInt32 getVstVersion() { return 2400; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }

    // Host services.
    VstTimeInfo* getTimeInfo(VstInt32 filter);
    bool sendVstEventsToHost(VstEvents* events);
    void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    void hasEditor(bool state = true) { setFlag(effFlagsHasEditor, state); }
    bool updateDisplay();
    bool sizeWindow(VstInt32 width, VstInt32 height);
};

}  // namespace vst
