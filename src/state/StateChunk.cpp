#include "state/StateChunk.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "samples/ByteOrder.h"

namespace tess {

namespace {

// Offsets inside a sample-panel record.
constexpr std::size_t kValid = 0;
constexpr std::size_t kFileName = 1;
constexpr std::size_t kFileNameSize = 512;
constexpr std::size_t kStart = 520;
constexpr std::size_t kEnd = 528;
constexpr std::size_t kLoopStart = 536;
constexpr std::size_t kLoopEnd = 544;
constexpr std::size_t kRelease = 552;
constexpr std::size_t kCentreNote = 560;
constexpr std::size_t kDirection = 564;
constexpr std::size_t kLooped = 568;
constexpr std::size_t kCrossfades = 572;
constexpr std::size_t kNormalisation = 584;
constexpr std::size_t kSlot = 588;

void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putLe64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The text of a fixed field up to its first NUL, never past `size` - 1 bytes.
std::string fieldText(const std::uint8_t* field, std::size_t size) {
    const std::size_t usable = size - 1;
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(field, 0, usable));
    return std::string(reinterpret_cast<const char*>(field), end != nullptr ? static_cast<std::size_t>(end - field) : usable);
}

}  // namespace

std::size_t StateChunk::copyFrom(const void* chunk, std::int64_t size) {
    if (chunk == nullptr || size <= 0) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(size, static_cast<std::int64_t>(kSize)));
    std::memcpy(bytes_.data(), chunk, n);
    return n;
}

void StateChunk::setPath(std::string_view path) {
    const std::size_t n = std::min(path.size(), kPathSize - 1);
    std::memcpy(bytes_.data(), path.data(), n);
    bytes_[n] = 0;
}

std::string StateChunk::path() const { return fieldText(bytes_.data(), kPathSize); }

float StateChunk::parameter(int index) const {
    if (index < 0 || index >= kParameters) return 0.0f;
    return readFloat(kParametersOffset + 4 * static_cast<std::size_t>(index));
}

void StateChunk::setParameter(int index, float value) {
    if (index >= 0 && index < kParameters) writeFloat(kParametersOffset + 4 * static_cast<std::size_t>(index), value);
}

std::int32_t StateChunk::keyswitchState(int key) const {
    if (key < 0 || key >= kKeys) return 0;
    return readInt32(kKeyswitchesOffset + 4 * static_cast<std::size_t>(key));
}

void StateChunk::setKeyswitchState(int key, std::int32_t state) {
    if (key >= 0 && key < kKeys) writeInt32(kKeyswitchesOffset + 4 * static_cast<std::size_t>(key), state);
}

SamplePanelRecord StateChunk::panelRecord(int entry) const {
    SamplePanelRecord record;
    if (entry < 0 || entry >= kPanelRecords) return record;
    const std::size_t base = kPanelsOffset + kPanelRecordSize * static_cast<std::size_t>(entry);
    record.valid = bytes_[base + kValid];
    const std::string name = fieldText(bytes_.data() + base + kFileName, kFileNameSize);
    std::snprintf(record.fileName, sizeof record.fileName, "%s", name.c_str());
    record.start = readInt64(base + kStart);
    record.end = readInt64(base + kEnd);
    record.loopStart = readInt64(base + kLoopStart);
    record.loopEnd = readInt64(base + kLoopEnd);
    record.release = readInt64(base + kRelease);
    record.centreNote = readFloat(base + kCentreNote);
    record.direction = readInt32(base + kDirection);
    record.looped = readInt32(base + kLooped);
    for (std::size_t i = 0; i < 3; ++i) record.crossfades[i] = readInt32(base + kCrossfades + 4 * i);
    record.normalisation = readInt32(base + kNormalisation);
    record.slot = readInt32(base + kSlot);
    return record;
}

void StateChunk::setPanelRecord(int entry, const SamplePanelRecord& record) {
    if (entry < 0 || entry >= kPanelRecords) return;
    const std::size_t base = kPanelsOffset + kPanelRecordSize * static_cast<std::size_t>(entry);
    std::fill_n(bytes_.data() + base, kPanelRecordSize, std::uint8_t{0});
    bytes_[base + kValid] = record.valid;
    const char* nameEnd = std::find(record.fileName, record.fileName + std::min(sizeof record.fileName, kFileNameSize) - 1, '\0');
    const auto nameLength = static_cast<std::size_t>(nameEnd - record.fileName);
    std::memcpy(bytes_.data() + base + kFileName, record.fileName, nameLength);
    writeInt64(base + kStart, record.start);
    writeInt64(base + kEnd, record.end);
    writeInt64(base + kLoopStart, record.loopStart);
    writeInt64(base + kLoopEnd, record.loopEnd);
    writeInt64(base + kRelease, record.release);
    writeFloat(base + kCentreNote, record.centreNote);
    writeInt32(base + kDirection, record.direction);
    writeInt32(base + kLooped, record.looped);
    for (std::size_t i = 0; i < 3; ++i) writeInt32(base + kCrossfades + 4 * i, record.crossfades[i]);
    writeInt32(base + kNormalisation, record.normalisation);
    writeInt32(base + kSlot, record.slot);
}

std::int32_t StateChunk::readInt32(std::size_t offset) const {
    return bytes::signed32(bytes::le32(bytes_.data() + offset));
}

void StateChunk::writeInt32(std::size_t offset, std::int32_t value) {
    putLe32(bytes_.data() + offset, static_cast<std::uint32_t>(value));
}

std::int64_t StateChunk::readInt64(std::size_t offset) const {
    return static_cast<std::int64_t>(bytes::le64(bytes_.data() + offset));
}

void StateChunk::writeInt64(std::size_t offset, std::int64_t value) {
    putLe64(bytes_.data() + offset, static_cast<std::uint64_t>(value));
}

float StateChunk::readFloat(std::size_t offset) const {
    return std::bit_cast<float>(bytes::le32(bytes_.data() + offset));
}

void StateChunk::writeFloat(std::size_t offset, float value) {
    putLe32(bytes_.data() + offset, std::bit_cast<std::uint32_t>(value));
}

}  // namespace tess
