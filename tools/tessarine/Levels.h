// Peak and RMS level of a stereo signal, reported in dB relative to full scale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tess::tool {

class LevelMeter {
public:
    void add(const float* left, const float* right, std::size_t frames);
    double peak(int channel) const { return peak_[channel]; }
    double rms(int channel) const;
    std::int64_t nonFiniteSamples() const { return nonFinite_; }

private:
    double peak_[2] = {0.0, 0.0};
    double sumOfSquares_[2] = {0.0, 0.0};
    std::int64_t frames_ = 0;
    std::int64_t nonFinite_ = 0;
};

// The longest run of frames in which both channels are exactly zero.
class SilenceMeter {
public:
    // `firstFrame` is the position of the first of `frames` in the whole signal.
    void add(const float* left, const float* right, std::size_t frames, std::int64_t firstFrame);
    std::int64_t longest() const { return longest_; }
    std::int64_t longestStart() const { return longestStart_; }

private:
    std::int64_t run_ = 0;
    std::int64_t longest_ = 0;
    std::int64_t longestStart_ = 0;
};

// Frequency from the rising zero crossings of a signal (interpolated between samples); 0 when
// fewer than two crossings are found.
double zeroCrossingFrequency(const float* signal, std::size_t count, double sampleRate);

// "-6.02" for 0.5, "-inf" for silence.
std::string formatDbfs(double linear);

}  // namespace tess::tool
