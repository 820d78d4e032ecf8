// The hand-over between a loader (user-interface thread) and the audio callbacks. While a
// load runs, the callbacks must not touch the instrument; the loader waits until no callback
// is inside before it rebuilds anything. Two atomics, no lock: the audio side never waits.
#pragma once

#include <atomic>
#include <thread>

namespace tess {

class AudioThreadGuard {
public:
    // Audio side: true when the callback may use the instrument; pair with leave().
    bool enter() {
        inside_.fetch_add(1);
        if (loading_.load() != 0) {
            inside_.fetch_sub(1);
            return false;
        }
        return true;
    }
    void leave() { inside_.fetch_sub(1); }

    // Loader side. Loads may nest (a chunk restore that loads a file).
    void beginLoad() {
        loading_.fetch_add(1);
        while (inside_.load() != 0) std::this_thread::yield();
    }
    void endLoad() { loading_.fetch_sub(1); }
    bool loading() const { return loading_.load() != 0; }

    class AudioScope {
    public:
        explicit AudioScope(AudioThreadGuard& guard) : guard_(guard), entered_(guard.enter()) {}
        ~AudioScope() {
            if (entered_) guard_.leave();
        }
        explicit operator bool() const { return entered_; }

    private:
        AudioThreadGuard& guard_;
        bool entered_;
    };

    class LoadScope {
    public:
        explicit LoadScope(AudioThreadGuard& guard) : guard_(guard) { guard_.beginLoad(); }
        ~LoadScope() { guard_.endLoad(); }

    private:
        AudioThreadGuard& guard_;
    };

private:
    std::atomic<int> loading_{0};
    std::atomic<int> inside_{0};
};

}  // namespace tess
