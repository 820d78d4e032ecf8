// Filling SampleSlots: a sampled slot from an audio file (search, positions, read, layout,
// normalisation) and an additive slot from its harmonics. Shared by the SAMPLE directive and
// the editor's sample panels, which report the outcome in their own words.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/Log.h"
#include "samples/SampleBank.h"

namespace tess {

// What the loader needs from the load in progress.
struct SampleContext {
    std::string instrumentFolder;  // folder of the instrument file being compiled
    std::string userFolder;        // the per-user folder
    int halfWidth = 7;             // kernel half-width in force (QUALITY)
};

// The values of the sampled form of SAMPLE, with their defaults. Positions are file frames.
struct SampleRequest {
    std::string fileName;
    int normalisation = 0;
    float centreNote = 69.0f;
    std::int32_t looped = 1;  // the player's loop count: 0 without limit, 1 plays once
    int direction = 0;
    std::int64_t start = 0;
    std::int64_t end = 0;  // 0 or less counts back from the end of the file
    std::int64_t release = SampleSlot::kNoRelease;
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = SampleSlot::kNoRelease;
    std::array<std::int32_t, 3> crossfades{5, 5, 5};
};

// The positions a load settled on, in file frames, for the panel records and the log.
struct SamplePositions {
    std::int64_t fileFrames = 0;
    std::int64_t start = 0, end = 0, loopStart = 0, loopEnd = 0, release = 0;
};

enum class SampleLoadStatus { Created, NotFound, InvalidFile, ProcessingError };

// The name as written, else <instrument folder>/<name>, else <user folder>/<name>; either
// separator may be used. Empty when none of them exists.
std::string findSampleFile(const std::string& name, const SampleContext& context);

// Settles start, end, loop and release the way a load does (file of `fileFrames` frames).
SamplePositions settlePositions(const SampleRequest& request, std::int64_t fileFrames);

// Loads `request` into slot `number` of `bank`. Any failure leaves the slot as it was; the
// caller reports it. `label` ("SAMPLE" or "SAMPLEUI") only prefixes the progress lines.
SampleLoadStatus loadSampledSlot(SampleBank& bank, int number, const SampleRequest& request,
                                 const SampleContext& context, Log& log,
                                 SamplePositions* settled = nullptr);

struct Harmonic {
    int code = 0;
    float amplitude = 1.0f;
    float ratio = 1.0f;
    float phase = 0.0f;  // in turns, 0 <= phase < 1
};

// Makes slot `number` additive: harmonic 1 has `firstCode`, amplitude 1, ratio 1, phase 0;
// `further` (at most 31) follow.
void createAdditiveSlot(SampleBank& bank, int number, int firstCode, const Harmonic* further,
                        int furtherCount, Log& log);

}  // namespace tess
