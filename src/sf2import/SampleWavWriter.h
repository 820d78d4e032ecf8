// Writing one bank sample as a WAV file the sample loader reads back: mono, or for a linked
// stereo pair two channels with the left sample first. The file holds the sample's points and
// the 46 guard points after it; where the bank holds fewer (the next sample or the end of the
// sample data comes sooner) the rest of the guard is silence. Banks with a 24-bit extension
// give 32-bit float files, others 16-bit PCM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sf2import/SoundFontBank.h"

namespace tess::sf2 {

constexpr std::uint32_t kGuardPoints = 46;

// Where each sample's own data ends, guard included: its end plus up to 46 points, stopping at
// the next sample's start and at the end of the sample data.
std::vector<std::uint32_t> guardEnds(const Bank& bank);

struct WavPlan {
    std::size_t sampleIndex = 0;  // the zone's sample
    std::uint32_t sampleRate = 44100;
    bool stereo = false;  // the pair of the zone's sample and its link
};

// Writes the file; returns the number of frames written (end - start + 46), or -1 when the file
// cannot be created or written.
std::int64_t writeSampleWav(const Bank& bank, const std::vector<std::uint32_t>& guards,
                            const WavPlan& plan, const std::string& path);

}  // namespace tess::sf2
