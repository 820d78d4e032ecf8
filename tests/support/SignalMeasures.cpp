#include "support/SignalMeasures.h"

#include <algorithm>

namespace tess::test {

double measuredFrequency(const std::vector<float>& signal, double sampleRate) {
    double first = -1.0, last = -1.0;
    long count = 0;
    for (std::size_t i = 1; i < signal.size(); ++i)
        if (signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
            const double at = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
            if (first < 0.0) first = at;
            last = at;
            ++count;
        }
    if (count < 2) return 0.0;
    return static_cast<double>(count - 1) * sampleRate / (last - first);
}

long onsetSample(const std::vector<float>& signal, float threshold, std::size_t from) {
    for (std::size_t i = from; i < signal.size(); ++i)
        if (std::fabs(signal[i]) > threshold) return static_cast<long>(i);
    return -1;
}

float peakLevel(const std::vector<float>& signal, std::size_t from, std::size_t to) {
    float p = 0.0f;
    for (std::size_t i = from; i < signal.size() && i < to; ++i) p = std::max(p, std::fabs(signal[i]));
    return p;
}

double toneAmplitude(const std::vector<float>& signal, double frequency, double sampleRate) {
    double re = 0.0, im = 0.0;
    const double w = 2.0 * 3.14159265358979323846 * frequency / sampleRate;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        re += signal[i] * std::cos(w * static_cast<double>(i));
        im -= signal[i] * std::sin(w * static_cast<double>(i));
    }
    return signal.empty() ? 0.0 : 2.0 * std::sqrt(re * re + im * im) / static_cast<double>(signal.size());
}

std::vector<float> slice(const std::vector<float>& signal, std::size_t from, std::size_t to) {
    to = std::min(to, signal.size());
    from = std::min(from, to);
    return std::vector<float>(signal.begin() + static_cast<long>(from), signal.begin() + static_cast<long>(to));
}

std::vector<std::pair<double, double>> pitchTrack(const std::vector<float>& signal, double sampleRate) {
    std::vector<std::pair<double, double>> track;
    double previous = -1.0;
    for (std::size_t i = 1; i < signal.size(); ++i) {
        if (!(signal[i - 1] < 0.0f && signal[i] >= 0.0f)) continue;
        const double at = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
        if (previous >= 0.0) track.emplace_back(0.5 * (at + previous), sampleRate / (at - previous));
        previous = at;
    }
    return track;
}

std::vector<double> upwardPassages(const std::vector<std::pair<double, double>>& track, double hertz) {
    std::vector<double> times;
    for (std::size_t k = 1; k < track.size(); ++k) {
        const auto [before, low] = track[k - 1];
        const auto [after, high] = track[k];
        if (low < hertz && high >= hertz) times.push_back(before + (hertz - low) / (high - low) * (after - before));
    }
    return times;
}

}  // namespace tess::test
