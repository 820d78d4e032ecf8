#include <algorithm>
#include <cmath>
#include <cstring>

#include "compiler/FunctionTable.h"
#include "engine/Engine.h"
#include "engine/math/Arithmetic.h"

namespace tess {


Engine::Engine(Log& log)
    : log_(log),
      inputLeft_(new float[kMaxBlock]()),
      inputRight_(new float[kMaxBlock]()),
      sends_(new float[static_cast<std::size_t>(kSendBuses) * 2 * kMaxBlock]()),
      emptyCurves_(new CurveTable()) {
    curves = emptyCurves_.get();
}

void Engine::suspend() {
    voices.releaseNoteVoices();
    sampleClock = 0;
    // The POST step starts over: its oscillators choose their slots again at its next sample.
    Voice& post = voices.post();
    for (OperationState& state : post.states) state.restart();
    post.frequency = -1.0f;
}

void Engine::resume() {
    if (voices.post().operationCount > 0) voices.post().frequency = 1.0f;
    noteCounter = 0;
}

void Engine::process(float* const* inputs, float* const* outputs, std::int64_t frames,
                     const TransportInput* timeInfo, bool effectMode) {
    if (frames <= 0 || outputs == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) return;
    if (transport.update(timeInfo, sampleClock, sampleRate)) {
        noteCounter = 0;
        if (log_.debugLevel > 1) log_.append(Log::kMain, "NOTEON counter reset.\r\n");
    }
    controllers.setBuiltin(mcc::kBpm, transport.tempo);
    controllers.setBuiltin(mcc::kNumerator, transport.numerator);
    controllers.setBuiltin(mcc::kDenominator, transport.denominator);
    controllers.setBuiltin(mcc::kSampleRate, sampleRate);
    for (std::int64_t offset = 0; offset < frames; offset += kMaxBlock) {
        const int slice = static_cast<int>(std::min<std::int64_t>(kMaxBlock, frames - offset));
        renderSlice(inputs, outputs, static_cast<int>(offset), slice, effectMode);
    }
}

void Engine::renderSlice(float* const* inputs, float* const* outputs, int offset, int frames,
                         bool effectMode) {
    // A host may pass no inputs to an instrument: IN then reads silence.
    const bool hostInputs = inputs != nullptr && inputs[0] != nullptr && inputs[1] != nullptr;
    const std::size_t bytes = sizeof(float) * static_cast<std::size_t>(frames);
    if (effectMode && hostInputs) {
        inLeft_ = inputs[0] + offset;
        inRight_ = inputs[1] + offset;
    } else {
        // The inputs are copied before the outputs are cleared: a host may pass the same buffers.
        if (hostInputs) {
            std::memcpy(inputLeft_.get(), inputs[0] + offset, bytes);
            std::memcpy(inputRight_.get(), inputs[1] + offset, bytes);
        } else {
            std::memset(inputLeft_.get(), 0, bytes);
            std::memset(inputRight_.get(), 0, bytes);
        }
        if (!effectMode) {
            std::memset(outputs[0] + offset, 0, bytes);
            std::memset(outputs[1] + offset, 0, bytes);
        }
        inLeft_ = inputLeft_.get();
        inRight_ = inputRight_.get();
    }
    for (int bus = 0; bus < kSendBuses; ++bus)
        for (int channel = 0; channel < 2; ++channel)
            std::memset(send(bus, channel), 0, sizeof(float) * static_cast<std::size_t>(frames));

    float* const sliceOutputs[2] = {outputs[0] + offset, outputs[1] + offset};
    for (int v = 0; v < VoiceTable::kNoteVoices; ++v) {
        Voice& voice = voices[v];
        if (voice.frequency > 0.0f) {
            // An arpeggio's last note plays the pattern again once its repeat time has passed.
            if (repeater != nullptr && voice.repeat.due(sampleClock)) {
                voice.repeat.pending = 0;
                repeater->repeatNote(voice);
            }
            // The next voices to render, when they play the same independent program, render
            // side by side with this one (idle voices between them render nothing).
            Voice* group[kGroup] = {&voice};
            int count = 1, next = v + 1;
            if (groupable(voice)) {
                for (; count < kGroup && next < VoiceTable::kNoteVoices; ++next) {
                    Voice& other = voices[next];
                    if (!(other.frequency > 0.0f) && other.frequency != 0.0f) continue;
                    if (other.frequency == 0.0f || other.plan != voice.plan || !groupable(other) ||
                        (repeater != nullptr && other.repeat.due(sampleClock)))
                        break;
                    group[count++] = &other;
                }
            }
            if (count > 1) {
                renderGroupInBlocks(group, count, false, sliceOutputs, frames);
                v = next - 1;
            } else {
                renderVoice(voice, false, sliceOutputs, offset, frames);
            }
        } else if (voice.frequency == 0.0f) {
            endVoice(voice);
        }
    }
    Voice& post = voices.post();
    if (post.frequency > 0.0f) {
        renderVoice(post, true, sliceOutputs, offset, frames);
        post.startTime = -1;
    }
    sampleClock += frames;
}

void Engine::renderVoice(Voice& voice, bool isPost, float* const* outputs, int offset, int frames) {
    (void)offset;
    if (!forcePerSample && voice.plan != nullptr && voice.plan->runsInBlocks) {
        renderVoiceInBlocks(voice, isPost, outputs, frames);
        return;
    }
    const std::int64_t blockStart = sampleClock;
    SampleFrame frame = startVoiceBlock(voice, isPost, frames);
    const std::int64_t releaseTime = frame.releaseTime;
    const bool pedalHeld = frame.pedalHeld;
    Stereo* const regs = voice.registers.data();
    Stereo* const r = regs + voice.slotCount;

    const float inverseRate = 1.0f / sampleRate;
    const float crossfade = voice.crossfadeGain;
    const int count = voice.operationCount;
    ResolvedOperation* const program = voice.resolved.data();
    Stereo args[compiler::Operation::kMaxOperands];
    float blockLevel = 0.0f;
    float lowestStage = 5.0f;
    // The layer modulation of a note voice: its timing is the block's, its t the sample's.
    env::EnvelopeTiming modulationTiming = envelopeTiming(voice, frame);
    const ModulationSample modulation = modulationSample(voice, modulationTiming, frame);

    for (int i = 0; i < frames; ++i) {
        const std::int64_t t = blockStart + i;
        if (!advanceFrequency(voice, t)) continue;
        frame.index = i;
        frame.t = t;
        frame.time = static_cast<float>(t - voice.startTime) * inverseRate;
        frame.releaseTime = releaseTime;
        frame.lowestStage = 5.0f;
        frame.phaseModulation = 0.0f;
        frame.pedalHeld = pedalHeld;
        frame.isPost = isPost;
        if (isPost) {
            r[reg::Freq] = both(voice.currentFrequency);
            r[reg::Gain] = both(1.0f);
        } else {
            modulationTiming.t = t;
            const ModulatedRegisters m = modulate(voice.modulation, modulation, voice.currentFrequency, voice.gain);
            r[reg::Freq] = both(m.frequency);
            r[reg::Gain] = both(m.gain);
            defaultFc = m.defaultFc;
            frame.phaseModulation = m.phase;
        }
        frame.frequency = r[reg::Freq].l;
        frame.gain = r[reg::Gain].l;
        frame.defaultFc = defaultFc;
        r[reg::Out] = isPost ? Stereo{outputs[0][i], outputs[1][i]} : Stereo{};
        r[reg::In] = {inLeft_[i], inRight_[i]};
        r[reg::Time] = both(frame.time);
        r[reg::DefaultFc] = both(defaultFc);
        r[reg::Duration] = both(t >= releaseTime
                                    ? static_cast<float>(releaseTime - voice.startTime) * inverseRate
                                    : frame.time);
        for (int bus = 0; bus < kSendBuses; ++bus)
            r[reg::Sends1 + bus] = {send(bus, 0)[i], send(bus, 1)[i]};

        const bool firstSample = isPost ? voice.startTime >= 0 : t == voice.startTime;
        int jumps = 0;
        for (int j = 0; j < count; ++j) {
            const ResolvedOperation& op = program[j];
            if (op.hold != 0 && !firstSample) continue;
            for (int a = 0; a < op.operandCount; ++a) {
                const std::int32_t source = op.sources[a];
                args[a] = source >= 0 ? regs[source] : both(controllers.mccRead(-1 - source, t));
            }
            if (op.code == compiler::kCodeIf) {
                const float x = args[0].l;
                const float y = args[1].l;
                bool holds = false;
                switch (op.comparison) {
                    case compiler::Comparison::Equal: holds = x == y; break;
                    case compiler::Comparison::Less: holds = x < y; break;
                    case compiler::Comparison::Greater: holds = x > y; break;
                    case compiler::Comparison::LessOrEqual: holds = x <= y; break;
                    case compiler::Comparison::GreaterOrEqual: holds = x >= y; break;
                    case compiler::Comparison::NotEqual: holds = x != y; break;
                    default: break;
                }
                if (holds) {
                    // A jump backwards can loop; a sample gets a bounded number of jumps so
                    // that a program that never leaves its loop cannot stall the host.
                    if (++jumps > kMaxJumpsPerSample) break;
                    j = op.jumpTarget;
                }
                continue;
            }
            Stereo result;
            switch (op.code) {  // the operators run here; functions go through call()
                case compiler::kCodeAssign: result = args[0]; break;
                case 0: result = math::opAdd(args[0], args[1]); break;
                case 1: result = math::opSub(args[0], args[1]); break;
                case 2: result = math::opMul(args[0], args[1]); break;
                case 3: result = math::opDiv(args[0], args[1]); break;
                default:
                    result = call(op.code, voice.operations[static_cast<std::size_t>(j)],
                                  voice.states[static_cast<std::size_t>(j)], args, voice, frame);
                    break;
            }
            const std::int32_t destination = op.destination;
            if (destination >= 0) {
                regs[destination] = result;
            } else if (destination > ResolvedOperation::kNoDestination) {
                const int bus = ResolvedOperation::kSendDestination - destination;
                const Stereo scaled{result.l * crossfade, result.r * crossfade};
                send(bus, 0)[i] += scaled.l;
                send(bus, 1)[i] += scaled.r;
                r[reg::Sends1 + bus].l += scaled.l;
                r[reg::Sends1 + bus].r += scaled.r;
            }
        }

        const Stereo out = r[reg::Out];
        if (isPost) {
            outputs[0][i] = out.l;
            outputs[1][i] = out.r;
        } else {
            const float left = out.l * crossfade;
            const float right = out.r * crossfade;
            outputs[0][i] += left;
            outputs[1][i] += right;
            blockLevel = std::max(blockLevel, std::fabs(left) + std::fabs(right));
        }
        lowestStage = frame.lowestStage;
    }

    if (!isPost) finishVoiceBlock(voice, blockLevel, lowestStage, releaseTime, frames);
}

Engine::SampleFrame Engine::startVoiceBlock(Voice& voice, bool isPost, int frames) {
    SampleFrame frame{};
    frame.releaseTime = voice.releaseTime >= 0 ? voice.releaseTime : sampleClock + 10000 + frames;
    // A sostenuto latch or a sustain pedal keeps a released voice held for its envelopes.
    frame.pedalHeld =
        !isPost && controllers.pedals.holds(voice.midiKey, voice.sostenutoAll != 0 || voice.sostenutoRange != 0);
    frame.isPost = isPost;
    // Every voice, the POST step included, shows its own key and velocities to controller reads.
    controllers.setBuiltin(mcc::kKey, voice.key);
    controllers.setBuiltin(mcc::kKeyF, voice.tunedPitch);
    controllers.setBuiltin(mcc::kOnVelocity, voice.onVelocity);
    controllers.setBuiltin(mcc::kOffVelocity, voice.releaseVelocity);
    Stereo* const r = voice.registers.data() + voice.slotCount;
    r[reg::Key] = both(voice.key);
    r[reg::KeyF] = both(voice.tunedPitch);
    r[reg::OnVelocity] = both(voice.onVelocity);
    r[reg::OffVelocity] = both(voice.releaseVelocity);
    r[reg::Temperament] = both(static_cast<float>(voice.temperament));
    return frame;
}

ModulationSample Engine::modulationSample(const Voice& voice, const env::EnvelopeTiming& timing, SampleFrame& frame) {
    ModulationSample modulation;
    modulation.controllers = &controllers;
    modulation.timing = &timing;
    modulation.midiKey = voice.midiKey;
    modulation.fresh = voice.fresh != 0;
    modulation.noise = &noise;
    modulation.lowestStage = &frame.lowestStage;
    return modulation;
}

bool Engine::advanceFrequency(Voice& voice, std::int64_t t) {
    const bool gliding = voice.glideRatio > 0.0f && voice.glideRatio < 100000.0f;
    if (t < voice.startTime) {
        voice.currentFrequency = gliding ? voice.glideStartFrequency : voice.frequency;
        return voice.retriggerMode > 0;
    }
    if (gliding) {
        voice.glideStartFrequency *= voice.glideRatio;
        const bool reached = voice.glideRatio > 1.0f ? voice.glideStartFrequency >= voice.frequency
                                                     : voice.glideStartFrequency <= voice.frequency;
        if (reached) {
            voice.glideRatio = 0.0f;
            voice.glideEndTime = t;
            voice.currentFrequency = voice.frequency;
        } else {
            voice.currentFrequency = voice.glideStartFrequency;
        }
    } else {
        voice.currentFrequency = voice.frequency;
    }
    return true;
}

void Engine::finishVoiceBlock(Voice& voice, float blockLevel, float lowestStage, std::int64_t releaseTime,
                              int frames) {
    const std::int64_t last = sampleClock + frames - 1;
    const bool keep = blockLevel > silenceThreshold ||
                      last <= voice.startTime + static_cast<std::int64_t>(sampleRate) / 10 ||
                      (lowestStage <= 1.0f && last <= releaseTime);
    voice.level = blockLevel;
    if (!keep) endVoice(voice);
}

}  // namespace tess
