// Hosting one VST 2.4 plug-in the way a DAW does: loading the library and calling its entry,
// answering the plug-in's host callbacks, and running the open / prepare / resume / process /
// suspend / close life cycle with sample-accurate MIDI events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/vst/VstAbi.h"

namespace tess::tool {

using VstEntryProc = vst::AEffect* (*)(vst::AudioMasterCallback);

// A MIDI message for the current block; deltaFrames counts from the block's first frame.
struct HostMidiEvent {
    int deltaFrames = 0;
    unsigned char bytes[3] = {0, 0, 0};
};

// What the plug-in told the host through its callback.
struct HostCallbackCounts {
    int automateCalls = 0;
    int lastAutomatedIndex = -1;
    float lastAutomatedValue = 0.0f;
    std::int64_t eventBlocksReturned = 0;
    std::int64_t eventsReturned = 0;
    std::int64_t timeRequests = 0;
    int sizeWindowRequests = 0;  // the editor asked for another window size
    int requestedWidth = 0;
    int requestedHeight = 0;
};

class VstHost {
public:
    static constexpr vst::VstInt32 kHostVersion = 2400;
    static constexpr const char* kHostName = "Tessarine host";

    VstHost();
    ~VstHost();  // finishes the life cycle (suspend, close) and unloads the library
    VstHost(const VstHost&) = delete;
    VstHost& operator=(const VstHost&) = delete;

    // Loads a library and creates the plug-in through `VSTPluginMain` (else `main`). Errors
    // name the library.
    bool load(const std::string& path, std::string& error);
    // Creates the plug-in through an entry function already in this process.
    bool create(VstEntryProc entry, const std::string& name, std::string& error);

    vst::AEffect* effect() const { return effect_; }
    const std::string& name() const { return name_; }
    // The loaded library's handle (null for a plug-in created in this process).
    void* library() const { return library_; }
    bool isSynth() const;

    vst::VstIntPtr dispatch(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                            void* ptr = nullptr, float opt = 0.0f);
    // A text answer (names, labels, displays) read through a generously sized, bounded buffer.
    std::string text(vst::VstInt32 opcode, vst::VstInt32 index = 0);
    vst::VstIntPtr canDo(const char* what);

    void open();                                   // effOpen
    void prepare(int sampleRate, int blockSize);   // setSampleRate, setBlockSize, buffers
    void resume();                                 // mains on, start process
    void suspend();                                // stop process, mains off
    void close();                                  // suspend if needed, effClose, unload

    // Transport for the next block; the plug-in reads it through audioMasterGetTime.
    vst::VstTimeInfo& timeInfo() { return timeInfo_; }

    // One block: processEvents (when there are events), then processReplacing. Inputs may be
    // null for silence; the plug-in's first two outputs are copied to `outLeft`/`outRight`
    // (a mono plug-in's output to both). `frames` must not exceed the prepared block size.
    void process(const HostMidiEvent* events, std::size_t eventCount, const float* inLeft, const float* inRight,
                 float* outLeft, float* outRight, int frames);

    const HostCallbackCounts& callbackCounts() const { return counts_; }
    // A host with a window for the editor follows its size requests (audioMasterSizeWindow);
    // the request is recorded either way and answered 1 only by such a host.
    void followWindowSizes(bool follow) { windowSizesFollowed_ = follow; }

    // The answer to audioMasterCanDo for a text (1 supported, 0 not).
    static vst::VstIntPtr hostCanDo(const char* what);

private:
    static vst::VstIntPtr callback(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                                   vst::VstIntPtr value, void* ptr, float opt);
    vst::VstIntPtr answer(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value, void* ptr, float opt);
    bool adopt(vst::AEffect* effect, std::string& error);

    void* library_ = nullptr;
    vst::AEffect* effect_ = nullptr;
    std::string name_;
    bool opened_ = false;
    bool resumed_ = false;
    bool inProcess_ = false;
    bool windowSizesFollowed_ = false;
    int sampleRate_ = 44100;
    int blockSize_ = 512;
    vst::VstTimeInfo timeInfo_{};
    HostCallbackCounts counts_;

    std::vector<std::vector<float>> inputBuffers_;
    std::vector<std::vector<float>> outputBuffers_;
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
    std::vector<vst::VstMidiEvent> midiEvents_;
    std::vector<unsigned char> eventList_;  // a VstEvents record with room for every pointer
};

}  // namespace tess::tool
