// How many delay and reverb buffers an instrument gets when it is installed: every one its
// POST program needs, and for the notes enough for the most memory-hungry layer program in as
// many voices as can play at once (the polyphony), up to a fixed number of voices and a total
// that keeps the reserved address space within bounds.
#pragma once

#include "compiler/CompiledInstrument.h"
#include "engine/delays/DelayMemoryPool.h"

namespace tess::fx {

// Voices that can hold delay or reverb memory at the same time; notes beyond that find the
// pool empty. A reverb buffer is small (576 KiB), a delay buffer 16 MiB, so the delay buffers
// for notes are also capped in total.
inline constexpr int kVoicesWithMemory = 64;
inline constexpr int kMaxNoteDelayBuffers = 128;
inline constexpr int kMaxNoteReverbBuffers = 1024;

// The delay and reverb operations of one program.
DelayMemoryPool::Capacity memoryNeededBy(const compiler::LayerProgram& program);

DelayMemoryPool::Capacity memoryPlanFor(const compiler::CompiledInstrument& instrument);

}  // namespace tess::fx
