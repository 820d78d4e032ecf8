// The run-time body of every function: one switch on the function index. Table entries
// without a body (the names that begin with '*', and PREV) produce silence, as does any code
// outside the table.
#include <algorithm>
#include <cmath>

#include "compiler/FunctionTable.h"
#include "engine/Engine.h"
#include "engine/FunctionIndex.h"
#include "engine/envelopes/StageModel.h"
#include "engine/oscillators/SamplePlayer.h"
#include "engine/oscillators/WaveOscillators.h"
#include "engine/math/Arithmetic.h"
#include "engine/math/Curve.h"
#include "engine/math/NoteRounding.h"
#include "engine/math/Routing.h"
#include "engine/math/SampleHold.h"
#include "engine/math/Sources.h"
#include "engine/math/TrigRounding.h"

namespace tess {


Stereo Engine::call(int code, const compiler::Operation& op, OperationState& state,
                    const Stereo* a, const Voice& voice, SampleFrame& frame) {
    switch (code) {
        case compiler::kCodeAssign: return a[0];
        case 0: return math::opAdd(a[0], a[1]);
        case 1: return math::opSub(a[0], a[1]);
        case 2: return math::opMul(a[0], a[1]);
        case 3: return math::opDiv(a[0], a[1]);
        case 4: return math::opPow(a[0], a[1]);
        default: break;
    }
    switch (code - 3) {
        case fn::Abs: return math::opAbs(a[0]);
        case fn::Sat: return math::opSat(a[0]);
        case fn::Sigm: return math::opSigm(a[0], a[1]);
        case fn::SigmDw: return math::opSigmDw(a[0], a[1], a[2]);
        case fn::Log: return math::opLog(a[0]);
        case fn::Exp: return math::opExp(a[0]);
        case fn::Lin2Db: return math::opLin2Db(a[0]);
        case fn::Db2Lin: return math::opDb2Lin(a[0]);
        case fn::Shold:
            return math::opShold(state.sampleHold, a[0], a[1], frame.t, voice.startTime,
                                 transport.samplesPerBar);
        case fn::Semi: return math::opSemi(a[0], a[1]);
        case fn::Cents: return math::opCents(a[0], a[1]);
        case fn::Mono: return math::opMono(a[0]);
        case fn::Left: return math::opLeft(a[0]);
        case fn::Right: return math::opRight(a[0]);
        case fn::Join: return math::opJoin(a[0], a[1]);
        case fn::Wide: return math::opWide(a[0], a[1]);
        case fn::Gains: return math::opGains(a[0], a[1], a[2]);
        case fn::Sin: return math::opSin(a[0]);
        case fn::Cos: return math::opCos(a[0]);
        case fn::Rnd: return math::opRnd(noise, a[0]);
        case fn::Sign: return math::opSign(a[0]);
        case fn::CopySign: return math::opCopySign(a[0], a[1]);
        case fn::Sinc: return math::opSinc(a[0], frame.time);
        case fn::PowAbs: return math::opPowAbs(a[0], a[1]);
        case fn::Round: return math::opRound(a[0]);
        case fn::Floor: return math::opFloor(a[0]);
        case fn::Ceil: return math::opCeil(a[0]);
        case fn::RoundF:
        case fn::RoundF2: {
            const math::TuningContext layerTuning{voice.baseFrequency, voice.keyTracking, voice.keyCenter,
                                                  tuning.cents12};
            return code - 3 == fn::RoundF ? math::opRoundF(layerTuning, a[0])
                                          : math::opRoundF2(layerTuning, a[0], a[1]);
        }
        case fn::Frac: return math::opFrac(a[0]);
        case fn::Tan: return math::opTan(a[0]);
        case fn::Asin: return math::opAsin(a[0]);
        case fn::Acos: return math::opAcos(a[0]);
        case fn::Atan: return math::opAtan(a[0]);
        case fn::Curve: return math::opCurve(*curves, a[0], a[1]);
        case fn::Mod2: return math::opMod2(*curves, a[0], a[1], a[2], a[3], a[4], a[5]);
        case fn::Mcc2: return math::opMcc2(controllers, a[0], frame.t);
        case fn::Pan: return math::opPan(a[0], a[1]);
        case fn::Env: case fn::EnvCurve: case fn::Env0: case fn::Env1:
        case fn::Lfo0: case fn::Lfo: case fn::Lfo1: case fn::LfoSyn:
            return envelope(code - 3, state, a, voice, frame);
        case fn::Wavetable: case fn::GrainSynth: case fn::WaveScan:
        case fn::Osc: case fn::OscSam: case fn::OscSyn:
        case fn::OscEnvFm: case fn::OscEnv: case fn::OscEnvMod:
        case fn::Osc0: case fn::Osc0Fm: case fn::Osc0Mod:
        case fn::Osc1: case fn::Osc1Fm: case fn::Osc1Mod: case fn::Osc0Auto:
            return oscillator(code - 3, op, state, a, voice, frame);
        case fn::Filt: case fn::Filt0:
        case fn::Delay: case fn::DelayF: case fn::DelayFf: case fn::Delay2C:
        case fn::DelayFf2: case fn::DelayFf3: case fn::DelayFf4: case fn::PpDelay:
        case fn::NiDelay: case fn::NiDelayF: case fn::NiDelayFf: case fn::NiDelay2C:
        case fn::NiDelayFf2: case fn::NiDelayFf3: case fn::NiDelayFf4: case fn::NiPpDelay:
        case fn::Reverb: case fn::Reverb1: case fn::Reverb2:
            return effect(code - 3, state, a, frame);
        default: return Stereo{};
    }
}

namespace {

Stereo scaled(Stereo v, Stereo by) { return {v.l * by.l, v.r * by.r}; }

// The MOD forms: a gain in dB and a pitch offset in cents, per channel.
Stereo decibels(Stereo db) {
    return {std::pow(10.0f, db.l * 0.05f), std::pow(10.0f, db.r * 0.05f)};
}
Stereo cents(Stereo c) {
    return {std::pow(2.0f, c.l * 0.00083333335f), std::pow(2.0f, c.r * 0.00083333335f)};
}

}  // namespace

osc::OscillatorContext Engine::oscillatorContext(const Voice& voice, SampleFrame& frame) {
    osc::OscillatorContext context;
    context.bank = samples;
    context.kernel = &kernel;
    context.noise = &noise;
    context.controllers = &controllers;
    context.sampleRate = sampleRate;
    context.silenceThreshold = silenceThreshold;
    context.barsPerSecond = transport.barsPerSecond;
    context.t = frame.t;
    context.startTime = voice.startTime;
    context.releaseTime = frame.releaseTime;
    context.songAtStart = transport.songClock + (voice.startTime - sampleClock);
    context.retriggerMode = voice.retriggerMode;
    context.sampleOffset = voice.sampleOffset;
    context.lowestStage = &frame.lowestStage;
    return context;
}

Stereo Engine::oscillator(int function, const compiler::Operation& op, OperationState& state,
                          const Stereo* a, const Voice& voice, SampleFrame& frame) {
    const osc::OscillatorContext context = oscillatorContext(voice, frame);
    osc::OscillatorState& s = state.osc;

    switch (function) {
        case fn::Wavetable: return osc::wavetable(s, context, op.num, a[0]);
        case fn::GrainSynth: return osc::grainSynth(s, context, op.num, a[0], a[1], a[2]);
        case fn::WaveScan: return osc::waveScan(s, context, op.num, a[0], a[1], a[2], a[3]);
        case fn::OscSyn: return osc::oscSyn(s, context, a[0], a[1], a[2], a[3], a[4], a[5]);
        case fn::OscSam: {
            const osc::FrameRange range{a[1].l, a[2].l, a[3].l, a[4].l, a[5].l};
            return osc::playFrames(s, context, a[0].l, range, a[6], a[7], a[8]);
        }
        case fn::Osc: {
            osc::PlayInput in;
            in.frequency = a[3];
            in.gain = a[2];
            in.readOffset = {a[4].l * sampleRate, a[4].r * sampleRate};
            in.phaseOffset = a[4];
            in.lockPhases[0] = a[1].l > 0.0f && voice.retriggerMode == 0;
            in.lockPhases[1] = a[1].r > 0.0f && voice.retriggerMode == 0;
            return osc::playSlot(s, context, a[0].l, in);
        }
        default: break;
    }

    // The OSC family plays at FREQ with GAIN; the FM forms take their own phase modulation.
    osc::PlayInput in;
    in.frequency = both(frame.frequency);
    in.gain = both(frame.gain);
    Stereo modulation = both(frame.phaseModulation);
    int envelope = -1;  // first envelope argument
    switch (function) {
        case fn::Osc0: break;
        case fn::Osc0Auto: in.lockPhases[0] = in.lockPhases[1] = voice.retriggerMode == 0; break;
        case fn::Osc1: in.gain = scaled(in.gain, a[1]); break;
        case fn::Osc0Fm: modulation = a[1]; break;
        case fn::Osc1Fm: modulation = a[1]; in.gain = scaled(in.gain, a[2]); break;
        case fn::Osc0Mod:
        case fn::Osc1Mod:
        case fn::OscEnvMod:
            in.gain = scaled(in.gain, decibels(a[1]));
            in.frequency = scaled(in.frequency, cents(a[2]));
            if (function == fn::Osc1Mod) in.gain = scaled(in.gain, a[3]);
            if (function == fn::OscEnvMod) envelope = 3;
            break;
        case fn::OscEnv: envelope = 1; break;
        case fn::OscEnvFm: modulation = a[1]; envelope = 2; break;
        default: return Stereo{};
    }
    in.readOffset = {modulation.l * sampleRate, modulation.r * sampleRate};
    in.phaseOffset = modulation;
    Stereo out = osc::playSlot(s, context, a[0].l, in);
    if (envelope >= 0 && !frame.isPost) {
        const env::EnvelopeTiming timing = envelopeTiming(voice, frame);
        const float level = env::runEnv0(state.envelope, a[envelope].l, a[envelope + 1].l, a[envelope + 2].l,
                                         a[envelope + 3].l, timing);
        frame.lowestStage = std::min(frame.lowestStage, static_cast<float>(state.envelope.stage));
        out = {out.l * level, out.r * level};
    }
    return out;
}

}  // namespace tess
