// Reading fixed-width integers from byte buffers in a stated byte order, independent of the
// machine's own. RIFF files are little-endian, AIFF files big-endian.
#pragma once

#include <cstdint>

namespace tess::bytes {

inline std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t le64(const unsigned char* p) {
    return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}

inline std::uint16_t be16(const unsigned char* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

inline std::uint64_t be64(const unsigned char* p) {
    return (static_cast<std::uint64_t>(be32(p)) << 32) | static_cast<std::uint64_t>(be32(p + 4));
}

// Two's-complement reinterpretations without implementation-defined narrowing.
inline std::int32_t signed24(std::uint32_t v) {
    return static_cast<std::int32_t>(v & 0xFFFFFFu) -
           static_cast<std::int32_t>((v & 0x800000u) << 1);
}

inline std::int32_t signed32(std::uint32_t v) {
    return v < 0x80000000u ? static_cast<std::int32_t>(v) : -static_cast<std::int32_t>(~v) - 1;
}

inline std::int32_t signed16(std::uint16_t v) {
    return v < 0x8000u ? v : static_cast<std::int32_t>(v) - 65536;
}

inline std::int32_t signed8(unsigned char v) {
    return v < 0x80u ? v : static_cast<std::int32_t>(v) - 256;
}

}  // namespace tess::bytes
