// OSCSYN of several voices over the same run at once: their phase chains, each waiting on the
// sum before it, advance side by side in vectors, one voice per lane.
#pragma once

#include "engine/Stereo.h"
#include "engine/oscillators/OscillatorState.h"

namespace tess::osc {

inline constexpr int kMaxOscGroup = 8;

// One OSCSYN of one voice over a run whose operands hold, for oscSynSteadyGroup.
struct OscSynJob {
    OscillatorState* state;
    OscillatorContext context;  // at the run's first sample
    Stereo wave, shape, sync, gain, frequency, phase;
    Stereo* out;
    float* lowestStage;
};

// Two to kMaxOscGroup OSCSYNs over the same n samples, with the samples, phases and lowest
// stages oscSynSteady gives each of them. Only for started oscillators whose two channels are
// the same bit for bit and whose waveform is not noise; false (nothing changed) otherwise.
bool oscSynSteadyGroup(const OscSynJob* jobs, int count, int n);

}  // namespace tess::osc
