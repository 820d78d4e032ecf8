// Any bytes as a host's saved state: setChunk must restore what it can and refuse the rest, the
// instrument it names then plays, and the state it gives back survives a second round trip
// byte for byte.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzPlugin.h"

namespace {

std::vector<unsigned char> savedState(tess::Tessarine& plugin) {
    void* data = nullptr;
    const auto size = plugin.getChunk(&data, false);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tess::Tessarine* plugin = tess::fuzz::makePlugin();
    // The host's block, copied so that a read past its end is one the sanitizer sees.
    std::vector<unsigned char> chunk(data, data + size);
    plugin->setChunk(chunk.empty() ? nullptr : chunk.data(), static_cast<vst::VstInt32>(size), false);

    tess::fuzz::EventList events;
    events.add(tess::fuzz::midiEvent(0, 0x90, 60, 100));
    events.add(tess::fuzz::midiEvent(100, 0x90, 67, 80));
    plugin->processEvents(events.list());
    tess::fuzz::render(*plugin, 1024);
    events.clear();
    events.add(tess::fuzz::midiEvent(0, 0x80, 60, 0));
    events.add(tess::fuzz::midiEvent(0, 0x80, 67, 0));
    plugin->processEvents(events.list());
    tess::fuzz::render(*plugin, 512);

    std::vector<unsigned char> first = savedState(*plugin);
    plugin->setChunk(first.data(), static_cast<vst::VstInt32>(first.size()), false);
    const std::vector<unsigned char> second = savedState(*plugin);
    if (first != second) tess::fuzz::fail("getChunk -> setChunk -> getChunk changed the saved state");
    plugin->suspend();
    plugin->resume();
    return 0;
}
