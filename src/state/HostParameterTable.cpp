#include "state/HostParameterTable.h"

#include <algorithm>
#include <cstdio>

#include "state/ParameterScale.h"

namespace tess {

namespace {

void copyText(char (&field)[HostParameterTable::kTextSize], std::string_view text) {
    const std::size_t n = std::min(text.size(), sizeof field - 1);
    std::copy_n(text.data(), n, field);
    std::fill(field + n, field + sizeof field, '\0');
}

}  // namespace

void HostParameterTable::reset() {
    for (int i = 0; i < kCount; ++i) {
        char name[kTextSize];
        std::snprintf(name, sizeof name, "Var #%d", i);
        copyText(names_[i], name);
        copyText(units_[i], "");
        min_[i].store(0.0f, kOrder);
        max_[i].store(1.0f, kOrder);
        scale_[i].store(kScaleLinear, kOrder);
        internal_[i].store(0.0f, kOrder);
        host_[i].store(0.0f, kOrder);
        linkedController_[i].store(-1, kOrder);
    }
    for (std::atomic<int>& link : controllerLink_) link.store(-1, kOrder);
    changed_[0].store(0, kOrder);
    changed_[1].store(0, kOrder);
}

void HostParameterTable::copyFrom(const HostParameterTable& other) {
    if (&other == this) return;
    for (int i = 0; i < kCount; ++i) {
        std::copy(std::begin(other.names_[i]), std::end(other.names_[i]), names_[i]);
        std::copy(std::begin(other.units_[i]), std::end(other.units_[i]), units_[i]);
        min_[i].store(other.min_[i].load(kOrder), kOrder);
        max_[i].store(other.max_[i].load(kOrder), kOrder);
        scale_[i].store(other.scale_[i].load(kOrder), kOrder);
        internal_[i].store(other.internal_[i].load(kOrder), kOrder);
        host_[i].store(other.host_[i].load(kOrder), kOrder);
        linkedController_[i].store(other.linkedController_[i].load(kOrder), kOrder);
    }
    for (int c = 0; c < kMidiControllers; ++c) controllerLink_[c].store(other.controllerLink_[c].load(kOrder), kOrder);
    for (int word = 0; word < 2; ++word)
        changed_[word].fetch_or(other.changed_[word].load(std::memory_order_acquire), std::memory_order_release);
    changeCount_.fetch_add(1, kOrder);
}

void HostParameterTable::describe(int index, std::string_view name, std::string_view unit, float min, float max,
                                  int scale) {
    if (!valid(index)) return;
    copyText(names_[index], name);
    copyText(units_[index], unit);
    min_[index].store(min, kOrder);
    max_[index].store(max, kOrder);
    scale_[index].store(scale, kOrder);
}

float HostParameterTable::setVstVarValue(int index, float value) {
    if (!valid(index)) return 0.0f;
    const float min = min_[index].load(kOrder);
    const float max = max_[index].load(kOrder);
    // A reversed range (min above max) clamps to its own interval.
    float x = std::min(std::max(value, std::min(min, max)), std::max(min, max));
    if (value != value) x = min;
    const float host = hostFromInternal(scale_[index].load(kOrder), min, max, x);
    internal_[index].store(x, kOrder);
    host_[index].store(host, kOrder);
    return host;
}

float HostParameterTable::setHostValue(int index, float host) {
    if (!valid(index)) return 0.0f;
    const float x = internalFromHost(scale_[index].load(kOrder), min_[index].load(kOrder),
                                     max_[index].load(kOrder), host);
    host_[index].store(host, kOrder);
    internal_[index].store(x, kOrder);
    changed_[index / 64].fetch_or(std::uint64_t{1} << (index % 64), std::memory_order_release);
    changeCount_.fetch_add(1, kOrder);
    return x;
}

void HostParameterTable::display(int index, char* text, std::size_t capacity) const {
    formatParameterDisplay(scaleType(index), internalValue(index), text, capacity);
}

void HostParameterTable::setLinkedController(int index, int controller) {
    if (valid(index)) linkedController_[index].store(controller, kOrder);
}

int HostParameterTable::parameterOfController(int controller) const {
    return controller >= 0 && controller < kMidiControllers ? controllerLink_[controller].load(kOrder) : -1;
}

void HostParameterTable::setControllerLink(int controller, int index) {
    if (controller >= 0 && controller < kMidiControllers) controllerLink_[controller].store(index, kOrder);
}

}  // namespace tess
