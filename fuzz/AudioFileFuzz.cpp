// Any bytes as a WAV or AIFF sample: the reader must refuse or read, never overrun.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "samples/AudioFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = [] {
        char pattern[] = "/tmp/tessarine-fuzz-XXXXXX";
        return std::string(mkdtemp(pattern)) + "/input.wav";
    }();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    if (const auto info = tess::queryAudioFile(path)) {
        std::vector<float> samples;
        tess::readAudioFile(path, 0, -1, samples);
        tess::readAudioFile(path, info->count / 2, info->count / 2 + 7, samples);
    }
    return 0;
}
