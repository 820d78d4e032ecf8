#include "plugin/vst/AudioEffect.h"

#include <cstring>

#include "plugin/vst/AEffEditor.h"

namespace vst {

namespace {
AudioEffect* objectOf(AEffect* e) { return static_cast<AudioEffect*>(e->object); }
}  // namespace

void copyToHost(char* destination, const char* source, int capacity) {
    if (destination == nullptr || capacity <= 0) return;
    std::size_t length = std::strlen(source);
    if (length > static_cast<std::size_t>(capacity - 1)) length = static_cast<std::size_t>(capacity - 1);
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

AudioEffect::AudioEffect(AudioMasterCallback master, VstInt32 programs, VstInt32 params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &dispatchEntry;
    cEffect.process = &processEntry;
    cEffect.setParameter = &setParameterEntry;
    cEffect.getParameter = &getParameterEntry;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = &processReplacingEntry;
    cEffect.processDoubleReplacing = &processDoubleReplacingEntry;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    // The has-editor flag is the caller's decision: an editor object may exist in a build
    // whose editor cannot open a window.
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return audioMaster != nullptr ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName: setProgramName(static_cast<char*>(ptr)); return 0;
        case effGetProgramName: getProgramName(static_cast<char*>(ptr)); return 0;
        case effGetParamLabel: getParameterLabel(index, static_cast<char*>(ptr)); return 0;
        case effGetParamDisplay: getParameterDisplay(index, static_cast<char*>(ptr)); return 0;
        case effGetParamName: getParameterName(index, static_cast<char*>(ptr)); return 0;
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            return 0;
        case effEditGetRect:
            return editor != nullptr && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        case effEditOpen: return editor != nullptr && editor->open(ptr) ? 1 : 0;
        case effEditClose:
            if (editor != nullptr) editor->close();
            return 0;
        case effEditIdle:
            if (editor != nullptr) editor->idle();
            return 0;
        case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk: return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
        default: return 0;
    }
}

VstIntPtr AudioEffect::dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index,
                                     VstIntPtr value, void* ptr, float opt) {
    AudioEffect* effect = objectOf(e);
    if (effect == nullptr) return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
    objectOf(e)->processReplacing(inputs, outputs, frames);
}

void AudioEffect::processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 frames) {
    objectOf(e)->processReplacing(inputs, outputs, frames);
}

void AudioEffect::processDoubleReplacingEntry(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 frames) {
    objectOf(e)->processDoubleReplacing(inputs, outputs, frames);
}

void AudioEffect::setParameterEntry(AEffect* e, VstInt32 index, float value) {
    objectOf(e)->setParameter(index, value);
}

float AudioEffect::getParameterEntry(AEffect* e, VstInt32 index) {
    return objectOf(e)->getParameter(index);
}

}  // namespace vst
