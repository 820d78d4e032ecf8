#include "engine/envelopes/VoiceModulator.h"

#include <algorithm>
#include <cmath>

#include "engine/Waveforms.h"
#include "engine/envelopes/Lfos.h"
#include "engine/oscillators/OscillatorState.h"

namespace tess::env {

namespace {

// A stored value strictly between 10000 and 11001 names controller (value - 10000).
bool namesController(float value) { return value > 10000.0f && value < 11001.0f; }

// A stage step from a time, whatever its sign (at least a millisecond).
float stepOf(float seconds, float sampleRate) { return plainStep(std::fabs(seconds), sampleRate); }

// The step of a forced release time (seconds).
Segment forcedRelease(float seconds, bool exponential, float sampleRate) {
    return {stepOf(seconds, sampleRate), exponential};
}

// The fade segments in force: a forced release time replaces the fade-out's.
FadeSegments fadeSegmentsFor(const VoiceModulator& m, const EnvelopeTiming& timing) {
    FadeSegments segments = m.fadeSegments;
    if (timing.forcedReleaseTime > 0.0f)
        segments.fadeOut = forcedRelease(timing.forcedReleaseTime, segments.fadeOut.exponential, timing.sampleRate);
    return segments;
}

// The envelope's release in force: the forced release time, else the decay while a pedal holds
// the note.
Segment releaseFor(const VoiceModulator& m, const EnvelopeTiming& timing) {
    if (timing.forcedReleaseTime > 0.0f)
        return forcedRelease(timing.forcedReleaseTime, m.release.exponential, timing.sampleRate);
    if (timing.pedalHeld) return m.envelopeSegments.decay;
    return m.release;
}

// The LFO's phase and fade of one sample.
void stepLfo(VoiceModulator& m, const FadeSegments& segments, const EnvelopeTiming& timing, bool fresh) {
    if (timing.t < timing.startTime) return;
    m.phase = wave::wrap(m.phase + m.increment);
    if (timing.t == timing.startTime) m.fade.stage = skipDelayStage(m.fade.level, m.fadeSegments.fadeIn.exponential);
    // The delay just ended: a fresh voice's LFO starts at phase 0 on the next sample.
    if (runFade(m.fade, segments, !timing.held()) && fresh) m.phase = -m.increment;
}

}  // namespace

ModulatorOutput runVoiceModulator(VoiceModulator& m, const EnvelopeTiming& timing, bool fresh, Noise& noise) {
    ModulatorOutput out;
    if (m.lfoDepth != 0.0f) {
        stepLfo(m, fadeSegmentsFor(m, timing), timing, fresh);
        out.lfo = wave::shaped(m.wave, m.shape, m.phase, noise) * m.fade.level * m.lfoDepth;
    }
    if (m.envelopeOff) {
        out.envelope = m.envDepth;
    } else if (m.envDepth != 0.0f) {
        out.envelope = m.envDepth * runDelayedEnvelope(m.envelope, m.envelopeSegments, releaseFor(m, timing), timing);
    }
    return out;
}

void runVoiceModulatorRun(VoiceModulator& m, EnvelopeTiming timing, bool fresh, Noise& noise, float* lfo,
                          float* envelope, Stereo* scratch, float* stages, bool* delayEnded, int n) {
    const std::int64_t t0 = timing.t;
    if (m.lfoDepth != 0.0f) {
        // The phases (in lfo) and fade levels first, then the waveform.
        const FadeSegments segments = fadeSegmentsFor(m, timing);
        if (t0 >= timing.startTime) {
            // The voice has started: the fade through its run loops (levels in scratch[i].l),
            // then the phase chain.
            runVoiceFadeRun(m.fade, segments, timing, scratch, stages, delayEnded, n);
            float phase = m.phase;
            for (int i = 0; i < n; ++i) {
                phase = wave::wrap(phase + m.increment);
                if (delayEnded[i] && fresh) phase = -m.increment;
                lfo[i] = phase;
            }
            m.phase = phase;
        } else {
            for (int i = 0; i < n; ++i) {
                timing.t = t0 + i;
                stepLfo(m, segments, timing, fresh);
                lfo[i] = m.phase;
                scratch[i].l = m.fade.level;
            }
            timing.t = t0;
        }
        for (int i = 0; i < n; ++i)
            lfo[i] = wave::shaped(m.wave, m.shape, lfo[i], noise) * scratch[i].l * m.lfoDepth;
    } else {
        std::fill(lfo, lfo + n, 0.0f);
    }
    if (m.envelopeOff) {
        std::fill(envelope, envelope + n, m.envDepth);
    } else if (m.envDepth != 0.0f) {
        std::fill(stages, stages + n, 0.0f);  // the modulator keeps no lowest stage
        runDelayedEnvelopeRun(m.envelope, m.envelopeSegments, releaseFor(m, timing), timing, scratch, stages, n);
        for (int i = 0; i < n; ++i) envelope[i] = m.envDepth * scratch[i].l;
    } else {
        std::fill(envelope, envelope + n, 0.0f);
    }
}

bool drawsNoise(const VoiceModulator& m) { return m.lfoDepth != 0.0f && wave::shapedIsNoise(m.wave); }

void startVoiceModulator(VoiceModulator& m, const compiler::LfoPart& lfo, const compiler::EnvelopePart& envelope,
                         float neutralEnvelope, const ModulatorStart& start) {
    const float rate = start.sampleRate;
    const auto value = [&start](float stored) {
        if (!namesController(stored) || start.controllers == nullptr) return stored;
        return start.controllers->mccReadDirect(static_cast<int>(stored - 10000.0f), start.t);
    };
    const auto curved = [&](float stored) { return curvedSegment(value(stored), rate); };

    const float wave = static_cast<float>(lfo.wave) + 0.1f;
    m.wave = namesController(wave) ? waveNumber(value(wave)) : lfo.wave;
    m.shape = value(lfo.shape);
    m.lfoDepth = value(lfo.depth);
    m.increment = osc::syncedFrequency(value(lfo.frequency), start.barsPerSecond) * 6.2831855f / rate;
    m.phase = 0.0f;
    m.fade = EnvelopeState{};
    m.fadeSegments.delayStep = stepOf(value(lfo.delay), rate);
    m.fadeSegments.fadeIn = curved(lfo.fadeIn);
    m.fadeSegments.fadeOut = curved(lfo.fadeOut);

    m.envDepth = value(envelope.depth);
    m.envelopeSegments.delayStep = stepOf(value(envelope.delay), rate);
    m.envelopeSegments.attack = curved(envelope.attack);
    m.envelopeSegments.holdStep = stepOf(value(envelope.hold), rate);
    m.envelopeSegments.decay = curved(envelope.decay);
    m.envelopeSegments.sustain = value(envelope.sustain);
    m.release = curved(envelope.release);
    if (start.keepEnvelope) {
        m.envelope.saved = m.envelope.level;  // the stage follows from the level at the start
    } else {
        m.envelope = EnvelopeState{};
    }
    // A record that was never finished as a layer has no parts.
    if (m.lfoDepth < -1e9f) m.lfoDepth = 0.0f;
    if (m.envDepth < -1e9f) m.envDepth = 0.0f;
    m.envelopeOff = m.envDepth == 0.0f && m.lfoDepth != 0.0f && neutralEnvelope != 0.0f;
    if (m.envelopeOff) m.envDepth = neutralEnvelope;
}

}  // namespace tess::env
