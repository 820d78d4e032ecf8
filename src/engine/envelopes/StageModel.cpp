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

namespace {

// Steps the stage through the segment [base, base + 1) from sample i while the next step stays
// inside it (stage + step <= base + 1: advance does not cross) and i < limit. Each sample's x
// (the stage before its step, less base) goes to out[i].l for the level pass that follows, and
// its stage after the step goes to record(i, stage). Returns the index after the last sample
// taken.
template <typename Record>
int stepInside(double& stage, float step, double base, int i, int limit, Stereo* out, Record record) {
    const double end = base + 1.0;
    double s = stage;
    for (; i < limit; ++i) {
        const double next = s + step;
        if (next > end) break;
        out[i].l = static_cast<float>(s - base);
        s = next;
        record(i, s);
    }
    stage = s;
    return i;
}

// The stage after a sample lowers that sample's lowest stage.
struct LowerStage {
    float* lowestStage;
    void operator()(int i, double stage) const {
        lowestStage[i] = std::min(lowestStage[i], static_cast<float>(stage));
    }
};

// The level pass over the x values stepInside left in out[from, to): the exponential calls are
// independent of each other here. Returns the last level (`level` when the range is empty).
template <typename Level>
float levelsOf(Stereo* out, int from, int to, float level, Level f) {
    for (int i = from; i < to; ++i) out[i] = both(f(out[i].l));
    return to > from ? out[to - 1].l : level;
}

float fill(Stereo* out, int from, int to, float level, float value) {
    for (int i = from; i < to; ++i) out[i] = both(value);
    return to > from ? value : level;
}

// A rising segment (attack, fade-in) from sample i while it stays inside [base, base + 1).
template <typename Record>
int riseInside(EnvelopeState& state, const Segment& segment, double base, int i, int limit, Stereo* out,
               Record record) {
    const int to = stepInside(state.stage, segment.step, base, i, limit, out, record);
    const bool exponential = segment.exponential;
    state.level = levelsOf(out, i, to, state.level, [exponential](float x) { return rising(x, exponential); });
    return to;
}

// A release or fade-out from the saved level to 0, from sample i while it stays inside
// [base, base + 1).
template <typename Record>
int releaseInside(EnvelopeState& state, const Segment& segment, double base, int i, int limit, Stereo* out,
                  Record record) {
    const int to = stepInside(state.stage, segment.step, base, i, limit, out, record);
    const float saved = state.saved;
    const bool exponential = segment.exponential;
    state.level = levelsOf(out, i, to, state.level,
                           [saved, exponential](float x) { return falling(saved, 0.0f, x, exponential); });
    return to;
}

// The tail after the release, which never ends by itself, from sample i to n.
template <typename Record>
int tail(EnvelopeState& state, int i, int n, Stereo* out, Record record) {
    float level = state.level;
    double s = state.stage;
    for (; i < n; ++i) {
        level *= 0.999f;
        s += 1e-5f;
        out[i] = both(level);
        record(i, s);
    }
    state.level = level;
    state.stage = s;
    return i;
}

// The samples from i on that the segment the stage is in renders without a crossing, a start or
// a note-off: the held segments while the note is held (up to `heldEnd`), the release and the
// tail whether it is or not. Returns the index after them (i when the sample at i needs the
// single-sample form).
int runSegment(EnvelopeState& state, const DelayedEnvelope& envelope, const Segment& release, int i, int heldEnd,
               int releaseEnd, int n, Stereo* out, float* lowestStage) {
    double& stage = state.stage;
    const LowerStage lower{lowestStage};
    if (!(stage >= 0.0)) return i;
    if (stage < 5.0) {
        if (i >= heldEnd) return i;
        if (stage < 1.0) {
            const int to = stepInside(stage, envelope.delayStep, 0.0, i, heldEnd, out, lower);
            state.level = fill(out, i, to, state.level, 0.0f);
            return to;
        }
        if (stage < 2.0) return riseInside(state, envelope.attack, 1.0, i, heldEnd, out, lower);
        if (stage < 3.0) {
            const int to = stepInside(stage, envelope.holdStep, 2.0, i, heldEnd, out, lower);
            state.level = fill(out, i, to, state.level, 1.0f);
            return to;
        }
        if (stage < 4.0) {
            const int to = stepInside(stage, envelope.decay.step, 3.0, i, heldEnd, out, lower);
            const float sustain = envelope.sustain;
            const bool exponential = envelope.decay.exponential;
            state.level = levelsOf(out, i, to, state.level,
                                   [sustain, exponential](float x) { return falling(1.0f, sustain, x, exponential); });
            return to;
        }
        // The sustain while the note is held: the stage stays where it is and the level settles
        // towards the sustain level. A settle step that leaves the level as it is, bit for bit,
        // leaves it so until the note-off.
        const float stageNow = static_cast<float>(stage);
        float level = state.level;
        bool settled = false;
        for (; i < heldEnd && !settled; ++i) {
            const float next = settle(level, envelope.sustain);
            settled = std::bit_cast<std::uint32_t>(next) == std::bit_cast<std::uint32_t>(level);
            level = next;
            out[i] = both(level);
            lowestStage[i] = std::min(lowestStage[i], stageNow);
        }
        for (; i < heldEnd; ++i) {
            out[i] = both(level);
            lowestStage[i] = std::min(lowestStage[i], stageNow);
        }
        state.level = level;
        return i;
    }
    if (stage < 6.0) return releaseInside(state, release, 5.0, i, releaseEnd, out, lower);
    return tail(state, i, n, out, lower);
}

// Whether the sample of `timing` reads the release segment: mayReadRelease, less the tail, which
// never reads it.
bool readsRelease(const EnvelopeState& state, const EnvelopeTiming& timing) {
    const bool tail = timing.t > timing.startTime && !(state.stage < 6.0);
    return mayReadRelease(state, timing) && !tail;
}

}  // namespace

int runDelayedEnvelopeRun(EnvelopeState& state, const DelayedEnvelope& envelope, const Segment& release,
                          EnvelopeTiming timing, Stereo* out, float* lowestStage, int n, int releaseHolds) {
    const std::int64_t t0 = timing.t;
    // Samples before the note-off are held.
    const int heldEnd = static_cast<int>(std::clamp<std::int64_t>(timing.releaseTime - t0, 0, n));
    const int releaseEnd = std::min(n, releaseHolds);
    int i = 0;
    while (i < n) {
        const std::int64_t t = t0 + i;
        timing.t = t;
        if (i >= releaseHolds && readsRelease(state, timing)) return i;
        if (t > timing.startTime) {
            const int to = runSegment(state, envelope, release, i, heldEnd, releaseEnd, n, out, lowestStage);
            if (to > i) {
                i = to;
                continue;
            }
        }
        // The start, the note-off and the sample that crosses into the next segment.
        out[i] = both(delayedEnvelopeAt(state, envelope, release, timing));
        lowestStage[i] = std::min(lowestStage[i], static_cast<float>(state.stage));
        ++i;
    }
    return n;
}

namespace {

// The stage after a sample, as it stands.
struct RecordStage {
    float* stages;
    void operator()(int i, double stage) const { stages[i] = static_cast<float>(stage); }
};

// The samples from i on that the fade's segment renders without a crossing, a start, a note-off
// or the end of the delay (see runSegment).
int runFadeSegment(EnvelopeState& fade, const FadeSegments& segments, int i, int heldEnd, int n, Stereo* out,
                   float* stages) {
    double& stage = fade.stage;
    if (!(stage >= 0.0)) return i;
    const RecordStage record{stages};
    if (stage < 3.0) {
        if (i >= heldEnd) return i;
        if (stage < 1.0) {
            // The delay, up to the sample on which it ends.
            double s = stage;
            const float step = segments.delayStep;
            int k = i;
            for (; k < heldEnd && s + step < 1.0; ++k) {
                s += step;
                out[k].l = 0.0f;
                stages[k] = static_cast<float>(s);
            }
            stage = s;
            if (k > i) fade.level = 0.0f;
            return k;
        }
        if (stage < 2.0) return riseInside(fade, segments.fadeIn, 1.0, i, heldEnd, out, record);
        // Held at 1: the level settles, the stage stays.
        const float stageNow = static_cast<float>(stage);
        float level = fade.level;
        for (; i < heldEnd; ++i) {
            level = settle(level, 1.0f);
            out[i].l = level;
            stages[i] = stageNow;
        }
        fade.level = level;
        return i;
    }
    if (stage < 4.0) return releaseInside(fade, segments.fadeOut, 3.0, i, n, out, record);
    return tail(fade, i, n, out, record);
}

}  // namespace

void runVoiceFadeRun(EnvelopeState& fade, const FadeSegments& segments, EnvelopeTiming timing, Stereo* out,
                     float* stages, bool* delayEnded, int n) {
    const std::int64_t t0 = timing.t;
    const int heldEnd = static_cast<int>(std::clamp<std::int64_t>(timing.releaseTime - t0, 0, n));
    int i = 0;
    while (i < n) {
        const std::int64_t t = t0 + i;
        if (t > timing.startTime) {
            const int to = runFadeSegment(fade, segments, i, heldEnd, n, out, stages);
            if (to > i) {
                std::fill(delayEnded + i, delayEnded + to, false);
                i = to;
                continue;
            }
        }
        timing.t = t;
        delayEnded[i] = false;
        if (t < timing.startTime) {
            out[i].l = earlyLevel(fade, timing);
        } else {
            if (t == timing.startTime) fade.stage = skipDelayStage(fade.level, segments.fadeIn.exponential);
            delayEnded[i] = runFade(fade, segments, !timing.held());
            out[i].l = fade.level;
        }
        stages[i] = static_cast<float>(fade.stage);
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
