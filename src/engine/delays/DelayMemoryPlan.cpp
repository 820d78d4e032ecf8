#include "engine/delays/DelayMemoryPlan.h"

#include <algorithm>

namespace tess::fx {

DelayMemoryPool::Capacity memoryNeededBy(const compiler::LayerProgram& program) {
    DelayMemoryPool::Capacity need;
    for (const compiler::Operation& op : program.operations) {
        const MemoryKind kind = memoryKindOf(op.code - 3);
        if (kind == MemoryKind::Delay) ++need.delays;
        if (kind == MemoryKind::Reverb) ++need.reverbs;
    }
    return need;
}

DelayMemoryPool::Capacity memoryPlanFor(const compiler::CompiledInstrument& instrument) {
    DelayMemoryPool::Capacity perVoice;
    const int layers = std::min(instrument.layerCount, static_cast<int>(instrument.layers.size()));
    for (int i = 0; i < layers; ++i) {
        const DelayMemoryPool::Capacity need = memoryNeededBy(instrument.layers[static_cast<std::size_t>(i)]);
        perVoice.delays = std::max(perVoice.delays, need.delays);
        perVoice.reverbs = std::max(perVoice.reverbs, need.reverbs);
    }
    const int voices = std::clamp(instrument.common.poly.voices, 1, kVoicesWithMemory);
    const DelayMemoryPool::Capacity post = memoryNeededBy(instrument.post);
    return {post.delays + std::min(perVoice.delays * voices, kMaxNoteDelayBuffers),
            post.reverbs + std::min(perVoice.reverbs * voices, kMaxNoteReverbBuffers)};
}

}  // namespace tess::fx
