// The envelope and LFO functions of a voice's program: ENV0, ENV1, ENV, ENVCURVE, LFO0, LFO,
// LFO1 and LFOSYN. Envelopes report their stage to the render loop's lowest-stage value; in the
// POST step (no note) the envelopes are 1.
#include <algorithm>

#include "engine/Engine.h"
#include "engine/envelopes/Envelopes.h"
#include "engine/envelopes/Lfos.h"

namespace tess {

namespace {

enum : int { Env = 76, EnvCurve = 79, Lfo1 = 85, LfoSyn = 87, Env0 = 88, Lfo = 89, Lfo0 = 90, Env1 = 94 };
static_assert(Env == env::kEnvFunction && EnvCurve == env::kEnvCurveFunction);

}  // namespace

env::EnvelopeTiming Engine::envelopeTiming(const Voice& voice, const SampleFrame& frame) const {
    env::EnvelopeTiming timing;
    timing.t = frame.t;
    timing.startTime = voice.startTime;
    timing.releaseTime = frame.releaseTime;
    timing.blockStart = sampleClock;
    timing.sampleRate = sampleRate;
    timing.pedalHeld = frame.pedalHeld;
    timing.forcedReleaseTime = voice.forcedReleaseTime;
    timing.samplesPerBar = transport.samplesPerBar;
    timing.songAtStart = transport.songClock + (voice.startTime - sampleClock);
    return timing;
}

env::LfoContext Engine::lfoContext(const Voice& voice, SampleFrame& frame) {
    env::LfoContext context;
    context.timing = envelopeTiming(voice, frame);
    context.barsPerSecond = transport.barsPerSecond;
    context.retriggerMode = voice.retriggerMode;
    context.isPost = frame.isPost;
    context.noise = &noise;
    context.lowestStage = &frame.lowestStage;
    return context;
}

bool Engine::isLfo(int function) { return function == Lfo0 || function == Lfo || function == Lfo1 || function == LfoSyn; }

Stereo Engine::runLfoFunction(int function, OperationState& state, const Stereo* a, const env::LfoContext& context) {
    switch (function) {
        case Lfo0: return env::runLfo0(state.lfo, a[0], a[1], context);
        case Lfo: return env::runLfo(state.lfo, state.envelope, a[0], a[1], a[2], a[3], a[4], context);
        case Lfo1: return env::runLfo1(state.lfo, state.envelope, a[0], a[1], a[2], a[3], a[4], a[5], a[6], context);
        default:
            return env::runLfoSyn(state.lfo, state.envelope, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], context);
    }
}

Stereo Engine::envelope(int function, OperationState& state, const Stereo* a, const Voice& voice,
                        SampleFrame& frame) {
    if (isLfo(function)) return runLfoFunction(function, state, a, lfoContext(voice, frame));
    const env::EnvelopeTiming timing = envelopeTiming(voice, frame);
    if (frame.isPost) return both(1.0f);
    float level = 0.0f;
    switch (function) {
        case Env0: level = env::runEnv0(state.envelope, a[0].l, a[1].l, a[2].l, a[3].l, timing); break;
        case Env1: level = env::runEnv1(state.envelope, a[0].l, a[1].l, a[2].l, a[3].l, a[4].l, a[5].l, timing); break;
        case Env: {
            const env::EnvArguments args{a[0].l, a[1].l, a[2].l, a[3].l, a[4].l, a[5].l,
                                         a[6].l, a[7].l, a[8].l, a[9].l, a[10].l};
            level = env::runEnv(state.envelope, args, timing);
            break;
        }
        default: {
            const env::EnvCurveArguments args{a[0].l, a[1].l, a[2].l, a[3].l, a[4].l, a[5].l, a[6].l, a[7].l};
            level = env::runEnvCurve(state.envelope, args, *curves, timing);
            break;
        }
    }
    const bool restarts = (function == Env || function == EnvCurve) &&
                          env::restartsWhileHeld(a[0].l, function == EnvCurve) && timing.held();
    frame.lowestStage = std::min(frame.lowestStage, restarts ? 0.0f : static_cast<float>(state.envelope.stage));
    return both(level);
}

}  // namespace tess
