// The host-facing plug-in object. It owns one instance's whole state and composes the
// subsystems: the log, the engine with its voices and controllers, the settings, and the
// editor.
#pragma once

#include <cstdint>
#include <string>

#include "common/Log.h"
#include "engine/Engine.h"
#include "plugin/AudioThreadGuard.h"
#include "plugin/vst/AudioEffectX.h"

namespace tess {

class TessarineEditor;

class Tessarine : public vst::AudioEffectX {
public:
    static constexpr std::int32_t kInstrumentId = vst::fourCharCode('T', 's', 'r', 'n');
    static constexpr std::int32_t kEffectId = vst::fourCharCode('T', 's', 'r', 'e');
    static constexpr int kMaxBlockSize = 524288;

    Tessarine(vst::AudioMasterCallback audioMaster, vst::VstInt32 numPrograms,
              vst::VstInt32 numParams, int width, int height);
    ~Tessarine() override;

    // Lifecycle.
    void suspend() override;
    void resume() override;

    // Audio.
    void processReplacing(float** inputs, float** outputs, vst::VstInt32 sampleFrames) override;
    void processDoubleReplacing(double**, double**, vst::VstInt32) override {}
    vst::VstInt32 processEvents(vst::VstEvents* events) override;

    // Names and abilities.
    void getProgramName(char* name) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    vst::VstInt32 getVendorVersion() override { return 1; }
    vst::VstInt32 canDo(char* text) override;
    vst::VstInt32 getNumMidiInputChannels() override { return 16; }
    vst::VstInt32 getNumMidiOutputChannels() override { return 16; }
    vst::VstIntPtr vendorSpecific(vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                  float opt) override;

    // The single way to write a log: ignored while the debug level is below 0.
    void appendLog(int pane, const char* text) { log.append(pane, text); }

    const char* displayName() const { return isEffect ? "Tessarine-Effect" : "Tessarine"; }
    float currentSampleRate() const { return sampleRate; }
    vst::VstInt32 currentBlockSize() const { return blockSize; }

    bool isEffect = false;
    std::string userFolder = ".";
    std::string instrumentPath = "?";
    std::string instrumentFileName;  // bare file name of the loaded instrument
    Log log;
    int numVstVars;
    int editorWidth;
    int editorHeight;
    Engine engine{log};
    AudioThreadGuard audioGuard;

private:
    TessarineEditor* tessarineEditor_ = nullptr;
};

}  // namespace tess
