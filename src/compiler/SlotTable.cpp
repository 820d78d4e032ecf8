#include "compiler/SlotTable.h"

#include <cstdio>

namespace tess::compiler {

int SlotTable::findConstant(float value) const {
    for (int i = size() - 1; i >= 0; --i)
        if (slots_[static_cast<std::size_t>(i)].isConst && slots_[static_cast<std::size_t>(i)].value == value)
            return i;
    return -1;
}

int SlotTable::findName(std::string_view name) const {
    for (int i = 0; i < size(); ++i)
        if (equalsIgnoreCase(fieldView(slots_[static_cast<std::size_t>(i)].name), name)) return i;
    return -1;
}

int SlotTable::addConstant(std::string_view text, float value) {
    if (full()) return -1;
    ResultSlot slot;
    slot.isConst = true;
    slot.value = value;
    slot.name = makeField(text.substr(0, slot.name.size() - 1));
    slots_.push_back(slot);
    return size() - 1;
}

int SlotTable::addVariable(std::string_view name) {
    if (full()) return -1;
    ResultSlot slot;
    slot.name = makeField(name.substr(0, slot.name.size() - 1));
    slots_.push_back(slot);
    return size() - 1;
}

int SlotTable::addTemporary() {
    if (full()) return -1;
    ResultSlot slot;
    char text[16];
    std::snprintf(text, sizeof text, "$%05d", size());
    slot.name = makeField(text);
    slots_.push_back(slot);
    return size() - 1;
}

void SlotTable::truncate(int count) {
    if (count >= 0 && count < size()) slots_.resize(static_cast<std::size_t>(count));
}

}  // namespace tess::compiler
