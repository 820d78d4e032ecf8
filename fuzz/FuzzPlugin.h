// A plug-in instance for the fuzz targets, made as a host makes one, with a host callback
// that answers only the version request (no time information, as from a minimal host).
#pragma once

#include <vector>

#include "FuzzSandbox.h"
#include "plugin/CreateInstance.h"
#include "plugin/Tessarine.h"

namespace tess::fuzz {

inline vst::VstIntPtr minimalHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// The examples are copied into the sandbox, which is the per-user folder.
inline Tessarine* makePlugin() {
    copyExamples();
    // A short Settings.ini: the default one's temperament library would take most of each
    // run's time, compiled again by every load.
    const std::string settings = "VSTVARS 20\r\n";
    writeFile(sandbox() / "Settings.ini", reinterpret_cast<const std::uint8_t*>(settings.data()), settings.size());
    Tessarine* plugin = createEffectInstance(minimalHost);
    plugin->setSampleRate(44100.0f);
    plugin->setBlockSize(512);
    plugin->resume();
    return plugin;
}

// One host event list holding `events`.
class EventList {
public:
    void add(const vst::VstEvent& event) { events_.push_back(event); }
    void clear() { events_.clear(); }
    vst::VstEvents* list() {
        storage_.assign(sizeof(vst::VstEvents) + events_.size() * sizeof(vst::VstEvent*), 0);
        auto* list = reinterpret_cast<vst::VstEvents*>(storage_.data());
        list->numEvents = static_cast<vst::VstInt32>(events_.size());
        for (std::size_t i = 0; i < events_.size(); ++i) list->entry(static_cast<int>(i)) = &events_[i];
        return list;
    }

private:
    std::vector<vst::VstEvent> events_;
    std::vector<unsigned char> storage_;
};

inline vst::VstEvent midiEvent(int deltaFrames, unsigned char status, unsigned char data1, unsigned char data2) {
    vst::VstEvent event{};
    event.type = vst::kVstMidiType;
    event.byteSize = sizeof(vst::VstMidiEvent);
    event.deltaFrames = deltaFrames;
    auto* midi = reinterpret_cast<vst::VstMidiEvent*>(&event);
    midi->midiData[0] = static_cast<char>(status);
    midi->midiData[1] = static_cast<char>(data1);
    midi->midiData[2] = static_cast<char>(data2);
    return event;
}

// Renders `frames` frames of stereo in blocks of at most 512.
inline void render(Tessarine& plugin, int frames) {
    static std::vector<float> left(512), right(512), inLeft(512), inRight(512);
    float* outputs[] = {left.data(), right.data()};
    float* inputs[] = {inLeft.data(), inRight.data()};
    while (frames > 0) {
        const int block = frames < 512 ? frames : 512;
        plugin.processReplacing(inputs, outputs, block);
        frames -= block;
    }
}

}  // namespace tess::fuzz
