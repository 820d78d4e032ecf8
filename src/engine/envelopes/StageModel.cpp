#include "engine/envelopes/StageModel.h"

namespace tess::env {

float runEnv0(EnvelopeState& state, float attack, float decay, float sustain, float release,
              const EnvelopeTiming& timing) {
    const Segment a = curvedSegment(attack, timing.sampleRate);
    if (timing.t < timing.startTime) {
        // Rendered ahead of its start: blend from the saved level towards the current one.
        const double span = static_cast<double>(timing.startTime - timing.blockStart);
        const float f = span > 0.0 ? static_cast<float>((timing.t - timing.blockStart) / span) : 1.0f;
        return (1.0f - f) * state.saved + f * state.level;
    }
    if (timing.t == timing.startTime) state.stage = stageOfLevel(state.level, a.exponential);
    if (timing.t >= timing.releaseTime && state.stage < 3.0f) {
        state.saved = state.level;
        state.stage = 3.0f;
    }
    float& stage = state.stage;
    if (stage < 1.0f) {
        state.level = rising(stage, a.exponential);
        stage += a.step;
    } else if (stage < 2.0f) {
        const Segment d = curvedSegment(decay, timing.sampleRate);
        state.level = falling(1.0f, sustain, stage - 1.0f, d.exponential);
        stage += d.step;
    } else if (stage < 3.0f) {
        state.level = settle(state.level, sustain);
    } else if (stage < 4.0f) {
        const Segment r = curvedSegment(releaseSeconds(release, decay, timing), timing.sampleRate);
        state.level = falling(state.saved, 0.0f, stage - 3.0f, r.exponential);
        stage += r.step;
    } else {
        state.level *= 0.999f;
        stage += 1e-5f;
    }
    return state.level;
}

}  // namespace tess::env
