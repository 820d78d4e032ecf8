// The oscillators that do not play a slot's partials or its frames in order: OSCSYN (a shaped
// waveform), and WAVETABLE, GRAINSYNTH and WAVESCAN, which read a sampled slot at positions
// they compute themselves.
#pragma once

#include "engine/Stereo.h"
#include "engine/oscillators/OscillatorState.h"

namespace tess::osc {

// OSCSYN(wave, shape, sync, gain, freq, phase).
Stereo oscSyn(OscillatorState& state, const OscillatorContext& context, Stereo wave, Stereo shape,
              Stereo sync, Stereo gain, Stereo frequency, Stereo phase);

// OSCSYN over n samples after its first (state.started) whose operands hold for all of them:
// the samples oscSyn gives one by one, written to out, with lowestStage[i] lowered as
// keepAlive would at context.t + i. The frequency's step is worked out once, and a channel
// whose operands and phases equal the other's bit for bit is computed once and copied. False
// (nothing done) for the noise waveform, whose two channels draw in turn sample by sample.
bool oscSynSteady(OscillatorState& state, const OscillatorContext& context, Stereo wave, Stereo shape,
                  Stereo sync, Stereo gain, Stereo frequency, Stereo phase, Stereo* out, float* lowestStage,
                  int n);

// Whether OSCSYN's two channels compute the same samples: every operand and the oscillator's
// phases equal on both bit for bit.
bool oscSynMirrored(const OscillatorState& state, Stereo wave, Stereo shape, Stereo sync, Stereo gain,
                    Stereo frequency, Stereo phase);

// WAVETABLE(sample, position): the slot read at position (seconds) x sample rate.
Stereo wavetable(OscillatorState& state, const OscillatorContext& context, int slotNumber, Stereo position);

// GRAINSYNTH(sample, period, fade, grain): grain `grain` (frames grain x period onwards) read
// over and over with fades of `fade` frames at both ends.
Stereo grainSynth(OscillatorState& state, const OscillatorContext& context, int slotNumber, Stereo period,
                  Stereo fade, Stereo grain);

// WAVESCAN(sample, length, window, speed, offset): window `window` of `length` frames read
// `speed` times per second from `offset` on.
Stereo waveScan(OscillatorState& state, const OscillatorContext& context, int slotNumber, Stereo length,
                Stereo window, Stereo speed, Stereo offset);

}  // namespace tess::osc
