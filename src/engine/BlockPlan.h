// Whether a program can run an operation at a time over a run of samples, and what the block
// executor needs to know to do it. Worked out when an instrument is installed, never while
// rendering.
//
// Running each operation over the whole run in program order gives the same samples as
// running the whole program once per sample when, within one sample:
// - no IF changes which operations run;
// - no slot is read before the operation that writes it (no value carried from the previous
//   sample through a slot);
// - at most one thing draws from the engine's shared noise source (the draws would otherwise
//   interleave differently);
// - no two readers of the voice advance the same controller smoothing memory: each MCC2 reads
//   a constant controller of its own, which the layer modulation's controller lists do not read.
// Controller operands and the layer modulation are read per sample, in program order, before
// the operations run, so their smoothing advances exactly as it does sample by sample.
#pragma once

#include <cstdint>
#include <vector>

#include "compiler/CompiledInstrument.h"
#include "compiler/Operation.h"
#include "samples/SampleBank.h"

namespace tess {

// One controller operand, read per sample before the operations run.
struct ControllerOperand {
    std::int32_t operation = 0;
    std::int32_t operand = 0;
};

struct BlockPlan {
    bool runsInBlocks = false;
    const char* reason = "";  // why the program runs per sample
    int operationCount = 0;
    int slotCount = 0;
    // Per operation: bit a set when operand a changes from sample to sample (a register lane);
    // clear for a value that holds for the whole run (a slot no operation writes, KEY, ...).
    std::vector<std::uint16_t> laneOperands;
    // Per operation and operand: index into the controller lanes, or -1.
    std::vector<std::int16_t> controllerLane;
    std::vector<ControllerOperand> controllerReads;  // in the order one sample reads them
    // Slots written only by HOLD operations: between writes they keep their value.
    std::vector<std::uint8_t> holdOnly;
    std::vector<std::int32_t> writtenSlots;  // each written slot once
    // Keyword registers the operands read (bit per reg:: index).
    std::uint32_t keywordReads = 0;
    // Some operation is called sample by sample through the shared dispatch, which is handed
    // each sample's time, frequency, gain, DEFAULTFC and phase modulation.
    bool readsSampleFrames = false;
    bool anyHold = false;  // some operation is a HOLD
    // The program runs in blocks and touches nothing another voice touches while it runs: no
    // controller reads, no noise, no send bus, no HOLD, and only operations whose bodies read
    // their operands and the voice's own state (the state-free functions, FILT, ENV1, OSCSYN of
    // a quiet constant wave). Voices of such a program may run their runs side by side, in any
    // interleaving, with the same results.
    bool independent = false;

    int laneCount() const { return slotCount + kKeywordLanes + static_cast<int>(controllerReads.size()); }
    static constexpr int kKeywordLanes = 16;  // reg::Count
};

// Whether the executor runs operations with this code through a loop of its own, which reads
// none of the per-sample frame values (the assignment, the operators, FILT, OSCSYN, ENV1).
bool hasRunLoop(int code);

// The functions whose result depends on their operands alone: no state, no noise, no
// controller smoothing, nothing of the sample frame. Over a run they may run once.
bool dependsOnOperandsOnly(int code);

// The plan for `program` (its operations as compiled; operands are still slot codes).
// `slotsDrawNoise`: some sample slot an oscillator may play is an additive recipe with a noise
// partial, so every oscillator that plays slots counts as a noise source.
BlockPlan planBlocks(const compiler::LayerProgram& program, bool slotsDrawNoise = true);

// Whether any slot of `bank` (null: none) is an additive recipe with a noise partial.
bool anySlotDrawsNoise(const SampleBank* bank);

}  // namespace tess
