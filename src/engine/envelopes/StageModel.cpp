#include "engine/envelopes/StageModel.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace tess::env {

namespace {

// After the note-off: the release from the saved level to 0 while the stage runs from `from` to
// `from` + 1, then the tail, which never ends the stage by itself.
void releaseOrTail(EnvelopeState& state, float from, const Segment& release) {
    if (state.stage < from + 1.0f) {
        state.level = falling(state.saved, 0.0f, static_cast<float>(state.stage - from), release.exponential);
        advance(state.stage, release.step, 0.0f);
    } else {
        state.level *= 0.999f;
        state.stage += 1e-5f;
    }
}

}  // namespace

float runEnv0(EnvelopeState& state, float attack, float decay, float sustain, float release,
              const EnvelopeTiming& timing) {
    const Segment a = curvedSegment(attack, timing.sampleRate);
    if (timing.t < timing.startTime) return earlyLevel(state, timing);
    if (timing.t == timing.startTime) state.stage = stageOfLevel(state.level, a.exponential);
    if (timing.t >= timing.releaseTime && state.stage < 3.0f) {
        state.saved = state.level;
        state.stage = 3.0f;
    }
    double& stage = state.stage;
    const Segment d = curvedSegment(decay, timing.sampleRate);
    if (stage < 1.0f) {
        state.level = rising(static_cast<float>(stage), a.exponential);
        advance(stage, a.step, d.step);
    } else if (stage < 2.0f) {
        state.level = falling(1.0f, sustain, static_cast<float>(stage - 1.0), d.exponential);
        advance(stage, d.step, 0.0f);
    } else if (stage < 3.0f) {
        state.level = settle(state.level, sustain);
    } else {
        releaseOrTail(state, 3.0f, curvedSegment(releaseSeconds(release, decay, timing), timing.sampleRate));
    }
    return state.level;
}

bool runFade(EnvelopeState& fade, const FadeSegments& segments, bool released) {
    double& stage = fade.stage;
    if (released && stage < 3.0f) {
        fade.saved = fade.level;
        stage = 3.0f;
    }
    if (stage < 1.0f) {
        fade.level = 0.0f;
        stage += segments.delayStep;
        if (stage < 1.0f) return false;
        stage = 1.0f;
        return true;
    }
    if (stage < 2.0f) {
        fade.level = rising(static_cast<float>(stage - 1.0), segments.fadeIn.exponential);
        advance(stage, segments.fadeIn.step, 0.0f);
    } else if (stage < 3.0f) {
        fade.level = settle(fade.level, 1.0f);
    } else {
        releaseOrTail(fade, 3.0f, segments.fadeOut);
    }
    return false;
}

namespace {

[[gnu::always_inline]] inline float delayedEnvelopeAt(EnvelopeState& state, const DelayedEnvelope& envelope,
                                                      const Segment& release, const EnvelopeTiming& timing) {
    if (timing.t < timing.startTime) return earlyLevel(state, timing);
    double& stage = state.stage;
    if (timing.t == timing.startTime) stage = delayedRestartStage(state.level, envelope.attack.exponential);
    if (!timing.held() && stage < 5.0f) {
        state.saved = state.level;
        stage = 5.0f;
    }
    if (stage < 1.0f) {
        state.level = 0.0f;
        advance(stage, envelope.delayStep, envelope.attack.step);
    } else if (stage < 2.0f) {
        state.level = rising(static_cast<float>(stage - 1.0), envelope.attack.exponential);
        advance(stage, envelope.attack.step, envelope.holdStep);
    } else if (stage < 3.0f) {
        state.level = 1.0f;
        advance(stage, envelope.holdStep, envelope.decay.step);
    } else if (stage < 4.0f) {
        state.level = falling(1.0f, envelope.sustain, static_cast<float>(stage - 3.0), envelope.decay.exponential);
        advance(stage, envelope.decay.step, 0.0f);
    } else if (stage < 5.0f) {
        state.level = settle(state.level, envelope.sustain);
    } else {
        releaseOrTail(state, 5.0f, release);
    }
    return state.level;
}

}  // namespace

float runDelayedEnvelope(EnvelopeState& state, const DelayedEnvelope& envelope, const Segment& release,
                         const EnvelopeTiming& timing) {
    return delayedEnvelopeAt(state, envelope, release, timing);
}

void runDelayedEnvelopeRun(EnvelopeState& state, const DelayedEnvelope& envelope, const Segment& release,
                           EnvelopeTiming timing, Stereo* out, float* lowestStage, int n) {
    const std::int64_t t0 = timing.t;
    int i = 0;
    while (i < n) {
        const std::int64_t t = t0 + i;
        if (t > timing.startTime && t < timing.releaseTime && state.stage >= 4.0 && state.stage < 5.0) {
            // The sustain while the note is held: the stage stays where it is and the level
            // settles towards the sustain level. A settle step that leaves the level as it is, bit
            // for bit, leaves it so until the note-off.
            const int held = static_cast<int>(std::min<std::int64_t>(n, timing.releaseTime - t0));
            const float stage = static_cast<float>(state.stage);
            float level = state.level;
            bool settled = false;
            for (; i < held && !settled; ++i) {
                const float next = settle(level, envelope.sustain);
                settled = std::bit_cast<std::uint32_t>(next) == std::bit_cast<std::uint32_t>(level);
                level = next;
                out[i] = both(level);
                lowestStage[i] = std::min(lowestStage[i], stage);
            }
            for (; i < held; ++i) {
                out[i] = both(level);
                lowestStage[i] = std::min(lowestStage[i], stage);
            }
            state.level = level;
            continue;
        }
        timing.t = t;
        out[i] = both(delayedEnvelopeAt(state, envelope, release, timing));
        lowestStage[i] = std::min(lowestStage[i], static_cast<float>(state.stage));
        ++i;
    }
}

Env1Segments env1Segments(float attack, float decay, float sustain, float release, float delay, float hold,
                          const EnvelopeTiming& timing) {
    Env1Segments k;
    k.envelope.delayStep = plainStep(delay, timing.sampleRate);
    k.envelope.holdStep = plainStep(hold, timing.sampleRate);
    k.envelope.attack = curvedSegment(attack, timing.sampleRate);
    k.envelope.decay = curvedSegment(decay, timing.sampleRate);
    k.envelope.sustain = sustain;
    k.release = env1Release(release, decay, timing);
    return k;
}

float runEnv1(EnvelopeState& state, float attack, float decay, float sustain, float release, float delay, float hold,
              const EnvelopeTiming& timing) {
    const Env1Segments k = env1Segments(attack, decay, sustain, release, delay, hold, timing);
    return runDelayedEnvelope(state, k.envelope, k.release, timing);
}

}  // namespace tess::env
