// Musical time for a render: converts MIDI ticks to sample positions through a tempo map, and
// gives the transport position (quarter notes, tempo, bar start, time signature) at a sample.
#pragma once

#include <cstdint>
#include <vector>

#include "tessarine/MidiFile.h"

namespace tess::tool {

struct TransportPosition {
    double ppq = 0.0;          // quarter notes since the start
    double bpm = 120.0;
    double barStartPpq = 0.0;  // position of the current bar's first beat
    int numerator = 4;
    int denominator = 4;
};

class TempoMap {
public:
    // Positions beyond this many seconds are computed in floating point instead of exactly.
    static constexpr double kExactLimitSeconds = 7.0 * 24 * 3600;

    // `initialBpm` applies until the first tempo event; tempo events at the same tick replace
    // one another (the last wins). Time signatures default to 4/4. Ticks in the initial tempo
    // are timed with it rounded to whole microseconds per quarter, as a file would store it.
    TempoMap(int sampleRate, int ticksPerQuarter, double initialBpm,
             const std::vector<TempoEvent>& tempos, const std::vector<TimeSignatureEvent>& signatures);

    // A constant tempo in 4/4, for renders without a MIDI file.
    static TempoMap constant(int sampleRate, double bpm);
    static std::uint32_t microsPerQuarter(double bpm);

    double secondsAtTick(std::int64_t tick) const;
    // Seconds are integrated over the tempo segments exactly and rounded to the nearest sample.
    std::int64_t sampleAtTick(std::int64_t tick) const;
    TransportPosition positionAtSample(std::int64_t sample) const;

    int sampleRate() const { return sampleRate_; }

private:
    struct Segment {
        std::int64_t tick;
        std::uint32_t micros;    // microseconds per quarter note
        double bpm;              // the same tempo as reported to the plug-in
        std::int64_t microTicks; // sum of ticks x micros before this segment (exact range only)
        double seconds;          // start time of the segment
    };
    struct Signature {
        double ppq;
        int numerator;
        int denominator;
    };
    const Segment& segmentAtTick(std::int64_t tick) const;

    int sampleRate_;
    int ticksPerQuarter_;
    std::vector<Segment> segments_;
    std::vector<Signature> signatures_;
};

}  // namespace tess::tool
