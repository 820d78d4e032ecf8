// Standard MIDI File reader for the render command. Reads formats 0 and 1 with a division in
// ticks per quarter note, and gives the channel messages of every track merged in time order,
// plus the tempo and time-signature meta events the transport needs. Anything malformed is
// refused with a message; the reader never reads past the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tess::tool {

// One channel message (note on/off, aftertouch, controller, program, channel pressure, bend).
struct MidiMessage {
    std::int64_t tick = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;  // 0 for the two-byte messages (program change, channel pressure)
    std::uint8_t size = 3;   // bytes the message uses on the wire: 2 or 3
    int track = 0;
};

struct TempoEvent {
    std::int64_t tick = 0;
    std::uint32_t microsPerQuarter = 500000;
};

struct TimeSignatureEvent {
    std::int64_t tick = 0;
    int numerator = 4;
    int denominator = 4;
};

struct MidiFile {
    int format = 0;
    int trackCount = 0;
    int ticksPerQuarter = 0;
    std::vector<MidiMessage> messages;  // all tracks, time order; equal times keep track/file order
    std::vector<TempoEvent> tempos;     // time order
    std::vector<TimeSignatureEvent> timeSignatures;  // time order
    std::int64_t lengthTicks = 0;       // tick of the last event of the longest track
};

// Parses the bytes of a file. On failure returns false and describes the fault in `error`
// (without a file name).
bool parseMidi(const unsigned char* data, std::size_t size, MidiFile& file, std::string& error);

// Reads and parses a file; error messages start with the file's path.
bool readMidiFile(const std::string& path, MidiFile& file, std::string& error);

}  // namespace tess::tool
