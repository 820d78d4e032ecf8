#include "engine/envelopes/Lfos.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Waveforms.h"
#include "engine/oscillators/OscillatorState.h"

namespace tess::env {

namespace {

float channel(Stereo v, int c) { return c == 0 ? v.l : v.r; }

float increment(float frequency, const LfoContext& context) {
    return wave::kTwoPi * osc::syncedFrequency(frequency, context.barsPerSecond) / context.timing.sampleRate;
}

// The fade's segments from its (left-channel) arguments.
FadeSegments fadeSegments(float delay, float fadeIn, float release, const EnvelopeTiming& timing) {
    FadeSegments segments;
    segments.delayStep = plainStep(delay, timing.sampleRate);
    segments.fadeIn = curvedSegment(fadeIn, timing.sampleRate);
    // A forced release shortens the fade-out; the sustain pedal does not lengthen it.
    segments.fadeOut =
        curvedSegment(timing.forcedReleaseTime > 0.0f ? timing.forcedReleaseTime : release, timing.sampleRate);
    return segments;
}

// One sample of the fade. `delayEnded` is set on the sample at which the delay is over.
[[gnu::always_inline]] inline float fadeLevelWith(EnvelopeState& fade, const FadeSegments& segments,
                                                  const LfoContext& context, bool& delayEnded) {
    delayEnded = false;
    if (context.isPost) return 1.0f;
    const EnvelopeTiming& timing = context.timing;
    if (timing.t < timing.startTime) return earlyLevel(fade, timing);
    if (timing.t == timing.startTime) fade.stage = skipDelayStage(fade.level, segments.fadeIn.exponential);
    const bool held = timing.held();
    delayEnded = runFade(fade, segments, !held);
    if (context.lowestStage != nullptr)
        *context.lowestStage = std::min(*context.lowestStage, held ? 0.0f : static_cast<float>(fade.stage));
    return fade.level;
}

float fadeLevel(EnvelopeState& fade, float delay, float fadeIn, float release, const LfoContext& context,
                bool& delayEnded) {
    return fadeLevelWith(fade, fadeSegments(delay, fadeIn, release, context.timing), context, delayEnded);
}

// The phase at which a song-locked LFO of `hz` stands at sample t.
float songPhase(float hz, const LfoContext& context) {
    const EnvelopeTiming& timing = context.timing;
    const double position = static_cast<double>(timing.songAtStart + (timing.t - timing.startTime));
    const double cycles = position * hz / timing.sampleRate;
    return static_cast<float>((cycles - std::floor(cycles)) * 6.283185307179586);
}

// LFO1 and LFOSYN: per-channel accumulators under one fade; `shape` is null for LFO1 (basic
// waveforms).
Stereo perChannel(LfoState& state, EnvelopeState& fade, Stereo wave, const Stereo* shape, Stereo sync, Stereo delay,
                  Stereo fadeIn, Stereo release, Stereo frequency, Stereo phase, const LfoContext& context) {
    float hz[2];
    for (int c = 0; c < 2; ++c) {
        hz[c] = osc::syncedFrequency(channel(frequency, c), context.barsPerSecond);
        state.phase[c] = wave::wrap(state.phase[c] + wave::kTwoPi * hz[c] / context.timing.sampleRate);
    }
    bool delayEnded = false;
    const float level = fadeLevel(fade, delay.l, fadeIn.l, release.l, context, delayEnded);
    if (delayEnded)
        for (int c = 0; c < 2; ++c) {
            state.phase[c] = 0.0f;
            const bool locked = channel(sync, c) > 0.0f && context.retriggerMode == 0 && hz[c] > 0.0f;
            state.startPhase[c] = locked ? songPhase(hz[c], context) : 0.0f;
        }
    float out[2];
    for (int c = 0; c < 2; ++c) {
        const float p = wave::wrap(state.phase[c] + state.startPhase[c] + channel(phase, c));
        const int w = waveNumber(channel(wave, c));
        out[c] = (shape != nullptr ? wave::shaped(w, channel(*shape, c), p, *context.noise)
                                   : wave::basic(w, p, *context.noise)) *
                 level;
    }
    return {out[0], out[1]};
}

}  // namespace

Stereo runLfo0(LfoState& state, Stereo wave, Stereo frequency, const LfoContext& context) {
    const float step = increment(frequency.l, context);
    if (!state.started) {
        state.phase[0] = -step;  // the first sample sounds phase 0
        state.started = true;
    }
    state.phase[0] = wave::wrap(state.phase[0] + step);
    return both(wave::basic(waveNumber(wave.l), state.phase[0], *context.noise));
}

Stereo runLfo(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo delay, Stereo fadeIn, Stereo release,
              Stereo frequency, const LfoContext& context) {
    state.phase[0] = wave::wrap(state.phase[0] + increment(frequency.l, context));
    bool delayEnded = false;
    const float level = fadeLevel(fade, delay.l, fadeIn.l, release.l, context, delayEnded);
    if (delayEnded) state.phase[0] = 0.0f;
    return both(wave::basic(waveNumber(wave.l), state.phase[0], *context.noise) * level);
}

void runLfoRun(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo delay, Stereo fadeIn, Stereo release,
               Stereo frequency, LfoContext context, Stereo* out, float* lowestStage, int n) {
    const float step = increment(frequency.l, context);
    const FadeSegments segments = fadeSegments(delay.l, fadeIn.l, release.l, context.timing);
    const int w = waveNumber(wave.l);
    const EnvelopeTiming& timing = context.timing;
    const std::int64_t t0 = timing.t;
    if (context.isPost) {
        for (int i = 0; i < n; ++i) {
            state.phase[0] = wave::wrap(state.phase[0] + step);
            out[i] = both(wave::basic(w, state.phase[0], *context.noise) * 1.0f);
        }
        return;
    }
    // In pieces: the fade (level in out[i].l), then the phase chain with the lowest stages, then
    // the waveform.
    constexpr int kPiece = 256;
    float stages[kPiece];
    bool delayEnded[kPiece];
    float phases[kPiece];
    float waves[kPiece];
    for (int from = 0; from < n; from += kPiece) {
        const int m = std::min(kPiece, n - from);
        Stereo* const o = out + from;
        EnvelopeTiming pieceTiming = timing;
        pieceTiming.t = t0 + from;
        runVoiceFadeRun(fade, segments, pieceTiming, o, stages, delayEnded, m);
        float phase = state.phase[0];
        for (int i = 0; i < m; ++i) {
            const std::int64_t t = pieceTiming.t + i;
            if (t >= timing.startTime)
                lowestStage[from + i] = std::min(lowestStage[from + i], t < timing.releaseTime ? 0.0f : stages[i]);
            phase = wave::wrap(phase + step);
            if (delayEnded[i]) phase = 0.0f;
            phases[i] = phase;
        }
        state.phase[0] = phase;
        wave::basicRun(w, phases, waves, m, *context.noise);
        for (int i = 0; i < m; ++i) o[i] = both(waves[i] * o[i].l);
    }
}

Stereo runLfo1(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo sync, Stereo delay, Stereo fadeIn,
               Stereo release, Stereo frequency, Stereo phase, const LfoContext& context) {
    return perChannel(state, fade, wave, nullptr, sync, delay, fadeIn, release, frequency, phase, context);
}

Stereo runLfoSyn(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo shape, Stereo sync, Stereo delay,
                 Stereo fadeIn, Stereo release, Stereo frequency, Stereo phase, const LfoContext& context) {
    return perChannel(state, fade, wave, &shape, sync, delay, fadeIn, release, frequency, phase, context);
}

}  // namespace tess::env
