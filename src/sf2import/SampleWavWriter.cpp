#include "sf2import/SampleWavWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Platform.h"
#include "sf2import/FileHandle.h"

namespace tess::sf2 {

namespace {

void putLE16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void putLE32(unsigned char* p, std::uint32_t v) {
    putLE16(p, v & 0xFFFF);
    putLE16(p + 2, v >> 16);
}

// One channel's source: the points of a sample from its start, silent past its guard end.
struct Channel {
    std::uint32_t start = 0;
    std::uint32_t limit = 0;  // first point not belonging to this sample (guard included)
};

}  // namespace

std::vector<std::uint32_t> guardEnds(const Bank& bank) {
    const auto words = static_cast<std::uint32_t>(bank.sampleWords.size());
    std::vector<std::uint32_t> starts;
    for (std::size_t i = 0; i + 1 < bank.samples.size(); ++i)
        if (!bank.samples[i].isRom()) starts.push_back(bank.samples[i].start);
    std::sort(starts.begin(), starts.end());
    std::vector<std::uint32_t> ends(bank.samples.size(), 0);
    for (std::size_t i = 0; i + 1 < bank.samples.size(); ++i) {
        const SampleHeader& s = bank.samples[i];
        if (s.isRom()) continue;
        std::uint32_t limit =
            std::min<std::uint64_t>(static_cast<std::uint64_t>(s.end) + kGuardPoints, words);
        const auto next = std::upper_bound(starts.begin(), starts.end(), s.start);
        auto after = std::lower_bound(next, starts.end(), s.end);
        if (after != starts.end()) limit = std::min(limit, std::max(*after, s.end));
        ends[i] = limit;
    }
    return ends;
}

std::int64_t writeSampleWav(const Bank& bank, const std::vector<std::uint32_t>& guards,
                            const WavPlan& plan, const std::string& path) {
    const SampleHeader& own = bank.samples[plan.sampleIndex];
    const std::int64_t frames = static_cast<std::int64_t>(own.end) - own.start + kGuardPoints;
    const bool wide = bank.has24Bit();
    const int channels = plan.stereo ? 2 : 1;
    const int bytesPerValue = wide ? 4 : 2;
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(frames) * channels * bytesPerValue;
    if (dataBytes > 0xFFFFFFFFull - 36) return -1;

    Channel sources[2];
    sources[0] = {own.start, guards[plan.sampleIndex]};
    if (plan.stereo) {
        const std::size_t link = own.sampleLink;
        const SampleHeader& partner = bank.samples[link];
        const Channel other =
            partner.isRom() ? Channel{0, 0} : Channel{partner.start, guards[link]};
        if (own.isRight()) {
            sources[1] = sources[0];
            sources[0] = other;
        } else {
            sources[1] = other;
        }
    }

    FileHandle file(platform::openFile(path, "wb"));
    if (!file) return -1;
    unsigned char header[44];
    std::memcpy(header, "RIFF", 4);
    putLE32(header + 4, static_cast<std::uint32_t>(36 + dataBytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putLE32(header + 16, 16);
    putLE16(header + 20, wide ? 3 : 1);
    putLE16(header + 22, static_cast<std::uint32_t>(channels));
    putLE32(header + 24, plan.sampleRate);
    putLE32(header + 28, plan.sampleRate * static_cast<std::uint32_t>(channels * bytesPerValue));
    putLE16(header + 32, static_cast<std::uint32_t>(channels * bytesPerValue));
    putLE16(header + 34, wide ? 32 : 16);
    std::memcpy(header + 36, "data", 4);
    putLE32(header + 40, static_cast<std::uint32_t>(dataBytes));
    if (std::fwrite(header, 1, sizeof header, file.get()) != sizeof header) return -1;

    // Values go out through a buffer of 65536 values.
    constexpr std::size_t kBufferValues = 65536;
    std::vector<unsigned char> buffer(kBufferValues * static_cast<std::size_t>(bytesPerValue));
    std::size_t filled = 0;
    auto flush = [&]() {
        const std::size_t count = filled * static_cast<std::size_t>(bytesPerValue);
        filled = 0;
        return std::fwrite(buffer.data(), 1, count, file.get()) == count;
    };
    for (std::int64_t k = 0; k < frames; ++k) {
        for (int c = 0; c < channels; ++c) {
            const Channel& source = sources[c];
            const std::uint64_t at =
                static_cast<std::uint64_t>(source.start) + static_cast<std::uint64_t>(k);
            const bool inside = at < source.limit;
            unsigned char* out = buffer.data() + filled * static_cast<std::size_t>(bytesPerValue);
            if (wide) {
                const std::int32_t value =
                    inside ? static_cast<std::int32_t>(bank.sampleWords[at]) * 256 +
                                 bank.sampleLowBytes[at]
                           : 0;
                const float f = static_cast<float>(value) * (1.0f / 8388608.0f);
                std::uint32_t bits;
                std::memcpy(&bits, &f, 4);
                putLE32(out, bits);
            } else {
                const std::int16_t value = inside ? bank.sampleWords[at] : 0;
                putLE16(out, static_cast<std::uint16_t>(value));
            }
            if (++filled == kBufferValues && !flush()) return -1;
        }
    }
    if (filled > 0 && !flush()) return -1;
    if (std::fflush(file.get()) != 0) return -1;
    return frames;
}

}  // namespace tess::sf2
