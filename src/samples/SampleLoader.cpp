#include "samples/SampleLoader.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "compiler/Diagnostics.h"
#include "platform/Platform.h"
#include "samples/AudioFileReader.h"
#include "samples/LayoutBuilder.h"
#include "samples/Normalisation.h"

namespace tess {

using compiler::format;

std::string findSampleFile(const std::string& name, const SampleContext& context) {
    if (name.empty()) return {};
    if (platform::fileExists(name)) return name;
    for (const std::string* folder : {&context.instrumentFolder, &context.userFolder}) {
        if (folder->empty()) continue;
        const std::string candidate = *folder + "/" + name;
        if (platform::fileExists(candidate)) return candidate;
    }
    return {};
}

SamplePositions settlePositions(const SampleRequest& request, std::int64_t fileFrames) {
    SamplePositions p;
    const std::int64_t f = fileFrames;
    p.fileFrames = f;
    // llabs of the most negative value is undefined; such a start is beyond any file anyway.
    std::int64_t start = request.start == INT64_MIN ? f + 1 : std::llabs(request.start);
    if (start > f) start = 0;
    std::int64_t end = request.end;
    if (end < 1) end = end > INT64_MIN + f ? end + f : 0;
    // An end counted back past the beginning of the file reads from its first frame.
    end = std::clamp<std::int64_t>(end, 0, f);
    if (start > end) std::swap(start, end);

    std::int64_t loopStart = request.loopStart;
    std::int64_t loopEnd = request.loopEnd;
    if (loopStart > loopEnd) std::swap(loopStart, loopEnd);
    loopStart = std::max(loopStart, start + 5);
    loopEnd = std::max(loopEnd, loopStart + 5);
    loopEnd = std::min(loopEnd, end - 5);

    std::int64_t release = request.release;
    if (release >= 0 && release < start) release = start;
    else if (release > end) release = SampleSlot::kNoRelease;
    else if (release < 0) release = std::max(start, end + std::max<std::int64_t>(release, -end));

    p.start = start;
    p.end = end;
    p.loopStart = loopStart;
    p.loopEnd = loopEnd;
    p.release = release;
    return p;
}

SampleLoadStatus loadSampledSlot(SampleBank& bank, int number, const SampleRequest& request,
                                 const SampleContext& context, Log& log, SamplePositions* settled) {
    if (!SampleBank::valid(number)) return SampleLoadStatus::ProcessingError;
    const std::string path = findSampleFile(request.fileName, context);
    if (path.empty()) return SampleLoadStatus::NotFound;
    const std::optional<AudioFileInfo> info = queryAudioFile(path);
    if (!info || info->channels < 1 || info->channels > 2) return SampleLoadStatus::InvalidFile;

    const int channels = info->channels;
    const SamplePositions p = settlePositions(request, info->count / channels);
    if (settled != nullptr) *settled = p;
    const std::int64_t length = p.end - p.start;
    if (length < 1) return SampleLoadStatus::ProcessingError;  // nothing left to play

    std::vector<float> samples;
    if (!readAudioFile(path, p.start * channels, p.end * channels, samples, nullptr))
        return SampleLoadStatus::InvalidFile;
    const std::int64_t framesRead = static_cast<std::int64_t>(samples.size()) / channels;

    if (log.debugLevel > 2) {
        log.append(Log::kMain,
                   format("SAMPLE #%d. File \"%s\": %.0fHz %d X %" PRId64 " samples. %d X %" PRId64
                          " actually read (from %" PRId64 " to %" PRId64 "). Center note %.2f.\r\n",
                          number, request.fileName.c_str(), static_cast<double>(info->sampleRate),
                          channels, info->count / channels, channels, framesRead, p.start, p.end,
                          static_cast<double>(request.centreNote)));
        log.append(Log::kMain, format("Looped: %d, Direction %d, xfades: %d, %d, %d\r\n", request.looped,
                                      request.direction, request.crossfades[0], request.crossfades[1],
                                      request.crossfades[2]));
        log.append(Log::kMain, "|--------------------|========|============|========|--------------------|\r\n");
        log.append(Log::kMain,
                   format("0        %10" PRId64 "     %10" PRId64 "            %10" PRId64 "  %10" PRId64
                          "       %" PRId64 ", releasestart= %" PRId64 "\r\n",
                          p.start, p.loopStart, p.loopEnd, p.end, p.fileFrames, p.release));
    }

    std::uint8_t flags = 0;
    if (request.looped != 1) flags |= SampleSlot::kLoops;
    if (p.release - p.start >= 0 && p.release - p.start < length) flags |= SampleSlot::kHasRelease;

    LayoutRequest lr;
    lr.data = samples.data();
    lr.channels = channels;
    lr.frames = framesRead;
    lr.loopFlags = flags;
    lr.direction = request.direction;
    lr.loopStart = p.loopStart - p.start;
    lr.loopEnd = p.loopEnd - p.start;
    lr.release = (flags & SampleSlot::kHasRelease) != 0 ? p.release - p.start : SampleSlot::kNoRelease;
    lr.crossfade = request.crossfades[0];
    lr.releaseCrossfade = request.crossfades[2];
    lr.halfWidth = context.halfWidth;
    Layout layout;
    if (!buildLayout(lr, layout)) return SampleLoadStatus::ProcessingError;
    std::vector<float>().swap(samples);

    SampleSlot& slot = bank[number];
    if (slot.hasSamples()) {
        log.append(Log::kMain, "Warning: SAMPLE slot have samples. Deleting it...\r\n");
        slot.clear();
    }
    const auto frames = static_cast<std::size_t>(layout.frames);
    std::vector<float> left(frames), right(channels == 2 ? frames : 0);
    for (std::size_t i = 0; i < frames; ++i) {
        left[i] = layout.data[i * static_cast<std::size_t>(channels)];
        if (channels == 2) right[i] = layout.data[i * 2 + 1];
    }
    std::vector<float>().swap(layout.data);
    if (request.normalisation > 0) {
        const NormalisationFactors f = normalise(request.normalisation, left, right);
        if (log.debugLevel > 1)
            log.append(Log::kMain, format("Normalizing sample... Left factor: %.5f, Right factor: %.5f\r\n",
                                          static_cast<double>(f.left), static_cast<double>(f.right)));
    }

    slot.clear();
    slot.kind = SampleSlot::kSampled;
    slot.harmonicCount = 0;
    slot.left = std::move(left);
    slot.right = std::move(right);
    slot.channels = channels;
    slot.frames = static_cast<std::int32_t>(layout.frames);
    slot.markers = layout.markers;
    slot.loopFlags = flags;
    slot.looped = request.looped;
    slot.direction = static_cast<std::uint8_t>(std::clamp(request.direction, 0, 3));
    slot.crossfades = request.crossfades;
    slot.normalisation = static_cast<std::uint8_t>(std::clamp(request.normalisation, 0, 4));
    slot.releasePoint = (flags & SampleSlot::kHasRelease) != 0 ? p.release - p.start : SampleSlot::kNoRelease;
    slot.fileRate = info->sampleRate;
    slot.centreNote = request.centreNote;
    slot.fileName = request.fileName;
    slot.fileStart = p.start;
    slot.fileEnd = p.end;
    slot.fileLoopStart = p.loopStart;
    slot.fileLoopEnd = p.loopEnd;
    return SampleLoadStatus::Created;
}

void createAdditiveSlot(SampleBank& bank, int number, int firstCode, const Harmonic* further,
                        int furtherCount, Log& log) {
    if (!SampleBank::valid(number)) return;
    furtherCount = std::clamp(furtherCount, 0, SampleSlot::kMaxHarmonics - 1);
    SampleSlot& slot = bank[number];
    slot.clear();
    slot.kind = SampleSlot::kAdditive;
    slot.frames = 0;
    slot.channels = 1;
    slot.harmonicCount = 1 + furtherCount;
    slot.codes[0] = static_cast<std::int8_t>(firstCode);
    slot.amplitudes[0] = 1.0f;
    slot.ratios[0] = 1.0f;
    slot.phases[0] = 0.0f;
    for (int k = 0; k < furtherCount; ++k) {
        const auto i = static_cast<std::size_t>(k + 1);
        slot.codes[i] = static_cast<std::int8_t>(further[k].code);
        slot.amplitudes[i] = further[k].amplitude;
        slot.ratios[i] = further[k].ratio;
        slot.phases[i] = further[k].phase * 2.0f * std::numbers::pi_v<float>;
    }
    if (log.debugLevel > 2) {
        log.append(Log::kMain, format("SAMPLE #%d. 1+%d harmonics.\r\n", number, furtherCount));
        log.append(Log::kMain, format("Harmonic 1: t %d, a 1.0000, f 1.0000, p 0.0000\r\n", firstCode));
        for (int k = 0; k < furtherCount; ++k)
            log.append(Log::kMain, format("Harmonic %d: t %d, a %.4f, f %.4f, p %.4f\r\n", k + 2, further[k].code,
                                          static_cast<double>(further[k].amplitude),
                                          static_cast<double>(further[k].ratio),
                                          static_cast<double>(further[k].phase)));
    }
}

}  // namespace tess
