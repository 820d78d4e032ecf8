#include "engine/VoiceModulation.h"

#include <algorithm>
#include <cmath>

namespace tess {

namespace {

// Controller values of couples written "$n" are in cents (frequency, cutoff) or dB (gain).
constexpr float kPerCent = 0.00083333335f;  // 1 / 1200
constexpr float kPerDecibel = 0.05f;

float tenTo(float x) { return std::exp(x * 2.302585093f); }

int scaledNumber(int number, int midiKey) {
    return number == mcc::kPolyAftertouch ? mcc::kPolyAftertouchBase + midiKey : number;
}

class ControllerReader {
public:
    ControllerReader(ControllerSpace& controllers, std::int64_t t, int midiKey)
        : controllers_(controllers), t_(t), midiKey_(midiKey) {}
    float operator()(int number) const { return controllers_.mccReadScaled(scaledNumber(number, midiKey_), t_); }

private:
    ControllerSpace& controllers_;
    std::int64_t t_;
    int midiKey_;
};

int controllerOf(float stored, float base) { return static_cast<int>(stored - base); }

// controller × value for a constant value; for a value naming a controller, the product of the
// two controllers converted from cents or dB.
float coupleAmount(const compiler::ControllerCouple& couple, const ControllerReader& read, float perUnit) {
    const float m = read(couple.mcc);
    if (couple.value < 1000.0f) return m * couple.value;
    return read(controllerOf(couple.value, 1000.0f)) * m * perUnit;
}

float sumCouples(const std::vector<compiler::ControllerCouple>& couples, const ControllerReader& read, float perUnit) {
    float amount = 0.0f;
    for (const compiler::ControllerCouple& couple : couples) amount += coupleAmount(couple, read, perUnit);
    return amount;
}

// exp(x) for the modulators' LFO parts, which are 0 while an LFO is off or delayed: exp(0) is
// exactly 1, so the call is skipped there.
float tenToOrOne(float x) { return x == 0.0f ? 1.0f : tenTo(x); }
float exp2OrOne(float x) { return x == 0.0f ? 1.0f : std::exp2(x); }

}  // namespace

bool listsHold(const VoiceModulation& m, const ControllerSpace& controllers, int midiKey, std::int64_t from,
               std::int64_t to) {
    if (!m.anyList || m.layer == nullptr) return true;
    float value = 0.0f;
    auto holds = [&](int number) {
        return controllers.mccReadScaledHolds(scaledNumber(number, midiKey), from, to, value);
    };
    for (const compiler::ComplexModulation& entry : m.layer->complex) {
        if (entry.value > 10000.0f && !holds(controllerOf(entry.value, 10000.0f))) return false;
        if (!holds(entry.mccA) || !holds(entry.mccB)) return false;
    }
    for (const auto& couples : m.layer->couples)
        for (const compiler::ControllerCouple& couple : couples)
            if (!holds(couple.mcc) || (couple.value >= 1000.0f && !holds(controllerOf(couple.value, 1000.0f))))
                return false;
    return true;
}

void startVoiceModulation(VoiceModulation& m, const compiler::LayerModulation& layer, const env::ModulatorStart& start) {
    using Target = compiler::LayerModulation::Target;
    static constexpr float kNeutral[VoiceModulation::Count] = {0.0f, 1.0f, 0.0f, 0.0f};
    m.layer = &layer;
    m.anyModulator = false;
    for (int i = 0; i < VoiceModulation::Count; ++i) {
        env::VoiceModulator& modulator = m.modulators[i];
        startVoiceModulator(modulator, layer.lfo[i], layer.envelope[i], kNeutral[i], start);
        m.anyModulator = m.anyModulator || modulator.active();
    }
    m.anyList = !layer.complex.empty() || !layer.couples[Target::Frequency].empty() ||
                !layer.couples[Target::Gain].empty() || !layer.couples[Target::Filter].empty();
    m.cutoffSetting = layer.cutoffSetting;
}

ListedModulation modulateLists(const VoiceModulation& m, const ModulationSample& sample, float frequency,
                               float gain) {
    using Target = compiler::LayerModulation::Target;
    ListedModulation r;
    r.frequency = frequency;
    r.gain = gain;
    PartScales& scales = r.scales;
    float& filterFactor = r.filterFactor;
    const ControllerReader read(*sample.controllers, sample.timing->t, sample.midiKey);
    if (m.anyList && m.layer != nullptr) {
        // 1. COMPLEXMOD.
        for (const compiler::ComplexModulation& entry : m.layer->complex) {
            float value = entry.value;
            if (value > 10000.0f) {
                value = read(controllerOf(value, 10000.0f));
                if (entry.type == 0 || entry.type == 2) value *= kPerCent;
                if (entry.type == 1) value *= kPerDecibel;
            }
            const float amount = read(entry.mccA) * read(entry.mccB) * value;
            switch (entry.type) {
                case 0: r.frequency *= std::exp2(amount); break;
                case 1: r.gain *= tenTo(amount); break;
                case 2: filterFactor *= std::exp2(amount); break;
                case 3: scales.frequencyEnvelope = amount; break;
                case 4: scales.frequencyLfo = amount; break;
                case 5: scales.frequencyEnvelope = scales.frequencyLfo = amount; break;
                case 6: scales.gainEnvelope = amount; break;
                case 7: scales.gainLfo = amount; break;
                case 8: scales.gainEnvelope = scales.gainLfo = amount; break;
                case 9: scales.filterEnvelope = amount; break;
                case 10: scales.filterLfo = amount; break;
                case 11: scales.filterEnvelope = scales.filterLfo = amount; break;
                default: scales.phaseLfo = amount; break;
            }
        }
        // 2, 3. FREQMOD and GAINMOD.
        if (!m.layer->couples[Target::Frequency].empty())
            r.frequency *= std::exp2(sumCouples(m.layer->couples[Target::Frequency], read, kPerCent));
        if (!m.layer->couples[Target::Gain].empty())
            r.gain *= tenTo(sumCouples(m.layer->couples[Target::Gain], read, kPerDecibel));
        // 8. FCMOD's factor: its controllers are read here, before the modulators run, which
        // read no controller.
        if (!m.layer->couples[Target::Filter].empty()) {
            r.fcModFactor = std::exp2(sumCouples(m.layer->couples[Target::Filter], read, kPerCent));
            r.fcMod = true;
        }
    }
    return r;
}

namespace {

// The modulators that run keep the note alive until its note-off.
bool keepsNoteAlive(const env::EnvelopeTiming& timing) { return timing.releaseTime >= timing.startTime; }

// What steps 4 to 9 read of the voice's modulation, copied out so that a loop over a run keeps
// it in registers.
struct Combination {
    bool active[VoiceModulation::Count];
    float cutoffSetting;
};

Combination combinationOf(const VoiceModulation& m) {
    Combination c{{}, m.cutoffSetting};
    for (int k = 0; k < VoiceModulation::Count; ++k) c.active[k] = m.modulators[k].active();
    return c;
}

// Steps 4, 5 and 9: what the frequency, gain and filter modulators make of their target.
float modulatedFrequency(float frequency, float lfo, float envelope, const PartScales& scales) {
    return frequency * exp2OrOne(lfo * scales.frequencyLfo + envelope * scales.frequencyEnvelope);
}
float modulatedGain(float gain, float lfo, float envelope, const PartScales& scales) {
    return gain * (tenToOrOne(lfo * scales.gainLfo) * envelope * scales.gainEnvelope);
}
float modulatedCutoff(float cutoff, float lfo, float envelope, const PartScales& scales) {
    return cutoff * exp2OrOne(lfo * scales.filterLfo + envelope * scales.filterEnvelope);
}

// Steps 4 to 9 from the modulators' outputs (read only for the active modulators).
ModulatedRegisters combine(const Combination& m, const ListedModulation& listed, const env::ModulatorOutput* out,
                           float frequency) {
    using M = VoiceModulation;
    ModulatedRegisters r;
    r.frequency = listed.frequency;
    r.gain = listed.gain;
    const PartScales& scales = listed.scales;
    // 4 .. 6, and 9 below.
    if (m.active[M::Frequency])
        r.frequency = modulatedFrequency(r.frequency, out[M::Frequency].lfo, out[M::Frequency].envelope, scales);
    if (m.active[M::Gain]) r.gain = modulatedGain(r.gain, out[M::Gain].lfo, out[M::Gain].envelope, scales);
    if (m.active[M::Phase]) r.phase = out[M::Phase].lfo * scales.phaseLfo;

    // 7. DEFAULTFC.
    r.defaultFc = defaultCutoff(m.cutoffSetting, listed.filterFactor, r.frequency, frequency);
    // 8. FCMOD.
    if (listed.fcMod) r.defaultFc *= listed.fcModFactor;
    // 9. The filter modulator.
    if (m.active[M::Filter])
        r.defaultFc = modulatedCutoff(r.defaultFc, out[M::Filter].lfo, out[M::Filter].envelope, scales);
    return r;
}

}  // namespace

ModulatedRegisters modulateWith(VoiceModulation& m, const ListedModulation& listed, const ModulationSample& sample,
                                float frequency) {
    const env::EnvelopeTiming& timing = *sample.timing;
    env::ModulatorOutput out[VoiceModulation::Count];
    if (m.anyModulator) {
        for (int i = 0; i < VoiceModulation::Count; ++i) {
            env::VoiceModulator& modulator = m.modulators[i];
            if (!modulator.active()) continue;
            out[i] = env::runVoiceModulator(modulator, timing, sample.fresh, *sample.noise);
            if (keepsNoteAlive(timing) && sample.lowestStage != nullptr) *sample.lowestStage = 0.0f;
        }
    }
    return combine(combinationOf(m), listed, out, frequency);
}

bool modulatorsRunApart(const VoiceModulation& m) {
    int draws = 0;
    for (const env::VoiceModulator& modulator : m.modulators)
        if (modulator.active() && env::drawsNoise(modulator)) ++draws;
    return draws <= 1;
}

void runModulators(VoiceModulation& m, const ModulationSample& sample, ModulatorRun& run, int n) {
    run.keepsAlive = false;
    if (!m.anyModulator) return;
    for (int k = 0; k < VoiceModulation::Count; ++k) {
        env::VoiceModulator& modulator = m.modulators[k];
        if (!modulator.active()) continue;
        env::runVoiceModulatorRun(modulator, *sample.timing, sample.fresh, *sample.noise, run.lfo[k], run.envelope[k],
                                  run.scratch, run.stages, run.delayEnded, n);
        run.keepsAlive = run.keepsAlive || keepsNoteAlive(*sample.timing);
    }
}

void combineModulators(const VoiceModulation& m, const ListedModulation& listed, ModulatorRun& run, float frequency,
                       int n) {
    using M = VoiceModulation;
    const Combination c = combinationOf(m);
    const PartScales scales = listed.scales;
    // The steps of combine, each over the run.
    float* const f = run.frequency;
    std::fill(f, f + n, listed.frequency);
    if (c.active[M::Frequency])
        for (int i = 0; i < n; ++i)
            f[i] = modulatedFrequency(f[i], run.lfo[M::Frequency][i], run.envelope[M::Frequency][i], scales);
    float* const g = run.gain;
    std::fill(g, g + n, listed.gain);
    if (c.active[M::Gain])
        for (int i = 0; i < n; ++i) g[i] = modulatedGain(g[i], run.lfo[M::Gain][i], run.envelope[M::Gain][i], scales);
    if (c.active[M::Phase])
        for (int i = 0; i < n; ++i) run.phase[i] = run.lfo[M::Phase][i] * scales.phaseLfo;
    else
        std::fill(run.phase, run.phase + n, 0.0f);
    float* const fc = run.defaultFc;
    for (int i = 0; i < n; ++i) fc[i] = defaultCutoff(c.cutoffSetting, listed.filterFactor, f[i], frequency);
    if (listed.fcMod)
        for (int i = 0; i < n; ++i) fc[i] *= listed.fcModFactor;
    if (c.active[M::Filter])
        for (int i = 0; i < n; ++i)
            fc[i] = modulatedCutoff(fc[i], run.lfo[M::Filter][i], run.envelope[M::Filter][i], scales);
}

ModulatedRegisters modulateAll(VoiceModulation& m, const ModulationSample& sample, float frequency, float gain) {
    return modulateWith(m, modulateLists(m, sample, frequency, gain), sample, frequency);
}

}  // namespace tess
