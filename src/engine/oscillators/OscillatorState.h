// What the oscillator functions keep per Operation and per voice, and what they are told about
// the sample being computed.
#pragma once

#include <cstdint>

#include "controllers/ControllerSpace.h"
#include "engine/InterpolationKernel.h"
#include "engine/Noise.h"
#include "samples/SampleBank.h"

namespace tess::osc {

inline constexpr int kHarmonics = SampleSlot::kMaxHarmonics;

struct OscillatorState {
    bool started = false;        // the first sample has been rendered (positions were reset)
    std::int32_t slot = -1;      // SampleSlot chosen at the voice's first sample, -1 silent
    double incrementPerHz = 0.0;
    double position[2] = {0.0, 0.0};  // play position per channel, in frames
    std::int32_t releasePosition[2] = {0, 0};
    bool releaseNoted = false;   // releasePosition holds the positions at the note-off
    std::int32_t passes[2] = {1, 1};
    std::int32_t mode = 0;       // loop flags in force: 2 loops, 1 release jump
    bool insideLoop = false;
    std::int64_t songStart = 0;  // song position of the voice's start
    // Waveform oscillators and additive partials.
    float phase[2] = {0.0f, 0.0f};
    float startPhase[2] = {0.0f, 0.0f};
    float harmonicPhase[2][kHarmonics] = {};
    float harmonicStart[2][kHarmonics] = {};
    // GRAINSYNTH and WAVESCAN.
    double counter[2] = {0.0, 0.0};
    float index[2] = {0.0f, 0.0f};
};

// The engine's view of the sample being computed, for one oscillator call.
struct OscillatorContext {
    const SampleBank* bank = nullptr;
    const InterpolationKernel* kernel = nullptr;
    Noise* noise = nullptr;
    const ControllerSpace* controllers = nullptr;
    float sampleRate = 44100.0f;
    float silenceThreshold = 1e-7f;
    float barsPerSecond = 0.5f;
    std::int64_t t = 0;
    std::int64_t startTime = 0;
    std::int64_t releaseTime = 0;  // past the block while the note is held
    std::int64_t songAtStart = 0;  // song position of the voice's start
    int retriggerMode = 0;
    int sampleOffset = 0;
    float* lowestStage = nullptr;  // lowered to 0 while an oscillator keeps the note alive

    bool firstSample() const { return t == startTime; }
    bool held() const { return t < releaseTime; }
    void keepAlive() const {
        if (held() && lowestStage != nullptr) *lowestStage = 0.0f;
    }
};

// A frequency below 0 is tempo-synced: one cycle per |f| bars.
inline float syncedFrequency(float f, float barsPerSecond) {
    return f < 0.0f ? barsPerSecond / -f : f;
}

// The SampleSlot a slot argument names. Negative values read a number: -1..-199 controller
// 1..199, -401..-527 the keyswitch state of key 1..127, -601..-727 host parameter 1..127
// (rounded); numbers of 200 and above get the voice's sample offset. -1 when the result is no
// playable slot.
int resolveSlot(float argument, const OscillatorContext& context);

// Phase increment per Hz of a slot at the output rate: a sampled slot read at its own rate at
// its centre note, an additive one in radians. Kept in double: a sample played at its centre
// note at its own rate then advances by exactly one frame, so that after any number of samples
// the player still reads whole frames.
double incrementPerHz(const SampleSlot& slot, float sampleRate);

}  // namespace tess::osc
