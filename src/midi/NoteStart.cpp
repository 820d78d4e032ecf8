// Voice start: tuning and gain of the note, the choice of a voice by the polyphony rules
// (free, stolen, glided from or taken over legato), trigger rounding on the host's timeline,
// the crossfade gain and the voice's own copy of the layer's program.
#include <algorithm>
#include <cmath>

#include "engine/envelopes/Envelopes.h"
#include "midi/NotePlayer.h"

namespace tess::midi {

namespace {

constexpr float kOneTwelfth = 0.0833333358f;

// The next multiple of `r` strictly after `x` (r >= 1).
std::int64_t nextMultipleAfter(std::int64_t x, std::int64_t r) {
    std::int64_t remainder = x % r;
    if (remainder < 0) remainder += r;
    return x - remainder + r;
}

int truncInt(float value) {
    if (!(value > -2147483648.0f)) return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0f) return INT32_MAX;
    return static_cast<int>(value);
}

// Where a voice's frequency stands at time `ts`, worked out from its glide rather than taken
// from the last sample rendered, which may lie up to a block (or a start delay) before `ts`.
float sourceFrequencyAt(const Voice& source, std::int64_t ts, float sampleRate) {
    const bool gliding = source.glideRatio > 0.0f && source.glideRatio < 100000.0f;
    const float glideSamples = source.glideTime * sampleRate;
    if (!gliding || !(source.glideFrom > 0.0f) || !(glideSamples > 0.0f)) return source.currentFrequency;
    const float elapsed = static_cast<float>(std::max<std::int64_t>(ts - source.startTime, 0));
    return source.glideFrom * std::pow(source.frequency / source.glideFrom, std::min(1.0f, elapsed / glideSamples));
}

}  // namespace

std::int32_t NotePlayer::gridRounding(const compiler::LayerProgram& program) const {
    // An ENV or ENVCURVE of type above 2000 re-triggers every (type - 2000)/32 bars on the song
    // clock: its voice starts on that grid. The type is the operation's first argument as the
    // program starts (a constant, normally).
    std::int32_t rounding = 1;
    const int slots = static_cast<int>(program.left.size());
    for (const compiler::Operation& op : program.operations) {
        const int function = op.code - 3;
        if (function != env::kEnvFunction && function != env::kEnvCurveFunction) continue;
        const int slot = op.operands[0];
        if (slot < 0 || slot >= slots) continue;
        const float type = program.left[static_cast<std::size_t>(slot)];
        if (!(type > 2000.0f && type < 1e9f)) continue;
        const double interval = std::trunc(type - 2000.0f) * samplesPerBar() * 0.03125;
        rounding = std::max(rounding, truncInt(static_cast<float>(std::trunc(interval))));
    }
    return rounding;
}

float NotePlayer::crossfadeGain(const compiler::LayerSettings& settings, std::int64_t ts, float key, float tunedPitch,
                                float onVelocity, float gain, float frequency, int midiKey) {
    ControllerSpace& controllers = engine_.controllers;
    float product = 1.0f;
    for (int i = 0; i < settings.crossfadeCount && i < compiler::LayerSettings::kMaxCrossfades; ++i) {
        const compiler::LayerCrossfade& fade = settings.crossfades[static_cast<std::size_t>(i)];
        const int n = fade.mcc;
        float v = 0.0f;
        if (n < 0 || n >= mcc::kCount) v = 0.0f;
        else if (n == mcc::kKey) v = key;
        else if (n == mcc::kKeyF) v = tunedPitch;
        else if (n == mcc::kOnVelocity || n == mcc::kOffVelocity) v = onVelocity;
        else if (n == mcc::kPolyAftertouch) {
            const int number = mcc::kPolyAftertouchBase + midiKey;
            v = ts < controllers.switchTime(number) ? controllers.previous(number) : controllers.current(number);
        } else if (n == mcc::kGain) v = gain;
        else if (n == mcc::kFreq) v = frequency;
        else if (n == mcc::kTemperament) v = static_cast<float>(temperament_);
        else v = controllers.mccRead(n, ts);  // one smoothing step where the reader smooths
        const float span = fade.end - fade.start;
        float x;
        if (fade.type == 0)
            x = v < fade.start ? 0.0f : v > fade.end ? 1.0f : (v - fade.start) / span;
        else if (fade.type == 1)
            x = v > fade.end ? 0.0f : v < fade.start ? 1.0f : (fade.end - v) / span;
        else
            x = (fade.end - v) / span;
        if (!(x == x)) x = 0.0f;  // a range of zero width
        if (fade.curve == 1) x = std::sqrt(std::max(x, 0.0f));
        if (fade.curve == 2 && x > 0.0f) x = std::pow(10.0f, (x - 1.0f) * 3.0f);
        product *= x;
        if (log_.debugLevel > 1)
            log_.appendf(Log::kMain, "Xfade %d, typ %d, pow %d, MCC %d, Val %.2f, min %.2f, max %.2f, xfade %.4f, total %.4f\r\n",
                         i, fade.type, fade.curve, n, double(v), double(fade.start), double(fade.end), double(x),
                         double(product));
    }
    return product;
}

int NotePlayer::startVoice(const NoteStart& note) {
    if (instrument_ == nullptr || note.layer < 0 || note.layer >= instrument_->layerCount) return -1;
    const compiler::LayerProgram& program = instrument_->layers[static_cast<std::size_t>(note.layer)];
    if (program.operationCount() == 0) return -1;  // nothing to play
    const compiler::LayerSettings& layer = program.settings;
    const compiler::LayerToneDefaults& defaults = instrument_->toneDefaults;
    const compiler::PolySettings& poly = instrument_->common.poly;
    ControllerSpace& controllers = engine_.controllers;
    const float sampleRate = engine_.sampleRate;
    const std::int64_t t = note.t;

    // 1. Tuning.
    const float cents =
        temperament_ == 0 && (note.arpeggio || note.chord) ? 0.0f : centsFor(temperament_, note.pitch, note.detune);
    const float tunedPitch = note.pitch + cents * 0.01f;

    // 2. Frequency and gain; a value beyond the plain range names a controller.
    float f0 = layer.baseFrequency > -1.0f ? layer.baseFrequency : defaults.baseFrequency;
    if (f0 > 11000.0f) f0 = controllers.mccReadDirect(truncInt(f0 - 11000.0f), t);
    float keyTracking = layer.keyTracking > -1000.0f ? layer.keyTracking : defaults.keyTracking;
    if (keyTracking > 1000.0f) keyTracking = controllers.mccReadDirect(truncInt(keyTracking - 1000.0f), t);
    float keyCenter = layer.keyCenter > -1.0f ? layer.keyCenter : defaults.keyCenter;
    if (keyCenter > 1000.0f) keyCenter = controllers.mccReadDirect(truncInt(keyCenter - 1000.0f), t);
    float baseGain = layer.baseGain > -1.0f ? layer.baseGain : defaults.baseGain;
    if (baseGain > 1000.0f) baseGain = controllers.mccReadDirect(truncInt(baseGain - 1000.0f), t);
    float tracking = layer.velocityTracking >= 0.0f ? layer.velocityTracking : defaults.velocityTracking;
    if (tracking >= 1000.0f) tracking = controllers.mccReadDirect(truncInt(tracking - 1000.0f), t);
    const float frequency = f0 * std::pow(2.0f, (tunedPitch - keyCenter) * keyTracking * kOneTwelfth);
    const float gain = std::pow(note.mappedVelocity * 0.007874016f, tracking) * baseGain;

    // 3. Retrigger mode: 0 .. 3, or read from a controller, a keyswitch key or a host parameter.
    const auto rawController = [&controllers, t](int number) {
        return t < controllers.switchTime(number) ? controllers.previous(number) : controllers.current(number);
    };
    int mode = poly.retrigger;
    if (mode < 0) {
        if (mode >= -128) mode = truncInt(rawController(-1 - mode)) / 32;
        else if (mode >= -528 && mode <= -401) mode = controllers.keyswitch(-401 - mode);
        else if (mode >= -728 && mode <= -601) mode = truncInt(controllers.vstVar(-601 - mode));
        else mode = 0;
    }
    mode = std::clamp(mode, 0, 3);

    // 4. Glide time in seconds.
    float glide = poly.glide;
    if (glide < 0.0f && glide > -127.9f) glide = rawController(truncInt(-glide)) * 0.01f;
    else if (glide < -600.0f && glide > -727.9f) glide = controllers.vstVar(-600 - truncInt(glide));
    glide = std::clamp(glide, 0.0f, 100.0f);
    if (!(glide >= 0.001f) && mode > 1) {
        mode = 1;
        glide = 0.0f;
    }

    // 5. The scan of the allocatable voices.
    const int polyphony = std::clamp(poly.voices, 1, VoiceTable::kNoteVoices);
    const int opCount = program.operationCount();
    const int slotCount = static_cast<int>(program.left.size());
    const std::int64_t settleTime = static_cast<std::int64_t>(0.1f * sampleRate);
    struct Extremes {
        int oldest = -1, lowest = -1, highest = -1, quietest = -1;
        void add(const VoiceTable& voices, int i) {
            const Voice& v = voices[i];
            if (oldest < 0 || v.startTime < voices[oldest].startTime) oldest = i;
            if (lowest < 0 || v.tunedPitch < voices[lowest].tunedPitch) lowest = i;
            if (highest < 0 || v.tunedPitch > voices[highest].tunedPitch) highest = i;
            if (quietest < 0 || v.level < voices[quietest].level) quietest = i;
        }
        int byOption(int option) const {
            switch (option) {
                case 1: return lowest;
                case 2: return highest;
                case 3: return quietest;
                default: return oldest;
            }
        }
    };
    VoiceTable& voices = engine_.voices;
    int free = -1;
    Extremes all, sameShape;
    int candidate = -1;
    for (int i = 0; i < polyphony; ++i) {
        const Voice& v = voices[i];
        // A voice cut by a load or a suspend (frequency 0) is released by the next block
        // anyway: it is as free as an idle one, so that the notes of the first block after a
        // load do not steal each other.
        if (v.frequency <= 0.0f) free = i;
        all.add(voices, i);
        if (mode == 0) continue;
        if (v.operationCount != opCount || v.slotCount != slotCount) continue;
        sameShape.add(voices, i);
        if (mode < 2 || !v.active() || t - v.startTime <= settleTime) continue;
        if (v.releaseTime >= 0 && v.releaseTime <= t) continue;
        if (candidate < 0) {
            candidate = i;
            continue;
        }
        const int distance = std::abs(static_cast<int>(v.midiKey) - note.key);
        const int best = std::abs(static_cast<int>(voices[candidate].midiKey) - note.key);
        if (distance < best || (distance == best && v.startTime > voices[candidate].startTime)) candidate = i;
    }

    // 6. Fallbacks.
    if (mode > 1 && candidate < 0) {
        mode = 1;
        glide = 0.0f;
    }
    if (mode > 0 && sameShape.oldest < 0) mode = 0;

    // 7. The voice.
    int chosen = -1;
    bool keepProgram = false;
    if (free >= 0) {
        chosen = free;
    } else if (mode == 1) {
        chosen = poly.option == 4 ? -1 : sameShape.byOption(poly.option);
        keepProgram = chosen >= 0;
        if (chosen < 0) mode = 0;
    }
    if (chosen < 0) chosen = all.byOption(poly.option);
    if (mode == 3 && candidate >= 0) {
        chosen = candidate;
        keepProgram = true;
    }
    if (chosen < 0) return -1;
    Voice& voice = voices[chosen];

    // 10. Trigger rounding onto the host's timeline, at least the interval of any envelope
    // re-triggered on the song clock's grid.
    std::int64_t ts = t + note.shift;
    const std::int64_t rounding = std::max<std::int64_t>(std::max(note.rounding, gridRounding(program)), 1);
    if (log_.debugLevel > 1) log_.appendf(Log::kMain, "Trigger time rounding in samples: %d\r\n", static_cast<int>(rounding));
    if (rounding >= 2) ts = nextMultipleAfter(ts + hostOffset_, rounding) - hostOffset_;

    // 12, 13. The crossfade gain. A note faded out completely takes no voice, so that it can
    // neither steal a sounding voice nor end a legato one.
    const int midiKey = std::clamp(note.key, 0, 127);
    const float key = std::floor(note.pitch + 0.5f);
    const float fade =
        crossfadeGain(layer, ts, key, tunedPitch, note.mappedVelocity, gain, frequency, midiKey);
    if (!(fade >= 0.1f * instrument_->common.silenceThreshold)) return -1;

    // 8. Glide set-up.
    const auto glideRatio = [&](float from) { return std::pow(frequency / from, 1.0f / (glide * sampleRate)); };
    float glideStart = 0.0f;
    float ratio = 0.0f;
    std::int8_t previousKey = -1;
    int glideSource = chosen;
    float previousFrequency = voice.previousFrequency;
    if (mode == 2) {
        const Voice& source = voices[candidate];
        previousKey = static_cast<std::int8_t>(source.midiKey);
        glideSource = candidate;
        const float from = sourceFrequencyAt(source, ts, sampleRate);
        if (glide > 0.001f && from > 0.0f) {
            glideStart = from;
            ratio = glideRatio(glideStart);
        }
    } else if (mode == 3) {
        previousKey = static_cast<std::int8_t>(voice.midiKey);
        previousFrequency = voice.frequency;
        if (glide > 0.001f && voice.currentFrequency > 0.0f) {
            glideStart = voice.currentFrequency;
            ratio = glideRatio(glideStart);
        }
    } else if (mode == 1 && glide > 0.001f && voice.currentFrequency > 0.0f) {
        glideStart = voice.currentFrequency;
        ratio = glideRatio(glideStart);
    }
    if (!(ratio == ratio)) ratio = 0.0f;

    // 9, 11. The voice's fields.
    voice.midiKey = static_cast<std::uint8_t>(midiKey);
    if (keepProgram) {
        // A kept program continues with its slot values and envelope levels; its operations
        // start over.
        const int slots = voice.slotCount;
        std::copy(voice.registers.begin(), voice.registers.begin() + slots, keptSlots_.get());
        engine_.copyProgram(voice, program, true);
        std::copy(keptSlots_.get(), keptSlots_.get() + slots, voice.registers.begin());
    } else {
        engine_.copyProgram(voice, program);
    }
    voice.layer = note.layer;
    voice.gain = gain;
    voice.frequency = frequency;
    voice.currentFrequency = ratio > 0.0f ? glideStart : frequency;
    voice.glideStartFrequency = glideStart;
    voice.glideRatio = ratio;
    voice.glideTime = glide;
    voice.glideFrom = glideStart;
    voice.glideEndTime = -1;
    voice.glideSource = glideSource;
    voice.previousKey = previousKey;
    voice.previousFrequency = previousFrequency;
    voice.key = key;
    voice.tunedPitch = tunedPitch;
    voice.onVelocity = note.mappedVelocity;
    voice.releaseVelocity = note.mappedVelocity;
    voice.noteVelocity = note.velocity;
    voice.level = 1.0f;
    voice.sostenutoAll = 0;
    voice.sostenutoRange = 0;
    voice.retriggerMode = static_cast<std::int8_t>(mode == 2 ? 0 : mode);
    voice.fresh = (!keepProgram || mode == 0 || mode == 2) ? 1 : 0;
    voice.channel = static_cast<std::int8_t>(note.channel);
    voice.temperament = temperament_;
    voice.random = controllers.current(mcc::kRandom);
    voice.shift = note.shift;
    voice.spread = note.spread;
    voice.rounding = static_cast<std::int32_t>(rounding);
    voice.startTime = ts;
    voice.releaseTime = -1;
    voice.forcedReleaseTime = 0.0f;
    voice.crossfadeGain = fade;
    voice.baseFrequency = f0;
    voice.keyTracking = keyTracking;
    voice.keyCenter = keyCenter;
    // 16. The voice modulators; a kept voice's envelopes go on from their levels.
    env::ModulatorStart modulatorStart;
    modulatorStart.controllers = &controllers;
    modulatorStart.t = t;
    modulatorStart.sampleRate = sampleRate;
    modulatorStart.barsPerSecond = engine_.transport.barsPerSecond;
    modulatorStart.keepEnvelope = keepProgram;
    startVoiceModulation(voice.modulation, program.modulation, modulatorStart);
    voice.sampleOffset = static_cast<std::int16_t>(layer.sampleOffset);
    voice.group = layer.group;
    voice.repeat = NoteRepeat{};
    voice.repeat.pending = note.lastNote ? 1 : 0;
    voice.repeat.enabled = note.arpeggio ? 1 : 0;
    voice.repeat.blocking = note.chord ? 1 : 0;
    if (note.arpeggio && !note.chord) {
        // An arpeggio note ends by itself: its release is on the grid after its duration.
        const std::int64_t u = t + note.shift + note.spread + hostOffset_;
        voice.releaseTime = nextMultipleAfter(u, rounding) - hostOffset_;
    }

    // 14. The trace.
    if (log_.debugLevel > 1) {
        log_.appendf(Log::kMain, "Note ON (%d). Layer # %d, K %.0f, %.0f, V %.0f, %.0f, group: %d, sampleoffset: %d\r\n",
                     engine_.noteCounter, note.layer + 1, double(layer.keyMin), double(layer.keyMax),
                     double(layer.velocityMin), double(layer.velocityMax), layer.group, layer.sampleOffset);
        for (int i = 0; i < layer.onTriggerCount; ++i) {
            const compiler::LayerOnTrigger& on = layer.onTriggers[static_cast<std::size_t>(i)];
            log_.appendf(Log::kMain, "Note ON trigger # %d. MCC # %d: %.2f - %.2f\r\n", i, on.mcc, double(on.lo),
                         double(on.hi));
        }
        for (int i = 0; i < layer.offTriggerCount; ++i) {
            const compiler::LayerOffTrigger& off = layer.offTriggers[static_cast<std::size_t>(i)];
            log_.appendf(Log::kMain, "Note OFF trigger # %d. MCC # %d: %.2f - %.2f, forced release: %.3f\r\n", i,
                         off.mcc, double(off.lo), double(off.hi), double(off.release));
        }
    }
    // 15. Each started voice counts; the note-on event settles the counter afterwards.
    ++engine_.noteCounter;
    return chosen;
}

}  // namespace tess::midi
