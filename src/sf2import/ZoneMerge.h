// The generators and modulators that govern one (preset zone, instrument zone) pair: the
// instrument zone's own, its instrument's global zone's where the zone does not set them, and
// the preset zone's (and its preset's global zone's) added on top; the SoundFont default
// modulators where no zone modulator replaces them.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "sf2import/Generators.h"
#include "sf2import/ImportLog.h"
#include "sf2import/SoundFontBank.h"

namespace tess::sf2 {

// Bag numbers (into the bank's bag tables) of the four zones a pair is made of.
struct ZonePair {
    std::size_t presetZone = 0;
    std::optional<std::size_t> presetGlobal;
    std::size_t instrumentZone = 0;
    std::optional<std::size_t> instrumentGlobal;
};

struct MergedModulator {
    Modulator modulator;
    bool isDefault = false;
};

struct MergedZone {
    ZoneGenerators generators;
    std::vector<MergedModulator> modulators;
    int sampleIndex = -1;
};

// The default modulators every zone starts with, as the reference player applies them.
const std::vector<Modulator>& defaultModulators();

MergedZone mergeZone(const Bank& bank, const ZonePair& pair, const ImportLog& log);

// Generator and modulator index ranges of a bag.
struct ZoneRange {
    std::size_t firstGenerator, endGenerator, firstModulator, endModulator;
};
ZoneRange zoneRange(const std::vector<Bag>& bags, std::size_t bag);

}  // namespace tess::sf2
