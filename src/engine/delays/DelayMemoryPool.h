// The delay and reverb buffers of the installed instrument. They are allocated on the loading
// thread when the instrument is installed; at a note's start each delay or reverb operation of
// its program borrows one, and the voice gives it back when it ends. Lending and taking back
// never allocate, lock or clear memory, so a note-on costs the same with or without delays.
// When every buffer is out, the borrowing operation stays silent for that note.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/delays/DelayMemory.h"

namespace tess::fx {

class DelayMemoryPool {
public:
    struct Capacity {
        int delays = 0;   // buffers of kDelayFloats
        int reverbs = 0;  // buffers of kReverbFloats
        bool operator==(const Capacity&) const = default;
    };

    // Loading thread, while no buffer is lent: holds exactly `wanted` buffers of each kind,
    // keeping those it already has. Returns what it holds afterwards, less than wanted only
    // when memory ran out.
    Capacity reserve(Capacity wanted);
    Capacity capacity() const;
    int freeCount(MemoryKind kind) const;

    // Audio thread. Lends a free buffer of `kind` into `memory`; false (and `memory` left
    // empty) when none is free.
    bool lend(MemoryKind kind, DelayMemory& memory);
    // Takes a lent buffer back and empties `memory`; an empty one is ignored.
    void takeBack(DelayMemory& memory);
    // True for the first refused loan since a buffer last came back, so that running dry is
    // reported once, not once per note.
    bool firstRefusalSinceReturn();

private:
    struct Shelf {
        std::uint32_t floats = 0;
        std::vector<std::unique_ptr<float[]>> buffers;
        std::vector<std::int32_t> free;  // indices of the buffers on the shelf (a stack)
        std::vector<std::uint8_t> lent;
    };

    bool resize(Shelf& shelf, int count);
    Shelf& shelf(MemoryKind kind) { return kind == MemoryKind::Reverb ? reverbs_ : delays_; }
    const Shelf& shelf(MemoryKind kind) const { return kind == MemoryKind::Reverb ? reverbs_ : delays_; }

    Shelf delays_{kDelayFloats, {}, {}, {}};
    Shelf reverbs_{kReverbFloats, {}, {}, {}};
    bool refusalReported_ = false;
};

}  // namespace tess::fx
