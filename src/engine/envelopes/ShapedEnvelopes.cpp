// ENV and ENVCURVE: one stage timing (delay, attack, hold, decay, sustain; after the note-off a
// release hold and the release), the type rules, and two ways of turning a stage into a level.
#include <algorithm>
#include <cmath>

#include "engine/envelopes/Envelopes.h"
#include "engine/math/Curve.h"

namespace tess::env {

namespace {

struct TypeRules {
    bool looping = false;     // type 1: restart when the decay ends
    bool percussive = false;  // type 2: runs through the note-off
    double interval = 0.0;    // samples between re-triggers while held (0: none)
    bool songGrid = false;    // re-triggers on multiples of the interval on the song clock
};

TypeRules typeRules(float type, double samplesPerBar) {
    TypeRules rules;
    if (!(std::fabs(type) < 1e9f)) return rules;
    const int k = static_cast<int>(type);
    rules.looping = k == 1;
    rules.percussive = k == 2;
    if (k > 1000) {
        rules.songGrid = k > 2000;
        rules.interval = (k - (rules.songGrid ? 2000 : 1000)) * samplesPerBar * 0.03125;
        if (!(rules.interval >= 1.0)) rules.interval = 0.0;
    }
    return rules;
}

// The first re-trigger after the start: one interval later, or the next grid line of the song
// clock (a start on the grid itself waits a whole interval).
double firstTrigger(const TypeRules& rules, const EnvelopeTiming& timing) {
    const double start = static_cast<double>(timing.startTime);
    if (!rules.songGrid) return start + rules.interval;
    double phase = std::fmod(static_cast<double>(timing.songAtStart), rules.interval);
    if (phase < 0.0) phase += rules.interval;
    double wait = rules.interval - phase;
    if (wait < 0.5) wait += rules.interval;
    return start + wait;
}

// The stage walk both functions share. `restart` sets the stage from the current level, as at
// the voice's start; `level(stage, state)` gives the level of the held stages 0..4 and of the
// release 6..7; the sustain, the release hold and the tail are handled here.
template <typename Restart, typename HeldLevel, typename ReleaseLevel>
float walk(EnvelopeState& s, const TypeRules& rules, const EnvelopeTiming& timing, float decayTime,
           float releaseTime, float releaseHold, float sustainLevel, float endLevel, Restart restart,
           HeldLevel heldLevel, ReleaseLevel releaseLevel) {
    const float rate = timing.sampleRate;
    if (timing.t < timing.startTime) return earlyLevel(s, timing);
    const bool held = rules.percussive || timing.held();
    if (timing.t == timing.startTime) {
        restart();
        s.released = false;
        s.nextTrigger = rules.interval > 0.0 ? firstTrigger(rules, timing) : 0.0;
    } else if (held && rules.interval > 0.0 && static_cast<double>(timing.t) >= s.nextTrigger) {
        restart();
        s.nextTrigger += rules.interval;
    }
    if (!held && !s.released) {
        s.released = true;
        s.saved = s.level;
        s.stage = 5.0f;
    }
    double& stage = s.stage;
    if (!s.released) {
        if (rules.looping && stage >= 3.99999f) restart();
        if (stage < 4.0f) {
            s.level = heldLevel(stage);
        } else {
            stage = 5.0f;
            s.level = settle(s.level, sustainLevel);
        }
        return s.level;
    }
    const Segment r = curvedSegment(releaseSeconds(releaseTime, decayTime, timing), rate);
    if (stage < 6.0f) {
        s.level = s.saved;
        advance(stage, plainStep(releaseHold, rate), r.step);
    } else if (stage < 7.0f) {
        s.level = releaseLevel(static_cast<float>(stage), r.exponential);
        advance(stage, r.step, 0.0f);
    } else {
        s.level = settle(s.level, endLevel);
    }
    return s.level;
}

}  // namespace

float runEnv(EnvelopeState& s, const EnvArguments& a, const EnvelopeTiming& timing) {
    const TypeRules rules = typeRules(a.type, timing.samplesPerBar);
    const float sustain = rules.percussive ? 0.0f : a.sustain;
    const float end = rules.percussive ? 0.0f : a.end;
    const float release = rules.percussive ? 0.1f : a.release;
    const float releaseHold = rules.percussive ? 0.001f : a.releaseHold;
    const float rate = timing.sampleRate;
    const Segment attack = curvedSegment(a.attack, rate);
    const Segment decay = curvedSegment(a.decay, rate);
    const float span = a.peak - a.start;
    const auto restart = [&] {
        // The level is taken between start and peak; the attack then starts from its beginning.
        const float normal = span != 0.0f ? (s.level - a.start) / span : 0.0f;
        s.stage = skipDelayStage(normal == normal ? normal : 0.0f, attack.exponential);
    };
    const float holdStep = plainStep(a.hold, rate);
    const auto held = [&](double& stage) {
        if (stage < 1.0f) {
            advance(stage, plainStep(a.delay, rate), attack.step);
            return a.start;
        }
        if (stage < 2.0f) {
            const float level = a.start + span * rising(static_cast<float>(stage - 1.0), attack.exponential);
            advance(stage, attack.step, holdStep);
            return level;
        }
        if (stage < 3.0f) {
            advance(stage, holdStep, decay.step);
            return a.peak;
        }
        const float level = falling(a.peak, sustain, static_cast<float>(stage - 3.0), decay.exponential);
        advance(stage, decay.step, 0.0f);
        return level;
    };
    const auto released = [&](float stage, bool exponential) {
        return falling(s.saved, end, stage - 6.0f, exponential);
    };
    return walk(s, rules, timing, a.decay, release, releaseHold, sustain, end, restart, held, released);
}

float runEnvCurve(EnvelopeState& s, const EnvCurveArguments& a, const CurveTable& curves,
                  const EnvelopeTiming& timing) {
    TypeRules rules = typeRules(a.type, timing.samplesPerBar);
    rules.looping = false;
    const float release = rules.percussive ? 0.1f : a.release;
    const float releaseHold = rules.percussive ? 0.001f : a.releaseHold;
    const float rate = timing.sampleRate;
    const auto curve = [&](float x) { return math::curveValue(curves, a.curve, x); };
    const auto restart = [&] { s.stage = curveRestartStage(curves, a.curve, s.level); };
    const float attackStep = curvedSegment(a.attack, rate).step;
    const float holdStep = plainStep(a.hold, rate);
    const float decayStep = curvedSegment(a.decay, rate).step;
    const auto held = [&](double& stage) {
        if (stage < 1.0f) {
            advance(stage, plainStep(a.delay, rate), attackStep);
            return curve(0.0f);
        }
        if (stage < 2.0f) {
            const float level = curve(static_cast<float>(stage - 1.0));
            advance(stage, attackStep, holdStep);
            return level;
        }
        if (stage < 3.0f) {
            advance(stage, holdStep, decayStep);
            return curve(1.0f);
        }
        const float level = curve(static_cast<float>(stage - 2.0));
        advance(stage, decayStep, 0.0f);
        return level;
    };
    const auto released = [&](float stage, bool) { return curve(stage - 4.0f); };
    return walk(s, rules, timing, a.decay, release, releaseHold, curve(2.0f), curve(3.0f), restart, held, released);
}

bool restartsWhileHeld(float type, bool isEnvCurve) {
    const TypeRules rules = typeRules(type, 1.0);
    return (rules.looping && !isEnvCurve) || (std::fabs(type) < 1e9f && static_cast<int>(type) > 1000);
}

float curveRestartStage(const CurveTable& curves, float curveNumber, float level) {
    if (!(std::fabs(curveNumber) < 1e9f)) return 0.0f;
    const int n = static_cast<int>(curveNumber);
    if (!CurveTable::valid(n)) return 0.0f;
    const Curve& c = curves[n];
    const int count = std::min(c.count, Curve::kMaxPoints);
    if (count < 2) return 0.0f;
    level = std::fmin(std::fmax(level, 0.0f), 1.0f);
    int nearest = -1;
    for (int i = 0; i < count && c.x[i] <= 1.0f; ++i) {
        if (c.x[i] < 0.0f) continue;
        if (nearest < 0 || std::fabs(c.y[i] - level) < std::fabs(c.y[nearest] - level)) nearest = i;
    }
    if (nearest < 0) return 0.0f;
    if (nearest == count - 1) return 2.0f;
    // The neighbour nearer by y among the attack's points (x in 0 .. 1), so that the restart
    // stays inside the attack.
    const auto inAttack = [&c](int i) { return c.x[i] >= 0.0f && c.x[i] <= 1.0f; };
    int other = -1;
    for (const int i : {nearest - 1, nearest + 1})
        if (i >= 0 && i < count && inAttack(i) &&
            (other < 0 || std::fabs(c.y[i] - level) < std::fabs(c.y[other] - level)))
            other = i;
    float x = c.x[nearest];
    const float dy = other >= 0 ? c.y[other] - c.y[nearest] : 0.0f;
    if (dy != 0.0f) {
        const float f = std::fmin(std::fmax((level - c.y[nearest]) / dy, 0.0f), 1.0f);
        x += f * (c.x[other] - c.x[nearest]);
    }
    const float stage = x + 1.0f;
    return stage < 1.001f ? 0.0f : stage;
}

}  // namespace tess::env
