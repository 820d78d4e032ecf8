// RIFF/WAVE files for the render command: a streaming stereo writer (32-bit float or 16-bit
// PCM) and a reader for input files (8/16/24/32-bit PCM, 32/64-bit float, plain or extensible
// format chunks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tess::tool {

enum class WavEncoding { Float32, Pcm16 };

// Float sample to 16-bit PCM: scaled by 32768, rounded to nearest, clipped to the 16-bit
// range; NaN becomes 0.
std::int16_t floatToPcm16(float sample);

// Writes a stereo file block by block; the header's sizes are filled in by close().
class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool open(const std::string& path, int sampleRate, WavEncoding encoding, std::string& error);
    bool write(const float* left, const float* right, std::size_t frames, std::string& error);
    bool close(std::string& error);
    std::uint64_t framesWritten() const { return frames_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    WavEncoding encoding_ = WavEncoding::Float32;
    int sampleRate_ = 0;
    std::uint64_t frames_ = 0;
    std::vector<unsigned char> buffer_;
};

struct WavAudio {
    int sampleRate = 0;
    int channels = 0;       // in the file
    int bitsPerSample = 0;
    bool isFloat = false;
    bool truncated = false; // the data chunk claimed more bytes than the file holds
    std::vector<float> left;
    std::vector<float> right;  // a copy of `left` for mono files; channels beyond two are dropped
};

bool parseWav(const unsigned char* data, std::size_t size, WavAudio& audio, std::string& error);
// Error messages start with the file's path.
bool readWavFile(const std::string& path, WavAudio& audio, std::string& error);

}  // namespace tess::tool
