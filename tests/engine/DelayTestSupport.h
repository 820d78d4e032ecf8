// Delay memory for tests of the delay functions without a pool: a zero-filled buffer that
// counts as written all through (so every read sees what the buffer holds, as in a plain
// zero-filled line), or a buffer full of leftovers from earlier notes with nothing written yet
// (as the pool hands it out).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/delays/DelayMemory.h"

namespace tess::test {

class TestDelayMemory {
public:
    enum Contents { ZeroFilled, Leftovers };

    TestDelayMemory(fx::MemoryKind kind, Contents contents)
        : buffer_(kind == fx::MemoryKind::Reverb ? fx::kReverbFloats : fx::kDelayFloats, 0.0f) {
        state.memory = {buffer_.data(), 0, kind};
        if (contents == ZeroFilled) {
            state.written = kind == fx::MemoryKind::Reverb ? fx::kReverbRegionFrames : fx::kDelayFloats;
        } else {
            // Loud leftovers and a few NaNs: any read of them would show.
            for (std::size_t i = 0; i < buffer_.size(); ++i)
                buffer_[i] = i % 97 == 0 ? std::nanf("") : 1000.0f + static_cast<float>(i % 1013);
        }
    }

    fx::DelayState state;

private:
    std::vector<float> buffer_;
};

}  // namespace tess::test
