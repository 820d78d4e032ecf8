// FILT(type, x, fc, q) and FILT0 (the same with the DEFAULTFC register as fc). The type is
// read once, when the operation first runs in a note, and holds for the rest of it:
//   below 0      one-pole: -1 low-pass, any other negative type high-pass
//   0 .. 19      (type & 3) + 1 state-variable stages; type >> 2 picks the output: 0 low-pass,
//                1 high-pass, 2 band-pass, 3 notch, 4 low minus high
//   20 and above (type & 3) + 1 low-pass stages
// Each channel has its own cutoff and resonance.
#pragma once

#include <cstdint>

#include "engine/Stereo.h"
#include "engine/filters/StateVariableCascade.h"

namespace tess::filt {

struct FilterState {
    bool typeFixed = false;
    std::int32_t type = 0;
    float memory[2] = {0.0f, 0.0f};  // one-pole memory per channel
    SvfStage stages[kMaxStages];
    SvfCoefficientCache coefficients[2];  // per channel
};

Stereo filter(FilterState& state, Stereo type, Stereo x, Stereo fc, Stereo q, float sampleRate);

// `n` samples of FILT whose type, cutoff and resonance hold for all of them: x[i * xStride] in,
// out[i] out, the same values as n calls of filter().
// The same over n samples whose cutoff and resonance may move from sample to sample (strides
// as for x). While both channels would compute the same samples, one is computed and copied.
void filterRunMoving(FilterState& state, Stereo type, const Stereo* x, int xStride, const Stereo* fc, int fcStride,
                     const Stereo* q, int qStride, float sampleRate, Stereo* out, int n);
void filterRun(FilterState& state, Stereo type, const Stereo* x, int xStride, Stereo fc, Stereo q, float sampleRate,
               Stereo* out, int n);

inline constexpr int kMaxGroup = 8;

// One FILT of one voice over a run, for filterRunGroup: the input, cutoff and resonance of
// sample i at [i * stride] (a stride of 0 holds for the run).
struct FilterJob {
    FilterState* state;
    Stereo type;
    const Stereo* x;
    int xStride;
    const Stereo* fc;
    int fcStride;
    const Stereo* q;
    int qStride;
    Stereo* out;
};
// Two to kMaxGroup FILTs of as many voices over the same n samples at once, one voice per lane
// of a vector, with the same results as filterRun (cutoffs and resonances that hold) or
// filterRunMoving (any that moves) for each: when every one is a state-variable filter of one
// and the same type whose two channels compute the same samples. Returns false otherwise,
// having changed nothing those would not change in the same way.
bool filterRunGroup(const FilterJob* jobs, int count, float sampleRate, int n);

}  // namespace tess::filt
