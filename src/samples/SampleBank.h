// The 8192 SampleSlots an instrument's oscillators address by number. The plug-in owns one
// bank; the SAMPLE directive and the sample panels fill it at load time and the engine reads it.
#pragma once

#include <array>
#include <memory>
#include <utility>

#include "samples/SampleSlot.h"

namespace tess {

class SampleBank {
public:
    static constexpr int kSlots = 8192;
    // Slots are created in chunks when a load first writes one of them, so an instrument that
    // plays few samples does not hold 8192 slots.
    static constexpr int kChunkSlots = 256;
    static constexpr int kChunks = kSlots / kChunkSlots;

    static bool valid(int index) { return index >= 0 && index < kSlots; }
    // Loading thread: the slot to fill, created (empty) with its chunk when needed.
    SampleSlot& operator[](int index) {
        std::unique_ptr<SampleSlot[]>& chunk = chunks_[static_cast<std::size_t>(index / kChunkSlots)];
        if (!chunk) chunk.reset(new SampleSlot[kChunkSlots]);
        return chunk[static_cast<std::size_t>(index % kChunkSlots)];
    }
    // Any thread: a slot never written reads as an empty one.
    const SampleSlot& operator[](int index) const {
        const std::unique_ptr<SampleSlot[]>& chunk = chunks_[static_cast<std::size_t>(index / kChunkSlots)];
        return chunk ? chunk[static_cast<std::size_t>(index % kChunkSlots)] : kEmptySlot;
    }
    // The slot, or null for a number outside 0 .. 8191.
    const SampleSlot* find(int index) const { return valid(index) ? &std::as_const(*this)[index] : nullptr; }

    // Empties every slot (before each compile). A load gives every slot it fills a kind, so a
    // slot still of kind kEmpty holds nothing and is left as it is.
    void reset() {
        for (std::unique_ptr<SampleSlot[]>& chunk : chunks_)
            for (int i = 0; chunk && i < kChunkSlots; ++i) {
                SampleSlot& slot = chunk[static_cast<std::size_t>(i)];
                if (slot.kind != SampleSlot::kEmpty) slot.clear();
            }
    }

    // How many chunks of slots exist (tests and measurements read it).
    int chunkCount() const {
        int count = 0;
        for (const std::unique_ptr<SampleSlot[]>& chunk : chunks_) count += chunk ? 1 : 0;
        return count;
    }

private:
    static inline const SampleSlot kEmptySlot{};
    std::array<std::unique_ptr<SampleSlot[]>, kChunks> chunks_{};
};

}  // namespace tess
