#include "samples/AudioFileReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <system_error>

#include "platform/Platform.h"
#include "samples/ByteOrder.h"

namespace tess {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// A file read front to back. The position is counted here rather than asked of the C library,
// whose `long` offsets are 32 bits on Windows, and every read or skip is checked against the
// real size of the file first, so no size field in a header can make us read or allocate past it.
class ByteReader {
public:
    ByteReader(std::FILE* file, std::int64_t size) : file_(file), size_(size) {}

    std::int64_t remaining() const { return size_ - position_; }

    bool read(unsigned char* out, std::int64_t n) {
        if (n < 0 || n > remaining()) return false;
        const auto wanted = static_cast<std::size_t>(n);
        if (std::fread(out, 1, wanted, file_) != wanted) return false;
        position_ += n;
        return true;
    }

    bool skip(std::int64_t n) {
        if (n < 0 || n > remaining()) return false;
        constexpr std::int64_t kStep = std::int64_t{1} << 30;  // fits a 32-bit long
        while (n > 0) {
            const std::int64_t step = std::min(n, kStep);
            if (std::fseek(file_, static_cast<long>(step), SEEK_CUR) != 0) return false;
            position_ += step;
            n -= step;
        }
        return true;
    }

private:
    std::FILE* file_;
    std::int64_t size_;
    std::int64_t position_ = 0;
};

// The parts of a header the sample read needs besides the public description.
struct Layout {
    AudioFileInfo info;
    bool aiff = false;
};

constexpr int kTagPcm = 1;
constexpr int kTagFloat = 3;
constexpr int kTagExtensible = 0xFFFE;

// Bytes 4..15 of the KSDATAFORMAT_SUBTYPE_* GUIDs; bytes 0..3 carry the plain format tag.
constexpr unsigned char kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                              0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool sameId(const unsigned char* p, const char (&id)[5]) {
    return std::memcmp(p, id, 4) == 0;
}

// An 80-bit IEEE extended number as AIFF stores the sample rate: sign, 15-bit exponent biased
// by 16383, 64-bit mantissa with an explicit leading bit. Summed bit by bit in double.
double extendedToDouble(const unsigned char* p) {
    const int exponent = bytes::be16(p) & 0x7FFF;
    const std::uint64_t mantissa = bytes::be64(p + 2);
    double value = 0.0;
    for (int k = 0; k < 64; ++k)
        if ((mantissa >> (63 - k)) & 1u) value += std::ldexp(1.0, exponent - 16383 - k);
    return (p[0] & 0x80) != 0 ? -value : value;
}

// The depth decides the encoding: 8, 16 and 24 bits are integers and 64 bits a float64
// whatever the tag; only at 32 bits does the tag choose between integer and float.
bool encodingAccepted(bool aiff, int tag, int bits) {
    if (aiff) return bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (tag != kTagPcm && tag != kTagFloat) return false;
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 64;
}

// Reads a RIFF "fmt " body of `size` bytes and the pad byte after it.
bool readWaveFormat(ByteReader& in, std::uint32_t size, AudioFileInfo& info) {
    unsigned char f[40];
    if (size < 16 || !in.read(f, 16)) return false;
    int tag = bytes::le16(f);
    const int channels = bytes::le16(f + 2);
    const std::uint32_t rate = bytes::le32(f + 4);
    const int bits = bytes::le16(f + 14);
    std::uint32_t used = 16;
    if (tag == kTagExtensible) {
        // cbSize, valid bits, channel mask, then the sub-format GUID.
        if (size < 40 || !in.read(f + 16, 24)) return false;
        if (bytes::le16(f + 16) < 22) return false;
        if (std::memcmp(f + 28, kSubFormatTail, sizeof kSubFormatTail) != 0) return false;
        const std::uint32_t subFormat = bytes::le32(f + 24);
        if (subFormat != kTagPcm && subFormat != kTagFloat) return false;
        tag = static_cast<int>(subFormat);
        used = 40;
    }
    if (!in.skip(std::int64_t{size} - used + (size & 1u))) return false;
    // The block align field is not used: the frame size follows from channels and depth.
    if (channels == 0 || rate == 0 || !encodingAccepted(false, tag, bits)) return false;
    info.sampleRate = static_cast<float>(rate);
    info.channels = channels;
    info.bits = bits;
    info.formatTag = tag;
    return true;
}

// Reads an AIFF "COMM" body of `size` bytes and the pad byte after it.
bool readAiffCommon(ByteReader& in, std::uint32_t size, AudioFileInfo& info) {
    unsigned char c[18];
    if (size < 18 || !in.read(c, 18)) return false;
    if (!in.skip(std::int64_t{size} - 18 + (size & 1u))) return false;
    const int channels = bytes::be16(c);
    const int bits = bytes::be16(c + 6);
    const double rate = extendedToDouble(c + 8);
    // Truncated to whole hertz; anything outside 1 .. 2^32 - 1 (NaN included) is no rate.
    if (!(rate >= 1.0 && rate < 4294967296.0)) return false;
    if (channels == 0 || !encodingAccepted(true, kTagPcm, bits)) return false;
    info.sampleRate = static_cast<float>(static_cast<std::uint32_t>(rate));
    info.channels = channels;
    info.bits = bits;
    info.formatTag = kTagPcm;
    return true;
}

// Reads the header up to the first sample byte; `in` is left there. The format chunk may stand
// anywhere before the sample chunk (Broadcast WAV puts "bext" or "JUNK" first, AIFF writers put
// "COMT", "MARK" or "INST" before "COMM"); a sample chunk met before it cannot be decoded.
std::optional<Layout> scanHeader(ByteReader& in) {
    unsigned char h[12];
    if (!in.read(h, 12)) return std::nullopt;
    Layout layout;
    if (sameId(h, "RIFF") && sameId(h + 8, "WAVE"))
        layout.aiff = false;
    else if (sameId(h, "FORM") && sameId(h + 8, "AIFF"))
        layout.aiff = true;
    else
        return std::nullopt;

    bool haveFormat = false;
    for (;;) {
        unsigned char chunk[8];
        if (!in.read(chunk, 8)) return std::nullopt;  // ran out before the sample chunk
        const std::uint32_t size = layout.aiff ? bytes::be32(chunk + 4) : bytes::le32(chunk + 4);
        if (!haveFormat && sameId(chunk, layout.aiff ? "COMM" : "fmt ")) {
            const bool ok = layout.aiff ? readAiffCommon(in, size, layout.info)
                                        : readWaveFormat(in, size, layout.info);
            if (!ok) return std::nullopt;
            haveFormat = true;
            continue;
        }
        if (sameId(chunk, layout.aiff ? "SSND" : "data")) {
            if (!haveFormat) return std::nullopt;
            std::int64_t dataBytes = size;
            if (layout.aiff) {
                // Offset and block size fields; the samples begin `offset` bytes after them.
                unsigned char s[8];
                if (size < 8 || !in.read(s, 8)) return std::nullopt;
                const std::uint32_t offset = bytes::be32(s);
                if (offset > size - 8 || !in.skip(offset)) return std::nullopt;
                dataBytes = std::int64_t{size} - 8 - offset;
            }
            // A chunk that claims more than the file holds (a recording never finalised) holds
            // what is there.
            dataBytes = std::min(dataBytes, in.remaining());
            const std::int64_t frameBytes =
                std::int64_t{layout.info.channels} * (layout.info.bits / 8);
            layout.info.count = dataBytes / frameBytes * layout.info.channels;
            return layout;
        }
        // Any other chunk, including a second format chunk, is skipped with its pad byte.
        if (!in.skip(std::int64_t{size} + (size & 1u))) return std::nullopt;
    }
}

constexpr float kScale8 = 0x1p-7f;
constexpr float kScale16 = 0x1p-15f;
constexpr float kScale24 = 0x1p-23f;
constexpr float kScale32 = 0x1p-31f;

float fromDouble(double d) {
    // Out-of-range values become infinities as IEEE conversion would, without relying on the
    // (undefined) behaviour of an out-of-range cast.
    if (d > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (d < std::numeric_limits<float>::lowest()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

void convertSamples(const unsigned char* raw, std::size_t n, const Layout& layout, float* out) {
    const bool be = layout.aiff;
    switch (layout.info.bits) {
        case 8:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = static_cast<float>(be ? bytes::signed8(raw[i]) : raw[i] - 128) * kScale8;
            break;
        case 16:
            for (std::size_t i = 0; i < n; ++i, raw += 2)
                out[i] =
                    static_cast<float>(bytes::signed16(be ? bytes::be16(raw) : bytes::le16(raw))) *
                    kScale16;
            break;
        case 24:
            for (std::size_t i = 0; i < n; ++i, raw += 3) {
                const std::uint32_t v =
                    be ? (std::uint32_t{raw[0]} << 16) | (std::uint32_t{raw[1]} << 8) | raw[2]
                       : (std::uint32_t{raw[2]} << 16) | (std::uint32_t{raw[1]} << 8) | raw[0];
                out[i] = static_cast<float>(bytes::signed24(v)) * kScale24;
            }
            break;
        case 32:
            for (std::size_t i = 0; i < n; ++i, raw += 4) {
                const std::uint32_t v = be ? bytes::be32(raw) : bytes::le32(raw);
                if (layout.info.formatTag == kTagFloat) {
                    float f;
                    std::memcpy(&f, &v, sizeof f);
                    out[i] = f;
                } else {
                    out[i] = static_cast<float>(bytes::signed32(v)) * kScale32;
                }
            }
            break;
        case 64:
            for (std::size_t i = 0; i < n; ++i, raw += 8) {
                const std::uint64_t v = bytes::le64(raw);
                double d;
                std::memcpy(&d, &v, sizeof d);
                out[i] = fromDouble(d);
            }
            break;
        default:
            break;  // refused while reading the header
    }
}

FileHandle openForReading(const std::string& path, std::int64_t& size) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(platform::nativePath(path), error);
    if (error || bytes > static_cast<std::uintmax_t>(std::numeric_limits<std::int64_t>::max()))
        return nullptr;
    size = static_cast<std::int64_t>(bytes);
    return FileHandle(platform::openRegularFile(path));
}

}  // namespace

std::optional<AudioFileInfo> queryAudioFile(const std::string& path) {
    std::int64_t size = 0;
    const FileHandle file = openForReading(path, size);
    if (!file) return std::nullopt;
    ByteReader in(file.get(), size);
    const std::optional<Layout> layout = scanHeader(in);
    if (!layout) return std::nullopt;
    return layout->info;
}

bool readAudioFile(const std::string& path, std::int64_t start, std::int64_t end,
                   std::vector<float>& samples, AudioFileInfo* info) {
    if (start < 0) return false;
    std::int64_t size = 0;
    const FileHandle file = openForReading(path, size);
    if (!file) return false;
    ByteReader in(file.get(), size);
    const std::optional<Layout> layout = scanHeader(in);
    if (!layout) return false;

    const std::int64_t total = layout->info.count;
    const std::int64_t last = (end >= 0 && end < total) ? end : total;
    start = std::min(start, last);
    const std::int64_t count = last - start;
    if (count == 0) return false;  // nothing to read counts as a short read
    const std::int64_t sampleBytes = layout->info.bits / 8;
    if (!in.skip(start * sampleBytes)) return false;

    // The header scan has proved the sample chunk lies inside the file, so these sizes are
    // bounded by the file's own size.
    try {
        std::vector<unsigned char> raw(static_cast<std::size_t>(count * sampleBytes));
        if (!in.read(raw.data(), count * sampleBytes)) return false;
        std::vector<float> converted(static_cast<std::size_t>(count));
        convertSamples(raw.data(), converted.size(), *layout, converted.data());
        samples.swap(converted);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (info != nullptr) *info = layout->info;
    return true;
}

}  // namespace tess
