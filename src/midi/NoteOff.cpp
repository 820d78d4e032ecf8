// Note-off, OFF triggers, group releases and the sostenuto pedals.
#include <algorithm>
#include <cmath>

#include "midi/NotePlayer.h"

namespace tess::midi {

void NotePlayer::noteOff(int key, int velocity, std::int64_t t, int status, float forcedRelease, int mcc,
                         float mccValue, int channel) {
    if (instrument_ == nullptr) return;
    const bool triggerCall = mcc >= 0;
    const float sampleRate = engine_.sampleRate;
    for (int index = 0; index < VoiceTable::kNoteVoices; ++index) {
        Voice& voice = engine_.voices[index];
        // A silent voice has nothing to release: it is passed over before any arithmetic, since
        // every controller, pitch bend and parameter change calls this for all the voices.
        if (!voice.active()) continue;
        float forced = forcedRelease;

        // 1. The release time: on the voice's rounding grid after its shifted, spread end.
        const std::int64_t q = std::max<std::int64_t>(voice.rounding, 1);
        const std::int64_t x = static_cast<std::int64_t>(voice.shift) + voice.spread + t;
        std::int64_t remainder = x % q;
        if (remainder < 0) remainder += q;
        std::int64_t releaseAt = forced > 0.0f ? t : x + (q - remainder);
        if (voice.startTime >= releaseAt) releaseAt = voice.startTime + q;

        // 2. Legato bookkeeping.
        if (voice.previousKey == key) voice.previousKey = -1;
        if (static_cast<int>(voice.midiKey) == key && voice.previousKey > 0) {
            if (voice.retriggerMode == 1 || voice.retriggerMode == 3) {
                // Back to the key still held: the voice glides there instead of ending.
                const float from = voice.currentFrequency;
                voice.glideStartFrequency = from;
                voice.glideFrom = 0.0f;  // this glide does not begin at the voice's start
                voice.frequency = voice.previousFrequency;
                voice.midiKey = static_cast<std::uint8_t>(voice.previousKey);
                voice.glideRatio = voice.glideTime >= 0.001f && from > 0.0f
                                       ? std::pow(voice.frequency / from, 1.0f / (voice.glideTime * sampleRate))
                                       : 0.0f;
                if (!(voice.glideRatio == voice.glideRatio)) voice.glideRatio = 0.0f;
                voice.previousKey = -1;
            } else {
                if (voice.glideEndTime > 0) releaseAt = voice.glideEndTime;
                if (voice.glideSource >= 0 && voice.glideSource < VoiceTable::kNoteVoices &&
                    voice.glideSource != index) {
                    Voice& source = engine_.voices[voice.glideSource];
                    source.previousFrequency = voice.currentFrequency;
                    source.glideEndTime = voice.glideEndTime;
                }
            }
        }

        // 3. The key this call releases in this voice.
        int releaseKey = key;
        if (triggerCall) {
            releaseKey = -1;
            if (voice.layer >= 0 && voice.layer < instrument_->layerCount) {
                const compiler::LayerSettings& layer =
                    instrument_->layers[static_cast<std::size_t>(voice.layer)].settings;
                for (int i = 0; i < layer.offTriggerCount; ++i) {
                    const compiler::LayerOffTrigger& trigger = layer.offTriggers[static_cast<std::size_t>(i)];
                    if (trigger.mcc != mcc || mccValue < trigger.lo || mccValue > trigger.hi ||
                        static_cast<int>(voice.midiKey) == status)
                        continue;
                    releaseKey = voice.midiKey;
                    forced = trigger.release;
                    break;
                }
            }
            if (releaseKey < 0) continue;
        }

        // 4. The release.
        if (releaseKey < 0 || static_cast<int>(voice.midiKey) != releaseKey || voice.channel != channel)
            continue;
        voice.repeat.pending = 0;  // an arpeggio stops repeating
        if (t < voice.startTime && voice.repeat.enabled != 0 && voice.repeat.blocking == 0 &&
            voice.repeat.reverse == 0) {
            voice.frequency = 0.0f;  // a pattern note that has not started yet is dropped
            voice.releaseTime = -1;
            continue;
        }
        if (voice.releaseTime < 0) {
            voice.releaseTime = releaseAt;
            float v = static_cast<float>(status == 0x90 || triggerCall ? voice.noteVelocity : velocity);
            const compiler::VelocityMapping& vm = instrument_->keyMapping.velocity;
            const int inputVelocity = static_cast<int>(v);
            if (vm.mode >= 1 && vm.range.covers(voice.midiKey) && inputVelocity >= vm.minIn &&
                inputVelocity <= vm.maxIn && engine_.controllers.mccIsOn(vm.range.switchMcc) != 0)
                v = mapVelocity(vm, v, inputVelocity);
            voice.releaseVelocity = v;
            if (log_.debugLevel > 1) {
                log_.appendf(Log::kMain, "NOTE OFF #%d of note #%d velocity %.2f, deltaframes %d.\r\n", index,
                             static_cast<int>(voice.midiKey), static_cast<double>(v),
                             static_cast<int>(t - engine_.sampleClock));
                if (triggerCall)
                    log_.appendf(Log::kMain, "****Reason: OFF trigger on MCC #%d, value %.2f, forced release: %.4f.\r\n",
                                 mcc, static_cast<double>(mccValue), static_cast<double>(forced));
            }
        }
        if (forced > 0.0f)
            voice.forcedReleaseTime =
                voice.forcedReleaseTime < 1e-5f ? forced : std::min(voice.forcedReleaseTime, forced);
    }
}

void NotePlayer::setSostenuto(bool on, std::int64_t t, int which) {
    PedalState& pedals = engine_.controllers.pedals;
    VoiceTable& voices = engine_.voices;
    const auto sounding = [t](const Voice& voice) {
        return voice.active() && voice.startTime < t && (voice.releaseTime < 0 || voice.releaseTime > t);
    };
    if (!on) {
        for (int i = 0; i < VoiceTable::kNoteVoices; ++i) {
            if (which == 0) voices[i].sostenutoAll = 0;
            else voices[i].sostenutoRange = 0;
        }
        if (which == 0) pedals.sostenutoAll = 0;
        else pedals.sostenutoRange = 0;
        return;
    }
    if (which == 0) {
        // Only the first press latches: the voices sounding then stay held until release.
        if (pedals.sostenutoAll != 0) return;
        for (int i = 0; i < VoiceTable::kNoteVoices; ++i)
            if (sounding(voices[i])) voices[i].sostenutoAll = 1;
        pedals.sostenutoAll = 1;
        return;
    }
    // Each press of the range sostenuto latches the voices started since, unless the all-keys
    // sostenuto is down.
    if (pedals.sostenutoAll == 0)
        for (int i = 0; i < VoiceTable::kNoteVoices; ++i) {
            Voice& voice = voices[i];
            if (voice.midiKey >= pedals.sostenutoMin && voice.midiKey <= pedals.sostenutoMax && sounding(voice))
                voice.sostenutoRange = 1;
        }
    pedals.sostenutoRange = 1;
}

}  // namespace tess::midi
