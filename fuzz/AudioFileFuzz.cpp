// Any bytes as a WAV or AIFF sample: the header query and every read, whole or ranged, must
// refuse or read within the file, never overrun.
#include <cstdint>
#include <vector>

#include "FuzzSandbox.h"
#include "samples/AudioFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = (tess::fuzz::sandbox() / "input.wav").string();
    tess::fuzz::writeFile(path, data, size);
    const auto info = tess::queryAudioFile(path);
    if (!info) return 0;
    // Ranges a sample line may ask for: whole, the middle, past the end, reversed and a frame
    // picked by the input's last bytes.
    const std::int64_t picked = size >= 2 ? (data[size - 1] << 8 | data[size - 2]) : 0;
    const std::int64_t ranges[][2] = {{0, -1},
                                      {info->count / 2, info->count / 2 + 7},
                                      {info->count - 1, info->count + 100},
                                      {info->count, info->count},
                                      {5, 2},
                                      {picked, picked + 64}};
    std::vector<float> samples;
    for (const auto& range : ranges) {
        samples.clear();
        if (tess::readAudioFile(path, range[0], range[1], samples) &&
            (samples.empty() || samples.size() > static_cast<std::size_t>(info->count)))
            tess::fuzz::fail("a read delivered more samples than the header query reported, or none");
    }
    return 0;
}
