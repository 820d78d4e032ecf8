// The host's MIDI events: decoding, the channel filter, temperament and keyswitch keys,
// note-on layer selection, controllers, program change, pressure and pitch bend.
#include <algorithm>
#include <cmath>

#include "compiler/OperationLimits.h"
#include "midi/NotePlayer.h"

namespace tess::midi {

NotePlayer::NotePlayer(Engine& engine, Log& log)
    : engine_(engine), log_(log), keptSlots_(new Stereo[compiler::kMaxSlots]()) {
    engine_.repeater = this;
}

NotePlayer::~NotePlayer() {
    if (engine_.repeater == this) engine_.repeater = nullptr;
}

void NotePlayer::resetForLoad() {
    instrument_ = nullptr;
    storeTemperament(0);
    engine_.controllers.pedals = PedalState{};
    engine_.tuning.cents12 = nullptr;
}

void NotePlayer::installInstrument(const compiler::CompiledInstrument& instrument) {
    instrument_ = &instrument;
    ControllerSpace& controllers = engine_.controllers;
    for (int key = 0; key < compiler::KeyswitchTable::kKeys; ++key)
        controllers.setKeyswitch(key, instrument.keyswitches.state[static_cast<std::size_t>(key)]);
    PedalState& pedals = controllers.pedals;
    pedals.release();
    pedals.pedalMin = instrument.keyMapping.pedal.minKey;
    pedals.pedalMax = instrument.keyMapping.pedal.maxKey;
    pedals.sostenutoMin = instrument.keyMapping.sostenuto.minKey;
    pedals.sostenutoMax = instrument.keyMapping.sostenuto.maxKey;
    const compiler::TemperamentTable& table = instrument.temperaments;
    storeTemperament(std::clamp(table.current, 0, table.count() - 1));
    engine_.tuning.cents12 = table.entries[static_cast<std::size_t>(temperament_)].cents.data();
    // A selection made while a link existed leaves the link at the selected index.
    if (table.linkValue >= 0) {
        const int link = table.link;
        if (link >= 0 && link < 200) controllers.writeMidi(link, static_cast<float>(table.linkValue), 0);
        if (link >= mcc::kVstVarBase && link < mcc::kVstVarBase + ControllerSpace::kVstVars)
            controllers.setVstVar(link - mcc::kVstVarBase, static_cast<float>(table.linkValue));
    }
}

bool NotePlayer::selectTemperament(int index) {
    if (instrument_ == nullptr) return false;
    const compiler::TemperamentTable& table = instrument_->temperaments;
    index = std::clamp(index, 0, table.count() - 1);
    if (index == temperament_) return false;
    storeTemperament(index);
    engine_.tuning.cents12 = table.entries[static_cast<std::size_t>(index)].cents.data();
    return true;
}

float NotePlayer::centsFor(int index, float pitch, int detune) const {
    if (index == 0 || instrument_ == nullptr) return static_cast<float>(detune);
    const compiler::TemperamentTable& table = instrument_->temperaments;
    if (index < 0 || index >= table.count()) return 0.0f;
    // The pitch class of the nearest key, always in 0 .. 11 (also below key 0).
    const int nearest = static_cast<int>(std::floor(pitch + 0.5f));
    const int pitchClass = ((nearest % 12) + 12) % 12;
    return table.entries[static_cast<std::size_t>(index)].cents[static_cast<std::size_t>(pitchClass)];
}

void NotePlayer::logTemperament(const char* how, int extra) {
    if (log_.debugLevel <= 1 || instrument_ == nullptr) return;
    const std::string_view name = instrument_->temperaments.name(temperament_);
    if (extra >= 0)
        log_.appendf(Log::kMain, "TEMPERAMENT set to: %.*s (%d) WITH %s #%d KEYSWITCH.\r\n", static_cast<int>(name.size()),
                     name.data(), temperament_, how, extra);
    else
        log_.appendf(Log::kMain, "TEMPERAMENT set to: %.*s (%d) WITH %s.\r\n", static_cast<int>(name.size()),
                     name.data(), temperament_, how);
}

void NotePlayer::processEvents(const vst::VstEvents& events, std::int64_t hostPosition) {
    if (instrument_ == nullptr) return;
    const std::int64_t blockStart = engine_.sampleClock;
    hostOffset_ = hostPosition >= 0 ? hostPosition - blockStart : 0;
    for (int i = 0; i < events.numEvents; ++i) {
        const vst::VstEvent* event = events.entry(i);
        if (event == nullptr || event->type != vst::kVstMidiType) continue;
        handleEvent(*reinterpret_cast<const vst::VstMidiEvent*>(event), blockStart);
    }
}

void NotePlayer::handleEvent(const vst::VstMidiEvent& event, std::int64_t blockStart) {
    const int byte0 = static_cast<unsigned char>(event.midiData[0]);
    const int status = byte0 & 0xF0;
    const int channel = byte0 & 0x0F;
    const int d1 = event.midiData[1] & 0x7F;
    const int d2 = event.midiData[2] & 0x7F;
    if (log_.debugLevel > 2)
        log_.appendf(Log::kMain, "Message: %d %d %d, channel %d, notelength: %d\r\n", status, d1, d2, channel,
                     static_cast<int>(event.noteLength));
    const compiler::CommonSettings& common = instrument_->common;
    if (channel < common.midiChannelMin || channel > common.midiChannelMax) return;
    const std::int64_t t = blockStart + event.deltaFrames;
    ControllerSpace& controllers = engine_.controllers;

    switch (status) {
        case 0x80:
        case 0x90: {
            const bool on = status == 0x90 && d2 > 0;
            const int key = d1;
            const int link = instrument_->temperaments.link;
            if (link == mcc::kKeyswitchBase + key) {
                // The temperament key steps through the table; it never sounds.
                if (!on) return;
                const int count = instrument_->temperaments.count();
                selectTemperament((temperament_ + 1) % count);
                logTemperament("KEY", key);
                controllers.setKeyswitch(key, temperament_);
                noteOff(-1, -1, t, -1, 0.0f, mcc::kKeyswitchBase + key, static_cast<float>(temperament_), channel);
                return;
            }
            const int owner = instrument_->keyswitches.owner[static_cast<std::size_t>(key)];
            if (owner >= 0) {
                if (on) keyswitchKey(key, owner, t, channel);
                return;
            }
            if (!on) {
                const int velocity = static_cast<signed char>(event.noteOffVelocity) > 0 ? 1 : d2;
                noteOff(key, velocity, t, status, 0.0f, kPlainNoteOff, 0.0f, channel);
                return;
            }
            const std::int64_t tOn = blockStart + (event.noteOffset > 0 ? event.noteOffset : event.deltaFrames);
            noteOnEvent(key, d2, tOn, static_cast<signed char>(event.detune), channel);
            return;
        }
        case 0xA0:
            if (log_.debugLevel > 1)
                log_.appendf(Log::kMain, "POLYPHONIC AFTERTOUCH of note #%d set to %d.\r\n", d1, d2);
            controllers.writeMidi(mcc::kPolyAftertouchBase + d1, static_cast<float>(d2), t);
            noteOff(-1, -1, t, -1, 0.0f, mcc::kPolyAftertouchBase + d1, static_cast<float>(d2), channel);
            return;
        case 0xB0:
            controlChange(d1, d2, t, channel);
            return;
        case 0xC0: {
            controllers.writeMidi(mcc::kProgram, static_cast<float>(d1), t);
            noteOff(-1, -1, t, -1, 0.0f, mcc::kProgram, static_cast<float>(d1), channel);
            if (log_.debugLevel > 1) log_.appendf(Log::kMain, "Program changed to #%d.\r\n", d1);
            if (instrument_->temperaments.link == mcc::kProgram &&
                selectTemperament(std::min(d1, instrument_->temperaments.count() - 1)))
                logTemperament("MIDI PROGRAM CHANGE", -1);
            return;
        }
        case 0xD0:
            controllers.writeMidi(mcc::kAftertouch, static_cast<float>(d1), t);
            noteOff(-1, -1, t, -1, 0.0f, mcc::kAftertouch, static_cast<float>(d1), channel);
            if (log_.debugLevel > 1) log_.appendf(Log::kMain, "Channel pressure (Aftertouch) changed to #%d.\r\n", d1);
            return;
        case 0xE0: {
            const float bend = ControllerSpace::pitchBendValue(d1, d2);
            controllers.writeMidi(mcc::kPitchBend, bend, t);
            noteOff(-1, -1, t, -1, 0.0f, mcc::kPitchBend, bend, channel);
            if (log_.debugLevel > 1)
                log_.appendf(Log::kMain, "Pbend %.5f %.4f\r\n", static_cast<double>(bend),
                             static_cast<double>(t) / static_cast<double>(engine_.sampleRate));
            return;
        }
        default:
            return;  // system messages
    }
}

void NotePlayer::switchPedals(int mcc, bool on, std::int64_t t) {
    const compiler::KeyMappingSettings& mapping = instrument_->keyMapping;
    PedalState& pedals = engine_.controllers.pedals;
    if (mcc == mapping.sostenuto.allMcc) setSostenuto(on, t, 0);
    if (mcc == mapping.sostenuto.rangeMcc) setSostenuto(on, t, 1);
    if (mcc == mapping.pedal.allMcc) pedals.pedalAll = on ? 1 : 0;
    if (mcc == mapping.pedal.rangeMcc) pedals.pedalRange = on ? 1 : 0;
}

void NotePlayer::keyswitchKey(int key, int owner, std::int64_t t, int channel) {
    const compiler::Keyswitch& ks = instrument_->keyswitches.entries[static_cast<std::size_t>(owner)];
    ControllerSpace& controllers = engine_.controllers;
    int option = 0;
    if (ks.type == 0) {
        for (int k = ks.key1; k <= ks.key2; ++k) controllers.setKeyswitch(k, 0);
        controllers.setKeyswitch(key, 1);
        option = key - ks.key1;
    } else if (ks.type == 1) {
        int state = controllers.keyswitch(key) + 1;
        if (state > ks.max) state = ks.min;
        controllers.setKeyswitch(key, state);
        option = state - ks.min;
    } else {
        int value = controllers.keyswitch(key);
        if (key == ks.key1) --value;
        if (key == ks.key2) ++value;
        if (value > ks.max) value = ks.min;
        if (value < ks.min) value = ks.max;
        controllers.setKeyswitch(ks.key1, value);
        controllers.setKeyswitch(ks.key2, value);
        option = value - ks.min;
    }
    const int state = controllers.keyswitch(key);
    switchKeyswitchPedals(ks, t);
    noteOff(-1, -1, t, -1, 0.0f, mcc::kKeyswitchBase + key, static_cast<float>(state), channel);
    if (log_.debugLevel > 1) {
        const char* optionName = option >= 0 && option < compiler::Keyswitch::kMaxOptions ? ks.options[option] : "?";
        log_.appendf(Log::kMain, "KEYSWITCH %s set to: %s (%d) WITH KEY #%d KEYSWITCH.\r\n", ks.name, optionName,
                     option, key);
    }
}

void NotePlayer::controlChange(int cc, int value, std::int64_t t, int channel) {
    if (log_.debugLevel > 1) log_.appendf(Log::kMain, "MIDI CC #%d set to %d.\r\n", cc, value);
    engine_.controllers.writeMidi(cc, static_cast<float>(value), t);
    noteOff(-1, -1, t, -1, 0.0f, cc, static_cast<float>(value), channel);
    switchPedals(cc, value > 64, t);
    if (controllerListener != nullptr) controllerListener->controllerChanged(cc, value);
    if (instrument_->temperaments.link == cc &&
        selectTemperament(std::min(value, instrument_->temperaments.count() - 1)))
        logTemperament("MIDI CC CHANGE", -1);
}

void NotePlayer::noteOnEvent(int key, int velocity, std::int64_t t, int detune, int channel) {
    const std::int32_t counter = engine_.noteCounter;
    bool advance = false;
    for (int layer = 0; layer < instrument_->layerCount; ++layer) {
        const compiler::LayerSettings& settings = instrument_->layers[static_cast<std::size_t>(layer)].settings;
        if (!layerQualifies(settings, key, velocity, t, channel, counter, advance)) continue;
        noteOn(key, velocity, t, detune, layer, channel);
        if (settings.group >= 0)
            noteOff(-1, -1, t, key, 0.0f, kGroupTrigger, static_cast<float>(settings.group), channel);
    }
    // Each started voice counted itself; the note-on as a whole advances the counter at most once.
    engine_.noteCounter = advance ? counter + 1 : counter;
}

bool NotePlayer::layerQualifies(const compiler::LayerSettings& layer, int key, int velocity, std::int64_t t,
                                int channel, std::int32_t counter, bool& advance) {
    const float k = static_cast<float>(key);
    const float v = static_cast<float>(velocity);
    if (k < layer.keyMin || k > layer.keyMax || v < layer.velocityMin || v > layer.velocityMax) return false;
    const int polyphony = std::clamp(instrument_->common.poly.voices, 1, VoiceTable::kNoteVoices);
    // Held voices among the allocatable ones, in a key range: active, and released neither yet
    // nor at this note-on (an arpeggio note whose release is still ahead is held).
    const auto held = [&](const compiler::LayerOnTrigger& trigger, bool otherKeyOnly) {
        for (int i = 0; i < polyphony; ++i) {
            const Voice& voice = engine_.voices[i];
            if (!voice.active() || (voice.releaseTime >= 0 && voice.releaseTime <= t)) continue;
            const float voiceKey = static_cast<float>(voice.midiKey);
            if (voiceKey < trigger.lo || voiceKey > trigger.hi) continue;
            if (otherKeyOnly && voice.midiKey == key) continue;
            return true;
        }
        return false;
    };
    ControllerSpace& controllers = engine_.controllers;
    for (int i = 0; i < layer.onTriggerCount; ++i) {
        const compiler::LayerOnTrigger& trigger = layer.onTriggers[static_cast<std::size_t>(i)];
        if (trigger.mcc < mcc::kTriggerFirst) {
            const float value = controllers.mccRead(trigger.mcc, t);
            if (value < trigger.lo || value > trigger.hi) return false;
        } else if (trigger.mcc == mcc::kTriggerFirst) {
            if (held(trigger, false)) return false;
        } else if (trigger.mcc == mcc::kTriggerLegato) {
            if (!held(trigger, true)) return false;
        } else if (trigger.mcc == mcc::kTriggerChannel) {
            if (static_cast<float>(channel) < trigger.lo || static_cast<float>(channel) > trigger.hi) return false;
        } else {
            // Round robin: a divisor that truncates below 1 never holds.
            const double divisor = std::trunc(static_cast<double>(trigger.hi));
            if (!(divisor >= 1.0) || divisor > 2147483647.0) return false;
            const std::int64_t d = static_cast<std::int64_t>(divisor);
            const std::int64_t remainder = static_cast<std::int64_t>(counter) % d;
            if (static_cast<double>(remainder) != std::trunc(static_cast<double>(trigger.lo))) return false;
            advance = true;
        }
    }
    for (int i = 0; i < layer.offTriggerCount; ++i) {
        const compiler::LayerOffTrigger& trigger = layer.offTriggers[static_cast<std::size_t>(i)];
        if (trigger.mcc >= mcc::kTriggerFirst) continue;
        const float value = controllers.mccRead(trigger.mcc, t);
        if (value >= trigger.lo && value <= trigger.hi) return false;
    }
    return true;
}

}  // namespace tess::midi
