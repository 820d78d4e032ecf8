// The LAYER section of one (preset zone, instrument zone) pair: key and velocity ranges,
// exclusive class, LFOs and envelopes, tuning, attenuation, the oscillator, filter and pan,
// each generator in the units and curve shapes that make the layer sound like the zone does in
// the reference SoundFont player.
#pragma once

#include <cstdint>
#include <string>

#include "sf2import/ImportLog.h"
#include "sf2import/SoundFontBank.h"
#include "sf2import/ZoneMerge.h"

namespace tess::sf2 {

struct LayerSample {
    int slot = 200;           // the SampleSlot the SAMPLE line fills
    std::int64_t frames = 0;  // frames in the written file (guard included)
    const SampleHeader* header = nullptr;
    bool stereo = false;  // the file holds the zone's sample with its link
};

// Appends the layer to `text` (lines end in "\r\n"). Returns false, writing nothing, when the
// zone can never sound (its key or velocity ranges do not overlap).
bool writeLayer(const MergedZone& zone, const LayerSample& sample, const ImportLog& log,
                std::string& text);

// Timecents to seconds, absolute cents to hertz.
double timecentsToSeconds(int timecents);
double absoluteCentsToHertz(int cents);

}  // namespace tess::sf2
