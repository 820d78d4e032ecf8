// A voice modulator: the running LFO and envelope of one modulation target of a voice
// (frequency, gain, filter cutoff or oscillator phase), filled from the layer's modulation
// directives when the voice starts and run once per sample before the voice's program.
//
// The LFO part is a shaped waveform under a fade (delay, fade-in, fade-out at the note-off) times
// its depth. The envelope part is a delayed envelope (delay, attack, hold, decay, sustain,
// release) times its depth; when it is off it outputs its depth unchanged, which is how a gain
// modulator with only an LFO leaves the gain alone (its envelope is then off with depth 1).
#pragma once

#include <cstdint>

#include "compiler/LayerModulation.h"
#include "controllers/ControllerSpace.h"
#include "engine/Noise.h"
#include "engine/envelopes/StageModel.h"

namespace tess::env {

struct VoiceModulator {
    // LFO part.
    int wave = 0;
    float shape = 0.0f;
    float lfoDepth = 0.0f;   // 0: no LFO part
    float increment = 0.0f;  // radians per sample
    float phase = 0.0f;      // in [-pi, pi]
    EnvelopeState fade;
    FadeSegments fadeSegments;
    // Envelope part.
    float envDepth = 0.0f;  // 0: no envelope part
    bool envelopeOff = false;
    EnvelopeState envelope;
    DelayedEnvelope envelopeSegments;
    Segment release;

    bool active() const { return lfoDepth != 0.0f || envDepth != 0.0f; }
};

struct ModulatorOutput {
    float lfo = 0.0f;       // waveform × fade × LFO depth
    float envelope = 0.0f;  // level × envelope depth (the depth itself when the envelope is off)
};

// One sample. `fresh`: the voice got a newly built program, so the LFO starts at phase 0 when its
// delay ends.
ModulatorOutput runVoiceModulator(VoiceModulator& modulator, const EnvelopeTiming& timing, bool fresh, Noise& noise);

// runVoiceModulator over n samples from timing.t on: sample i's output in lfo[i] and envelope[i].
// `scratch`, `stages` and `delayEnded` are working space of n values each.
void runVoiceModulatorRun(VoiceModulator& modulator, EnvelopeTiming timing, bool fresh, Noise& noise, float* lfo,
                          float* envelope, Stereo* scratch, float* stages, bool* delayEnded, int n);

// Whether the modulator's LFO draws from the noise source.
bool drawsNoise(const VoiceModulator& modulator);

// What a voice start knows when it fills a modulator.
struct ModulatorStart {
    const ControllerSpace* controllers = nullptr;  // "$n" values are read from here
    std::int64_t t = 0;                            // the note-on time
    float sampleRate = 44100.0f;
    float barsPerSecond = 0.5f;
    bool keepEnvelope = false;  // a voice re-used legato: its envelope goes on from its level
};

// Fills `modulator` from the layer's parts. `neutralEnvelope` is what an envelope part that is
// not given outputs when the LFO part runs: 1 for the gain, 0 elsewhere.
void startVoiceModulator(VoiceModulator& modulator, const compiler::LfoPart& lfo, const compiler::EnvelopePart& envelope,
                         float neutralEnvelope, const ModulatorStart& start);

}  // namespace tess::env
