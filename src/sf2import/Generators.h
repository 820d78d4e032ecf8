// The SoundFont 2 generator operators the conversion reads, their default values, and the
// merged generator set of one (preset zone, instrument zone) pair.
#pragma once

#include <array>
#include <cstdint>

namespace tess::sf2 {

namespace gen {
enum : int {
    StartOffset = 0,
    EndOffset = 1,
    LoopStartOffset = 2,
    LoopEndOffset = 3,
    StartCoarseOffset = 4,
    ModLfoToPitch = 5,
    VibLfoToPitch = 6,
    ModEnvToPitch = 7,
    FilterFc = 8,
    FilterQ = 9,
    ModLfoToFilterFc = 10,
    ModEnvToFilterFc = 11,
    EndCoarseOffset = 12,
    ModLfoToVolume = 13,
    ChorusSend = 15,
    ReverbSend = 16,
    Pan = 17,
    ModLfoDelay = 21,
    ModLfoFreq = 22,
    VibLfoDelay = 23,
    VibLfoFreq = 24,
    ModEnvDelay = 25,
    ModEnvAttack = 26,
    ModEnvHold = 27,
    ModEnvDecay = 28,
    ModEnvSustain = 29,
    ModEnvRelease = 30,
    KeyToModEnvHold = 31,
    KeyToModEnvDecay = 32,
    VolEnvDelay = 33,
    VolEnvAttack = 34,
    VolEnvHold = 35,
    VolEnvDecay = 36,
    VolEnvSustain = 37,
    VolEnvRelease = 38,
    KeyToVolEnvHold = 39,
    KeyToVolEnvDecay = 40,
    Instrument = 41,
    KeyRange = 43,
    VelRange = 44,
    LoopStartCoarseOffset = 45,
    Keynum = 46,
    Velocity = 47,
    Attenuation = 48,
    LoopEndCoarseOffset = 50,
    CoarseTune = 51,
    FineTune = 52,
    SampleId = 53,
    SampleModes = 54,
    ScaleTuning = 56,
    ExclusiveClass = 57,
    OverridingRootKey = 58,
    Count = 61
};
}  // namespace gen

// The value a generator has when no zone sets it.
std::int16_t generatorDefault(int oper);

// Operators that only an instrument zone may set: sample offsets, fixed key and velocity, loop
// mode, exclusive class, root key. A preset zone's value for them is ignored.
bool instrumentOnly(int oper);

// Generators of one zone pair after the merge: every operator has a value (its default when
// no zone set it); `present` tells which ones a zone set.
struct ZoneGenerators {
    std::array<bool, gen::Count> present{};
    std::array<std::int16_t, gen::Count> amount{};

    ZoneGenerators();
    int value(int oper) const { return amount[static_cast<std::size_t>(oper)]; }
    bool has(int oper) const { return present[static_cast<std::size_t>(oper)]; }
    int rangeLow(int oper) const {
        return static_cast<std::uint16_t>(amount[static_cast<std::size_t>(oper)]) & 0xFF;
    }
    int rangeHigh(int oper) const {
        return static_cast<std::uint16_t>(amount[static_cast<std::size_t>(oper)]) >> 8;
    }
};

}  // namespace tess::sf2
