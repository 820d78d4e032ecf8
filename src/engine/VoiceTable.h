// The 256 note voices and the POST voice that runs the POST section once per sample.
#pragma once

#include <array>

#include "engine/Voice.h"

namespace tess {

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
