#include "plugin/InstrumentSwap.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace tess {

void InstrumentSwap::shapeOutput(float* const* outputs, int frames, float sampleRate) {
    const int state = state_.load(std::memory_order_acquire);
    if (state == kPlaying || state == kSilent) {
        gain_ = state == kPlaying ? 1.0f : 0.0f;
        return;
    }
    const float fadeFrames = std::max(1.0f, kFadeSeconds * (sampleRate > 0.0f ? sampleRate : 44100.0f));
    const float step = 1.0f / fadeFrames;
    if (state == kFadingOut) {
        // The ramp ends on the last frame of a block, so the next block can be the new sound.
        // Each frame takes the gain before the step down: the last one is still a step above 0,
        // and the silence between the old sound and the new is only what the swap itself takes.
        const int remaining = static_cast<int>(std::ceil(gain_ / step));
        const int start = std::max(0, frames - remaining);
        if (gain_ < 1.0f)  // the frames before the ramp keep the gain the last block left
            for (int i = 0; i < start; ++i) {
                outputs[0][i] *= gain_;
                outputs[1][i] *= gain_;
            }
        for (int i = start; i < frames; ++i) {
            outputs[0][i] *= gain_;
            outputs[1][i] *= gain_;
            gain_ = std::max(0.0f, gain_ - step);
        }
        if (gain_ <= 0.0f) state_.store(kSilent, std::memory_order_release);
        return;
    }
    for (int i = 0; i < frames; ++i) {
        gain_ = std::min(1.0f, gain_ + step);
        outputs[0][i] *= gain_;
        outputs[1][i] *= gain_;
    }
    // Only the loader moves the state away from kFadingIn otherwise, and it does so while the
    // audio thread is held off.
    if (gain_ >= 1.0f) {
        int expected = kFadingIn;
        state_.compare_exchange_strong(expected, kPlaying, std::memory_order_acq_rel);
    }
}

bool InstrumentSwap::audioRunning() const {
    const std::int64_t last = lastCallback_.load(std::memory_order_relaxed);
    if (audioThread_.load(std::memory_order_relaxed) == currentThread()) return false;
    return last != 0 && now() - last < std::chrono::duration_cast<std::chrono::microseconds>(kIdleAfter).count();
}

bool InstrumentSwap::fadeOut(std::chrono::milliseconds timeout) {
    state_.store(kFadingOut, std::memory_order_release);
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (state_.load(std::memory_order_acquire) != kSilent) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

void InstrumentSwap::installed(bool fadeIn) { state_.store(fadeIn ? kFadingIn : kPlaying, std::memory_order_release); }

}  // namespace tess
