#include "engine/oscillators/WaveOscillators.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/Waveforms.h"
#include "engine/oscillators/SamplePlayer.h"

namespace tess::osc {

namespace {

float channel(Stereo v, int c) { return c == 0 ? v.l : v.r; }

// Equal bit for bit: -0 and 0 differ (they can give results of different sign).
bool same(float a, float b) {
    std::uint32_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}
bool same(Stereo v) { return same(v.l, v.r); }

// The longest run oscSynSteady is handed at once.
constexpr int kSteadyRun = 64;

// The sampled slot a constant slot number names, resolved at the voice's first sample.
const SampleSlot* frameSlot(OscillatorState& state, const OscillatorContext& context, int slotNumber) {
    if (!state.started || context.firstSample())
        state.slot = resolveSlot(static_cast<float>(slotNumber), context);
    if (state.slot < 0) return nullptr;
    const SampleSlot& slot = (*context.bank)[state.slot];
    return slot.kind == SampleSlot::kSampled ? &slot : nullptr;
}

float readChannel(const OscillatorContext& context, const SampleSlot& slot, int c, double position) {
    return readFrames(*context.kernel, c == 0 ? slot.left.data() : slot.rightData(), slot.markers.lastIndex,
                      position);
}

}  // namespace

Stereo oscSyn(OscillatorState& s, const OscillatorContext& context, Stereo wave, Stereo shape, Stereo sync,
              Stereo gain, Stereo frequency, Stereo phase) {
    context.keepAlive();
    float out[2];
    for (int c = 0; c < 2; ++c) {
        const float hz = syncedFrequency(channel(frequency, c), context.barsPerSecond);
        const float increment = wave::kTwoPi * hz / context.sampleRate;
        if (!s.started) {
            float start = 0.0f;
            if (channel(sync, c) > 0.0f && context.retriggerMode == 0 && hz > 0.0f) {
                const double cycles = static_cast<double>(context.songAtStart) * hz / context.sampleRate;
                start = static_cast<float>((cycles - std::floor(cycles)) * 6.283185307179586);
            }
            s.startPhase[c] = start;
            s.phase[c] = -increment;  // the first sample sounds the start phase
        }
        s.phase[c] = wave::wrap(s.phase[c] + increment);
        const float p = wave::wrap(s.phase[c] + s.startPhase[c] + channel(phase, c));
        out[c] = wave::shaped(wave::waveNumber(channel(wave, c)), channel(shape, c), p, *context.noise) *
                 channel(gain, c);
    }
    s.started = true;
    return {out[0], out[1]};
}

bool oscSynMirrored(const OscillatorState& s, Stereo wave, Stereo shape, Stereo sync, Stereo gain,
                    Stereo frequency, Stereo phase) {
    return same(wave) && same(shape) && same(sync) && same(gain) && same(frequency) && same(phase) &&
           same(s.phase[0], s.phase[1]) && same(s.startPhase[0], s.startPhase[1]);
}

bool oscSynSteady(OscillatorState& s, const OscillatorContext& context, Stereo wave, Stereo shape, Stereo sync,
                  Stereo gain, Stereo frequency, Stereo phase, Stereo* out, float* lowestStage, int n) {
    const int codes[2] = {wave::waveNumber(wave.l), wave::waveNumber(wave.r)};
    if (codes[0] == 5 || codes[1] == 5) return false;
    // The samples before the note-off keep the voice alive.
    const std::int64_t held = std::clamp<std::int64_t>(context.releaseTime - context.t, 0, n);
    std::fill(lowestStage, lowestStage + held, 0.0f);
    const bool mirrored = oscSynMirrored(s, wave, shape, sync, gain, frequency, phase);
    float p[kSteadyRun], v[kSteadyRun];
    for (int c = 0; c < (mirrored ? 1 : 2); ++c) {
        const float hz = syncedFrequency(channel(frequency, c), context.barsPerSecond);
        const float increment = wave::kTwoPi * hz / context.sampleRate;
        const float start = s.startPhase[c], offset = channel(phase, c), g = channel(gain, c);
        const float form = channel(shape, c);
        float position = s.phase[c];
        // The phase is the chain every sample waits on. Inside (-pi, pi) wrap adds 0, which only
        // turns -0 into +0; a sum taken from -0 instead of +0 differs at most in the sign of a
        // zero, which the + 0 after it removes again. So the chain carries the bare sum and the
        // + 0 is added beside it, with the same phases as wrapping every step.
        float chain = position;
        for (int at = 0; at < n; at += kSteadyRun) {
            const int m = std::min(kSteadyRun, n - at);
            for (int i = 0; i < m; ++i) {
                const float next = chain + increment;
                if (next >= -wave::kPi && next <= wave::kPi) {
                    chain = next;
                    position = next + 0.0f;
                } else {
                    position = wave::wrap(next);
                    chain = position;
                }
                p[i] = wave::wrap(position + start + offset);
            }
            wave::shapedRun(codes[c], form, p, v, m, *context.noise);
            if (mirrored) {
                for (int i = 0; i < m; ++i) out[at + i] = both(v[i] * g);
            } else {
                for (int i = 0; i < m; ++i) (c == 0 ? out[at + i].l : out[at + i].r) = v[i] * g;
            }
        }
        s.phase[c] = position;
    }
    if (mirrored) s.phase[1] = s.phase[0];
    return true;
}

Stereo wavetable(OscillatorState& s, const OscillatorContext& context, int slotNumber, Stereo position) {
    const SampleSlot* slot = frameSlot(s, context, slotNumber);
    s.started = true;
    if (slot == nullptr) return {};
    float out[2];
    for (int c = 0; c < 2; ++c)
        out[c] = readChannel(context, *slot, c, static_cast<double>(channel(position, c)) * context.sampleRate);
    return {out[0], out[1]};
}

Stereo grainSynth(OscillatorState& s, const OscillatorContext& context, int slotNumber, Stereo period,
                  Stereo fade, Stereo grain) {
    const SampleSlot* slot = frameSlot(s, context, slotNumber);
    const bool first = !s.started;
    s.started = true;
    if (slot == nullptr) return {};
    float out[2] = {0.0f, 0.0f};
    for (int c = 0; c < 2; ++c) {
        const double p = channel(period, c);
        if (!(p > 0.0 && p < 1e12)) continue;  // no grain length: nothing to repeat
        double& counter = s.counter[c];
        if (first) {
            counter = 0.0;
            s.index[c] = std::trunc(channel(grain, c));
        } else {
            counter += 1.0;
            if (counter >= p) {
                counter = std::fmod(counter, p);
                s.index[c] = std::trunc(channel(grain, c));
            }
        }
        const double f = channel(fade, c);
        double envelope = 1.0;
        if (f > 0.0) {
            if (counter < f) envelope = (counter + 1.0) / f;
            else if (counter >= p - f) envelope = (p - counter + 1.0) / f;
            envelope = std::min(envelope, 1.0);
        }
        const double at = counter + static_cast<double>(s.index[c]) * p;
        out[c] = readChannel(context, *slot, c, at) * static_cast<float>(envelope);
    }
    return {out[0], out[1]};
}

Stereo waveScan(OscillatorState& s, const OscillatorContext& context, int slotNumber, Stereo length,
                Stereo window, Stereo speed, Stereo offset) {
    const SampleSlot* slot = frameSlot(s, context, slotNumber);
    const bool first = !s.started;
    s.started = true;
    if (slot == nullptr) return {};
    float out[2] = {0.0f, 0.0f};
    for (int c = 0; c < 2; ++c) {
        const double l = channel(length, c);
        if (!(l > 0.0 && l < 1e12)) continue;
        const double o = channel(offset, c);
        double& counter = s.counter[c];
        bool wrapped = first;
        if (first) {
            counter = 0.0;
        } else {
            counter += l * channel(speed, c) / context.sampleRate;
        }
        const double where = counter + o;
        if (where >= l || where < 0.0) {
            counter -= std::floor(where / l) * l;
            wrapped = true;
        }
        if (wrapped) s.index[c] = std::trunc(channel(window, c));
        const double at = counter + o + static_cast<double>(s.index[c]) * l;
        out[c] = readChannel(context, *slot, c, at);
    }
    return {out[0], out[1]};
}

}  // namespace tess::osc
