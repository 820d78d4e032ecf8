// The block executor: a voice whose program allows it (BlockPlan.h) runs each operation over a
// run of samples instead of the whole program once per sample. First the registers of every
// sample of the run are worked out (glide, layer modulation, TIME, DURATION, IN, the send
// buses, controller operands) into lanes; then each operation runs over the run, reading its
// operands from lanes or from registers that hold for the run, through the same function
// bodies as the per-sample path; last the OUT lane is mixed into the host output.
// Voices of one independent program (BlockPlan.h) take their runs side by side: the registers of
// every voice, then each operation for every voice, then the mixes in voice order, so that
// their filters can run in one vector; nothing they compute depends on the interleaving.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "compiler/FunctionTable.h"
#include "engine/Engine.h"
#include "engine/FunctionIndex.h"
#include "engine/VoiceMix.h"
#include "engine/envelopes/StageModel.h"
#include "engine/filters/Filter.h"
#include "engine/math/Arithmetic.h"
#include "engine/math/Curve.h"
#include "engine/math/Routing.h"
#include "engine/math/Sources.h"
#include "engine/math/TrigRounding.h"
#include "engine/oscillators/OscSynGroup.h"
#include "engine/oscillators/SamplePlayer.h"
#include "engine/oscillators/WaveOscillators.h"

namespace tess {

// An operand over the run: a lane (stride 1) or a value that holds for the run (stride 0).
struct RunSource {
    const Stereo* data;
    int stride;
    Stereo at(int i) const { return data[i * stride]; }
};

namespace {

// The operators over a run, one loop per combination of lane and fixed operands so that the
// loops stay simple enough to vectorise.
template <typename Op>
void binary(const RunSource& a, const RunSource& b, Stereo* out, int begin, int end, Op op) {
    if (a.stride == 1 && b.stride == 1) {
        for (int i = begin; i < end; ++i) out[i] = op(a.data[i], b.data[i]);
    } else if (a.stride == 1) {
        const Stereo y = b.data[0];
        for (int i = begin; i < end; ++i) out[i] = op(a.data[i], y);
    } else if (b.stride == 1) {
        const Stereo x = a.data[0];
        for (int i = begin; i < end; ++i) out[i] = op(x, b.data[i]);
    } else {
        const Stereo v = op(a.data[0], b.data[0]);
        for (int i = begin; i < end; ++i) out[i] = v;
    }
}

// Whether the operand keeps its value at `begin` bit for bit through the rest of the run.
bool holdsFrom(const RunSource& source, int begin, int end) {
    if (source.stride == 0) return true;
    const Stereo first = source.data[begin];
    for (int i = begin + 1; i < end; ++i)
        if (std::memcmp(&source.data[i], &first, sizeof first) != 0) return false;
    return true;
}

// The operators as lambdas, not function pointers, so that each is inlined into its loop.
constexpr auto kAdd = [](Stereo a, Stereo b) { return math::opAdd(a, b); };
constexpr auto kSub = [](Stereo a, Stereo b) { return math::opSub(a, b); };
constexpr auto kMul = [](Stereo a, Stereo b) { return math::opMul(a, b); };
constexpr auto kDiv = [](Stereo a, Stereo b) { return math::opDiv(a, b); };

bool allHeld(const RunSource* sources, int operands) {
    for (int a = 0; a < operands; ++a)
        if (sources[a].stride != 0) return false;
    return true;
}

// Whether v[begin, end) is one value, bit for bit (so that -0 and 0, or two NaNs, are told
// apart as a function of them would tell them apart).
bool sameBits(const Stereo* v, int begin, int end) {
    static_assert(sizeof(Stereo) == sizeof(std::uint64_t));
    std::uint64_t first;
    std::memcpy(&first, &v[begin], sizeof first);
    for (int i = begin + 1; i < end; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, &v[i], sizeof bits);
        if (bits != first) return false;
    }
    return true;
}

// f(args) for each sample of the run, args gathered from the operands: the function body
// inlined into its loop instead of called through the per-sample dispatch.
template <int Operands, typename F>
void eachSample(const RunSource* a, Stereo* out, int begin, int end, F f) {
    Stereo args[Operands];
    for (int i = begin; i < end; ++i) {
        for (int k = 0; k < Operands; ++k) args[k] = a[k].at(i);
        out[i] = f(args);
    }
}

// The functions of their operands alone (see dependsOnOperandsOnly) over a run. False for a
// code it does not cover; those go through the dispatch.
bool runPure(int code, const RunSource* a, Stereo* out, int begin, int end, const CurveTable& curves) {
#define TESS_UNARY(op) eachSample<1>(a, out, begin, end, [](const Stereo* v) { return math::op(v[0]); })
#define TESS_BINARY(op) eachSample<2>(a, out, begin, end, [](const Stereo* v) { return math::op(v[0], v[1]); })
    if (code == 4) {
        TESS_BINARY(opPow);
        return true;
    }
    switch (code - 3) {
        case fn::Abs: TESS_UNARY(opAbs); return true;
        case fn::Sat: TESS_UNARY(opSat); return true;
        case fn::Sigm: TESS_BINARY(opSigm); return true;
        case fn::SigmDw:
            eachSample<3>(a, out, begin, end, [](const Stereo* v) { return math::opSigmDw(v[0], v[1], v[2]); });
            return true;
        case fn::Log: TESS_UNARY(opLog); return true;
        case fn::Exp: TESS_UNARY(opExp); return true;
        case fn::Lin2Db: TESS_UNARY(opLin2Db); return true;
        case fn::Db2Lin: TESS_UNARY(opDb2Lin); return true;
        case fn::Semi: TESS_BINARY(opSemi); return true;
        case fn::Cents: TESS_BINARY(opCents); return true;
        case fn::Mono: TESS_UNARY(opMono); return true;
        case fn::Left: TESS_UNARY(opLeft); return true;
        case fn::Right: TESS_UNARY(opRight); return true;
        case fn::Join: TESS_BINARY(opJoin); return true;
        case fn::Wide: TESS_BINARY(opWide); return true;
        case fn::Gains:
            eachSample<3>(a, out, begin, end, [](const Stereo* v) { return math::opGains(v[0], v[1], v[2]); });
            return true;
        case fn::Sin: TESS_UNARY(opSin); return true;
        case fn::Cos: TESS_UNARY(opCos); return true;
        case fn::Sign: TESS_UNARY(opSign); return true;
        case fn::CopySign: TESS_BINARY(opCopySign); return true;
        case fn::PowAbs: TESS_BINARY(opPowAbs); return true;
        case fn::Round: TESS_UNARY(opRound); return true;
        case fn::Floor: TESS_UNARY(opFloor); return true;
        case fn::Ceil: TESS_UNARY(opCeil); return true;
        case fn::Frac: TESS_UNARY(opFrac); return true;
        case fn::Tan: TESS_UNARY(opTan); return true;
        case fn::Asin: TESS_UNARY(opAsin); return true;
        case fn::Acos: TESS_UNARY(opAcos); return true;
        case fn::Atan: TESS_UNARY(opAtan); return true;
        case fn::Pan: TESS_BINARY(opPan); return true;
        case fn::Curve:
            eachSample<2>(a, out, begin, end, [&curves](const Stereo* v) { return math::opCurve(curves, v[0], v[1]); });
            return true;
        case fn::Mod2:
            eachSample<6>(a, out, begin, end, [&curves](const Stereo* v) {
                return math::opMod2(curves, v[0], v[1], v[2], v[3], v[4], v[5]);
            });
            return true;
        default:
            return false;
    }
#undef TESS_UNARY
#undef TESS_BINARY
}

}  // namespace

void Engine::renderVoiceInBlocks(Voice& voice, bool isPost, float* const* outputs, int frames) {
    Voice* const one[1] = {&voice};
    renderGroupInBlocks(one, 1, isPost, outputs, frames);
}

void Engine::selectSet(int set) {
    laneBase_ = lanes_.get() + static_cast<std::size_t>(set) * laneCapacity_ * kRun;
    steadyLanes_ = steadySets_.get() + static_cast<std::size_t>(set) * laneCapacity_;
    heldControllers_ = heldSets_.get() + static_cast<std::size_t>(set) * laneCapacity_;
    runSet_ = &runSets_[set];
    runContext_ = &runContexts_[set];
}

void Engine::renderGroupInBlocks(Voice* const* group, int count, bool isPost, float* const* outputs, int frames) {
    BlockVoice voices[kGroup];
    for (int g = 0; g < count; ++g) {
        selectSet(g);
        startBlock(voices[g], *group[g], isPost, frames);
    }
    const BlockPlan& plan = *group[0]->plan;
    const int operations = group[0]->operationCount;
    for (int runStart = 0; runStart < frames; runStart += kRun) {
        const int n = std::min(kRun, frames - runStart);
        bool any = false;
        for (int g = 0; g < count; ++g) {
            selectSet(g);
            voices[g].begin = prepareRun(voices[g], isPost, outputs, runStart, n);
            any = any || voices[g].begin < n;
        }
        if (!any) continue;
        for (int j = 0; j < operations; ++j) {
            if (count > 1 && runGroupOperation(j, voices, count, runStart, n)) continue;
            for (int g = 0; g < count; ++g) {
                if (voices[g].begin == n) continue;
                selectSet(g);
                runOperation(j, *group[g], runStart, voices[g].begin, n);
            }
        }
        for (int g = 0; g < count; ++g) {
            if (voices[g].begin == n) continue;
            selectSet(g);
            finishRun(voices[g], plan, isPost, outputs, runStart, n);
        }
    }
    if (!isPost)
        for (int g = 0; g < count; ++g)
            finishVoiceBlock(*group[g], voices[g].blockLevel, voices[g].lowestStage, voices[g].frame.releaseTime, frames);
}

bool Engine::groupable(const Voice& voice) const {
    return !forcePerSample && voice.plan != nullptr && voice.plan->independent &&
           !voice.modulation.anyList && !voice.modulation.anyModulator;
}

bool Engine::runGroupOperation(int j, BlockVoice* group, int count, int runStart, int n) {
    const ResolvedOperation& first = group[0].voice->resolved[static_cast<std::size_t>(j)];
    if (first.hold != 0) return false;
    if (first.code != fn::Filt + 3 && first.code != fn::OscSyn + 3) return false;
    // The voices that play from the run's first sample go side by side; one that starts inside
    // the run takes it alone.
    int members[kGroup];
    int memberCount = 0;
    for (int g = 0; g < count; ++g)
        if (group[g].begin == 0) members[memberCount++] = g;
    if (memberCount < 2) return false;
    RunSource sources[kGroup][compiler::Operation::kMaxOperands];
    Stereo held[kGroup][compiler::Operation::kMaxOperands];
    Stereo* results[kGroup];
    for (int m = 0; m < memberCount; ++m) {
        Voice& voice = *group[members[m]].voice;
        selectSet(members[m]);
        resolveOperands(j, voice, 0, sources[m], held[m]);
        const std::int32_t destination = voice.resolved[static_cast<std::size_t>(j)].destination;
        results[m] = destination >= 0 ? lane(destination) : runSet_->scratch;
    }
    const bool done = first.code == fn::Filt + 3 ? runFilterGroup(j, group, members, memberCount, sources, results, n)
                                                 : runOscSynGroup(j, group, members, memberCount, sources, results, n);
    if (!done) return false;
    for (int m = 0; m < memberCount; ++m) {
        const std::int32_t destination = group[members[m]].voice->resolved[static_cast<std::size_t>(j)].destination;
        if (destination < 0) continue;
        selectSet(members[m]);
        markSteady(destination, 0, n);
    }
    for (int g = 0; g < count; ++g) {
        if (group[g].begin == 0 || group[g].begin == n) continue;
        selectSet(g);
        runOperation(j, *group[g].voice, runStart, group[g].begin, n);
    }
    return true;
}

bool Engine::runFilterGroup(int j, const BlockVoice* group, const int* members, int count,
                            const RunSource (*sources)[kMaxOperands], Stereo* const* results, int n) {
    filt::FilterJob jobs[kGroup];
    for (int m = 0; m < count; ++m) {
        const RunSource* const a = sources[m];
        if (a[0].stride != 0) return false;  // the type holds; the cutoff and resonance may move
        Voice& voice = *group[members[m]].voice;
        jobs[m] = {&voice.states[static_cast<std::size_t>(j)].filter,
                   *a[0].data,
                   a[1].data,
                   a[1].stride,
                   a[2].data,
                   a[2].stride,
                   a[3].data,
                   a[3].stride,
                   results[m]};
    }
    if (!filt::filterRunGroup(jobs, count, sampleRate, n)) return false;
    ++groupedFilterRuns;
    return true;
}

static_assert(Engine::kGroup <= osc::kMaxOscGroup);

bool Engine::runOscSynGroup(int j, const BlockVoice* group, const int* members, int count,
                            const RunSource (*sources)[kMaxOperands], Stereo* const* results, int n) {
    osc::OscSynJob jobs[kGroup];
    for (int m = 0; m < count; ++m) {
        const RunSource* const a = sources[m];
        if (!allHeld(a, 6)) return false;
        Voice& voice = *group[members[m]].voice;
        selectSet(members[m]);
        SampleFrame& frame = *runContext_->frame;
        frame.t = runContext_->runTime;
        jobs[m] = {&voice.states[static_cast<std::size_t>(j)].osc,
                   oscillatorContext(voice, frame),
                   *a[0].data, *a[1].data, *a[2].data, *a[3].data, *a[4].data, *a[5].data,
                   results[m],
                   runSet_->lowestStage};
    }
    if (!osc::oscSynSteadyGroup(jobs, count, n)) return false;
    ++groupedOscillatorRuns;
    return true;
}

void Engine::startBlock(BlockVoice& b, Voice& voice, bool isPost, int frames) {
    b.voice = &voice;
    b.frame = startVoiceBlock(voice, isPost, frames);
    b.modulationTiming = envelopeTiming(voice, b.frame);
    b.modulation = modulationSample(voice, b.modulationTiming, b.frame);
    *runContext_ = {&b.frame, voice.plan, 0, voice.crossfadeGain, isPost};
}

int Engine::prepareRun(BlockVoice& b, bool isPost, float* const* outputs, int runStart, int n) {
    Voice& voice = *b.voice;
    const BlockPlan& plan = *voice.plan;
    const std::int64_t releaseTime = b.frame.releaseTime;
    const int slots = voice.slotCount;
    const float inverseRate = 1.0f / sampleRate;
    const std::uint32_t reads = plan.keywordReads;
    auto readsKeyword = [reads](int keyword) { return (reads & (1u << keyword)) != 0; };
    RunRegisters& run = *runSet_;
    SampleFrame& frame = b.frame;
    env::EnvelopeTiming& modulationTiming = b.modulationTiming;
    const ModulationSample& modulation = b.modulation;

    const std::int64_t runTime = sampleClock + runStart;
    runContext_->runTime = runTime;
    int begin = n;
    bool steadyRegisters = false;  // FREQ, GAIN, DEFAULTFC (and OUT of a note) fill the run with one value
    // 1. The registers of each sample, in the order the per-sample path computes them. A
    // steady run (the voice has started, no glide, no layer modulation) has the same FREQ,
    // GAIN and DEFAULTFC throughout: they are filled in once, and only what the program
    // reads is filled at all.
    const bool glides = voice.glideRatio > 0.0f && voice.glideRatio < 100000.0f;
    const bool plainModulation = isPost || !(voice.modulation.anyList || voice.modulation.anyModulator);
    if (!glides && plainModulation && runTime >= voice.startTime) {
        begin = 0;
        voice.currentFrequency = voice.frequency;
        float frequency = voice.currentFrequency, gain = 1.0f;
        if (!isPost) {
            const ModulatedRegisters m = modulate(voice.modulation, modulation, voice.currentFrequency, voice.gain);
            frequency = m.frequency;
            gain = m.gain;
            defaultFc = m.defaultFc;
        }
        fillSteadyRun(voice, isPost, outputs, runStart, n, releaseTime, frequency, gain);
        readControllers(voice, plan, runTime, 0, n);
        steadyRegisters = true;
    } else {
        // Without a glide, the controller lists give one result for the run when the
        // controllers they read hold: they run once.
        const bool listsOnce = !isPost && !glides && runTime >= voice.startTime &&
                               listsHold(voice.modulation, controllers, voice.midiKey, runTime, runTime + n);
        // The modulators then run one after the other over the whole run, and their outputs
        // are combined sample by sample (unless two of them draw noise).
        const bool modulatorsApart = listsOnce && modulatorsRunApart(voice.modulation);
        // A started voice that does not glide keeps its frequency through the run.
        if (listsOnce) voice.currentFrequency = voice.frequency;
        ListedModulation listed;
        if (modulatorsApart) {
            modulationTiming.t = runTime;
            listed = modulateLists(voice.modulation, modulation, voice.frequency, voice.gain);
            runModulators(voice.modulation, modulation, modulatorRun_, n);
            combineModulators(voice.modulation, listed, modulatorRun_, voice.frequency, n);
            ++modulatorRuns;
            // Every sample plays; the registers lane by lane, left as the last sample leaves them.
            begin = 0;
            fillModulatedRun(voice, runStart, n, releaseTime);
            modulationTiming.t = runTime + n - 1;
            frame.lowestStage = run.lowestStage[n - 1];
            defaultFc = modulatorRun_.defaultFc[n - 1];
        }
        for (int i = 0; i < n && !modulatorsApart; ++i) {
            const std::int64_t t = runTime + i;
            if (!listsOnce && !advanceFrequency(voice, t)) continue;
            if (begin == n) begin = i;  // samples before the start form a prefix
            const float time = static_cast<float>(t - voice.startTime) * inverseRate;
            frame.lowestStage = 5.0f;
            float frequency, gain, phase = 0.0f;
            if (isPost) {
                frequency = voice.currentFrequency;
                gain = 1.0f;
            } else {
                modulationTiming.t = t;
                if (listsOnce && i == 0)
                    listed = modulateLists(voice.modulation, modulation, voice.currentFrequency, voice.gain);
                const ModulatedRegisters m =
                    listsOnce ? modulateWith(voice.modulation, listed, modulation, voice.currentFrequency)
                              : modulate(voice.modulation, modulation, voice.currentFrequency, voice.gain);
                frequency = m.frequency;
                gain = m.gain;
                defaultFc = m.defaultFc;
                phase = m.phase;
            }
            run.time[i] = time;
            run.lowestStage[i] = frame.lowestStage;
            run.phaseModulation[i] = phase;
            run.frequency[i] = frequency;
            run.gain[i] = gain;
            run.defaultFc[i] = defaultFc;
            run.holds[i] = isPost ? voice.startTime >= 0 : t == voice.startTime;
            const int s = runStart + i;
            lane(slots + reg::Out)[i] = isPost ? Stereo{outputs[0][s], outputs[1][s]} : Stereo{};
            if (readsKeyword(reg::Freq)) lane(slots + reg::Freq)[i] = both(frequency);
            if (readsKeyword(reg::Gain)) lane(slots + reg::Gain)[i] = both(gain);
            if (readsKeyword(reg::DefaultFc)) lane(slots + reg::DefaultFc)[i] = both(defaultFc);
            if (readsKeyword(reg::Time)) lane(slots + reg::Time)[i] = both(time);
            if (readsKeyword(reg::In)) lane(slots + reg::In)[i] = {inLeft_[s], inRight_[s]};
            if (readsKeyword(reg::Duration))
                lane(slots + reg::Duration)[i] =
                    both(t >= releaseTime ? static_cast<float>(releaseTime - voice.startTime) * inverseRate : time);
            for (int bus = 0; bus < kSendBuses; ++bus)
                if (readsKeyword(reg::Sends1 + bus)) lane(slots + reg::Sends1 + bus)[i] = {send(bus, 0)[s], send(bus, 1)[s]};
        }
        // The controller operands read memories of their own, which the layer modulation
        // above does not advance: they may be read after it.
        if (begin < n) readControllers(voice, plan, runTime, begin, n);
    }
    if (begin == n) return n;

    // 2. Slots that only HOLD operations write keep their value until a HOLD runs.
    Stereo* const regs = voice.registers.data();
    for (const std::int32_t s : plan.writtenSlots)
        if (plan.holdOnly[static_cast<std::size_t>(s)] != 0) std::fill(lane(s) + begin, lane(s) + n, regs[s]);

    // 3. Which lanes hold one value is known from here on: the registers and controller
    // operands are checked now, each result as it is written.
    std::fill(steadyLanes_, steadyLanes_ + plan.laneCount(), std::uint8_t{0});
    for (int k = slots; k < plan.laneCount(); ++k) {
        const int keyword = k - slots;
        const bool read = keyword >= BlockPlan::kKeywordLanes || keyword == reg::Out || readsKeyword(keyword);
        // The send buses take what the operations add to them during the run.
        const bool send = keyword >= reg::Sends1 && keyword < reg::Sends1 + kSendBuses;
        const bool filledOnce = steadyRegisters && (keyword == reg::Freq || keyword == reg::Gain ||
                                                    keyword == reg::DefaultFc || (keyword == reg::Out && !isPost));
        if (read && !send) {
            if (filledOnce) steadyLanes_[static_cast<std::size_t>(k)] = 1;
            else markSteady(k, begin, n);
        }
    }
    for (const std::int32_t s : plan.writtenSlots)
        if (plan.holdOnly[static_cast<std::size_t>(s)] != 0) markSteady(s, begin, n);
    return begin;
}

void Engine::finishRun(BlockVoice& b, const BlockPlan& plan, bool isPost, float* const* outputs, int runStart, int n) {
    // 4. The mix.
    const int begin = b.begin;
    const int slots = b.voice->slotCount;
    materialize(slots + reg::Out, begin, n);
    const Stereo* const out = lane(slots + reg::Out);
    if (isPost) {
        for (int i = begin; i < n; ++i) {
            outputs[0][runStart + i] = out[i].l;
            outputs[1][runStart + i] = out[i].r;
        }
    } else {
        b.blockLevel = mixVoiceRun(out + begin, runContext_->crossfade, outputs[0] + runStart + begin,
                                   outputs[1] + runStart + begin, n - begin, b.blockLevel);
    }
    b.lowestStage = runSet_->lowestStage[n - 1];
    Stereo* const regs = b.voice->registers.data();
    for (const std::int32_t s : plan.writtenSlots)
        regs[s] = lane(s)[steadyLanes_[static_cast<std::size_t>(s)] != 0 ? begin : n - 1];
}

void Engine::fillSteadyRun(Voice& voice, bool isPost, float* const* outputs, int runStart, int n,
                           std::int64_t releaseTime, float frequency, float gain) {
    const BlockPlan& plan = *voice.plan;
    RunRegisters& run = *runSet_;
    const int slots = voice.slotCount;
    const std::int64_t runTime = sampleClock + runStart;
    const float inverseRate = 1.0f / sampleRate;
    const float fc = defaultFc;
    const std::uint32_t reads = plan.keywordReads;
    auto readsKeyword = [reads](int keyword) { return (reads & (1u << keyword)) != 0; };
    // Only what some operation reads: the sample frames for the shared dispatch, the time for
    // TIME and DURATION, the HOLD flags for HOLD operations.
    std::fill(run.lowestStage, run.lowestStage + n, 5.0f);
    if (plan.readsSampleFrames || readsKeyword(reg::Time) || readsKeyword(reg::Duration))
        for (int i = 0; i < n; ++i) run.time[i] = static_cast<float>(runTime + i - voice.startTime) * inverseRate;
    if (plan.readsSampleFrames) {
        std::fill(run.phaseModulation, run.phaseModulation + n, 0.0f);
        std::fill(run.frequency, run.frequency + n, frequency);
        std::fill(run.gain, run.gain + n, gain);
        std::fill(run.defaultFc, run.defaultFc + n, fc);
    }
    if (plan.anyHold) {
        if (isPost) {
            std::fill(run.holds, run.holds + n, voice.startTime >= 0);
        } else {
            std::fill(run.holds, run.holds + n, false);
            if (voice.startTime >= runTime && voice.startTime < runTime + n)
                run.holds[voice.startTime - runTime] = true;
        }
    }
    // FREQ, GAIN, DEFAULTFC and a note's OUT are marked as holding one value for the run
    // (prepareRun): their first sample is all anything reads until a lane is materialized.
    Stereo* const out = lane(slots + reg::Out);
    if (isPost) {
        for (int i = 0; i < n; ++i) out[i] = {outputs[0][runStart + i], outputs[1][runStart + i]};
    } else {
        out[0] = Stereo{};
    }
    if (readsKeyword(reg::Freq)) lane(slots + reg::Freq)[0] = both(frequency);
    if (readsKeyword(reg::Gain)) lane(slots + reg::Gain)[0] = both(gain);
    if (readsKeyword(reg::DefaultFc)) lane(slots + reg::DefaultFc)[0] = both(fc);
    fillTimeAndInputLanes(voice, runStart, n, releaseTime);
}

void Engine::fillModulatedRun(Voice& voice, int runStart, int n, std::int64_t releaseTime) {
    const BlockPlan& plan = *voice.plan;
    RunRegisters& run = *runSet_;
    const int slots = voice.slotCount;
    const std::int64_t runTime = sampleClock + runStart;
    const float inverseRate = 1.0f / sampleRate;
    const std::uint32_t reads = plan.keywordReads;
    auto readsKeyword = [reads](int keyword) { return (reads & (1u << keyword)) != 0; };
    const ModulatorRun& m = modulatorRun_;
    std::fill(run.lowestStage, run.lowestStage + n, modulatorRun_.keepsAlive ? 0.0f : 5.0f);
    for (int i = 0; i < n; ++i) run.time[i] = static_cast<float>(runTime + i - voice.startTime) * inverseRate;
    std::copy(m.phase, m.phase + n, run.phaseModulation);
    std::copy(m.frequency, m.frequency + n, run.frequency);
    std::copy(m.gain, m.gain + n, run.gain);
    std::copy(m.defaultFc, m.defaultFc + n, run.defaultFc);
    std::fill(run.holds, run.holds + n, false);
    if (voice.startTime >= runTime && voice.startTime < runTime + n) run.holds[voice.startTime - runTime] = true;
    Stereo* const out = lane(slots + reg::Out);
    std::fill(out, out + n, Stereo{});
    if (readsKeyword(reg::Freq)) {
        Stereo* const lane = this->lane(slots + reg::Freq);
        for (int i = 0; i < n; ++i) lane[i] = both(m.frequency[i]);
    }
    if (readsKeyword(reg::Gain)) {
        Stereo* const lane = this->lane(slots + reg::Gain);
        for (int i = 0; i < n; ++i) lane[i] = both(m.gain[i]);
    }
    if (readsKeyword(reg::DefaultFc)) {
        Stereo* const lane = this->lane(slots + reg::DefaultFc);
        for (int i = 0; i < n; ++i) lane[i] = both(m.defaultFc[i]);
    }
    fillTimeAndInputLanes(voice, runStart, n, releaseTime);
}

void Engine::fillTimeAndInputLanes(const Voice& voice, int runStart, int n, std::int64_t releaseTime) {
    const RunRegisters& run = *runSet_;
    const int slots = voice.slotCount;
    const std::int64_t runTime = sampleClock + runStart;
    const float inverseRate = 1.0f / sampleRate;
    const std::uint32_t reads = voice.plan->keywordReads;
    auto readsKeyword = [reads](int keyword) { return (reads & (1u << keyword)) != 0; };
    if (readsKeyword(reg::Time)) {
        Stereo* const time = lane(slots + reg::Time);
        for (int i = 0; i < n; ++i) time[i] = both(run.time[i]);
    }
    if (readsKeyword(reg::In)) {
        Stereo* const in = lane(slots + reg::In);
        for (int i = 0; i < n; ++i) in[i] = {inLeft_[runStart + i], inRight_[runStart + i]};
    }
    if (readsKeyword(reg::Duration)) {
        Stereo* const duration = lane(slots + reg::Duration);
        const float released = static_cast<float>(releaseTime - voice.startTime) * inverseRate;
        for (int i = 0; i < n; ++i) duration[i] = both(runTime + i >= releaseTime ? released : run.time[i]);
    }
    for (int bus = 0; bus < kSendBuses; ++bus) {
        if (!readsKeyword(reg::Sends1 + bus)) continue;
        Stereo* const sends = lane(slots + reg::Sends1 + bus);
        for (int i = 0; i < n; ++i) sends[i] = {send(bus, 0)[runStart + i], send(bus, 1)[runStart + i]};
    }
}

void Engine::readControllers(const Voice& voice, const BlockPlan& plan, std::int64_t runTime, int from, int to) {
    // Controller operands, read as the operations would read them each sample.
    const std::size_t count = plan.controllerReads.size();
    if (count == 0) return;
    const int controllerBase = voice.slotCount + BlockPlan::kKeywordLanes;
    // A read that leaves its smoothing memory as it is changes nothing another read sees, so
    // the operands that hold are filled first and the others keep their order within a sample.
    bool anyMoving = false;
    for (std::size_t k = 0; k < count; ++k) {
        const ControllerOperand& c = plan.controllerReads[k];
        const ResolvedOperation& op = voice.resolved[static_cast<std::size_t>(c.operation)];
        float value = 0.0f;
        const bool held = op.hold == 0 &&
                          controllers.mccReadHolds(-1 - op.sources[c.operand], runTime + from, runTime + to, value);
        heldControllers_[k] = held ? 1 : 0;
        Stereo* const values = lane(controllerBase + static_cast<int>(k));
        if (held) std::fill(values + from, values + to, both(value));
        anyMoving = anyMoving || !held;
    }
    if (!anyMoving) return;
    for (int i = from; i < to; ++i) {
        for (std::size_t k = 0; k < count; ++k) {
            if (heldControllers_[k] != 0) continue;
            const ControllerOperand& c = plan.controllerReads[k];
            const ResolvedOperation& op = voice.resolved[static_cast<std::size_t>(c.operation)];
            if (op.hold != 0 && !runSet_->holds[i]) continue;
            lane(controllerBase + static_cast<int>(k))[i] = both(controllers.mccRead(-1 - op.sources[c.operand], runTime + i));
        }
    }
}

void Engine::resolveOperands(int j, const Voice& voice, int begin, RunSource* sources, Stereo* held) {
    const BlockPlan& plan = *runContext_->plan;
    const ResolvedOperation& op = voice.resolved[static_cast<std::size_t>(j)];
    const int slots = voice.slotCount;
    const std::uint16_t lanes = plan.laneOperands[static_cast<std::size_t>(j)];
    const std::int16_t* const controllerLane =
        plan.controllerLane.data() + static_cast<std::size_t>(j) * compiler::Operation::kMaxOperands;
    for (int a = 0; a < op.operandCount; ++a) {
        int source = -1;
        if (controllerLane[a] >= 0) source = slots + BlockPlan::kKeywordLanes + controllerLane[a];
        else if ((lanes & (1u << a)) != 0) source = op.sources[a];
        if (source < 0) sources[a] = {voice.registers.data() + op.sources[a], 0};
        else if (steadyLanes_[static_cast<std::size_t>(source)] != 0) {
            // A copy: the operation may write the lane it reads.
            held[a] = lane(source)[begin];
            sources[a] = {&held[a], 0};
        }
        else sources[a] = {lane(source), 1};
    }
}

void Engine::runOperation(int j, Voice& voice, int runStart, int begin, int end) {
    const RunContext& c = *runContext_;
    const BlockPlan& plan = *c.plan;
    const ResolvedOperation& op = voice.resolved[static_cast<std::size_t>(j)];
    const int slots = voice.slotCount;
    RunSource sources[compiler::Operation::kMaxOperands];
    Stereo held[compiler::Operation::kMaxOperands];
    resolveOperands(j, voice, begin, sources, held);
    const std::int32_t destination = op.destination;
    Stereo* const result = destination >= 0 ? lane(destination) : runSet_->scratch;
    RunRegisters& run = *runSet_;
    SampleFrame& frame = *c.frame;

    // One sample through the shared function bodies.
    auto callAt = [&](int i) {
        Stereo args[compiler::Operation::kMaxOperands];
        for (int a = 0; a < op.operandCount; ++a) args[a] = sources[a].at(i);
        frame.index = runStart + i;
        frame.t = c.runTime + i;
        frame.time = run.time[i];
        frame.lowestStage = run.lowestStage[i];
        frame.phaseModulation = run.phaseModulation[i];
        frame.frequency = run.frequency[i];
        frame.gain = run.gain[i];
        frame.defaultFc = run.defaultFc[i];
        const Stereo v = call(op.code, voice.operations[static_cast<std::size_t>(j)],
                              voice.states[static_cast<std::size_t>(j)], args, voice, frame);
        run.lowestStage[i] = frame.lowestStage;
        return v;
    };

    if (op.hold != 0) {
        // A HOLD operation runs only where the voice starts (in POST, through its first block).
        if (destination >= 0) materialize(destination, begin, end);
        const bool holdOnly = destination >= 0 && destination < slots &&
                              plan.holdOnly[static_cast<std::size_t>(destination)] != 0;
        for (int i = begin; i < end; ++i) {
            if (!run.holds[i]) continue;
            const Stereo v = callAt(i);
            if (destination >= 0) {
                if (holdOnly) std::fill(result + i, result + end, v);
                else result[i] = v;
            } else if (destination > ResolvedOperation::kNoDestination) {
                const int bus = ResolvedOperation::kSendDestination - destination;
                const Stereo scaled{v.l * c.crossfade, v.r * c.crossfade};
                send(bus, 0)[runStart + i] += scaled.l;
                send(bus, 1)[runStart + i] += scaled.r;
                if ((plan.keywordReads & (1u << (reg::Sends1 + bus))) != 0) {
                    lane(slots + reg::Sends1 + bus)[i].l += scaled.l;
                    lane(slots + reg::Sends1 + bus)[i].r += scaled.r;
                }
            }
        }
        if (destination >= 0) markSteady(destination, begin, end);
        return;
    }

    bool once = false;
    if (dependsOnOperandsOnly(op.code) && allHeld(sources, op.operandCount)) {
        // Operands that hold for the run: one value for the run.
        const Stereo v = callAt(begin);
        if (destination >= 0) result[begin] = v;
        else std::fill(result + begin, result + end, v);
        once = true;
    } else switch (op.code) {
        case compiler::kCodeAssign:
            for (int i = begin; i < end; ++i) result[i] = sources[0].at(i);
            break;
        case 0: binary(sources[0], sources[1], result, begin, end, kAdd); break;
        case 1: binary(sources[0], sources[1], result, begin, end, kSub); break;
        case 2: binary(sources[0], sources[1], result, begin, end, kMul); break;
        case 3: binary(sources[0], sources[1], result, begin, end, kDiv); break;
        case fn::Filt + 3: {
            // FILT: the same body, without the dispatch per sample.
            filt::FilterState& state = voice.states[static_cast<std::size_t>(j)].filter;
            if (sources[0].stride == 0 && sources[2].stride == 0 && sources[3].stride == 0) {
                // Type, cutoff and resonance hold for the run: the coefficients once.
                filt::filterRun(state, *sources[0].data, sources[1].data + begin * sources[1].stride,
                                sources[1].stride, *sources[2].data, *sources[3].data, sampleRate, result + begin,
                                end - begin);
                break;
            }
            if (sources[0].stride == 0) {
                // The type holds, the cutoff or the resonance moves.
                filt::filterRunMoving(state, *sources[0].data, sources[1].data + begin * sources[1].stride,
                                      sources[1].stride, sources[2].data + begin * sources[2].stride, sources[2].stride,
                                      sources[3].data + begin * sources[3].stride, sources[3].stride, sampleRate,
                                      result + begin, end - begin);
                break;
            }
            for (int i = begin; i < end; ++i)
                result[i] = filt::filter(state, sources[0].at(i), sources[1].at(i), sources[2].at(i), sources[3].at(i),
                                         sampleRate);
            break;
        }
        case fn::OscSyn + 3: {
            // OSCSYN: its context built once for the run; only the time moves.
            frame.t = c.runTime + begin;
            osc::OscillatorContext context = oscillatorContext(voice, frame);
            osc::OscillatorState& state = voice.states[static_cast<std::size_t>(j)].osc;
            int i = begin;
            for (; i < end && !state.started; ++i) {
                context.t = c.runTime + i;
                context.lowestStage = &run.lowestStage[i];
                result[i] = osc::oscSyn(state, context, sources[0].at(i), sources[1].at(i), sources[2].at(i),
                                        sources[3].at(i), sources[4].at(i), sources[5].at(i));
            }
            if (i < end && allHeld(sources, 4) && sources[5].stride == 0 && holdsFrom(sources[4], i, end)) {
                // Operands that hold for the rest of the run (the frequency may be a lane that
                // does not change): the run at once.
                context.t = c.runTime + i;
                if (osc::oscSynSteady(state, context, *sources[0].data, *sources[1].data, *sources[2].data,
                                      *sources[3].data, sources[4].at(i), *sources[5].data, result + i,
                                      run.lowestStage + i, end - i))
                    break;
            }
            for (; i < end; ++i) {
                context.t = c.runTime + i;
                context.lowestStage = &run.lowestStage[i];
                result[i] = osc::oscSyn(state, context, sources[0].at(i), sources[1].at(i), sources[2].at(i),
                                        sources[3].at(i), sources[4].at(i), sources[5].at(i));
            }
            break;
        }
        case fn::Env1 + 3: {
            // ENV1: its timing built once for the run; in POST (no note) it is 1.
            if (c.isPost) {
                std::fill(result + begin, result + end, both(1.0f));
                break;
            }
            frame.t = c.runTime + begin;
            env::EnvelopeTiming timing = envelopeTiming(voice, frame);
            env::EnvelopeState& state = voice.states[static_cast<std::size_t>(j)].envelope;
            if (allHeld(sources, 3) && allHeld(sources + 4, 2)) {
                // Arguments that hold for the run: the segments once, then only the stages. A
                // release time that moves (it may follow DURATION) is worked out only where the
                // envelope reads it.
                const bool releaseMoves = sources[3].stride != 0;
                env::Env1Segments k = env::env1Segments(sources[0].data->l, sources[1].data->l,
                                                        sources[2].data->l, sources[3].at(begin).l,
                                                        sources[4].data->l, sources[5].data->l, timing);
                if (!releaseMoves) {
                    timing.t = c.runTime + begin;
                    env::runDelayedEnvelopeRun(state, k.envelope, k.release, timing, result + begin,
                                               run.lowestStage + begin, end - begin);
                    break;
                }
                // From each sample on, the release in force holds while its operand does: the
                // run goes on until a later sample would read a release of another operand.
                const Stereo* const release = sources[3].data;
                for (int i = begin; i < end;) {
                    if (i > begin) k.release = env::env1Release(release[i].l, sources[1].data->l, timing);
                    int holds = i + 1;
                    while (holds < end && std::bit_cast<std::uint32_t>(release[holds].l) ==
                                              std::bit_cast<std::uint32_t>(release[i].l))
                        ++holds;
                    timing.t = c.runTime + i;
                    i += env::runDelayedEnvelopeRun(state, k.envelope, k.release, timing, result + i,
                                                    run.lowestStage + i, end - i, holds - i);
                }
                break;
            }
            for (int i = begin; i < end; ++i) {
                timing.t = c.runTime + i;
                const float level = env::runEnv1(state, sources[0].at(i).l, sources[1].at(i).l, sources[2].at(i).l,
                                                 sources[3].at(i).l, sources[4].at(i).l, sources[5].at(i).l, timing);
                run.lowestStage[i] = std::min(run.lowestStage[i], static_cast<float>(state.stage));
                result[i] = both(level);
            }
            break;
        }
        case fn::Lfo0 + 3: case fn::Lfo + 3: case fn::Lfo1 + 3: case fn::LfoSyn + 3: {
            // The LFOs: their context built once for the run; only the time moves.
            frame.t = c.runTime + begin;
            env::LfoContext context = lfoContext(voice, frame);
            OperationState& state = voice.states[static_cast<std::size_t>(j)];
            if (op.code == fn::Lfo + 3 && op.operandCount == 5 && allHeld(sources, 5)) {
                env::runLfoRun(state.lfo, state.envelope, *sources[0].data, *sources[1].data, *sources[2].data,
                               *sources[3].data, *sources[4].data, context, result + begin, run.lowestStage + begin,
                               end - begin);
                break;
            }
            Stereo args[compiler::Operation::kMaxOperands];
            for (int i = begin; i < end; ++i) {
                for (int a = 0; a < op.operandCount; ++a) args[a] = sources[a].at(i);
                context.timing.t = c.runTime + i;
                context.lowestStage = &run.lowestStage[i];
                result[i] = runLfoFunction(op.code - 3, state, args, context);
            }
            break;
        }
        case fn::OscSam + 3: {
            // OSCSAM: its context built once for the run; only the time moves.
            frame.t = c.runTime + begin;
            osc::OscillatorContext context = oscillatorContext(voice, frame);
            osc::OscillatorState& state = voice.states[static_cast<std::size_t>(j)].osc;
            if (allHeld(sources, 6)) {
                // The slot and the frame range hold: the range is converted once.
                const osc::FrameRange range{sources[1].data->l, sources[2].data->l, sources[3].data->l,
                                            sources[4].data->l, sources[5].data->l};
                auto at = [begin](const RunSource& r) { return r.data + begin * r.stride; };
                osc::playFramesRun(state, context, sources[0].data->l, range, at(sources[6]), sources[6].stride,
                                   at(sources[7]), sources[7].stride, at(sources[8]), sources[8].stride,
                                   run.lowestStage + begin, result + begin, end - begin);
                break;
            }
            for (int i = begin; i < end; ++i) {
                context.t = c.runTime + i;
                context.lowestStage = &run.lowestStage[i];
                const osc::FrameRange range{sources[1].at(i).l, sources[2].at(i).l, sources[3].at(i).l,
                                            sources[4].at(i).l, sources[5].at(i).l};
                result[i] = osc::playFrames(state, context, sources[0].at(i).l, range, sources[6].at(i),
                                            sources[7].at(i), sources[8].at(i));
            }
            break;
        }
        case fn::Mcc2 + 3: {
            // A controller whose reads hold over the run (it has settled): read once.
            float value = 0.0f;
            if (sources[0].stride == 0 &&
                controllers.mccReadScaledHolds(math::controllerNumber(sources[0].data->l), c.runTime + begin,
                                               c.runTime + end, value)) {
                if (destination >= 0) result[begin] = both(value);
                else std::fill(result + begin, result + end, both(value));
                once = true;
                break;
            }
            for (int i = begin; i < end; ++i) result[i] = callAt(i);
            break;
        }
        default:
            if (dependsOnOperandsOnly(op.code) && runPure(op.code, sources, result, begin, end, *curves)) break;
            for (int i = begin; i < end; ++i) result[i] = callAt(i);
            break;
    }
    if (destination >= 0) {
        if (once) steadyLanes_[static_cast<std::size_t>(destination)] = 1;
        else markSteady(destination, begin, end);
    }
    if (destination < 0 && destination > ResolvedOperation::kNoDestination) {
        const int bus = ResolvedOperation::kSendDestination - destination;
        float* const left = send(bus, 0) + runStart;
        float* const right = send(bus, 1) + runStart;
        const bool readBack = (plan.keywordReads & (1u << (reg::Sends1 + bus))) != 0;
        Stereo* const sendLane = lane(slots + reg::Sends1 + bus);
        for (int i = begin; i < end; ++i) {
            const Stereo scaled{result[i].l * c.crossfade, result[i].r * c.crossfade};
            left[i] += scaled.l;
            right[i] += scaled.r;
            if (readBack) {
                sendLane[i].l += scaled.l;
                sendLane[i].r += scaled.r;
            }
        }
    }
}

void Engine::materialize(int index, int begin, int end) {
    if (steadyLanes_[static_cast<std::size_t>(index)] == 0) return;
    Stereo* const values = lane(index);
    std::fill(values + begin + 1, values + end, values[begin]);
}

void Engine::markSteady(int index, int begin, int end) {
    steadyLanes_[static_cast<std::size_t>(index)] = sameBits(lane(index), begin, end) ? 1 : 0;
}

}  // namespace tess
