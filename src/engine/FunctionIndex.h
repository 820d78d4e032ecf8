// Function indices of the instrument language, as the engine's dispatch names them (the
// operation code is the index + 3).
#pragma once

namespace tess {

namespace fn {
enum : int {
    Abs = 2, Sat, Sigm, SigmDw, Log, Exp, Lin2Db, Db2Lin,
    Shold = 11, Semi, Cents,
    Mono = 26, Left, Right, Join, Wide, Gains,
    Filt = 33, Sin, Cos, Rnd,
    Delay = 39, DelayF, DelayFf, Delay2C, DelayFf2, DelayFf3, DelayFf4,
    PpDelay = 48, NiDelay, NiDelayF, NiDelayFf, NiDelay2C, NiDelayFf2, NiDelayFf3, NiDelayFf4, NiPpDelay,
    Sign = 57, CopySign, Sinc,
    PowAbs = 61,
    Wavetable = 63, GrainSynth, WaveScan,
    Round = 66, Floor, Ceil, RoundF, RoundF2, Frac, Tan, Asin, Acos, Atan, Env,
    Curve = 78, EnvCurve,
    Mod2 = 81, Mcc2, Osc, OscSam, Lfo1, OscSyn, LfoSyn, Env0, Lfo, Lfo0,
    OscEnvFm = 91, OscEnv, OscEnvMod, Env1,
    Osc0 = 95, Osc0Fm, Osc0Mod, Osc1, Osc1Fm, Osc1Mod,
    Filt0 = 101, Osc0Auto,
    Pan = 103, Reverb, Reverb1, Reverb2,
};
}  // namespace fn

}  // namespace tess
