#include "engine/BlockPlan.h"

#include <algorithm>

#include "compiler/FunctionTable.h"
#include "controllers/ControllerSpace.h"
#include "engine/FunctionIndex.h"
#include "engine/OperandResolution.h"
#include "engine/OperationState.h"
#include "engine/Waveforms.h"

namespace tess {

namespace {

// The oscillators that play whatever slot their argument names, additive recipes included.
// The others (WAVETABLE, GRAINSYNTH, WAVESCAN, OSCSAM) play only sampled slots and never draw
// noise; OSCSYN draws it by its own wave argument.
bool playsAnySlot(int function) {
    switch (function) {
        case fn::Osc: case fn::OscEnvFm: case fn::OscEnv: case fn::OscEnvMod:
        case fn::Osc0: case fn::Osc0Fm: case fn::Osc0Mod:
        case fn::Osc1: case fn::Osc1Fm: case fn::Osc1Mod: case fn::Osc0Auto:
            return true;
        default:
            return false;
    }
}

// A wave number that is never noise: 0 .. 3 draw nothing in either wave table (4 is noise in
// one, 5 in the other).
bool quietWave(float value) { return value >= 0.0f && value < 4.0f; }

class Planner {
public:
    Planner(const compiler::LayerProgram& program, bool slotsDrawNoise)
        : program_(program), slots_(static_cast<int>(program.left.size())), slotsDrawNoise_(slotsDrawNoise) {}

    BlockPlan plan() {
        BlockPlan p;
        const int count = program_.operationCount();
        p.operationCount = count;
        p.slotCount = slots_;
        findWriters();
        if (!readsInOrder(p)) return p;
        if (!drawsNoiseOnce(p)) return p;
        if (!smoothedReadsApart(p)) return p;
        p.laneOperands.assign(static_cast<std::size_t>(count), 0);
        p.controllerLane.assign(static_cast<std::size_t>(count) * compiler::Operation::kMaxOperands, -1);
        for (int j = 0; j < count; ++j) {
            const compiler::Operation& op = program_.operations[static_cast<std::size_t>(j)];
            for (int a = 0; a < op.operandCount && a < compiler::Operation::kMaxOperands; ++a) {
                const std::int32_t source = resolveOperand(op.operands[static_cast<std::size_t>(a)], slots_, 0);
                if (source < 0) {
                    p.controllerLane[static_cast<std::size_t>(j) * compiler::Operation::kMaxOperands +
                                     static_cast<std::size_t>(a)] =
                        static_cast<std::int16_t>(p.controllerReads.size());
                    p.controllerReads.push_back({j, a});
                } else if (source < slots_) {
                    if (written(source)) p.laneOperands[static_cast<std::size_t>(j)] |= std::uint16_t(1u << a);
                } else {
                    const int keyword = source - slots_;
                    if (keyword != reg::Key && keyword != reg::KeyF && keyword != reg::OnVelocity &&
                        keyword != reg::OffVelocity && keyword != reg::Temperament) {
                        p.laneOperands[static_cast<std::size_t>(j)] |= std::uint16_t(1u << a);
                        p.keywordReads |= 1u << keyword;
                    }
                }
            }
        }
        p.holdOnly.assign(static_cast<std::size_t>(slots_), 0);
        for (int s = 0; s < slots_; ++s) {
            if (!written(s)) continue;
            p.writtenSlots.push_back(s);
            p.holdOnly[static_cast<std::size_t>(s)] = firstPlainWriter_[static_cast<std::size_t>(s)] == kNone ? 1 : 0;
        }
        for (const compiler::Operation& op : program_.operations) {
            p.anyHold = p.anyHold || op.hold != 0;
            p.readsSampleFrames = p.readsSampleFrames || op.hold != 0 || !hasRunLoop(op.code);
        }
        p.runsInBlocks = true;
        p.independent = independent(p);
        return p;
    }

private:
    static constexpr int kNone = 1 << 30;

    bool written(int slot) const { return lastWriter_[static_cast<std::size_t>(slot)] >= 0; }

    void findWriters() {
        firstPlainWriter_.assign(static_cast<std::size_t>(slots_), kNone);
        lastWriter_.assign(static_cast<std::size_t>(slots_), -1);
        for (int j = 0; j < program_.operationCount(); ++j) {
            const compiler::Operation& op = program_.operations[static_cast<std::size_t>(j)];
            if (op.isJump()) continue;
            const std::int32_t d = resolveDestination(op.output, slots_);
            if (d < 0 || d >= slots_) continue;
            lastWriter_[static_cast<std::size_t>(d)] = j;
            if (op.hold == 0)
                firstPlainWriter_[static_cast<std::size_t>(d)] =
                    std::min(firstPlainWriter_[static_cast<std::size_t>(d)], j);
        }
    }

    // Every slot an operation reads holds this sample's value by then, or one that does not
    // change: written earlier in the same sample by an operation that runs every sample, only
    // by HOLD operations that all come earlier, or by nothing.
    bool readsInOrder(BlockPlan& p) const {
        for (int j = 0; j < program_.operationCount(); ++j) {
            const compiler::Operation& op = program_.operations[static_cast<std::size_t>(j)];
            if (op.isJump()) {
                p.reason = "IF";
                return false;
            }
            for (int a = 0; a < op.operandCount && a < compiler::Operation::kMaxOperands; ++a) {
                const std::int32_t s = resolveOperand(op.operands[static_cast<std::size_t>(a)], slots_, 0);
                if (s < 0 || s >= slots_ || !written(s)) continue;
                const bool plainBefore = firstPlainWriter_[static_cast<std::size_t>(s)] < j;
                const bool holdOnlyBefore = firstPlainWriter_[static_cast<std::size_t>(s)] == kNone &&
                                            lastWriter_[static_cast<std::size_t>(s)] < j;
                if (!plainBefore && !holdOnlyBefore) {
                    p.reason = "a slot read before it is written (feedback)";
                    return false;
                }
            }
        }
        return true;
    }

    // The wave argument of an LFO or OSCSYN, when it is a constant slot.
    bool constantQuietWave(const compiler::Operation& op) const {
        if (op.operandCount < 1) return false;
        const std::int32_t s = op.operands[0];
        if (s < 0 || s >= slots_ || written(s)) return false;
        return quietWave(program_.left[static_cast<std::size_t>(s)]) &&
               quietWave(program_.right[static_cast<std::size_t>(s)]);
    }

    bool drawsNoiseOnce(BlockPlan& p) const {
        int draws = 0;
        for (const compiler::LfoPart& lfo : program_.modulation.lfo)
            if (lfo.depth != compiler::LayerModulation::kUnsetDepth && !quietWave(static_cast<float>(lfo.wave))) {
                ++draws;
                break;
            }
        for (const compiler::Operation& op : program_.operations) {
            const int function = op.code - 3;
            if (function == fn::Rnd) ++draws;
            else if (function == fn::OscSyn || function == fn::Lfo0 || function == fn::Lfo ||
                     function == fn::Lfo1 || function == fn::LfoSyn)
                draws += constantQuietWave(op) ? 0 : 1;
            else if (playsAnySlot(function) && slotsDrawNoise_) ++draws;
        }
        if (draws > 1) {
            p.reason = "more than one noise source";
            return false;
        }
        return true;
    }

    // MCC2 and the layer modulation's controller lists advance a smoothing memory per controller,
    // shared by all voices, with every read. Run by run, each MCC2 operation reads its controller
    // for the whole run before the next operation reads; the memories end up where sample-by-sample
    // reading leaves them when no two readers of the voice share one: every MCC2 names a
    // constant controller of its own, which the modulation lists do not read.
    bool smoothedReadsApart(BlockPlan& p) const {
        std::vector<int> read;
        for (const compiler::Operation& op : program_.operations) {
            if (op.code - 3 != fn::Mcc2) continue;
            const int number = constantController(op);
            if (number == kVaries || std::find(read.begin(), read.end(), number) != read.end()) {
                p.reason = "MCC2 reading a controller that another reader shares or that varies";
                return false;
            }
            if (number >= 0) read.push_back(number);
        }
        if (read.empty()) return true;
        for (const int number : modulationControllers())
            if (std::find(read.begin(), read.end(), number) != read.end()) {
                p.reason = "MCC2 reading a controller the layer modulation reads";
                return false;
            }
        return true;
    }

    static constexpr int kVaries = -2;

    // See BlockPlan::independent.
    bool independent(const BlockPlan& p) const {
        if (!p.controllerReads.empty() || p.anyHold) return false;
        for (int keyword = reg::Sends1; keyword <= reg::Sends4; ++keyword)
            if ((p.keywordReads & (1u << keyword)) != 0) return false;
        for (const compiler::LfoPart& lfo : program_.modulation.lfo)
            if (lfo.depth != compiler::LayerModulation::kUnsetDepth && !quietWave(static_cast<float>(lfo.wave)))
                return false;
        for (const compiler::Operation& op : program_.operations) {
            const std::int32_t d = resolveDestination(op.output, slots_);
            if (d < 0 && d > ResolvedOperation::kNoDestination) return false;  // a send bus
            const int function = op.code - 3;
            const bool voiceOwn = dependsOnOperandsOnly(op.code) || function == fn::Filt || function == fn::Env1 ||
                                  (function == fn::OscSyn && constantQuietWave(op));
            if (!voiceOwn) return false;
        }
        return true;
    }

    // The smoothing memory MCC2's operand reads (as the read resolves it), -1 for none, kVaries
    // when the operand is not a constant.
    int constantController(const compiler::Operation& op) const {
        if (op.operandCount < 1) return kVaries;
        const std::int32_t s = op.operands[0];
        if (s < 0 || s >= slots_ || written(s)) return kVaries;
        const float v = program_.left[static_cast<std::size_t>(s)];
        if (!(v > -1.0f)) return -1;
        return v >= 1000.0f ? 1000 : static_cast<int>(v);
    }

    // Every smoothing memory the modulation lists may read; poly aftertouch stands for the
    // whole per-key range it maps to.
    std::vector<int> modulationControllers() const {
        const compiler::LayerModulation& m = program_.modulation;
        std::vector<int> numbers;
        auto add = [&numbers](int n) {
            if (n == mcc::kPolyAftertouch)
                for (int k = 0; k < ControllerSpace::kKeys; ++k) numbers.push_back(mcc::kPolyAftertouchBase + k);
            numbers.push_back(n);
        };
        for (const compiler::ComplexModulation& entry : m.complex) {
            add(entry.mccA);
            add(entry.mccB);
            if (entry.value > 10000.0f) add(static_cast<int>(entry.value - 10000.0f));
        }
        for (const std::vector<compiler::ControllerCouple>& couples : m.couples)
            for (const compiler::ControllerCouple& couple : couples) {
                add(couple.mcc);
                if (couple.value >= 1000.0f) add(static_cast<int>(couple.value - 1000.0f));
            }
        return numbers;
    }

    const compiler::LayerProgram& program_;
    int slots_;
    bool slotsDrawNoise_;
    std::vector<int> firstPlainWriter_;
    std::vector<int> lastWriter_;
};

}  // namespace

bool dependsOnOperandsOnly(int code) {
    if (code == compiler::kCodeAssign || (code >= 0 && code <= 4)) return true;
    switch (code - 3) {
        case fn::Abs: case fn::Sat: case fn::Sigm: case fn::SigmDw: case fn::Log: case fn::Exp:
        case fn::Lin2Db: case fn::Db2Lin: case fn::Semi: case fn::Cents: case fn::Mono: case fn::Left:
        case fn::Right: case fn::Join: case fn::Wide: case fn::Gains: case fn::Sin: case fn::Cos:
        case fn::Sign: case fn::CopySign: case fn::PowAbs: case fn::Round: case fn::Floor: case fn::Ceil:
        case fn::RoundF: case fn::RoundF2: case fn::Frac: case fn::Tan: case fn::Asin: case fn::Acos:
        case fn::Atan: case fn::Curve: case fn::Mod2: case fn::Pan:
            return true;
        default:
            return false;
    }
}

bool hasRunLoop(int code) {
    return code == compiler::kCodeAssign || (code >= 0 && code <= 3) || code == fn::Filt + 3 ||
           code == fn::OscSyn + 3 || code == fn::Env1 + 3;
}

BlockPlan planBlocks(const compiler::LayerProgram& program, bool slotsDrawNoise) {
    return Planner(program, slotsDrawNoise).plan();
}

bool anySlotDrawsNoise(const SampleBank* bank) {
    if (bank == nullptr) return false;
    for (int i = 0; i < SampleBank::kSlots; ++i) {
        const SampleSlot& slot = (*bank)[i];
        if (slot.kind != SampleSlot::kAdditive) continue;
        for (int k = 0; k < slot.harmonicCount && k < SampleSlot::kMaxHarmonics; ++k)
            if (wave::basicIsNoise(slot.codes[static_cast<std::size_t>(k)])) return true;
    }
    return false;
}

}  // namespace tess
