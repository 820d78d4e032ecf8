// Base of a plug-in editor: keeps the owning effect and the host's parent window.
#pragma once

#include "plugin/vst/VstAbi.h"

namespace vst {

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect_(effect) {}
    virtual ~AEffEditor() = default;

    virtual AudioEffect* getEffect() { return effect_; }
    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* parentWindow) {
        systemWindow_ = parentWindow;
        return false;
    }
    virtual void close() { systemWindow_ = nullptr; }
    virtual bool isOpen() { return systemWindow_ != nullptr; }
    virtual void idle() {}
    virtual bool setKnobMode(VstInt32) { return false; }
    virtual bool onKeyDown(VstInt32, VstInt32, VstInt32) { return false; }
    virtual bool onKeyUp(VstInt32, VstInt32, VstInt32) { return false; }
    virtual bool onWheel(float) { return false; }

protected:
    AudioEffect* effect_;
    void* systemWindow_ = nullptr;
};

}  // namespace vst
