// The SAMPLE directive of the COMMON section and the sample-panel load of the editor.
//
//   SAMPLE slot                                   frees the slot
//   SAMPLE slot, code [, code, amp, ratio, phase]...  additive, up to 1 + 31 harmonics
//   SAMPLE slot, "file", normalisation, centre note, looped, direction, start, end,
//          release, loop start, loop end, crossfade 1, crossfade 2, crossfade 3
#pragma once

#include <cstdint>

#include "common/Log.h"
#include "compiler/DirectiveLine.h"
#include "compiler/InstrumentCompiler.h"
#include "samples/SampleBank.h"
#include "samples/SampleLoader.h"

namespace tess {

// One line of the directive. `halfWidth` of the context should be the kernel in force.
void handleSampleDirective(const compiler::DirectiveLine& line, SampleBank& bank,
                           const SampleContext& context);

// Installs the handler into the compiler's directive chain. The handler keeps references to
// all three arguments: the load driver sets context.instrumentFolder before each compile, the
// per-user folder defaults to the compiler's, and the kernel half-width is read from the
// compiler's QUALITY settings at each line.
void installSampleDirective(compiler::InstrumentCompiler& compiler, SampleBank& bank,
                            SampleContext& context);

// What a successful sample-panel load remembers, so that a saved state can re-apply it.
// Start and end are the file frames that were read; loop and release are relative to start.
struct SamplePanelRecord {
    std::uint8_t valid = 0;
    char fileName[512] = {};
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = 0;
    std::int64_t release = SampleSlot::kNoRelease;
    float centreNote = 69.0f;
    std::int32_t direction = 0;
    std::int32_t looped = 1;
    std::int32_t crossfades[3] = {5, 5, 5};
    std::int32_t normalisation = 0;
    std::int32_t slot = 0;
};

// Loads `request` into `slot` as a sample panel does. Failures are logged with "SAMPLEUI" and
// leave both the slot and `record` unchanged; on success `record` describes the load.
bool loadPanelSample(SampleBank& bank, int slot, const SampleRequest& request,
                     const SampleContext& context, Log& log, SamplePanelRecord& record);

// The load a record asks for again when a saved state is restored.
SampleRequest panelRequest(const SamplePanelRecord& record);

}  // namespace tess
