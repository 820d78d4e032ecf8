#include "engine/envelopes/VoiceModulator.h"

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

}  // namespace

ModulatorOutput runVoiceModulator(VoiceModulator& m, const EnvelopeTiming& timing, bool fresh, Noise& noise) {
    ModulatorOutput out;
    const bool forced = timing.forcedReleaseTime > 0.0f;
    if (m.lfoDepth != 0.0f) {
        if (timing.t >= timing.startTime) {
            m.phase = wave::wrap(m.phase + m.increment);
            if (timing.t == timing.startTime)
                m.fade.stage = skipDelayStage(m.fade.level, m.fadeSegments.fadeIn.exponential);
            FadeSegments segments = m.fadeSegments;
            if (forced)
                segments.fadeOut =
                    forcedRelease(timing.forcedReleaseTime, segments.fadeOut.exponential, timing.sampleRate);
            // The delay just ended: a fresh voice's LFO starts at phase 0 on the next sample.
            if (runFade(m.fade, segments, !timing.held()) && fresh) m.phase = -m.increment;
        }
        out.lfo = wave::shaped(m.wave, m.shape, m.phase, noise) * m.fade.level * m.lfoDepth;
    }
    if (m.envelopeOff) {
        out.envelope = m.envDepth;
    } else if (m.envDepth != 0.0f) {
        Segment release = m.release;
        if (forced)
            release = forcedRelease(timing.forcedReleaseTime, m.release.exponential, timing.sampleRate);
        else if (timing.pedalHeld)
            release = m.envelopeSegments.decay;
        out.envelope = m.envDepth * runDelayedEnvelope(m.envelope, m.envelopeSegments, release, timing);
    }
    return out;
}

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
