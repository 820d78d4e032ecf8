#include "tessarine/Levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tess::tool {

void LevelMeter::add(const float* left, const float* right, std::size_t frames) {
    const float* channels[2] = {left, right};
    for (int c = 0; c < 2; ++c) {
        // Four partial sums of squares side by side, so that the additions do not wait on each
        // other; in double, the order of summing does not show in the reported level.
        const float* x = channels[c];
        double sums[4] = {0.0, 0.0, 0.0, 0.0};
        float peak = 0.0f;
        std::int64_t nonFinite = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            const float value = x[i];
            if (!std::isfinite(value)) {
                ++nonFinite;
                continue;
            }
            peak = std::max(peak, std::fabs(value));
            sums[i & 3] += static_cast<double>(value) * static_cast<double>(value);
        }
        peak_[c] = std::max(peak_[c], static_cast<double>(peak));
        sumOfSquares_[c] += (sums[0] + sums[1]) + (sums[2] + sums[3]);
        nonFinite_ += nonFinite;
    }
    frames_ += static_cast<std::int64_t>(frames);
}

double LevelMeter::rms(int channel) const {
    return frames_ > 0 ? std::sqrt(sumOfSquares_[channel] / double(frames_)) : 0.0;
}

double zeroCrossingFrequency(const float* signal, std::size_t count, double sampleRate) {
    double first = -1.0;
    double last = -1.0;
    long crossings = 0;
    for (std::size_t i = 1; i < count; ++i)
        if (signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
            const double at = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    if (crossings < 2) return 0.0;
    return static_cast<double>(crossings - 1) * sampleRate / (last - first);
}

std::string formatDbfs(double linear) {
    if (!(linear > 0.0)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", 20.0 * std::log10(linear));
    return text;
}

void SilenceMeter::add(const float* left, const float* right, std::size_t frames, std::int64_t firstFrame) {
    for (std::size_t i = 0; i < frames; ++i) {
        run_ = left[i] == 0.0f && right[i] == 0.0f ? run_ + 1 : 0;
        if (run_ > longest_) {
            longest_ = run_;
            longestStart_ = firstFrame + static_cast<std::int64_t>(i) + 1 - run_;
        }
    }
}

}  // namespace tess::tool
