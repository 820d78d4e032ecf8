// The stage model every envelope and fade shares. A stage is a float: its integer part names
// the segment, its fraction the progress through it. Times become steps per sample; the sign
// of an attack, decay, release or fade time picks the curve (above 0 exponential, otherwise
// linear), and every time is at least a millisecond.
#pragma once

#include <cmath>
#include <cstdint>

namespace tess::env {

// The exponential curve 1 - e^(-5x), scaled so that it reaches exactly 1 at x = 1.
inline constexpr float kExpScale = 1.0067836f;
inline constexpr float kExpOffset = 0.006783655f;

inline float rising(float x, bool exponential) {
    return exponential ? (1.0f - std::exp(-5.0f * x)) * kExpScale : x;
}

// From a to b over x in [0, 1]; the exponential form ends exactly on b.
inline float falling(float a, float b, float x, bool exponential) {
    if (!exponential) return a + (b - a) * x;
    return (std::exp(-5.0f * x) * kExpScale - kExpOffset) * (a - b) + b;
}

// The sustain settle and the tail's decay, per sample.
inline float settle(float level, float target) { return level * 0.999f + target * 0.001f; }

struct Segment {
    float step = 1.0f;  // stage units per sample
    bool exponential = false;
};

// An attack, decay, release or fade-in time: |T| of at least 1 ms, curve from the sign.
inline Segment curvedSegment(float seconds, float sampleRate) {
    const float t = std::fmax(std::fabs(seconds), 0.001f);
    return {1.0f / (t * sampleRate), seconds > 0.0f};
}

// A delay, hold or release-hold time: T of at least 1 ms, no curve.
inline float plainStep(float seconds, float sampleRate) {
    return 1.0f / (std::fmax(seconds, 0.001f) * sampleRate);
}

// The attack stage at which a rising segment has reached `level` (clamped to [0, 1]): the
// inverse of `rising`, so an envelope started again continues from where it stands.
inline float stageOfLevel(float level, bool exponential) {
    level = std::fmin(std::fmax(level, 0.0f), 1.0f);
    if (!exponential) return level;
    return -0.2f * std::log(1.0f - 0.9932621f * level);
}

struct EnvelopeState {
    float stage = 0.0f;
    float level = 0.0f;
    float saved = 0.0f;  // level when the release was entered
};

// When the sample being computed lies and what the voice asks of its envelopes.
struct EnvelopeTiming {
    std::int64_t t = 0;
    std::int64_t startTime = 0;
    std::int64_t releaseTime = 0;  // a time past the block while the note is held
    std::int64_t blockStart = 0;   // sample clock of the block
    float sampleRate = 44100.0f;
    bool pedalHeld = false;          // the release then takes the decay time
    float forcedReleaseTime = 0.0f;  // above 0: replaces the release time (seconds)
};

// The release time in force: the decay time while a pedal holds the note, the forced release
// time when the voice has one.
inline float releaseSeconds(float release, float decay, const EnvelopeTiming& timing) {
    if (timing.forcedReleaseTime > 0.0f) return timing.forcedReleaseTime;
    return timing.pedalHeld ? decay : release;
}

// ENV0: attack (0..1), decay to the sustain (1..2), sustain settle (2..3) while held; after the
// note-off release from the saved level (3..4), then the tail. Returns the level.
float runEnv0(EnvelopeState& state, float attack, float decay, float sustain, float release,
              const EnvelopeTiming& timing);

}  // namespace tess::env
