#include "samples/Normalisation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tess {

namespace {

float peakOf(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float v : samples) peak = std::max(peak, std::fabs(v));
    return peak;
}

// Sum of squares over frames trunc(0.1 n) .. trunc(0.4 n) - 1, with the span's frame count.
double squaresOf(const std::vector<float>& samples, std::size_t& span) {
    const std::size_t n = samples.size();
    const auto from = static_cast<std::size_t>(0.1 * static_cast<double>(n));
    const auto to = static_cast<std::size_t>(0.4 * static_cast<double>(n));
    span = to > from ? to - from : 0;
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return sum;
}

}  // namespace

NormalisationFactors normalisationFactors(int mode, const std::vector<float>& left,
                                          const std::vector<float>& right) {
    NormalisationFactors f;
    const bool stereo = !right.empty();
    switch (static_cast<NormalisationMode>(mode)) {
        case NormalisationMode::PeakStereo: {
            const float peak = std::max(0.001f, std::max(peakOf(left), stereo ? peakOf(right) : 0.0f));
            f.left = f.right = 1.0f / peak;
            break;
        }
        case NormalisationMode::PeakPerChannel:
            f.left = 1.0f / std::max(0.001f, peakOf(left));
            f.right = stereo ? 1.0f / std::max(0.001f, peakOf(right)) : f.left;
            break;
        case NormalisationMode::RmsStereo: {
            std::size_t span = 0;
            double sum = squaresOf(left, span);
            if (stereo) sum += squaresOf(right, span);
            const int channels = stereo ? 2 : 1;
            const double rms = std::sqrt(sum / (static_cast<double>(span + 1) * channels));
            f.left = f.right = 0.25f / std::max(0.01f, static_cast<float>(rms));
            break;
        }
        case NormalisationMode::RmsPerChannel: {
            std::size_t span = 0;
            const double l = std::sqrt(squaresOf(left, span) / static_cast<double>(span + 1));
            f.left = 0.25f / std::max(0.01f, static_cast<float>(l));
            if (stereo) {
                const double r = std::sqrt(squaresOf(right, span) / static_cast<double>(span + 1));
                f.right = 0.25f / std::max(0.01f, static_cast<float>(r));
            } else {
                f.right = f.left;
            }
            break;
        }
        default:
            break;
    }
    return f;
}

NormalisationFactors normalise(int mode, std::vector<float>& left, std::vector<float>& right) {
    const NormalisationFactors f = normalisationFactors(mode, left, right);
    if (f.left != 1.0f)
        for (float& v : left) v *= f.left;
    if (f.right != 1.0f)
        for (float& v : right) v *= f.right;
    return f;
}

}  // namespace tess
