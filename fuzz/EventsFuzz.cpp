// Any host event lists, parameter changes and block lengths for one of the examples: the note
// path must take whatever a host sends (events outside the block, unknown types, any MIDI
// bytes) and the render loop must stay within its buffers.
//
// The input: one byte choosing the example, then steps. A step's first byte chooses between an
// event list (up to 15 events: kind, three MIDI bytes, two bytes of delta frames and for some
// kinds a byte size), a parameter change (index and a value from 0 to 1 or beyond) and a block of 1 to 4096
// frames (once an input has rendered 16384 frames, each further block is one frame).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzPlugin.h"

namespace {

using namespace tess;

constexpr int kFrameBudget = 16384;

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int word() { return byte() | byte() << 8; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::vector<std::string> exampleNames() {
    std::vector<std::string> names;
    for (const auto& entry : fuzz::fs::directory_iterator(fuzz::sandbox() / "examples"))
        if (entry.path().extension() == ".txt") names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

Tessarine& pluginFor(std::uint8_t choice) {
    static std::vector<std::unique_ptr<Tessarine>> plugins;
    static std::vector<std::string> names;
    if (names.empty()) {
        fuzz::sandbox();
        fuzz::copyExamples();
        names = exampleNames();
        plugins.resize(names.size());
    }
    const std::size_t index = choice % names.size();
    if (plugins[index] == nullptr) {
        plugins[index].reset(fuzz::makePlugin());
        plugins[index]->selectInstrument(names[index]);
    }
    return *plugins[index];
}

void eventList(Tessarine& plugin, Reader& in) {
    fuzz::EventList events;
    const int count = in.byte() % 16;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t kind = in.byte();
        const std::uint8_t status = in.byte(), data1 = in.byte(), data2 = in.byte();
        const int delta = static_cast<std::int16_t>(in.word());
        vst::VstEvent event = fuzz::midiEvent(delta, status, data1, data2);
        if (kind % 8 == 7) event.type = kind;  // another kind of event, or none known
        if (kind % 5 == 4) event.byteSize = in.byte();
        auto* midi = reinterpret_cast<vst::VstMidiEvent*>(&event);
        midi->detune = static_cast<char>(kind);
        midi->noteOffVelocity = static_cast<char>(data2);
        events.add(event);
    }
    plugin.processEvents(events.list());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Reader in(data, size);
    Tessarine& plugin = pluginFor(in.byte());
    plugin.resume();
    int steps = 0;
    int budget = kFrameBudget;
    while (!in.done() && ++steps <= 64) {
        switch (in.byte() % 3) {
            case 0:
                eventList(plugin, in);
                break;
            case 1: {
                const int index = in.byte() % 24;  // a few beyond the 20 parameters
                const float value = static_cast<float>(in.word()) / 40000.0f;
                plugin.setParameter(index, value);
                break;
            }
            default: {
                // Blocks keep any length up to 4096 frames, but an input renders at most
                // kFrameBudget frames in all: beyond that, more frames only repeat the same work.
                const int frames = std::min(1 + in.word() % 4096, std::max(1, budget));
                budget -= frames;
                fuzz::render(plugin, frames);
            }
        }
    }
    fuzz::render(plugin, 256);
    plugin.suspend();
    return 0;
}
