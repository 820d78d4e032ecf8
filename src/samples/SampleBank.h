// The 8192 SampleSlots an instrument's oscillators address by number. The plug-in owns one
// bank; the SAMPLE directive and the sample panels fill it at load time and the engine reads it.
#pragma once

#include <memory>

#include "samples/SampleSlot.h"

namespace tess {

class SampleBank {
public:
    static constexpr int kSlots = 8192;

    SampleBank() : slots_(new SampleSlot[kSlots]) {}

    static bool valid(int index) { return index >= 0 && index < kSlots; }
    SampleSlot& operator[](int index) { return slots_[static_cast<std::size_t>(index)]; }
    const SampleSlot& operator[](int index) const { return slots_[static_cast<std::size_t>(index)]; }
    // The slot, or null for a number outside 0 .. 8191.
    const SampleSlot* find(int index) const { return valid(index) ? &slots_[static_cast<std::size_t>(index)] : nullptr; }

    // Empties every slot (before each compile). A load gives every slot it fills a kind, so a
    // slot still of kind kEmpty holds nothing and is left as it is.
    void reset() {
        for (int i = 0; i < kSlots; ++i) {
            SampleSlot& slot = slots_[static_cast<std::size_t>(i)];
            if (slot.kind != SampleSlot::kEmpty) slot.clear();
        }
    }

private:
    std::unique_ptr<SampleSlot[]> slots_;
};

}  // namespace tess
