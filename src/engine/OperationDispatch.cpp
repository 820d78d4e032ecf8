// The run-time body of every function: one switch on the function index. Table entries
// without a body (the names that begin with '*', and PREV) produce silence, as does any code
// outside the table.
#include "compiler/FunctionTable.h"
#include "engine/Engine.h"
#include "engine/math/Arithmetic.h"
#include "engine/math/Curve.h"
#include "engine/math/NoteRounding.h"
#include "engine/math/Routing.h"
#include "engine/math/SampleHold.h"
#include "engine/math/Sources.h"
#include "engine/math/TrigRounding.h"

namespace tess {

namespace fn {
// Function indices of the instrument language (the operation code is the index + 3).
enum : int {
    Abs = 2, Sat, Sigm, SigmDw, Log, Exp, Lin2Db, Db2Lin,
    Shold = 11, Semi, Cents,
    Mono = 26, Left, Right, Join, Wide, Gains,
    Sin = 34, Cos, Rnd,
    Sign = 57, CopySign, Sinc,
    PowAbs = 61,
    Round = 66, Floor, Ceil, RoundF, RoundF2, Frac, Tan, Asin, Acos, Atan,
    Curve = 78,
    Mod2 = 81, Mcc2,
    Pan = 103,
};
}  // namespace fn

Stereo Engine::call(int code, const compiler::Operation& op, OperationState& state,
                    const Stereo* a, const Voice& voice, const SampleFrame& frame) {
    (void)op;  // the folded constants, for the functions that have them
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
        case fn::RoundF: return math::opRoundF(tuning, a[0]);
        case fn::RoundF2: return math::opRoundF2(tuning, a[0], a[1]);
        case fn::Frac: return math::opFrac(a[0]);
        case fn::Tan: return math::opTan(a[0]);
        case fn::Asin: return math::opAsin(a[0]);
        case fn::Acos: return math::opAcos(a[0]);
        case fn::Atan: return math::opAtan(a[0]);
        case fn::Curve: return math::opCurve(*curves, a[0], a[1]);
        case fn::Mod2: return math::opMod2(*curves, a[0], a[1], a[2], a[3], a[4], a[5]);
        case fn::Mcc2: return math::opMcc2(controllers, a[0], frame.t);
        case fn::Pan: return math::opPan(a[0], a[1]);
        default: return Stereo{};
    }
}

}  // namespace tess
