// Measures of one played note in a stereo render, taken the same way from the reference
// player's render and from ours so that the two can be compared number by number.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace tess::test {

struct StereoRender {
    std::vector<float> left, right;
    double rate = 44100.0;
    std::size_t frames() const { return left.size(); }
};

// Where a note lies in a render, in frames.
struct NoteSpan {
    std::size_t on = 0, off = 0, end = 0;  // note-on, note-off, end of its slot
};

struct NoteMeasure {
    std::optional<double> hertz;    // fundamental over the held part (when asked for)
    double levelDb = -200.0;        // RMS of both channels over the held part, dBFS
    std::optional<double> release;  // seconds to fall 20 dB after the note-off, at its mean slope
};

// The fundamental near `expectedHz` (within about two thirds of a semitone), from the
// autocorrelation of the two channels' sum at a lag of whole periods near 600 frames.
// Nothing when no lag there correlates well.
std::optional<double> fundamentalNear(const StereoRender& render, std::size_t from, std::size_t to,
                                      double expectedHz);

// RMS level of both channels over [from, to), dBFS.
double rmsDb(const StereoRender& render, std::size_t from, std::size_t to);

// Pitch (when `expectedHz` is given), held level and release of the note in `span`. The
// release is left out when the note has already died away (40 dB below its peak) at its
// note-off: what follows is then no release.
NoteMeasure measureNote(const StereoRender& render, const NoteSpan& span,
                        std::optional<double> expectedHz);

// Frames at which a note starts: the 30 ms level rises above `thresholdDb` (dBFS) after having
// been 10 dB below it.
std::vector<std::size_t> noteOnsets(const StereoRender& render, std::size_t from, std::size_t to,
                                    double thresholdDb);

}  // namespace tess::test
