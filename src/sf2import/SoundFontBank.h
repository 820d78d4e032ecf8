// A SoundFont 2 bank as read from its file: the record tables of the pdta list and the sample
// words of the sdta list. One import owns one bank; nothing here is shared between imports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tess::sf2 {

struct PresetHeader {  // phdr, 38 bytes
    std::string name;
    std::uint16_t preset = 0;
    std::uint16_t bank = 0;
    std::uint16_t bagIndex = 0;
    // library, genre and morphology are read and not used
};

struct Bag {  // pbag and ibag, 4 bytes
    std::uint16_t generatorIndex = 0;
    std::uint16_t modulatorIndex = 0;
};

struct Generator {  // pgen and igen, 4 bytes
    std::uint16_t oper = 0;
    std::uint16_t amount = 0;  // the raw word: signed, unsigned or two range bytes by operator

    std::int16_t signedAmount() const {
        return static_cast<std::int16_t>(amount < 0x8000u ? amount
                                                          : static_cast<int>(amount) - 65536);
    }
    int low() const { return amount & 0xFF; }
    int high() const { return amount >> 8; }
};

struct Modulator {  // pmod and imod, 10 bytes
    std::uint16_t source = 0;
    std::uint16_t destination = 0;
    std::int16_t amount = 0;
    std::uint16_t amountSource = 0;
    std::uint16_t transform = 0;

    // Two modulators are the same modulator (one replaces the other) when their sources and
    // destination agree; the amount and the transform do not take part.
    bool sameAs(const Modulator& other) const {
        return source == other.source && destination == other.destination &&
               amountSource == other.amountSource;
    }
};

struct InstrumentHeader {  // inst, 22 bytes
    std::string name;
    std::uint16_t bagIndex = 0;
};

struct SampleHeader {  // shdr, 46 bytes
    std::string name;
    std::uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0;
    std::uint32_t sampleRate = 0;
    std::uint8_t originalPitch = 60;
    std::int8_t pitchCorrection = 0;
    std::uint16_t sampleLink = 0;
    std::uint16_t sampleType = 1;

    static constexpr std::uint16_t kMono = 1, kRight = 2, kLeft = 4, kLinked = 8, kRom = 0x8000;
    bool isRom() const { return (sampleType & kRom) != 0; }
    // Mono samples are types 0 and 1; every other type names a partner through sampleLink.
    bool isStereo() const { return (sampleType & 0x7FFF) >= 2; }
    bool isRight() const { return (sampleType & kRight) != 0; }
};

struct Bank {
    std::string fileName;
    std::vector<PresetHeader> presets;  // the terminal record included
    std::vector<Bag> presetBags;
    std::vector<Modulator> presetModulators;
    std::vector<Generator> presetGenerators;
    std::vector<InstrumentHeader> instruments;  // the terminal record included
    std::vector<Bag> instrumentBags;
    std::vector<Modulator> instrumentModulators;
    std::vector<Generator> instrumentGenerators;
    std::vector<SampleHeader> samples;         // the terminal record included
    std::vector<std::int16_t> sampleWords;     // smpl
    std::vector<std::uint8_t> sampleLowBytes;  // sm24, empty when the bank has none

    bool has24Bit() const { return !sampleLowBytes.empty(); }
};

// Every table of a bank holds at most this many records.
constexpr std::size_t kMaxRecords = 65536;

}  // namespace tess::sf2
