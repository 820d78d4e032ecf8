// Sample files for the tests of the sample slots and the players. The WAV files are written by
// sox from raw float data, so the bytes come from a third-party writer and the values are exact.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace tess::test {

// Writes interleaved `samples` as a 32-bit float WAV file; false when sox fails.
inline bool writeFloatWav(const std::string& path, const std::vector<float>& samples, int channels = 1,
                          int rate = 44100) {
    const std::string raw = path + ".raw";
    std::FILE* f = std::fopen(raw.c_str(), "wb");
    if (f == nullptr) return false;
    std::fwrite(samples.data(), sizeof(float), samples.size(), f);
    std::fclose(f);
    std::string output;
    const int status = runCommand("sox -t raw -e floating-point -b 32 -L -r " + std::to_string(rate) + " -c " +
                                      std::to_string(channels) + " '" + raw + "' -e floating-point -b 32 '" +
                                      path + "'",
                                  &output);
    std::remove(raw.c_str());
    return status == 0;
}

// frames i / scale (exact in float), so a value names its frame; sox clips float files to
// [-1, 1], so frames * scale must stay below 1.
inline std::vector<float> ramp(int frames, int channels = 1, float scale = 8192.0f) {
    std::vector<float> v;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) v.push_back(static_cast<float>(i) / scale * (c == 0 ? 1.0f : -1.0f));
    return v;
}

}  // namespace tess::test
