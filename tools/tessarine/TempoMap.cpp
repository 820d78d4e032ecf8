#include "tessarine/TempoMap.h"

#include <algorithm>
#include <cmath>

namespace tess::tool {

TempoMap::TempoMap(int sampleRate, int ticksPerQuarter, double initialBpm,
                   const std::vector<TempoEvent>& tempos, const std::vector<TimeSignatureEvent>& signatures)
    : sampleRate_(sampleRate), ticksPerQuarter_(ticksPerQuarter > 0 ? ticksPerQuarter : 1) {
    if (!(initialBpm > 0.0)) initialBpm = 120.0;
    segments_.push_back({0, microsPerQuarter(initialBpm), initialBpm, 0, 0.0});
    for (const TempoEvent& change : tempos) {
        if (change.microsPerQuarter == 0 || change.tick < 0) continue;
        Segment& last = segments_.back();
        if (change.tick <= last.tick) {  // same tick (or out of order): the later event wins
            last.micros = change.microsPerQuarter;
            last.bpm = 60e6 / change.microsPerQuarter;
            continue;
        }
        const std::int64_t span = change.tick - last.tick;
        Segment next{change.tick, change.microsPerQuarter, 60e6 / change.microsPerQuarter, 0,
                     last.seconds + double(span) * last.micros / (1e6 * ticksPerQuarter_)};
        if (next.seconds <= kExactLimitSeconds) next.microTicks = last.microTicks + span * std::int64_t(last.micros);
        segments_.push_back(next);
    }
    for (const TimeSignatureEvent& signature : signatures) {
        if (signature.numerator <= 0 || signature.denominator <= 0) continue;
        const double ppq = double(signature.tick) / ticksPerQuarter_;
        if (!signatures_.empty() && signatures_.back().ppq >= ppq) signatures_.pop_back();
        signatures_.push_back({ppq, signature.numerator, signature.denominator});
    }
}

TempoMap TempoMap::constant(int sampleRate, double bpm) {
    return TempoMap(sampleRate, 960, bpm, {}, {});
}

std::uint32_t TempoMap::microsPerQuarter(double bpm) {
    if (!(bpm > 0.0)) return 500000;
    const double micros = std::round(60e6 / bpm);
    return static_cast<std::uint32_t>(std::clamp(micros, 1.0, 16777215.0));
}

const TempoMap::Segment& TempoMap::segmentAtTick(std::int64_t tick) const {
    auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                  [](std::int64_t t, const Segment& s) { return t < s.tick; });
    return after == segments_.begin() ? segments_.front() : *(after - 1);
}

double TempoMap::secondsAtTick(std::int64_t tick) const {
    if (tick <= 0) return 0.0;
    const Segment& segment = segmentAtTick(tick);
    return segment.seconds + double(tick - segment.tick) * segment.micros / (1e6 * ticksPerQuarter_);
}

std::int64_t TempoMap::sampleAtTick(std::int64_t tick) const {
    if (tick <= 0) return 0;
    const double seconds = secondsAtTick(tick);
    if (seconds > kExactLimitSeconds) return static_cast<std::int64_t>(std::llround(seconds * sampleRate_));
    // Exact: samples = microTicks x rate / (1e6 x ticksPerQuarter), rounded half up. Whole
    // seconds and the remainder are scaled separately so that nothing overflows.
    const Segment& segment = segmentAtTick(tick);
    const std::int64_t microTicks = segment.microTicks + (tick - segment.tick) * std::int64_t(segment.micros);
    const std::int64_t perSecond = std::int64_t(1000000) * ticksPerQuarter_;
    const std::int64_t whole = microTicks / perSecond;
    const std::int64_t remainder = microTicks % perSecond;
    return whole * sampleRate_ + (2 * remainder * sampleRate_ + perSecond) / (2 * perSecond);
}

TransportPosition TempoMap::positionAtSample(std::int64_t sample) const {
    const double seconds = double(sample) / sampleRate_;
    auto after = std::upper_bound(segments_.begin(), segments_.end(), seconds,
                                  [](double t, const Segment& s) { return t < s.seconds; });
    const Segment& segment = after == segments_.begin() ? segments_.front() : *(after - 1);

    TransportPosition position;
    position.bpm = segment.bpm;
    position.ppq = double(segment.tick) / ticksPerQuarter_ + (seconds - segment.seconds) * segment.bpm / 60.0;

    double signatureStart = 0.0;
    for (const Signature& signature : signatures_) {
        if (signature.ppq > position.ppq + 1e-9) break;
        signatureStart = signature.ppq;
        position.numerator = signature.numerator;
        position.denominator = signature.denominator;
    }
    const double barLength = position.numerator * 4.0 / position.denominator;
    const double bars = std::floor((position.ppq - signatureStart) / barLength + 1e-9);
    position.barStartPpq = signatureStart + std::max(0.0, bars) * barLength;
    return position;
}

}  // namespace tess::tool
