#include "engine/delays/DelayMemoryPool.h"

#include <new>

namespace tess::fx {

bool DelayMemoryPool::resize(Shelf& shelf, int count) {
    if (count < 0) count = 0;
    bool complete = true;
    if (static_cast<std::size_t>(count) < shelf.buffers.size()) shelf.buffers.resize(static_cast<std::size_t>(count));
    while (shelf.buffers.size() < static_cast<std::size_t>(count)) {
        // Not zero-filled: the pages are touched only as notes write into them, and a note
        // reads only what it wrote.
        std::unique_ptr<float[]> buffer(new (std::nothrow) float[shelf.floats]);
        if (!buffer) {
            complete = false;
            break;
        }
        shelf.buffers.push_back(std::move(buffer));
    }
    const std::size_t held = shelf.buffers.size();
    shelf.lent.assign(held, 0);
    shelf.free.clear();
    shelf.free.reserve(held);
    for (std::size_t i = held; i > 0; --i) shelf.free.push_back(static_cast<std::int32_t>(i - 1));
    return complete;
}

DelayMemoryPool::Capacity DelayMemoryPool::reserve(Capacity wanted) {
    resize(delays_, wanted.delays);
    resize(reverbs_, wanted.reverbs);
    refusalReported_ = false;
    return capacity();
}

DelayMemoryPool::Capacity DelayMemoryPool::capacity() const {
    return {static_cast<int>(delays_.buffers.size()), static_cast<int>(reverbs_.buffers.size())};
}

int DelayMemoryPool::freeCount(MemoryKind kind) const {
    return kind == MemoryKind::None ? 0 : static_cast<int>(shelf(kind).free.size());
}

bool DelayMemoryPool::lend(MemoryKind kind, DelayMemory& memory) {
    memory = DelayMemory{};
    if (kind == MemoryKind::None) return false;
    Shelf& s = shelf(kind);
    if (s.free.empty()) return false;
    const std::int32_t slot = s.free.back();
    s.free.pop_back();
    s.lent[static_cast<std::size_t>(slot)] = 1;
    memory = {s.buffers[static_cast<std::size_t>(slot)].get(), slot, kind};
    return true;
}

void DelayMemoryPool::takeBack(DelayMemory& memory) {
    if (memory.data != nullptr && memory.kind != MemoryKind::None) {
        Shelf& s = shelf(memory.kind);
        const auto slot = static_cast<std::size_t>(memory.slot);
        // Only a buffer of this pool that is out on loan goes back on the shelf (never twice).
        if (slot < s.buffers.size() && s.lent[slot] != 0 && s.buffers[slot].get() == memory.data) {
            s.lent[slot] = 0;
            s.free.push_back(memory.slot);
            refusalReported_ = false;
        }
    }
    memory = DelayMemory{};
}

bool DelayMemoryPool::firstRefusalSinceReturn() {
    if (refusalReported_) return false;
    refusalReported_ = true;
    return true;
}

}  // namespace tess::fx
