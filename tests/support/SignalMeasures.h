// Measures of rendered audio shared by the test programs: frequency, onset, level and the
// amplitude of one tone.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tess::test {

// Frequency from the rising zero crossings of a signal (interpolated).
double measuredFrequency(const std::vector<float>& signal, double sampleRate);
// Index of the first sample whose magnitude exceeds `threshold`, or -1.
long onsetSample(const std::vector<float>& signal, float threshold = 1e-6f, std::size_t from = 0);
float peakLevel(const std::vector<float>& signal, std::size_t from = 0, std::size_t to = SIZE_MAX);
// Amplitude of the sine component at `frequency` (a single-bin DFT over the whole signal).
double toneAmplitude(const std::vector<float>& signal, double frequency, double sampleRate);
inline double keyFrequency(double key) { return 440.0 * std::pow(2.0, (key - 69.0) / 12.0); }
std::vector<float> slice(const std::vector<float>& signal, std::size_t from, std::size_t to);
// The pitch of a signal over time: one (time in samples, frequency) pair per cycle, between two
// interpolated rising zero crossings.
std::vector<std::pair<double, double>> pitchTrack(const std::vector<float>& signal, double sampleRate);
// The times at which a pitch track rises through `hertz`, interpolated between its points.
std::vector<double> upwardPassages(const std::vector<std::pair<double, double>>& track, double hertz);

}  // namespace tess::test
