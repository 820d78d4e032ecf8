// The stage model every envelope and fade shares. A stage is a float: its integer part names
// the segment, its fraction the progress through it. Times become steps per sample; the sign
// of an attack, decay, release or fade time picks the curve (above 0 exponential, otherwise
// linear), and every time is at least a millisecond.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/Stereo.h"

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

// Moves a stage on by `step` within its segment (up to the next whole number). A step that runs
// past the segment's end spends the rest of its sample in the next segment at that segment's own
// step, so that each segment keeps its time whatever the steps around it.
inline void advance(double& stage, float step, float nextStep) {
    const double end = std::floor(stage) + 1.0;
    stage += step;
    if (stage > end) stage = end + (stage - end) / step * nextStep;
}

struct EnvelopeState {
    // Counted in double: a long segment's steps are far below a float's resolution at its stage.
    double stage = 0.0;
    float level = 0.0f;
    float saved = 0.0f;  // level when the release was entered (or before the voice's start)
    bool released = false;    // the note-off has been taken (ENV, ENVCURVE)
    double nextTrigger = 0.0;  // sample time of the next re-trigger (ENV, ENVCURVE)
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
    double samplesPerBar = 88200.0;  // bar-timed re-triggers
    std::int64_t songAtStart = 0;    // song position of the voice's start

    bool held() const { return t < releaseTime; }
};

// Rendered ahead of the voice's start: a blend from the level saved before the start towards
// the current one.
inline float earlyLevel(const EnvelopeState& state, const EnvelopeTiming& timing) {
    const double span = static_cast<double>(timing.startTime - timing.blockStart);
    const float f = span > 0.0 ? static_cast<float>(static_cast<double>(timing.t - timing.blockStart) / span) : 1.0f;
    return (1.0f - f) * state.saved + f * state.level;
}

// The start of a delayed envelope (ENV1, the modulators' envelopes) from the level it has: inside
// the attack where that level lies, at the hold once it is full, else from its delay.
inline float delayedRestartStage(float level, bool exponentialAttack) {
    const float s = stageOfLevel(level, exponentialAttack);
    if (s > 1.0f) return 2.0f;
    return s > 0.0001f ? s + 1.0f : 0.0f;
}

// The start of an envelope that skips its delay when it already has a level (ENV, the fades):
// the segment after the delay from its beginning, else the delay.
inline float skipDelayStage(float level, bool exponential) {
    return stageOfLevel(level, exponential) + 1.0f >= 1.001f ? 1.0f : 0.0f;
}

// The release time in force: the decay time while a pedal holds the note, the forced release
// time when the voice has one.
inline float releaseSeconds(float release, float decay, const EnvelopeTiming& timing) {
    if (timing.forcedReleaseTime > 0.0f) return timing.forcedReleaseTime;
    return timing.pedalHeld ? decay : release;
}

// The fade of an LFO: 0..1 delay (level 0), 1..2 fade-in, then held at 1; after the note-off
// 3..4 fade-out from the saved level, then the tail.
struct FadeSegments {
    float delayStep = 1.0f;
    Segment fadeIn;
    Segment fadeOut;
};
// One sample of the fade. Returns true on the sample at which the delay ends (the stage is then
// exactly 1, so the fade-in starts from its beginning).
bool runFade(EnvelopeState& fade, const FadeSegments& segments, bool released);

// The fade of a voice over n samples from timing.t on: ahead of the voice's start the early blend,
// at its start the stage taken from the level (the delay skipped when there is one), then runFade
// with the note released from timing.releaseTime on. Sample i's level goes to out[i].l, its stage
// after the sample to stages[i], and whether its delay ended there to delayEnded[i].
void runVoiceFadeRun(EnvelopeState& fade, const FadeSegments& segments, EnvelopeTiming timing, Stereo* out,
                     float* stages, bool* delayEnded, int n);

// ENV0: attack (0..1), decay to the sustain (1..2), sustain settle (2..3) while held; after the
// note-off release from the saved level (3..4), then the tail. Returns the level.
float runEnv0(EnvelopeState& state, float attack, float decay, float sustain, float release,
              const EnvelopeTiming& timing);

// The delayed envelope of ENV1 and of the voice modulators: delay (0..1, level 0), attack
// (1..2), hold (2..3, level 1), decay to the sustain (3..4), sustain settle while held; after
// the note-off release from the saved level (5..6), then the tail. The caller gives the release
// segment in force for this sample.
struct DelayedEnvelope {
    float delayStep = 1.0f;
    float holdStep = 1.0f;
    Segment attack;
    Segment decay;
    float sustain = 0.0f;
};
// runDelayedEnvelope over n samples from timing.t on, each level on both channels of out[i]
// and the stage lowering lowestStage[i]. `release` is the release segment in force for the first
// `releaseHolds` samples; from there on the run stops before the first sample that would read it
// (see mayReadRelease; the tail does not read it). Returns the samples rendered (at least one).
int runDelayedEnvelopeRun(EnvelopeState& state, const DelayedEnvelope& envelope, const Segment& release,
                          EnvelopeTiming timing, Stereo* out, float* lowestStage, int n,
                          int releaseHolds = std::numeric_limits<int>::max());
float runDelayedEnvelope(EnvelopeState& state, const DelayedEnvelope& envelope, const Segment& release,
                         const EnvelopeTiming& timing);

// The segments of ENV1(attack, decay, sustain, release, delay, hold) with the release in force
// for `timing`: worked out once where the arguments hold still, then run sample by sample.
struct Env1Segments {
    DelayedEnvelope envelope;
    Segment release;
};
// The release segment alone.
inline Segment env1Release(float release, float decay, const EnvelopeTiming& timing) {
    return curvedSegment(releaseSeconds(release, decay, timing), timing.sampleRate);
}
// Whether runDelayedEnvelope may read its release segment at the sample of `timing` (it reads
// it only from the note-off on; at the start, the stage is set anew).
inline bool mayReadRelease(const EnvelopeState& state, const EnvelopeTiming& timing) {
    return !timing.held() || state.stage >= 5.0 || timing.t == timing.startTime;
}
Env1Segments env1Segments(float attack, float decay, float sustain, float release, float delay, float hold,
                          const EnvelopeTiming& timing);

// ENV1(attack, decay, sustain, release, delay, hold).
float runEnv1(EnvelopeState& state, float attack, float decay, float sustain, float release, float delay, float hold,
              const EnvelopeTiming& timing);

}  // namespace tess::env
