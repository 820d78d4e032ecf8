// The VST 1.0 half of the plug-in base: owns the AEffect record handed to the host, maps
// each 1.0 dispatcher opcode to one virtual operation, and holds the base-class state.
#pragma once

#include "plugin/vst/VstAbi.h"

namespace vst {

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(AudioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    AEffect* getAeffect() { return &cEffect; }
    AEffEditor* getEditor() { return editor; }
    void setEditor(AEffEditor* newEditor);

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double**, double**, VstInt32) {}
    virtual void setParameter(VstInt32, float) {}
    virtual float getParameter(VstInt32) { return 0.0f; }
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char*) {}
    virtual void getProgramName(char* name) { name[0] = '\0'; }
    virtual void getParameterLabel(VstInt32, char* label) { label[0] = '\0'; }
    virtual void getParameterDisplay(VstInt32, char* text) { text[0] = '\0'; }
    virtual void getParameterName(VstInt32, char* text) { text[0] = '\0'; }
    virtual VstInt32 getChunk(void**, bool) { return 0; }
    virtual VstInt32 setChunk(void*, VstInt32, bool) { return 0; }

    // Record flags and values.
    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    // Host callbacks.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

protected:
    void setFlag(VstInt32 flag, bool state);

    AudioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;

private:
    static VstIntPtr dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                   void* ptr, float opt);
    static void processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 frames);
    static void processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                      VstInt32 frames);
    static void processDoubleReplacingEntry(AEffect* e, double** inputs, double** outputs,
                                            VstInt32 frames);
    static void setParameterEntry(AEffect* e, VstInt32 index, float value);
    static float getParameterEntry(AEffect* e, VstInt32 index);
};

// Bounded copy into a host buffer of `capacity` bytes including the terminator.
void copyToHost(char* destination, const char* source, int capacity);

}  // namespace vst
