#include "engine/delays/DelayLines.h"

#include <cmath>

#include "engine/filters/OnePole.h"

namespace tess::fx {

namespace {

using StereoRing = Ring<kDelayStereoFrames, 2>;
using MonoRing = Ring<kDelayFloats, 1>;

// filter(d) of DELAYFF and DELAYFF2: above 0 a low-pass at fc, otherwise a high-pass at |fc|.
float feedbackFilter(float& memory, float d, float fc, float sampleRate) {
    if (fc > 0.0f) return filt::onePoleStep(memory, d, filt::lowPassCoefficient(fc, sampleRate));
    const float c = std::exp(filt::kTwoPi * fc / sampleRate);
    return d - filt::onePoleStep(memory, d, c);
}

void countWrite(DelayState& state, std::uint32_t frames) {
    if (state.written < frames) ++state.written;
}

}  // namespace

Stereo delayLine(DelayState& state, DelayForm form, bool interpolate, Stereo x, Stereo t, Stereo a2,
                 Stereo a3, Stereo a4, float sampleRate) {
    if (state.memory.data == nullptr) return Stereo{};
    const StereoRing ring{state.memory.data, state.index / 2, state.written};
    const float in[2] = {x.l, x.r};
    const float time[2] = {t.l, t.r};
    const float p2[2] = {a2.l, a2.r};
    const float p3[2] = {a3.l, a3.r};
    const float p4[2] = {a4.l, a4.r};
    float write[2];
    float out[2];
    for (int ch = 0; ch < 2; ++ch) {
        const float d = readDelayed(ring, splitDelay(time[ch] * sampleRate), ch, interpolate);
        float w = in[ch];
        float result = d;
        switch (form) {
            case DelayForm::Plain: break;
            case DelayForm::Feedback: w = in[ch] + p2[ch] * d; result = w; break;
            case DelayForm::FilteredFeedback:
            case DelayForm::FilteredFeedbackWet:
                w = in[ch] + p2[ch] * feedbackFilter(state.low[ch], d, p3[ch], sampleRate);
                result = form == DelayForm::FilteredFeedback ? w : d;
                break;
            case DelayForm::Allpass: w = in[ch] + p2[ch] * d; result = w * p3[ch] + d; break;
            case DelayForm::TwoBandFeedback:
            case DelayForm::TwoBandFeedbackWet: {
                const float low = filt::onePoleStep(state.low[ch], d, filt::lowPassCoefficient(p4[ch], sampleRate));
                w = in[ch] + p2[ch] * low + p3[ch] * (d - low);
                result = form == DelayForm::TwoBandFeedback ? w : d;
                break;
            }
        }
        write[ch] = w;
        out[ch] = result;
    }
    state.index = (state.index + 2) & (kDelayFloats - 1);
    state.memory.data[state.index] = write[0];
    state.memory.data[state.index + 1] = write[1];
    countWrite(state, kDelayStereoFrames);
    return {out[0], out[1]};
}

Stereo pingPongDelay(DelayState& state, bool interpolate, Stereo x, Stereo t, Stereo fbLow,
                     Stereo fbHigh, Stereo fc, float sampleRate) {
    if (state.memory.data == nullptr) return Stereo{};
    const MonoRing ring{state.memory.data, state.index, state.written};
    const float first = readDelayed(ring, splitDelay(t.l * sampleRate), 0, interpolate);
    const float second = readDelayed(ring, splitDelay((t.l + t.r) * sampleRate), 0, interpolate);
    const float low = filt::onePoleStep(state.low[0], second, filt::lowPassCoefficient(fc.l, sampleRate));
    const float w = (x.l + x.r) * 0.5f + fbLow.l * low + fbHigh.l * (second - low);
    state.index = (state.index + 1) & (kDelayFloats - 1);
    state.memory.data[state.index] = w;
    countWrite(state, kDelayFloats);
    return {first, second};
}

}  // namespace tess::fx
