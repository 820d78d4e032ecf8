// Delay and reverb memory as an operation sees it: a buffer lent from the instrument's pool
// for the length of a note, and the count of frames the note has written into it. A frame the
// note has not written yet reads 0, exactly as in a freshly zero-filled buffer, so a buffer is
// handed from note to note without ever being cleared.
#pragma once

#include <cstdint>

namespace tess::fx {

// The delay family: 2^21 interleaved stereo frames (PPDELAY: 2^22 mono samples).
inline constexpr std::uint32_t kDelayFloats = 4194304;
inline constexpr std::uint32_t kDelayStereoFrames = kDelayFloats / 2;
// The reverbs: 12 combs then 6 allpasses, each a region of 4096 interleaved stereo frames.
inline constexpr int kCombs = 12;
inline constexpr int kAllpasses = 6;
inline constexpr std::uint32_t kReverbRegionFloats = 8192;
inline constexpr std::uint32_t kReverbRegionFrames = kReverbRegionFloats / 2;
inline constexpr std::uint32_t kReverbFloats = (kCombs + kAllpasses) * kReverbRegionFloats;

enum class MemoryKind : std::uint8_t { None, Delay, Reverb };

// Which memory the function of table index `function` needs: the delay lines (DELAY to
// DELAYFF4, PPDELAY and the NI forms) a delay buffer, REVERB, REVERB1 and REVERB2 a reverb
// buffer, everything else none.
inline MemoryKind memoryKindOf(int function) {
    if ((function >= 39 && function <= 45) || (function >= 48 && function <= 56)) return MemoryKind::Delay;
    if (function >= 104 && function <= 106) return MemoryKind::Reverb;
    return MemoryKind::None;
}

// A buffer on loan from the pool; empty when none was free.
struct DelayMemory {
    float* data = nullptr;
    std::int32_t slot = -1;
    MemoryKind kind = MemoryKind::None;
};

struct DelayState {
    DelayMemory memory;
    std::uint32_t index = 0;    // write index in floats: where the newest frame was written
    std::uint32_t written = 0;  // frames written since the note started, at most the ring's frames
    float low[2] = {0.0f, 0.0f};                // one-pole memories of the filtered feedback
    float combLow[kCombs][2] = {};              // the reverbs' comb memories
};

// A ring of `Frames` frames (a power of two) of `Channels` floats each. Writes go to frame
// positions 1, 2, 3 ... (mod Frames) from the note's start, so position p holds a write of this
// note exactly when (p - 1) mod Frames is below the written count.
template <std::uint32_t Frames, int Channels>
struct Ring {
    static constexpr std::uint32_t kMask = Frames - 1;
    static_assert((Frames & kMask) == 0, "a ring holds a power of two of frames");

    const float* data;
    std::uint32_t newest;   // frame position of the most recent write
    std::uint32_t written;

    // v(k): the frame written k + 1 samples ago (v(0) is the newest). Any k wraps round the ring.
    float ago(std::int64_t k, int channel) const {
        const std::uint32_t position = (newest - static_cast<std::uint32_t>(k)) & kMask;
        if (((position - 1u) & kMask) >= written) return 0.0f;
        return data[position * Channels + static_cast<std::uint32_t>(channel)];
    }
};

// A delay of `frames` (fractional) split into its integer part (toward zero) and the rest.
struct DelayTime {
    std::int64_t whole = 0;
    float fraction = 0.0f;
};

inline DelayTime splitDelay(float frames) {
    // Only the whole part modulo the ring matters; times past any ring (and NaN) need a
    // defined conversion.
    if (!(frames == frames)) return {};
    constexpr float kLimit = 4.0e18f;
    const float d = frames > kLimit ? kLimit : frames < -kLimit ? -kLimit : frames;
    const auto whole = static_cast<std::int64_t>(d);
    return {whole, d - static_cast<float>(whole)};
}

// The interpolating read v(n) + (v(n + 1) - v(n)) * f, or v(n) alone.
template <class R>
inline float readDelayed(const R& ring, DelayTime d, int channel, bool interpolate) {
    const float a = ring.ago(d.whole, channel);
    if (!interpolate) return a;
    const float b = ring.ago(d.whole + 1, channel);
    return a + (b - a) * d.fraction;
}

}  // namespace tess::fx
