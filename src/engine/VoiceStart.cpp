#include <algorithm>
#include <cmath>
#include <functional>

#include "engine/Engine.h"
#include "engine/OperandResolution.h"
#include "engine/delays/DelayMemoryPlan.h"

namespace tess {

namespace {

std::int32_t controllerRead(int number) { return -1 - number; }

}  // namespace

std::int32_t resolveOperand(std::int32_t code, int slotCount, int midiKey) {
    if (code >= 0 && code < slotCount) return code;
    const std::int64_t number = 99999 - static_cast<std::int64_t>(code);
    if (number < 0 || number >= mcc::kCount) return controllerRead(mcc::kCount);  // reads 0
    const int n = static_cast<int>(number);
    const int base = slotCount;
    switch (n) {
        case mcc::kKey: return base + reg::Key;
        case mcc::kKeyF: return base + reg::KeyF;
        case mcc::kOnVelocity: return base + reg::OnVelocity;
        case mcc::kOffVelocity: return base + reg::OffVelocity;
        case mcc::kPolyAftertouch: return controllerRead(mcc::kPolyAftertouchBase + midiKey);
        case mcc::kGain: return base + reg::Gain;
        case mcc::kFreq: return base + reg::Freq;
        case mcc::kOut: return base + reg::Out;
        case mcc::kIn: return base + reg::In;
        case mcc::kTemperament: return base + reg::Temperament;
        case mcc::kTime: return base + reg::Time;
        case mcc::kDefaultFc: return base + reg::DefaultFc;
        case mcc::kDuration: return base + reg::Duration;
        default:
            if (n >= mcc::kSends1 && n < mcc::kSends1 + Engine::kSendBuses)
                return base + reg::Sends1 + (n - mcc::kSends1);
            return controllerRead(n);
    }
}

std::int32_t resolveDestination(std::int32_t code, int slotCount) {
    if (code >= 0 && code < slotCount) return code;
    const std::int64_t number = 99999 - static_cast<std::int64_t>(code);
    if (number == mcc::kOut) return slotCount + reg::Out;
    if (number >= mcc::kSends1 && number < mcc::kSends1 + Engine::kSendBuses)
        return ResolvedOperation::kSendDestination - static_cast<std::int32_t>(number - mcc::kSends1);
    return ResolvedOperation::kNoDestination;
}

void Engine::returnDelayMemory(Voice& voice) {
    for (OperationState& state : voice.states) delayMemory.takeBack(state.delay.memory);
}

void Engine::endVoice(Voice& voice) {
    returnDelayMemory(voice);
    voice.release();
}

void Engine::copyProgram(Voice& voice, const compiler::LayerProgram& program, bool keepEnvelopes) {
    // assign() and resize() reuse the vectors' storage when it is large enough.
    const std::size_t count = program.operations.size();
    const int slots = static_cast<int>(program.left.size());
    returnDelayMemory(voice);
    voice.operations.assign(program.operations.begin(), program.operations.end());
    if (keepEnvelopes && voice.states.size() == count) {
        for (OperationState& state : voice.states) {
            const float level = state.envelope.level;
            state = OperationState{};
            state.envelope.level = level;
            state.envelope.saved = level;
        }
    } else {
        voice.states.assign(count, OperationState{});
    }
    voice.resolved.resize(count);
    bool refused = false;
    for (std::size_t j = 0; j < count; ++j) {
        const compiler::Operation& op = program.operations[j];
        const fx::MemoryKind memory = fx::memoryKindOf(op.code - 3);
        if (memory != fx::MemoryKind::None && !delayMemory.lend(memory, voice.states[j].delay.memory))
            refused = true;
        ResolvedOperation& r = voice.resolved[j];
        r.code = op.code;
        r.hold = op.hold;
        r.operandCount = op.operandCount;
        r.comparison = op.comparison;
        r.jumpTarget = op.jumpTarget;
        r.destination = op.isJump() ? ResolvedOperation::kNoDestination : resolveDestination(op.output, slots);
        for (int a = 0; a < op.operandCount && a < compiler::Operation::kMaxOperands; ++a)
            r.sources[a] = resolveOperand(op.operands[static_cast<std::size_t>(a)], slots, voice.midiKey);
    }
    voice.slotCount = slots;
    voice.registers.resize(static_cast<std::size_t>(slots + reg::Count));
    for (int i = 0; i < slots; ++i)
        voice.registers[static_cast<std::size_t>(i)] = {program.left[static_cast<std::size_t>(i)],
                                                        program.right[static_cast<std::size_t>(i)]};
    for (int i = slots; i < slots + reg::Count; ++i) voice.registers[static_cast<std::size_t>(i)] = Stereo{};
    voice.operationCount = static_cast<int>(count);
    voice.plan = planFor(program);
    if (refused && delayMemory.firstRefusalSinceReturn() && log_.debugLevel > 0)
        log_.appendf(Log::kMain,
                     "Delay memory exhausted (all %d delay and %d reverb buffers in use): a delay or "
                     "reverb that finds none is silent for the rest of its note.\r\n",
                     delayMemory.capacity().delays, delayMemory.capacity().reverbs);
}

namespace {

// The largest program of the instrument's layers: every voice that notes can take gets room
// for it now, so that starting a note never allocates.
void reserveProgramStorage(Voice& voice, std::size_t operations, std::size_t registers) {
    voice.operations.reserve(operations);
    voice.resolved.reserve(operations);
    voice.states.reserve(operations);
    voice.registers.reserve(registers);
}

}  // namespace

const BlockPlan* Engine::planFor(const compiler::LayerProgram& program) const {
    const BlockPlan* plan = nullptr;
    if (&program == installedPost_) {
        plan = &postPlan_;
    } else if (installedLayers_ != nullptr && !layerPlans_.empty() &&
               std::less_equal<const compiler::LayerProgram*>()(installedLayers_, &program) &&
               std::less<const compiler::LayerProgram*>()(&program, installedLayers_ + layerPlans_.size())) {
        plan = &layerPlans_[static_cast<std::size_t>(&program - installedLayers_)];
    }
    // A plan describes the program it was made for; anything else runs sample by sample.
    if (plan == nullptr || samples != plannedBank_ || plan->operationCount != program.operationCount() ||
        plan->slotCount != static_cast<int>(program.left.size()))
        return nullptr;
    return plan;
}

bool Engine::runsInBlocks(int layer) const {
    const BlockPlan* plan = layer < 0 ? &postPlan_
                            : layer < static_cast<int>(layerPlans_.size()) ? &layerPlans_[static_cast<std::size_t>(layer)]
                                                                           : nullptr;
    return plan != nullptr && plan->runsInBlocks && samples == plannedBank_;
}

void Engine::planInstrument(const compiler::CompiledInstrument& instrument) {
    // Voices still playing the previous instrument's programs go on sample by sample.
    for (int v = 0; v < VoiceTable::kCount; ++v) voices[v].plan = nullptr;
    const int layers = std::min<int>(instrument.layerCount, static_cast<int>(instrument.layers.size()));
    layerPlans_.clear();
    layerPlans_.reserve(static_cast<std::size_t>(layers));
    std::size_t lanes = 0;
    // The slots are filled by the compile that precedes the install and stay as they are until
    // the next one; the plans hold for this bank only.
    plannedBank_ = samples;
    const bool slotsDrawNoise = anySlotDrawsNoise(samples);
    for (int i = 0; i < layers; ++i) {
        layerPlans_.push_back(planBlocks(instrument.layers[static_cast<std::size_t>(i)], slotsDrawNoise));
        if (layerPlans_.back().runsInBlocks) lanes = std::max(lanes, static_cast<std::size_t>(layerPlans_.back().laneCount()));
    }
    postPlan_ = planBlocks(instrument.post, slotsDrawNoise);
    if (postPlan_.runsInBlocks) lanes = std::max(lanes, static_cast<std::size_t>(postPlan_.laneCount()));
    installedLayers_ = instrument.layers.data();
    installedPost_ = &instrument.post;
    bool anyIndependent = postPlan_.independent;
    for (const BlockPlan& plan : layerPlans_) anyIndependent = anyIndependent || plan.independent;
    const int sets = anyIndependent ? kGroup : 1;
    if (lanes > laneCapacity_ || sets > laneSets_) {
        laneCapacity_ = std::max(lanes, laneCapacity_);
        laneSets_ = std::max(sets, laneSets_);
        const std::size_t all = laneCapacity_ * static_cast<std::size_t>(laneSets_);
        lanes_.reset(new Stereo[all * kRun]());
        steadySets_.reset(new std::uint8_t[all]());
        heldSets_.reset(new std::uint8_t[all]());
        runSets_.reset(new RunRegisters[static_cast<std::size_t>(laneSets_)]());
        selectSet(0);
    }
}

void Engine::installInstrument(const compiler::CompiledInstrument& instrument) {
    planInstrument(instrument);
    curves = &instrument.curves;
    silenceThreshold = instrument.common.silenceThreshold;
    // Every buffer comes home before the pool is refilled for the new instrument.
    for (int v = 0; v < VoiceTable::kCount; ++v) returnDelayMemory(voices[v]);
    const fx::DelayMemoryPool::Capacity wanted = fx::memoryPlanFor(instrument);
    const fx::DelayMemoryPool::Capacity held = delayMemory.reserve(wanted);
    if (!(held == wanted))
        log_.appendf(Log::kMain, "Delay memory: only %d of %d delay and %d of %d reverb buffers could be reserved.\r\n",
                     held.delays, wanted.delays, held.reverbs, wanted.reverbs);
    std::size_t operations = 0, slots = 0;
    for (int i = 0; i < instrument.layerCount && i < static_cast<int>(instrument.layers.size()); ++i) {
        const compiler::LayerProgram& layer = instrument.layers[static_cast<std::size_t>(i)];
        operations = std::max(operations, layer.operations.size());
        slots = std::max(slots, layer.left.size());
    }
    const int polyphony = std::clamp(instrument.common.poly.voices, 1, VoiceTable::kNoteVoices);
    for (int v = 0; v < polyphony; ++v) reserveProgramStorage(voices[v], operations, slots + reg::Count);

    Voice& post = voices.post();
    post.midiKey = 255;
    copyProgram(post, instrument.post);
    post.gain = 1.0f;
    post.crossfadeGain = 1.0f;
    post.sampleOffset = static_cast<std::int16_t>(instrument.post.settings.sampleOffset);
    post.modulation = VoiceModulation{};
    // The POST step has no layer: ROUNDF there uses the plain COMMON tuning.
    const compiler::LayerToneDefaults& tone = instrument.toneDefaults;
    post.baseFrequency = tone.baseFrequency > 11000.0f ? 440.0f : tone.baseFrequency;
    post.keyTracking = tone.keyTracking > 1000.0f ? 1.0f : tone.keyTracking;
    post.keyCenter = tone.keyCenter > 1000.0f ? 69.0f : tone.keyCenter;
    post.startTime = 0;
    post.releaseTime = -1;
    post.frequency = post.operationCount > 0 ? instrument.postFrequency : -1.0f;
}

int Engine::startVoice(const compiler::CompiledInstrument& instrument, int layer, float key,
                       float velocity, std::int64_t startTime) {
    if (layer < 0 || layer >= instrument.layerCount) return -1;
    int index = -1;
    for (int v = VoiceTable::kNoteVoices - 1; v >= 0 && index < 0; --v)
        if (voices[v].frequency < 0.0f) index = v;
    if (index < 0) return -1;
    Voice& voice = voices[index];
    voice.midiKey = static_cast<std::uint8_t>(key < 0.0f ? 0 : key > 127.0f ? 127 : key);
    copyProgram(voice, instrument.layers[static_cast<std::size_t>(layer)]);
    voice.layer = layer;
    voice.key = key;
    voice.tunedPitch = key;
    voice.onVelocity = velocity;
    voice.releaseVelocity = 0.0f;
    voice.gain = 1.0f;
    voice.crossfadeGain = 1.0f;
    voice.startTime = startTime;
    voice.releaseTime = -1;
    voice.glideRatio = 0.0f;
    voice.retriggerMode = 0;
    voice.level = 0.0f;
    voice.frequency = 440.0f * std::pow(2.0f, (key - 69.0f) / 12.0f);
    voice.currentFrequency = voice.frequency;
    voice.fresh = 1;
    voice.forcedReleaseTime = 0.0f;
    voice.baseFrequency = 440.0f;
    voice.keyTracking = 1.0f;
    voice.keyCenter = 69.0f;
    env::ModulatorStart modulatorStart;
    modulatorStart.controllers = &controllers;
    modulatorStart.t = startTime;
    modulatorStart.sampleRate = sampleRate;
    modulatorStart.barsPerSecond = transport.barsPerSecond;
    startVoiceModulation(voice.modulation, instrument.layers[static_cast<std::size_t>(layer)].modulation,
                         modulatorStart);
    return index;
}

}  // namespace tess
