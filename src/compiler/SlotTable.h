// The compile-time ResultSlot table of the section being compiled: constants, variables and
// temporaries, numbered from 0 in order of creation.
#pragma once

#include <string_view>
#include <vector>

#include "compiler/Text.h"

namespace tess::compiler {

struct ResultSlot {
    bool isConst = false;
    float value = 0.0f;  // the constant's value; the slot's initial value at run time
    NameField name{};    // the variable's name, the constant's text or "$%05d" for a temporary
};

class SlotTable {
public:
    static constexpr int kCapacity = 8192;

    int size() const { return static_cast<int>(slots_.size()); }
    bool full() const { return size() >= kCapacity; }
    const ResultSlot& operator[](int index) const { return slots_[static_cast<std::size_t>(index)]; }
    ResultSlot& operator[](int index) { return slots_[static_cast<std::size_t>(index)]; }
    const std::vector<ResultSlot>& all() const { return slots_; }

    // The last constant slot holding exactly this value, or -1.
    int findConstant(float value) const;
    // The slot named `name` (without regard to case), or -1.
    int findName(std::string_view name) const;

    // Each returns the new slot's number, or -1 when the table is full.
    int addConstant(std::string_view text, float value);
    int addVariable(std::string_view name);
    int addTemporary();

    // Drops every slot from `count` on.
    void truncate(int count);
    void clear() { slots_.clear(); }

private:
    std::vector<ResultSlot> slots_;
};

}  // namespace tess::compiler
