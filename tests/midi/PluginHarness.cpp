#include "midi/PluginHarness.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "plugin/CreateInstance.h"
#include "tessarine/Levels.h"

namespace tess::test {

namespace {
PluginHarness* current = nullptr;
}

vst::VstIntPtr PluginHarness::callback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void* ptr,
                                       float) {
    if (current != nullptr && current->onCallback) current->onCallback(opcode);
    switch (opcode) {
        case vst::audioMasterVersion:
            return 2400;
        case vst::audioMasterGetTime:
            if (current == nullptr) return 0;
            current->time.samplePos = static_cast<double>(current->position_ + current->hostStart);
            current->time.flags = vst::kVstTempoValid | vst::kVstTimeSigValid |
                                  (current->transportPlaying ? vst::kVstTransportPlaying : 0);
            return reinterpret_cast<vst::VstIntPtr>(&current->time);
        case vst::audioMasterProcessEvents:
            if (current != nullptr && current->recordReturnedEvents) {
                ++current->eventListsReturned;
                const auto* list = static_cast<const vst::VstEvents*>(ptr);
                current->lastReturnedList = list;
                current->returnedEvents.clear();
                for (int i = 0; list != nullptr && i < list->numEvents; ++i)
                    current->returnedEvents.push_back(*reinterpret_cast<const vst::VstMidiEvent*>(list->entry(i)));
            }
            return 1;
        default:
            return 0;
    }
}

PluginHarness::PluginHarness(const std::string& instrumentText, float rate) : sampleRate(rate) {
    current = this;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.sampleRate = sampleRate;
    plugin_.reset(createEffectInstance(&PluginHarness::callback));
    vst::AEffect* effect = plugin_->getAeffect();
    effect->dispatcher(effect, vst::effSetSampleRate, 0, 0, nullptr, sampleRate);
    const std::string path = home.file("instrument.txt");
    writeFile(path, instrumentText);
    effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, const_cast<char*>(path.c_str()),
                       0.0f);
    effect->dispatcher(effect, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
}

PluginHarness::~PluginHarness() {
    if (current == this) current = nullptr;
}

std::vector<float> PluginHarness::block(int frames, const std::vector<MidiMessage>& events) {
    current = this;
    vst::AEffect* effect = plugin_->getAeffect();
    if (!events.empty()) {
        std::vector<vst::VstMidiEvent> midi(events.size());
        std::vector<unsigned char> list(sizeof(vst::VstEvents) + events.size() * sizeof(vst::VstEvent*));
        auto* header = reinterpret_cast<vst::VstEvents*>(list.data());
        header->numEvents = static_cast<vst::VstInt32>(events.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            vst::VstMidiEvent& e = midi[i];
            std::memset(&e, 0, sizeof e);
            e.type = vst::kVstMidiType;
            e.byteSize = sizeof e;
            e.deltaFrames = events[i].deltaFrames;
            e.noteOffset = events[i].noteOffset;
            e.midiData[0] = static_cast<char>(events[i].status);
            e.midiData[1] = static_cast<char>(events[i].data1);
            e.midiData[2] = static_cast<char>(events[i].data2);
            e.detune = static_cast<char>(events[i].detune);
            e.noteOffVelocity = static_cast<char>(events[i].noteOffVelocity);
            header->entry(static_cast<int>(i)) = reinterpret_cast<vst::VstEvent*>(&e);
        }
        lastSentList = header;
        effect->dispatcher(effect, vst::effProcessEvents, 0, 0, header, 0.0f);
    }
    std::vector<float> left(static_cast<std::size_t>(frames));
    lastRight_.assign(static_cast<std::size_t>(frames), 0.0f);
    std::vector<float> input(static_cast<std::size_t>(frames), 0.0f);
    float* inputs[2] = {input.data(), input.data()};
    float* outputs[2] = {left.data(), lastRight_.data()};
    effect->processReplacing(effect, inputs, outputs, frames);
    position_ += frames;
    return left;
}

std::vector<float> PluginHarness::render(int frames, std::vector<MidiMessage> events, int blockSize) {
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiMessage& a, const MidiMessage& b) { return a.deltaFrames < b.deltaFrames; });
    std::vector<float> all;
    right.clear();
    std::size_t next = 0;
    for (int start = 0; start < frames; start += blockSize) {
        const int n = std::min(blockSize, frames - start);
        std::vector<MidiMessage> inBlock;
        for (; next < events.size() && events[next].deltaFrames < start + n; ++next) {
            MidiMessage m = events[next];
            m.deltaFrames -= start;
            inBlock.push_back(m);
        }
        const std::vector<float> left = block(n, inBlock);
        all.insert(all.end(), left.begin(), left.end());
        right.insert(right.end(), lastRight_.begin(), lastRight_.end());
    }
    return all;
}

int PluginHarness::activeVoices() {
    int n = 0;
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i) n += plugin_->engine.voices[i].active() ? 1 : 0;
    return n;
}

Voice* PluginHarness::voiceOn(int key) {
    Voice* found = nullptr;
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i) {
        Voice& v = plugin_->engine.voices[i];
        if (v.active() && v.midiKey == key && (found == nullptr || v.startTime >= found->startTime)) found = &v;
    }
    return found;
}

}  // namespace tess::test
