// The instrument's host parameters (VST VARs): 128 entries, each with a name and unit shown to
// the host, a range, a scale type, the value in the instrument's own units (its internal
// value) and the same value as the host sees it (0 .. 1), and the MIDI controller it drives.
// Beside them: which host parameter each MIDI controller 0 .. 199 drives.
//
// A load (VSTVAR lines) describes the entries; a host may change values at any time, from any
// thread, while the audio thread renders. Every number here is therefore an atomic read and
// written whole; the audio side learns of a change from the changed-set and acts on it at its
// next block. Names and units change only while a load holds the audio thread off.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tess {

class HostParameterTable {
public:
    static constexpr int kCount = 128;
    static constexpr int kMidiControllers = 200;  // controllers 0 .. 199 may be linked
    static constexpr std::size_t kTextSize = 17;  // 16 characters kept, and the terminator

    HostParameterTable() { reset(); }
    HostParameterTable(const HostParameterTable&) = delete;
    HostParameterTable& operator=(const HostParameterTable&) = delete;

    static bool valid(int index) { return index >= 0 && index < kCount; }

    // Before each compile: every entry "Var #<n>", no unit, linear 0 .. 1, values 0, no links.
    void reset();

    // Takes every description, value and link of `other` (a table a load filled beside this
    // one). Its changed entries are marked changed here as well.
    void copyFrom(const HostParameterTable& other);

    // A VSTVAR line: name and unit (cut to 16 characters), range and scale type.
    void describe(int index, std::string_view name, std::string_view unit, float min, float max, int scale);

    // Stores an internal value: clamped to the entry's range (a reversed range to its own
    // interval), rounded or quantised by the scale type, with the matching host value. Returns
    // the host value. No link acts.
    float setVstVarValue(int index, float value);

    // A host change: stores the host value as given and the internal value it maps to (not
    // clamped), and marks the entry changed. Returns the internal value.
    float setHostValue(int index, float host);

    float hostValue(int index) const { return valid(index) ? host_[index].load(kOrder) : 0.0f; }
    float internalValue(int index) const { return valid(index) ? internal_[index].load(kOrder) : 0.0f; }
    float minimum(int index) const { return valid(index) ? min_[index].load(kOrder) : 0.0f; }
    float maximum(int index) const { return valid(index) ? max_[index].load(kOrder) : 1.0f; }
    int scaleType(int index) const { return valid(index) ? scale_[index].load(kOrder) : 1; }
    const char* name(int index) const { return valid(index) ? names_[index] : ""; }
    const char* unit(int index) const { return valid(index) ? units_[index] : ""; }
    // The display text of the entry's internal value (see formatParameterDisplay).
    void display(int index, char* text, std::size_t capacity) const;

    // The MIDI controller a parameter drives (-1 none), and the parameter a controller drives.
    int linkedController(int index) const { return valid(index) ? linkedController_[index].load(kOrder) : -1; }
    void setLinkedController(int index, int controller);
    int parameterOfController(int controller) const;
    void setControllerLink(int controller, int index);

    // Entries changed by the host since the audio side last looked: `take` visits each once.
    template <typename Visit>
    void takeChanged(Visit&& visit);
    bool anyChanged() const { return changed_[0].load(kOrder) != 0 || changed_[1].load(kOrder) != 0; }
    // Counts every host change; a view compares it to know when to refresh its sliders.
    std::uint32_t changeCount() const { return changeCount_.load(kOrder); }

private:
    static constexpr std::memory_order kOrder = std::memory_order_relaxed;

    char names_[kCount][kTextSize];
    char units_[kCount][kTextSize];
    std::atomic<float> min_[kCount];
    std::atomic<float> max_[kCount];
    std::atomic<int> scale_[kCount];
    std::atomic<float> internal_[kCount];
    std::atomic<float> host_[kCount];
    std::atomic<int> linkedController_[kCount];
    std::atomic<int> controllerLink_[kMidiControllers];
    std::atomic<std::uint64_t> changed_[2];
    std::atomic<std::uint32_t> changeCount_{0};
};

template <typename Visit>
void HostParameterTable::takeChanged(Visit&& visit) {
    for (int word = 0; word < 2; ++word) {
        std::uint64_t bits = changed_[word].exchange(0, std::memory_order_acquire);
        for (int bit = 0; bits != 0; ++bit, bits >>= 1)
            if ((bits & 1u) != 0) visit(word * 64 + bit);
    }
}

}  // namespace tess
