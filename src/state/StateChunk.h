// The saved state a host stores with a project: one block of 20488 bytes, little-endian, with
// no header. It names the instrument file and carries what the user may have changed since
// the file was loaded.
//
//   offset      size    content
//   0           512     instrument path, NUL-terminated (at most 511 characters)
//   512         512     host value 0 .. 1 of parameter 0 .. 127 (float32)
//   1024        512     keyswitch state of key 0 .. 127 (int32)
//   1536        4       current temperament (int32)
//   1540        4       number of keyswitches (int32)
//   1544        18944   32 sample-panel records of 592 bytes
//
// Sample-panel record: 0 valid flag (uint8), 1 file name (char[512]), 520 start frame, 528 end
// frame, 536 loop start, 544 loop end, 552 release (int64; loop and release relative to the
// start, release 10000000000 for none), 560 centre note (float32), 564 direction, 568 looped,
// 572/576/580 crossfades, 584 normalisation, 588 slot (int32).
//
// The block lives with the plug-in: the panel records stay in it between saves, and a host's
// chunk is copied over it (a short one only over its beginning). Every accessor stays inside
// the block, whatever it holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "samples/SampleDirective.h"

namespace tess {

class StateChunk {
public:
    static constexpr std::size_t kSize = 20488;
    static constexpr std::size_t kPathSize = 512;
    static constexpr std::size_t kParametersOffset = 512;
    static constexpr std::size_t kKeyswitchesOffset = 1024;
    static constexpr std::size_t kTemperamentOffset = 1536;
    static constexpr std::size_t kKeyswitchCountOffset = 1540;
    static constexpr std::size_t kPanelsOffset = 1544;
    static constexpr std::size_t kPanelRecordSize = 592;
    static constexpr int kPanelRecords = 32;
    static constexpr int kParameters = 128;
    static constexpr int kKeys = 128;

    StateChunk() { bytes_.fill(0); }

    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t* data() { return bytes_.data(); }

    // Copies a host's chunk of `size` bytes over the block: at most kSize bytes are read, and
    // nothing for a null pointer or a size below 1. Returns the number of bytes copied.
    std::size_t copyFrom(const void* chunk, std::int64_t size);

    // The path cut to 511 characters and terminated; the bytes after its terminator keep
    // whatever they held.
    void setPath(std::string_view path);
    // The text before the first NUL of the first 511 bytes.
    std::string path() const;

    float parameter(int index) const;
    void setParameter(int index, float value);
    std::int32_t keyswitchState(int key) const;
    void setKeyswitchState(int key, std::int32_t state);
    std::int32_t temperament() const { return readInt32(kTemperamentOffset); }
    void setTemperament(std::int32_t index) { writeInt32(kTemperamentOffset, index); }
    std::int32_t keyswitchCount() const { return readInt32(kKeyswitchCountOffset); }
    void setKeyswitchCount(std::int32_t count) { writeInt32(kKeyswitchCountOffset, count); }

    // Sample-panel record `entry` (0 .. 31); an entry outside reads as empty and is not written.
    SamplePanelRecord panelRecord(int entry) const;
    void setPanelRecord(int entry, const SamplePanelRecord& record);

private:
    std::int32_t readInt32(std::size_t offset) const;
    void writeInt32(std::size_t offset, std::int32_t value);
    std::int64_t readInt64(std::size_t offset) const;
    void writeInt64(std::size_t offset, std::int64_t value);
    float readFloat(std::size_t offset) const;
    void writeFloat(std::size_t offset, float value);

    std::array<std::uint8_t, kSize> bytes_;
};

}  // namespace tess
