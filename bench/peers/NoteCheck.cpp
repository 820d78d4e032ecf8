#include "peers/NoteCheck.h"

#include <cmath>
#include <cstdio>

namespace tess::bench {

namespace {

constexpr int kWindow = 4096;          // 93 ms at 44.1 kHz
constexpr double kSettle = 0.02;       // the window after an onset starts past the attack
constexpr double kEarlyShift = 0.12;   // "before the onset" is this much earlier
// The note's frequency must gain at least half the power it had before: five to ten other
// notes' partials leak into any bin, so a weaker rise is not a clear onset.
constexpr double kRequiredRise = 0.5;

// Power at `hz` of a Hann-windowed stretch of `kWindow` samples from `start` (Goertzel).
double power(const std::vector<float>& x, long start, double hz, double rate) {
    const double w = 2.0 * M_PI * hz / rate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (int i = 0; i < kWindow; ++i) {
        const long n = start + i;
        const double sample = n >= 0 && n < static_cast<long>(x.size()) ? x[static_cast<std::size_t>(n)] : 0.0;
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / (kWindow - 1));
        const double s0 = sample * hann + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

double keyHz(int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

// How much the power at `key` grows from the window that ends at `at` to the one that
// starts kSettle after it.
double rise(const std::vector<float>& x, double at, int key, double rate) {
    const long onset = std::lround(at * rate);
    const long settle = std::lround(kSettle * rate);
    const double before = power(x, onset - kWindow, keyHz(key), rate);
    const double after = power(x, onset + settle, keyHz(key), rate);
    return after - before;
}

}  // namespace

NoteCheckResult checkNotes(const std::vector<PeerNote>& notes, const std::vector<float>& mono,
                           double sampleRate) {
    NoteCheckResult result;
    auto fail = [&](const PeerNote& n, const char* what) {
        if (!result.firstFailure.empty()) return;
        char text[160];
        std::snprintf(text, sizeof text, "note %d at %.3f s: %s", n.key, n.onset, what);
        result.firstFailure = text;
    };
    for (const PeerNote& n : notes) {
        ++result.checked;
        const double own = rise(mono, n.onset, n.key, sampleRate);
        const double before = power(mono, std::lround(n.onset * sampleRate) - kWindow, keyHz(n.key), sampleRate);
        if (own <= 0.0 || own < kRequiredRise * before) {
            ++result.missing;
            fail(n, "its pitch does not come in");
            continue;
        }
        bool neighbourWins = false;
        for (int other : {n.key - 2, n.key - 1, n.key + 1, n.key + 2})
            if (rise(mono, n.onset, other, sampleRate) >= own) neighbourWins = true;
        if (neighbourWins) {
            ++result.wrongPitch;
            fail(n, "a neighbouring semitone comes in more strongly");
            continue;
        }
        // The same measure a little earlier: the note must not have started yet.
        if (rise(mono, n.onset - kEarlyShift, n.key, sampleRate) > 0.25 * own) {
            ++result.early;
            fail(n, "its pitch was already rising before the onset");
        }
    }
    return result;
}

}  // namespace tess::bench
