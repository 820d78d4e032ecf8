// Builds Standard MIDI File bytes for tests, written out by hand so that each test shows the
// exact events it feeds to the reader.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tess::test {

class SmfTrack {
public:
    // A delta time followed by raw event bytes (status optional, for running status).
    SmfTrack& event(std::uint32_t delta, std::initializer_list<int> bytes) {
        variableLength(delta);
        for (int b : bytes) data_.push_back(static_cast<unsigned char>(b));
        return *this;
    }
    // Bytes exactly as given, without a delta time.
    SmfTrack& raw(std::initializer_list<int> bytes) {
        for (int b : bytes) data_.push_back(static_cast<unsigned char>(b));
        return *this;
    }
    SmfTrack& tempo(std::uint32_t delta, std::uint32_t microsPerQuarter) {
        return event(delta, {0xFF, 0x51, 0x03, int(microsPerQuarter >> 16) & 0xFF, int(microsPerQuarter >> 8) & 0xFF,
                             int(microsPerQuarter) & 0xFF});
    }
    SmfTrack& timeSignature(std::uint32_t delta, int numerator, int denominatorPower) {
        return event(delta, {0xFF, 0x58, 0x04, numerator, denominatorPower, 24, 8});
    }
    SmfTrack& end(std::uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }

    void variableLength(std::uint32_t value) {
        unsigned char groups[5];
        int count = 0;
        do {
            groups[count++] = static_cast<unsigned char>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (count > 0) {
            --count;
            data_.push_back(static_cast<unsigned char>(groups[count] | (count > 0 ? 0x80 : 0)));
        }
    }
    const std::vector<unsigned char>& bytes() const { return data_; }

private:
    std::vector<unsigned char> data_;
};

inline void appendBigEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string chunk(const std::string& id, const std::vector<unsigned char>& body) {
    std::string out = id;
    appendBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
    out.append(body.begin(), body.end());
    return out;
}

inline std::string smfHeader(int format, int trackCount, int division) {
    std::string body;
    appendBigEndian(body, static_cast<std::uint32_t>(format), 2);
    appendBigEndian(body, static_cast<std::uint32_t>(trackCount), 2);
    appendBigEndian(body, static_cast<std::uint32_t>(division), 2);
    return chunk("MThd", std::vector<unsigned char>(body.begin(), body.end()));
}

inline std::string smf(int format, int division, const std::vector<SmfTrack>& tracks) {
    std::string out = smfHeader(format, static_cast<int>(tracks.size()), division);
    for (const SmfTrack& track : tracks) out += chunk("MTrk", track.bytes());
    return out;
}

}  // namespace tess::test
