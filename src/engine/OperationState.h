// The running state of one Operation inside one voice: what a function keeps from one sample
// to the next. The compiled Operation is a description shared by every voice of a layer; each
// voice owns an array of these beside its copy of the operations.
#pragma once

#include <cstdint>

#include "compiler/Operation.h"
#include "engine/delays/DelayMemory.h"
#include "engine/envelopes/Lfos.h"
#include "engine/envelopes/StageModel.h"
#include "engine/filters/Filter.h"
#include "engine/math/SampleHold.h"
#include "engine/oscillators/OscillatorState.h"

namespace tess {

// The registers that follow a voice's ResultSlots: keyword values the render loop refreshes
// (per block or per sample) so that operands read them with one indexed load.
namespace reg {
enum : int {
    Key, KeyF, OnVelocity, OffVelocity, Gain, Freq, Out, In, Temperament, Time, DefaultFc,
    Duration, Sends1, Sends2, Sends3, Sends4,
    Count
};
}  // namespace reg

// An Operation as the render loop runs it: every operand resolved once, at voice start, to a
// register index (>= 0) or to a controller read (-1 - controller number); the destination to a
// register, a send bus or nothing.
struct ResolvedOperation {
    static constexpr std::int32_t kNoDestination = -100;
    static constexpr std::int32_t kSendDestination = -1;  // -1 .. -4: SENDS1 .. SENDS4

    std::int8_t code = -1;
    std::uint8_t hold = 0;
    std::int16_t operandCount = 0;
    compiler::Comparison comparison = compiler::Comparison::None;
    std::int32_t jumpTarget = -1;
    std::int32_t destination = kNoDestination;
    std::int32_t sources[compiler::Operation::kMaxOperands] = {};
};

struct OperationState {
    math::SampleHoldState sampleHold;
    osc::OscillatorState osc;
    env::EnvelopeState envelope;  // an envelope, or the fade of an LFO
    env::LfoState lfo;
    filt::FilterState filter;
    fx::DelayState delay;  // memory borrowed from the pool for the length of the note

    // Back to the state of a note's first sample, keeping the borrowed delay memory.
    void restart() {
        const fx::DelayMemory kept = delay.memory;
        *this = OperationState{};
        delay.memory = kept;
    }
};

}  // namespace tess
