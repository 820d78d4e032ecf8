// Small SoundFont 2 banks made in memory for the tests: the chunks are kept as a tree that a
// test can reorder, drop or patch before the bytes are laid out.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tess::test {

struct SfSample {
    std::string name;
    std::vector<std::int16_t> points;
    std::vector<std::int16_t> guard = std::vector<std::int16_t>(46, 0);  // what follows it in smpl
    std::uint32_t rate = 44100;
    std::uint8_t pitch = 60;
    std::int8_t correction = 0;
    std::uint16_t type = 1;
    std::uint16_t link = 0;
    std::uint32_t loopStart = 0, loopEnd = 0;  // relative to the sample's first point
};

struct SfModulator {
    std::uint16_t source, destination;
    std::int16_t amount;
    std::uint16_t amountSource, transform;
};

struct SfZone {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> generators;  // operator, raw amount
    std::vector<SfModulator> modulators;
};

struct SfOwner {  // a preset or an instrument
    std::string name;
    std::vector<SfZone> zones;
    std::uint16_t preset = 0, bank = 0;
};

struct SfChunk {
    std::string id;  // "LIST" chunks have `type` and `children`
    std::string type;
    std::string body;
    std::vector<SfChunk> children;
};

struct SfBank {
    std::vector<SfOwner> presets, instruments;
    std::vector<SfSample> samples;
    bool with24Bit = false;  // an sm24 chunk: low byte of point k is (k * 7) & 0xFF

    // The bank as a chunk tree: RIFF sfbk { LIST INFO, LIST sdta, LIST pdta }.
    SfChunk tree() const;
};

std::string layout(const SfChunk& chunk);
SfChunk* findChunk(SfChunk& root, const std::string& id);  // depth first, by id or list type

// A bank with one preset, one instrument and one mono sample of `points` points.
SfBank simpleBank(int points = 100);

inline std::uint16_t rangeAmount(int low, int high) {
    return static_cast<std::uint16_t>((high << 8) | low);
}
inline std::uint16_t word(int value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

}  // namespace tess::test
