// The running voices: 256 note voices and the POST voice. A voice's frequency is also its
// state: above 0 active, exactly 0 freed when the next block reaches it, below 0 idle.
#pragma once

#include <array>
#include <cstdint>

namespace tess {

struct Voice {
    float frequency = -1.0f;
    int operationCount = 0;
};

class VoiceTable {
public:
    static constexpr int kNoteVoices = 256;
    static constexpr int kPostVoice = 256;
    static constexpr int kCount = 257;

    Voice& operator[](int index) { return voices_[static_cast<std::size_t>(index)]; }
    const Voice& operator[](int index) const { return voices_[static_cast<std::size_t>(index)]; }
    Voice& post() { return voices_[kPostVoice]; }
    const Voice& post() const { return voices_[kPostVoice]; }

    // Every note voice is released when the next block reaches it.
    void releaseNoteVoices() {
        for (int i = 0; i < kNoteVoices; ++i) voices_[static_cast<std::size_t>(i)].frequency = 0.0f;
    }

private:
    std::array<Voice, kCount> voices_{};
};

}  // namespace tess
