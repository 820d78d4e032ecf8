// ENV (free start, peak, sustain and end levels; looping, percussive and bar-timed
// re-triggering types) and ENVCURVE (ENV's timing with levels read from a CURVE table). Each is
// a pure function of its state, its arguments and the timing of the sample; each returns the
// level and leaves the stage in the state for the render loop's lowest-stage test.
#pragma once

#include "compiler/CurveTable.h"
#include "engine/envelopes/StageModel.h"

namespace tess::env {

// Function-table indices of the envelopes whose type can ask for a bar-aligned start.
inline constexpr int kEnvFunction = 76;
inline constexpr int kEnvCurveFunction = 79;

// ENV's arguments, in their order.
struct EnvArguments {
    float type, start, peak, sustain, end, delay, hold, releaseHold, attack, decay, release;
};
// Types: 0 normal; 1 restarts when the decay ends while held; 2 percussive (sustain and end 0,
// runs through the note-off); 1001..2000 re-triggered while held every (type - 1000)/32 bars
// from the start; above 2000 every (type - 2000)/32 bars on the song clock's grid.
float runEnv(EnvelopeState& state, const EnvArguments& a, const EnvelopeTiming& timing);

// ENVCURVE's arguments, in their order. The level is CURVE(curve, x) with x over 0..3: 0..1
// the attack, 1..2 the decay, 2 the sustain, 2..3 the release.
struct EnvCurveArguments {
    float type, curve, delay, attack, hold, decay, releaseHold, release;
};
float runEnvCurve(EnvelopeState& state, const EnvCurveArguments& a, const CurveTable& curves,
                  const EnvelopeTiming& timing);

// ENV types 1 and above 1000 (ENVCURVE: above 1000) start again while the note is held. They
// keep their voice until the note-off, as an LFO does, so that a silent stretch between two
// starts does not end the note.
bool restartsWhileHeld(float type, bool isEnvCurve);

// Where ENVCURVE restarts its attack for a level: x of the curve's points in 0..1 whose y is
// nearest the level, interpolated towards the nearer neighbour, as stage x + 1 (0 below 1.001;
// 2 when the nearest point is the curve's last).
float curveRestartStage(const CurveTable& curves, float curveNumber, float level);

}  // namespace tess::env
