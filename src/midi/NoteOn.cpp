// Note-on: the key-mapping directives turn one note of one layer into the notes of a chord or
// an arpeggio, each with its pitch, velocity, start delay, duration spread and trigger
// rounding, and hand them to voice start.
#include <algorithm>
#include <cmath>

#include "midi/NotePlayer.h"

namespace tess::midi {

namespace {

std::int32_t truncToInt(double value) {
    if (!(value > -2147483648.0)) return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

}  // namespace

float NotePlayer::samplesPerBar() const {
    const ControllerSpace& c = engine_.controllers;
    // The tempo registers are filled by each rendered block; before the first one the
    // transport's defaults stand in.
    float bpm = c.current(mcc::kBpm);
    float numerator = c.current(mcc::kNumerator);
    float denominator = c.current(mcc::kDenominator);
    if (!(bpm > 0.0f)) bpm = engine_.transport.tempo;
    if (!(numerator > 0.0f)) numerator = engine_.transport.numerator;
    if (!(denominator > 0.0f)) denominator = engine_.transport.denominator;
    return numerator * 240.0f / (denominator * bpm) * engine_.sampleRate;
}

float NotePlayer::mapVelocity(const compiler::VelocityMapping& m, float velocity, int inputVelocity) {
    (void)inputVelocity;
    const float minIn = static_cast<float>(m.minIn);
    const float maxIn = static_cast<float>(m.maxIn);
    const float x = std::clamp(velocity, minIn, maxIn);
    // An input range of zero width maps to the top of the output range.
    const float curve = m.maxIn > m.minIn ? std::pow((x - minIn) / (maxIn - minIn), m.exponent) : 1.0f;
    const float r = random();
    return std::clamp(curve * (m.maxOut - m.minOut) + m.minOut + r * m.random, 0.0f, 127.0f);
}

void NotePlayer::noteOn(int key, int velocity, std::int64_t t, int detune, int layer, int channel) {
    if (instrument_ == nullptr) return;
    const compiler::KeyMappingSettings& mapping = instrument_->keyMapping;
    ControllerSpace& controllers = engine_.controllers;
    const compiler::NotePattern& pattern = mapping.pattern;
    const bool arpeggio = pattern.range.covers(key) && controllers.mccIsOn(pattern.range.switchMcc) != 0;
    // A pattern given without notes plays the key itself as its one note.
    const int notes = arpeggio ? std::clamp(pattern.count, 1, compiler::NotePattern::kMaxNotes) : 1;
    const bool chord = arpeggio && std::fabs(pattern.step) < 0.001f;
    const bool reverse = arpeggio && pattern.step < 0.0f;

    for (int k = 0; k < notes; ++k) {
        const std::size_t n = static_cast<std::size_t>(k);
        controllers.setBuiltin(mcc::kRandom, (random() + 1.0f) * 0.5f);
        const float perBar = samplesPerBar();
        float pitch = static_cast<float>(key);
        float vel = static_cast<float>(velocity);
        std::int32_t shift = 0;
        std::int32_t spread = 0;
        if (arpeggio) {
            vel = static_cast<float>(velocity) * pattern.velocity[n];
            pitch = static_cast<float>(key) + pattern.offset[n];
            shift = truncToInt(static_cast<double>(perBar) * pattern.start[n]);
            if (!chord) spread = truncToInt(static_cast<double>(perBar) * pattern.duration[n]);
        }
        const compiler::PitchClassMap& map = mapping.map;
        if (map.range.covers(key) && controllers.mccIsOn(map.range.switchMcc) != 0) {
            // The pitch class is replaced within its octave; a fraction of a key survives.
            const int p = static_cast<int>(std::floor(pitch + 0.5f));
            const int pitchClass = ((p % 12) + 12) % 12;
            const int octaveStart = p - pitchClass;
            pitch = static_cast<float>(map.map[static_cast<std::size_t>(pitchClass)] + octaveStart) +
                    (pitch - static_cast<float>(p));
        }
        const compiler::VelocityMapping& vm = mapping.velocity;
        if (vm.mode != 1 && vm.range.covers(key) && velocity >= vm.minIn && velocity <= vm.maxIn &&
            controllers.mccIsOn(vm.range.switchMcc) != 0)
            vel = mapVelocity(vm, vel, velocity);
        const compiler::PitchMapping& pm = mapping.pitch;
        if (pm.range.covers(key) && controllers.mccIsOn(pm.range.switchMcc) != 0) {
            const float r1 = random();
            const float r2 = random();
            pitch += pm.offset;
            if (std::fabs(r2) < pm.probability) pitch += r1 * pm.spread;
            if (pm.step > 0) {
                const float q = static_cast<float>(pm.step);
                pitch = std::trunc(pitch / q + 0.5f) * q;
            }
        }
        std::int32_t rounding = 1;
        const compiler::TimingMapping& tm = mapping.timing;
        if (tm.range.covers(key) && controllers.mccIsOn(tm.range.switchMcc) != 0) {
            const float r1 = random();
            const float r2 = random();
            random();  // a third draw belongs to the timing step
            shift += truncToInt((static_cast<double>(tm.start) + std::fabs(r1 * tm.startSpread)) * perBar);
            spread += truncToInt(std::fabs(r2 * tm.durationSpread) * static_cast<double>(perBar));
            // A rounding of r bars puts notes on a grid of exactly r bars; none gives 1 sample.
            rounding = std::max(truncToInt(static_cast<double>(perBar) * tm.rounding), 1);
        }

        NoteStart note;
        note.key = key;
        note.pitch = pitch;
        note.velocity = velocity;
        note.mappedVelocity = vel;
        note.detune = detune;
        note.arpeggio = arpeggio;
        note.chord = chord;
        note.lastNote = k == notes - 1;
        note.t = t;
        note.shift = shift;
        note.spread = spread;
        note.rounding = rounding;
        note.layer = layer;
        note.channel = channel;
        const int v = startVoice(note);
        if (v < 0) continue;
        if (log_.debugLevel > 1) {
            const double rate = engine_.sampleRate;
            log_.appendf(Log::kMain,
                         "NOTE ON #%d of note #%.2f velocity %.2f, sample shift: %d (%.2f bars, %.2f sec), duration "
                         "spread %d (%.2f bars %.2f sec).\r\n",
                         v, static_cast<double>(pitch), static_cast<double>(vel), shift, shift / double(perBar),
                         shift / rate, spread, spread / double(perBar), spread / rate);
        }
        NoteRepeat& repeat = engine_.voices[v].repeat;
        repeat.key = key;
        repeat.velocity = velocity;
        repeat.detune = detune;
        repeat.layer = layer;
        repeat.channel = channel;
        repeat.baseTime = t;
        repeat.step = truncToInt(std::fabs(static_cast<double>(pattern.step)) * perBar);
        repeat.reverse = reverse ? 1 : 0;
        repeat.nextTime = truncToInt(static_cast<double>(perBar) * (arpeggio ? pattern.start[n] : 0.0f)) + t;
    }
}

void NotePlayer::repeatNote(Voice& voice) {
    if (instrument_ == nullptr) return;
    // The render loop calls this after the transport of the block is known.
    hostOffset_ = engine_.transport.songClock - engine_.sampleClock;
    const NoteRepeat repeat = voice.repeat;
    noteOn(repeat.key, repeat.velocity, repeat.baseTime + repeat.step, repeat.detune, repeat.layer, repeat.channel);
}

}  // namespace tess::midi
