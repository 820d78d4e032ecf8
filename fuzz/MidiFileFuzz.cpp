// Any bytes as a Standard MIDI File: the reader must refuse or read, never overrun.
#include <cstdint>
#include <string>

#include "tessarine/MidiFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tess::tool::MidiFile midi;
    std::string error;
    tess::tool::parseMidi(data, size, midi, error);
    return 0;
}
