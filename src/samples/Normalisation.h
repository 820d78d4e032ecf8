// Level normalisation of a loaded sample: by absolute peak or by RMS, over both channels
// together or per channel.
#pragma once

#include <vector>

namespace tess {

enum class NormalisationMode : int {
    None = 0,
    PeakStereo = 1,  // "ABS stereo": both channels by the louder peak
    PeakPerChannel = 2,
    RmsStereo = 3,   // the RMS of the span from 10 % to 40 % of the sample brought to 0.25
    RmsPerChannel = 4,
};

struct NormalisationFactors {
    float left = 1.0f;
    float right = 1.0f;
};

// Factors for the mode; `right` may be empty (mono). A peak is taken as at least 0.001 and an
// RMS as at least 0.01, so silence is raised by at most 1000 (peak) or 25 (RMS).
NormalisationFactors normalisationFactors(int mode, const std::vector<float>& left,
                                          const std::vector<float>& right);

// Computes the factors and multiplies each channel by its own.
NormalisationFactors normalise(int mode, std::vector<float>& left, std::vector<float>& right);

}  // namespace tess
