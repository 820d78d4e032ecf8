// Drives the plug-in object through its VST entry points as a host does: an instrument file
// loaded through the vendor-specific opcode, MIDI events handed in blocks through
// effProcessEvents, audio through processReplacing. The host callback answers the time
// request (a playing transport, tempo and metre settable) and records the event lists the
// plug-in passes back.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plugin/Tessarine.h"
#include "support/SignalMeasures.h"
#include "support/TestSupport.h"

namespace tess::test {

struct MidiMessage {
    int deltaFrames = 0;
    int status = 0x90;
    int data1 = 60;
    int data2 = 100;
    int noteOffset = 0;
    int detune = 0;
    int noteOffVelocity = 0;
};

inline MidiMessage noteOn(int delta, int key, int velocity = 100, int channel = 0) {
    return {delta, 0x90 | channel, key, velocity};
}
inline MidiMessage noteOff(int delta, int key, int velocity = 0, int channel = 0) {
    return {delta, 0x80 | channel, key, velocity};
}
inline MidiMessage controlChange(int delta, int cc, int value, int channel = 0) {
    return {delta, 0xB0 | channel, cc, value};
}

class PluginHarness {
public:
    // Loads `instrumentText` (written to a file in a fresh user folder) at `sampleRate`.
    explicit PluginHarness(const std::string& instrumentText, float sampleRate = 44100.0f);
    ~PluginHarness();

    // One host block: the events (if any) through effProcessEvents, then processReplacing.
    // Returns the left channel of the block.
    std::vector<float> block(int frames, const std::vector<MidiMessage>& events = {});
    // Blocks of `blockSize` until `frames` samples; events are placed by their absolute frame
    // (deltaFrames counted from the first frame rendered by this call).
    std::vector<float> render(int frames, std::vector<MidiMessage> events = {}, int blockSize = 256);

    Tessarine& plugin() { return *plugin_; }
    Engine& engine() { return plugin_->engine; }
    Voice& voice(int index) { return plugin_->engine.voices[index]; }
    // Active note voices.
    int activeVoices();
    // The active voice on `key` started last (null when none).
    Voice* voiceOn(int key);
    std::string log() const { return std::string(plugin_->log.main.view()); }

    std::vector<float> right;  // the right channel of what the last render() call rendered
    bool recordReturnedEvents = true;  // false: the host callback takes the MIDI thru without copying
    vst::VstTimeInfo time{};  // what the host reports; samplePos follows the blocks
    bool transportPlaying = true;
    std::int64_t hostStart = 0;  // the host's position when the first block was rendered
    float sampleRate;
    // What came back through audioMasterProcessEvents.
    int eventListsReturned = 0;
    const vst::VstEvents* lastSentList = nullptr;      // valid only during block()
    const vst::VstEvents* lastReturnedList = nullptr;  // the same
    std::vector<vst::VstMidiEvent> returnedEvents;     // copies taken when the list came back
    // Called on every host callback the plug-in makes, with its opcode (for what a test wants
    // to see from inside the plug-in's calls).
    std::function<void(vst::VstInt32 opcode)> onCallback;

    ScopedUserFolder home;

private:
    static vst::VstIntPtr callback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                                   void* ptr, float opt);
    std::unique_ptr<Tessarine> plugin_;
    std::int64_t position_ = 0;
    std::vector<float> lastRight_;
};

// A layer whose tone is a sine at FREQ, 0.2 * ONVEL / 127, that stops at the note's release
// (DURATION stays at TIME while the note is held and stops growing at its release).
inline const char* kSineLayer =
    "LAYER\n"
    "OUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * ONVEL / 127 * (SAT((DURATION - TIME) * 100000 + 1) + 1)\n";

}  // namespace tess::test
