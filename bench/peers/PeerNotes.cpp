#include "peers/PeerNotes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tess::bench {

namespace {

// A 32-bit linear congruential generator: the same sequence on every machine and compiler.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    double uniform() {  // [0, 1)
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 16777216.0;
    }

private:
    std::uint32_t state_;
};

constexpr double kRelease = 0.3;  // the longest release among the peers' instruments
constexpr int kTicksPerSecond = 960;

void variableLength(std::string& out, std::uint32_t value) {
    unsigned char bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out += static_cast<char>(bytes[--n] | 0x80);
    out += static_cast<char>(bytes[0]);
}

void bigEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::vector<PeerNote> peerNotes() {
    Lcg random(0x7E55A121u);
    // Gaps between kPeerMinimumGap and twice the mean spacing minus it keep the 128 onsets
    // inside the first 28 s; durations of 0.5 to 3 s make five to ten notes overlap.
    const double mean = (kPeerSeconds - 2.0) / kPeerNoteCount;
    std::vector<PeerNote> notes;
    std::vector<double> keyFreeAt(128, 0.0);
    double onset = 0.05;
    for (int i = 0; i < kPeerNoteCount; ++i) {
        PeerNote note;
        note.onset = std::round(onset * kTicksPerSecond) / kTicksPerSecond;
        note.duration = std::round((0.5 + 2.5 * random.uniform()) * kTicksPerSecond) / kTicksPerSecond;
        note.velocity = 80 + static_cast<int>(40 * random.uniform());
        const int span = kPeerHighestKey - kPeerLowestKey + 1;
        int key = kPeerLowestKey + static_cast<int>(span * random.uniform());
        // The next key up (wrapping) that is silent at the onset.
        for (int tries = 0; tries < span && keyFreeAt[static_cast<std::size_t>(key)] > note.onset; ++tries)
            key = key == kPeerHighestKey ? kPeerLowestKey : key + 1;
        note.key = key;
        keyFreeAt[static_cast<std::size_t>(key)] = note.onset + note.duration + kRelease + 0.1;
        notes.push_back(note);
        onset += kPeerMinimumGap + (2.0 * mean - 2.0 * kPeerMinimumGap) * random.uniform();
    }
    return notes;
}

std::string peerMidiBytes(const std::vector<PeerNote>& notes) {
    struct Event {
        std::uint32_t tick;
        int order;  // note-offs before note-ons at the same tick
        unsigned char status, data1, data2;
    };
    std::vector<Event> events;
    for (const PeerNote& n : notes) {
        const auto on = static_cast<std::uint32_t>(std::lround(n.onset * kTicksPerSecond));
        const auto off = static_cast<std::uint32_t>(std::lround((n.onset + n.duration) * kTicksPerSecond));
        events.push_back({on, 1, 0x90, static_cast<unsigned char>(n.key), static_cast<unsigned char>(n.velocity)});
        events.push_back({off, 0, 0x80, static_cast<unsigned char>(n.key), 64});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    // The track ends on the second that is two to three seconds after the last note-off, so that
    // every peer renders the tails and the same length.
    std::uint32_t end = 0;
    for (const Event& e : events) end = std::max(end, e.tick);
    end = (end / kTicksPerSecond + 3) * kTicksPerSecond;

    std::string track;
    variableLength(track, 0);
    track += "\xFF\x51\x03";
    bigEndian(track, 500000, 3);  // 120 BPM
    std::uint32_t previous = 0;
    for (const Event& e : events) {
        variableLength(track, e.tick - previous);
        previous = e.tick;
        track += static_cast<char>(e.status);
        track += static_cast<char>(e.data1);
        track += static_cast<char>(e.data2);
    }
    variableLength(track, end - previous);
    track += std::string("\xFF\x2F\x00", 3);

    std::string file = "MThd";
    bigEndian(file, 6, 4);
    bigEndian(file, 0, 2);  // format 0
    bigEndian(file, 1, 2);
    bigEndian(file, kTicksPerSecond / 2, 2);  // ticks per quarter note at 120 BPM
    file += "MTrk";
    bigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
    return file + track;
}

}  // namespace tess::bench
