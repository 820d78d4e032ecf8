// One preset of a validated bank written out: its folder, its samples and its Instrument.txt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sf2import/ImportLog.h"
#include "sf2import/SoundFontBank.h"

namespace tess::sf2 {

struct PresetResult {
    bool written = false;  // false: the folder or a file could not be written (the log says which)
    int layers = 0;
    int samples = 0;
};

// `guards` from guardEnds(bank); `folder` must exist.
PresetResult convertPreset(const Bank& bank, const std::vector<std::uint32_t>& guards,
                           std::size_t preset, const std::string& folder, const ImportLog& log);

// The COMMON lines every imported instrument shares after its SAMPLE lines: host parameters for
// the reverb and volume, General MIDI controller start values, pitch bend, volume, and the POST
// reverb.
const char* controllerBlock();

}  // namespace tess::sf2
