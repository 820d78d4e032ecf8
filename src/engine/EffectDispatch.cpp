// The functions with memory of the signal: FILT and FILT0, the delay lines and the reverbs.
#include "engine/Engine.h"
#include "engine/delays/DelayLines.h"
#include "engine/delays/Reverbs.h"
#include "engine/filters/Filter.h"

namespace tess {

namespace {

// Table indices: DELAY .. DELAYFF4 are 39 .. 45, their NI forms 49 .. 55 in the same order.
constexpr int kFilt = 33, kDelay = 39, kDelayFf4 = 45, kPpDelay = 48, kNiDelay = 49, kNiDelayFf4 = 55,
              kNiPpDelay = 56, kFilt0 = 101, kReverb = 104, kReverb1 = 105, kReverb2 = 106;

}  // namespace

Stereo Engine::effect(int function, OperationState& state, const Stereo* a, const SampleFrame& frame) {
    if (function == kFilt) return filt::filter(state.filter, a[0], a[1], a[2], a[3], sampleRate);
    if (function == kFilt0) return filt::filter(state.filter, a[0], a[1], both(frame.defaultFc), a[2], sampleRate);
    if (function >= kDelay && function <= kDelayFf4)
        return fx::delayLine(state.delay, static_cast<fx::DelayForm>(function - kDelay), true, a[0], a[1], a[2],
                             a[3], a[4], sampleRate);
    if (function >= kNiDelay && function <= kNiDelayFf4)
        return fx::delayLine(state.delay, static_cast<fx::DelayForm>(function - kNiDelay), false, a[0], a[1],
                             a[2], a[3], a[4], sampleRate);
    if (function == kPpDelay || function == kNiPpDelay)
        return fx::pingPongDelay(state.delay, function == kPpDelay, a[0], a[1], a[2], a[3], a[4], sampleRate);
    if (function >= kReverb && function <= kReverb2) {
        fx::ReverbShape shape;
        shape.cutoff = a[3].l;
        shape.spread = a[4].l;
        if (function >= kReverb1) shape.size = a[5].l;
        if (function == kReverb2) shape.diffusion = a[6].l;
        return fx::reverb(state.delay, a[0], a[1], a[2], shape, sampleRate);
    }
    return Stereo{};
}

}  // namespace tess
