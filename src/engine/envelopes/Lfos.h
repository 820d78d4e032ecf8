// The LFO functions: LFO0 (a basic waveform), LFO (a basic waveform under a fade), LFO1 (a basic
// waveform per channel under a fade, with a start phase) and LFOSYN (a shaped waveform per
// channel under a fade). Negative frequencies are tempo-synced: one cycle per |f| bars.
//
// The fade is the stage model's: delay (level 0), fade-in, held at 1, after the note-off the
// fade-out. When the delay ends the accumulators restart at 0, and LFO1 and LFOSYN take their
// start phase: 0, or locked to the song clock when sync is above 0 and the voice's retrigger
// mode is 0. While the note is held an LFO with a fade keeps the voice alive.
#pragma once

#include <cmath>

#include "engine/Noise.h"
#include "engine/Stereo.h"
#include "engine/envelopes/StageModel.h"

namespace tess::env {

struct LfoState {
    float phase[2] = {0.0f, 0.0f};       // accumulators, in [-pi, pi]
    float startPhase[2] = {0.0f, 0.0f};  // taken when the fade's delay ends
    bool started = false;
};

// What an LFO needs to know beyond the envelope timing.
struct LfoContext {
    EnvelopeTiming timing;
    float barsPerSecond = 0.5f;
    int retriggerMode = 0;
    bool isPost = false;  // no note: the fade is 1
    Noise* noise = nullptr;
    float* lowestStage = nullptr;  // lowered to the fade's stage (0 while the note is held)
};

Stereo runLfo0(LfoState& state, Stereo wave, Stereo frequency, const LfoContext& context);
Stereo runLfo(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo delay, Stereo fadeIn, Stereo release,
              Stereo frequency, const LfoContext& context);
// LFO over n samples from context.timing.t on, for arguments that hold over them: the fade's
// segments, the step and the waveform worked out once.
void runLfoRun(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo delay, Stereo fadeIn, Stereo release,
               Stereo frequency, LfoContext context, Stereo* out, float* lowestStage, int n);
Stereo runLfo1(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo sync, Stereo delay, Stereo fadeIn,
               Stereo release, Stereo frequency, Stereo phase, const LfoContext& context);
Stereo runLfoSyn(LfoState& state, EnvelopeState& fade, Stereo wave, Stereo shape, Stereo sync, Stereo delay,
                 Stereo fadeIn, Stereo release, Stereo frequency, Stereo phase, const LfoContext& context);

// A waveform number from an argument: truncated, or -1 (silence) when it is no number.
inline int waveNumber(float value) { return std::fabs(value) < 1e6f ? static_cast<int>(value) : -1; }

}  // namespace tess::env
