// The hand-over from a playing instrument to a newly built one without a silent gap: the
// loader asks for a fade, the audio callbacks fade the old sound out over a few milliseconds so
// that it ends at a block boundary, the loader installs the new instrument between two blocks,
// and the next blocks fade the new sound in. The audio side only multiplies and stores atomics;
// it never waits and never allocates.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

namespace tess {

class InstrumentSwap {
public:
    static constexpr float kFadeSeconds = 0.004f;
    // A host that has not called the audio callback for this long is taken as not playing.
    static constexpr std::chrono::milliseconds kIdleAfter{250};

    // ---- Audio side ----
    // Called at the start of every callback that renders.
    void callbackStarted() {
        lastCallback_.store(now(), std::memory_order_relaxed);
        audioThread_.store(currentThread(), std::memory_order_relaxed);
    }
    // True while the old sound is out and the new one not yet in place: the callback outputs
    // silence without rendering.
    bool silent() const { return state_.load(std::memory_order_acquire) == kSilent; }
    // Applies the fade to a rendered block of two channels.
    void shapeOutput(float* const* outputs, int frames, float sampleRate);

    // ---- Loader side ----
    // Whether the host calls the audio callbacks at present, from a thread other than the
    // caller's (a host that loads and renders on one thread cannot render while it loads).
    bool audioRunning() const;
    // Asks for the fade and waits until the old sound is out or `timeout` has passed. True when
    // the fade completed.
    bool fadeOut(std::chrono::milliseconds timeout);
    // With the audio thread held off after the new instrument is in place: the following
    // blocks fade it in (or, when no fade ran, play it at once).
    void installed(bool fadeIn);
    // The host stopped the audio (suspend): no fade is waited for until it calls again.
    void audioStopped() { lastCallback_.store(0, std::memory_order_relaxed); }

private:
    enum State : int { kPlaying, kFadingOut, kSilent, kFadingIn };
    static std::int64_t now() {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::atomic<int> state_{kPlaying};
    static std::size_t currentThread() { return std::hash<std::thread::id>{}(std::this_thread::get_id()); }

    std::atomic<std::int64_t> lastCallback_{0};
    std::atomic<std::size_t> audioThread_{0};
    float gain_ = 1.0f;  // audio side only
};

}  // namespace tess
