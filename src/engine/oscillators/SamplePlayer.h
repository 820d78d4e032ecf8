// Playback of SampleSlots: recorded samples through the interpolation kernel with their loop
// modes and release jump, additive spectra, and OSCSAM's playback between frames given as
// arguments.
#pragma once

#include "engine/Stereo.h"
#include "engine/oscillators/OscillatorState.h"

namespace tess::osc {

// What the OSC family hands to the slot player besides the slot argument.
struct PlayInput {
    Stereo frequency;     // Hz per channel (negative: tempo-synced)
    Stereo gain;
    Stereo readOffset;    // added to the read position of a sample, in frames
    Stereo phaseOffset;   // added to every partial's phase of an additive slot, in radians
    bool lockPhases[2] = {false, false};  // per channel: additive partials start locked to the song clock
};

// OSC and the OSC family: resolves the slot at the voice's first sample and plays it.
Stereo playSlot(OscillatorState& state, const OscillatorContext& context, float slotArgument,
                const PlayInput& input);

// OSCSAM's frame arguments.
struct FrameRange {
    float start = 0.0f, end = 0.0f, loopStart = 0.0f, loopEnd = 0.0f, loopMode = 1.0f;
};

Stereo playFrames(OscillatorState& state, const OscillatorContext& context, float slotArgument,
                  const FrameRange& range, Stereo gain, Stereo frequency, Stereo offsetSeconds);
// playFrames over n samples from context.t on, for a slot and a range that hold over them; the
// gain, frequency and offset of sample i are at [i * stride].
void playFramesRun(OscillatorState& state, OscillatorContext context, float slotArgument, const FrameRange& range,
                   const Stereo* gain, int gainStride, const Stereo* frequency, int frequencyStride,
                   const Stereo* offsetSeconds, int offsetStride, float* lowestStage, Stereo* out, int n);

// The kernel's weight of tap k (-N..N) for a read position whose fraction is `frac`: the same
// lookup the kernel's own read uses.
inline float tapWeight(const InterpolationKernel& kernel, int k, double frac) {
    int index = static_cast<int>(std::fabs((k - frac) * kernel.scale()));
    if (index > kernel.size() - 1) index = kernel.size() - 1;
    return kernel.table()[index];
}

// Reads `data` (frames 0..last) at a fractional position; frames outside contribute nothing.
float readFrames(const InterpolationKernel& kernel, const float* data, std::int64_t last, double position);

}  // namespace tess::osc
