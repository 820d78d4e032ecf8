// The layer modulation of a voice: the layer's controller lists (COMPLEXMOD, FREQMOD, GAINMOD,
// FCMOD and the cutoff setting, read from the compiled layer) and the voice's four running
// modulators. Once per sample, before the voice's program runs, it turns the voice's frequency
// and gain into the FREQ and GAIN registers and computes DEFAULTFC and the phase modulation,
// in this order:
//   1. COMPLEXMOD entries (direct factors and the scales of the modulators' parts)
//   2. FREQMOD   3. GAINMOD
//   4. frequency modulator   5. gain modulator   6. phase modulator
//   7. DEFAULTFC from FREQ and the cutoff setting   8. FCMOD   9. filter modulator
// Controllers are read scaled and smoothed; 132 is the note's own polyphonic aftertouch and a
// negative number reads as 1.
#pragma once

#include <cstdint>

#include "compiler/LayerModulation.h"
#include "controllers/ControllerSpace.h"
#include "engine/Noise.h"
#include "engine/envelopes/VoiceModulator.h"

namespace tess {

struct VoiceModulation {
    enum { Frequency, Gain, Filter, Phase, Count };

    const compiler::LayerModulation* layer = nullptr;  // the compiled lists; null: none
    env::VoiceModulator modulators[Count];
    bool anyModulator = false;
    bool anyList = false;
    float cutoffSetting = 0.0f;
};

// The registers the modulation produces for one sample.
struct ModulatedRegisters {
    float frequency = 0.0f;  // FREQ
    float gain = 0.0f;       // GAIN
    float defaultFc = 0.0f;  // DEFAULTFC
    float phase = 0.0f;      // the phase modulation the oscillators add, in radians
};

// What one sample of the modulation needs of its voice.
struct ModulationSample {
    ControllerSpace* controllers = nullptr;
    const env::EnvelopeTiming* timing = nullptr;
    int midiKey = 0;
    bool fresh = false;
    Noise* noise = nullptr;
    float* lowestStage = nullptr;  // an active modulator keeps the note alive until its note-off
};

// Voice start: the voice takes the layer's lists and fills its modulators ("$n" values read now).
void startVoiceModulation(VoiceModulation& modulation, const compiler::LayerModulation& layer,
                          const env::ModulatorStart& start);

// DEFAULTFC from the cutoff setting x: between 1e-6 and 10 a multiple of the modulated
// frequency, between -10 and -1e-6 a multiple of the unmodulated one, from 10 on an absolute
// frequency, else the modulated frequency; each times the filter factor.
inline float defaultCutoff(float x, float filterFactor, float modulated, float unmodulated) {
    if (x > 1e-6f && x < 10.0f) return x * filterFactor * modulated;
    if (x > -10.0f && x < -1e-6f) return -x * filterFactor * unmodulated;
    if (x >= 10.0f) return x * filterFactor;
    return filterFactor * modulated;
}

// The scales COMPLEXMOD sets for the modulators' parts; 1 unless an entry says otherwise.
struct PartScales {
    float frequencyEnvelope = 1.0f, frequencyLfo = 1.0f;
    float gainEnvelope = 1.0f, gainLfo = 1.0f;
    float filterEnvelope = 1.0f, filterLfo = 1.0f;
    float phaseLfo = 1.0f;
};

// What the controller lists (steps 1 to 3, and FCMOD's factor) make of a sample.
struct ListedModulation {
    float frequency = 0.0f;
    float gain = 0.0f;
    PartScales scales;
    float filterFactor = 1.0f;
    float fcModFactor = 1.0f;
    bool fcMod = false;
};

// Whether every controller the lists read holds one value over the times [from, to) (see
// ControllerSpace::mccReadScaledHolds): then the lists give the same result for each sample of
// that stretch, for the same frequency and gain, and may run once for it.
bool listsHold(const VoiceModulation& modulation, const ControllerSpace& controllers, int midiKey, std::int64_t from,
               std::int64_t to);
ListedModulation modulateLists(const VoiceModulation& modulation, const ModulationSample& sample, float frequency,
                               float gain);
// The rest of one sample: the modulators, DEFAULTFC, FCMOD and the filter modulator.
ModulatedRegisters modulateWith(VoiceModulation& modulation, const ListedModulation& listed,
                                const ModulationSample& sample, float frequency);

// The modulators over a run of up to kMaxSamples: each runs through the run on its own, then
// their outputs are combined sample by sample as modulateWith combines them.
struct ModulatorRun {
    static constexpr int kMaxSamples = 256;
    float lfo[VoiceModulation::Count][kMaxSamples];
    float envelope[VoiceModulation::Count][kMaxSamples];
    Stereo scratch[kMaxSamples];
    float stages[kMaxSamples];
    bool delayEnded[kMaxSamples];
    bool keepsAlive = false;  // the lowest stage is 0 at each sample
    // What modulateWith gives at each sample.
    float frequency[kMaxSamples];
    float gain[kMaxSamples];
    float defaultFc[kMaxSamples];
    float phase[kMaxSamples];
};
// Whether the modulators may run one after the other over a run: at most one of them draws
// noise (the draws of two would interleave differently).
bool modulatorsRunApart(const VoiceModulation& modulation);
// The active modulators over n samples from sample.timing->t on, as modulateWith runs them.
void runModulators(VoiceModulation& modulation, const ModulationSample& sample, ModulatorRun& run, int n);
// modulateWith at each of the n samples of `run`, into its frequency, gain, DEFAULTFC and phase.
void combineModulators(const VoiceModulation& modulation, const ListedModulation& listed, ModulatorRun& run,
                       float frequency, int n);

// One sample. `frequency` is the voice's current (glided, unmodulated) frequency, `gain` its gain.
ModulatedRegisters modulateAll(VoiceModulation& modulation, const ModulationSample& sample, float frequency,
                               float gain);
inline ModulatedRegisters modulate(VoiceModulation& modulation, const ModulationSample& sample, float frequency,
                                   float gain) {
    if (modulation.anyList || modulation.anyModulator) return modulateAll(modulation, sample, frequency, gain);
    return {frequency, gain, defaultCutoff(modulation.cutoffSetting, 1.0f, frequency, frequency), 0.0f};
}

}  // namespace tess
