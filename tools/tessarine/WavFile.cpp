#include "tessarine/WavFile.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/Platform.h"
#include "tessarine/FileBytes.h"

namespace tess::tool {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr int kChannels = 2;

void put16(std::vector<unsigned char>& out, std::uint32_t value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}
void put32(std::vector<unsigned char>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}
void putTag(std::vector<unsigned char>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(tag[i]));
}

std::uint32_t get16(const unsigned char* p) { return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8); }
std::uint32_t get32(const unsigned char* p) { return get16(p) | (get16(p + 2) << 16); }

int bytesPerSample(WavEncoding encoding) { return encoding == WavEncoding::Float32 ? 4 : 2; }

// Header for `frames` frames. Float files carry an 18-byte format chunk and a fact chunk, as
// non-PCM formats require; PCM files the plain 16-byte format chunk.
std::vector<unsigned char> header(int sampleRate, WavEncoding encoding, std::uint64_t frames) {
    const bool isFloat = encoding == WavEncoding::Float32;
    const std::uint32_t blockAlign = kChannels * bytesPerSample(encoding);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * blockAlign);
    const std::uint32_t formatBytes = isFloat ? 18 : 16;
    const std::uint32_t factBytes = isFloat ? 12 : 0;
    std::vector<unsigned char> out;
    putTag(out, "RIFF");
    put32(out, 4 + (8 + formatBytes) + factBytes + 8 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, formatBytes);
    put16(out, isFloat ? kFormatFloat : kFormatPcm);
    put16(out, kChannels);
    put32(out, static_cast<std::uint32_t>(sampleRate));
    put32(out, static_cast<std::uint32_t>(sampleRate) * blockAlign);
    put16(out, blockAlign);
    put16(out, 8 * bytesPerSample(encoding));
    if (isFloat) {
        put16(out, 0);  // no extension bytes
        putTag(out, "fact");
        put32(out, 4);
        put32(out, static_cast<std::uint32_t>(frames));
    }
    putTag(out, "data");
    put32(out, dataBytes);
    return out;
}

}  // namespace

std::int16_t floatToPcm16(float sample) {
    if (std::isnan(sample)) return 0;
    const double scaled = std::nearbyint(double(sample) * 32768.0);
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    return static_cast<std::int16_t>(scaled);
}

WavWriter::~WavWriter() {
    std::string ignored;
    close(ignored);
}

bool WavWriter::open(const std::string& path, int sampleRate, WavEncoding encoding, std::string& error) {
    std::string ignored;
    close(ignored);
    path_ = path;
    encoding_ = encoding;
    sampleRate_ = sampleRate;
    frames_ = 0;
    file_ = platform::openFile(path, "wb");
    if (file_ == nullptr) {
        error = path + ": cannot create (" + std::strerror(errno) + ")";
        return false;
    }
    const std::vector<unsigned char> head = header(sampleRate, encoding, 0);
    if (std::fwrite(head.data(), 1, head.size(), file_) != head.size()) {
        error = path + ": write error";
        return false;
    }
    return true;
}

bool WavWriter::write(const float* left, const float* right, std::size_t frames, std::string& error) {
    if (file_ == nullptr) {
        error = path_ + ": not open for writing";
        return false;
    }
    const std::uint64_t blockAlign = kChannels * bytesPerSample(encoding_);
    constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 80;  // RIFF sizes are 32-bit
    if ((frames_ + frames) * blockAlign > kMaxDataBytes) {
        error = path_ + ": the audio would exceed the 4 GiB limit of a WAV file";
        return false;
    }
    buffer_.resize(frames * blockAlign);
    unsigned char* out = buffer_.data();
    if (encoding_ == WavEncoding::Float32 && std::endian::native == std::endian::little) {
        // The file's byte order is the machine's: the frames interleaved as they are.
        for (std::size_t i = 0; i < frames; ++i) {
            std::memcpy(out + 8 * i, &left[i], 4);
            std::memcpy(out + 8 * i + 4, &right[i], 4);
        }
    } else {
        for (std::size_t i = 0; i < frames; ++i) {
            for (const float sample : {left[i], right[i]}) {
                if (encoding_ == WavEncoding::Float32) {
                    std::uint32_t bits;
                    std::memcpy(&bits, &sample, sizeof bits);
                    for (int b = 0; b < 4; ++b) *out++ = static_cast<unsigned char>(bits >> (8 * b));
                } else {
                    const auto bits = static_cast<std::uint16_t>(floatToPcm16(sample));
                    *out++ = static_cast<unsigned char>(bits & 0xFF);
                    *out++ = static_cast<unsigned char>(bits >> 8);
                }
            }
        }
    }
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        error = path_ + ": write error (disk full?)";
        return false;
    }
    frames_ += frames;
    return true;
}

bool WavWriter::close(std::string& error) {
    if (file_ == nullptr) return true;
    // The sizes in the header depend only on the frame count: rewrite the header in place.
    const std::vector<unsigned char> head = header(sampleRate_, encoding_, frames_);
    bool ok = std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(head.data(), 1, head.size(), file_) == head.size();
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (!ok) error = path_ + ": write error while finishing the file";
    return ok;
}

bool parseWav(const unsigned char* data, std::size_t size, WavAudio& audio, std::string& error) {
    audio = WavAudio{};
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    std::uint32_t format = 0;
    bool haveFormat = false;
    const unsigned char* samples = nullptr;
    std::size_t sampleBytes = 0;
    std::size_t position = 12;
    while (size - position >= 8) {
        const unsigned char* chunk = data + position;
        const std::uint32_t length = get32(chunk + 4);
        const std::size_t available = size - position - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || length > available) {
                error = "format chunk of " + std::to_string(length) + " bytes is malformed";
                return false;
            }
            format = get16(chunk + 8);
            audio.channels = static_cast<int>(get16(chunk + 10));
            audio.sampleRate = static_cast<int>(get32(chunk + 12));
            audio.bitsPerSample = static_cast<int>(get16(chunk + 22));
            if (format == kFormatExtensible) {
                if (length < 40) {
                    error = "extensible format chunk of " + std::to_string(length) + " bytes is shorter than 40";
                    return false;
                }
                format = get16(chunk + 8 + 24);  // first two bytes of the sub-format GUID
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            samples = chunk + 8;
            sampleBytes = length;
            if (length > available) {
                sampleBytes = available;
                audio.truncated = true;
            }
            break;  // nothing after the samples is needed
        }
        if (length > available) break;
        position += 8 + std::size_t(length) + (length & 1u);  // chunks are padded to even sizes
        if (position > size) break;
    }
    if (!haveFormat) {
        error = "no format chunk before the data";
        return false;
    }
    if (samples == nullptr) {
        error = "no data chunk";
        return false;
    }
    const int bits = audio.bitsPerSample;
    const bool pcm = format == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    audio.isFloat = format == kFormatFloat && (bits == 32 || bits == 64);
    if (!pcm && !audio.isFloat) {
        error = "unsupported sample format (format tag " + std::to_string(format) + ", " + std::to_string(bits) +
                " bits); use PCM 8/16/24/32-bit or 32/64-bit float";
        return false;
    }
    if (audio.channels < 1 || audio.channels > 64) {
        error = "unsupported channel count " + std::to_string(audio.channels);
        return false;
    }
    if (audio.sampleRate <= 0) {
        error = "sample rate of 0";
        return false;
    }
    const std::size_t width = std::size_t(bits) / 8;
    const std::size_t frameBytes = width * std::size_t(audio.channels);
    const std::size_t frames = sampleBytes / frameBytes;
    if (sampleBytes % frameBytes != 0) audio.truncated = true;

    auto decode = [&](const unsigned char* p) -> float {
        if (audio.isFloat) {
            if (bits == 32) {
                std::uint32_t raw = get32(p);
                float value;
                std::memcpy(&value, &raw, sizeof value);
                return value;
            }
            std::uint64_t raw = std::uint64_t(get32(p)) | (std::uint64_t(get32(p + 4)) << 32);
            double value;
            std::memcpy(&value, &raw, sizeof value);
            return static_cast<float>(value);
        }
        switch (bits) {
            case 8: return (float(p[0]) - 128.0f) / 128.0f;  // 8-bit WAV samples are unsigned
            case 16: return float(std::int16_t(get16(p))) / 32768.0f;
            case 24: {
                std::int32_t value = std::int32_t(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 |
                                                  std::uint32_t(p[2]) << 24) >> 8;
                return float(value) / 8388608.0f;
            }
            default: return float(double(std::int32_t(get32(p))) / 2147483648.0);
        }
    };
    audio.left.resize(frames);
    audio.right.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const unsigned char* frame = samples + i * frameBytes;
        audio.left[i] = decode(frame);
        audio.right[i] = audio.channels > 1 ? decode(frame + width) : audio.left[i];
    }
    return true;
}

bool readWavFile(const std::string& path, WavAudio& audio, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!readFileBytes(path, bytes, error)) return false;
    if (!parseWav(bytes.data(), bytes.size(), audio, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace tess::tool
