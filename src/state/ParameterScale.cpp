#include "state/ParameterScale.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tess {

namespace {

// The beat grid below 1.75 beats, from the top: threshold, value, and the fraction shown.
struct BeatStep {
    float from;
    float value;
    const char* text;
};
constexpr BeatStep kBeatSteps[] = {
    {1.25f, 1.5f, "3/2"},      {0.85f, 1.0f, "1"},       {0.65f, 0.75f, "3/4"},    {0.45f, 0.5f, "1/2"},
    {0.35f, 0.375f, "3/8"},    {0.2f, 0.25f, "1/4"},     {0.17f, 0.1875f, "3/16"}, {0.1f, 0.125f, "1/8"},
    {0.08f, 0.09375f, "3/32"}, {0.05f, 0.0625f, "1/16"},
};
constexpr float kWholeBeatsFrom = 1.75f;
constexpr float kSmallestBeat = 0.03125f;
constexpr const char* kSmallestBeatText = "1/32";

bool logarithmicRange(float min, float max) { return min > 0.0f && max > 0.0f; }

// The position of x between min and max; 0 for a range without width.
float linearPosition(float min, float max, float x) {
    const float width = max - min;
    return width != 0.0f ? (x - min) / width : 0.0f;
}

const char* magnitudeFormat(float x) {
    const float a = std::fabs(x);
    if (a >= 1000.0f) return "%.0f";
    if (a >= 100.0f) return "%.1f";
    if (a >= 10.0f) return "%.2f";
    if (a >= 1.0f) return "%.3f";
    if (a >= 0.1f) return "%.4f";
    if (a >= 0.01f) return "%.5f";
    return "%.6f";
}

}  // namespace

float quantiseBeats(float beats) {
    if (beats >= kWholeBeatsFrom) return std::round(beats);
    for (const BeatStep& step : kBeatSteps)
        if (beats >= step.from) return step.value;
    return kSmallestBeat;
}

float internalFromHost(int type, float min, float max, float host) {
    if (type == kScaleLogarithmic && logarithmicRange(min, max)) {
        const double low = std::log(static_cast<double>(min));
        const double high = std::log(static_cast<double>(max));
        return static_cast<float>(std::exp(low + (high - low) * static_cast<double>(host)));
    }
    const float linear = min + (max - min) * host;
    if (type == kScaleInteger) return std::round(linear);
    if (type == kScaleBeats) return quantiseBeats(linear);
    return linear;
}

float hostFromInternal(int type, float min, float max, float& internal) {
    if (type == kScaleLogarithmic && logarithmicRange(min, max)) {
        const double span = std::log(static_cast<double>(max) / static_cast<double>(min));
        if (span == 0.0 || !(internal > 0.0f)) return 0.0f;
        return static_cast<float>(std::log(static_cast<double>(internal) / static_cast<double>(min)) / span);
    }
    if (type == kScaleInteger) internal = std::round(internal);
    if (type == kScaleBeats) internal = quantiseBeats(internal);
    return linearPosition(min, max, internal);
}

void formatParameterDisplay(int type, float internal, char* text, std::size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    const double x = static_cast<double>(internal);
    char full[64];
    const bool fraction = type == kScaleBeats && internal < kWholeBeatsFrom;
    if (fraction) {
        const char* fraction = kSmallestBeatText;
        for (const BeatStep& step : kBeatSteps)
            if (internal >= step.from) {
                fraction = step.text;
                break;
            }
        std::snprintf(full, sizeof full, "%s", fraction);
    } else if (type == kScaleInteger || type == kScaleBeats) {
        std::snprintf(full, sizeof full, "%.0f", x);
    } else {
        std::snprintf(full, sizeof full, magnitudeFormat(internal), x);
    }
    // A number longer than the space keeps its value with fewer significant digits.
    for (int digits = 6; !fraction && std::strlen(full) >= capacity && digits >= 1; --digits)
        std::snprintf(full, sizeof full, "%.*g", digits, x);
    std::snprintf(text, capacity, "%s", full);
}

}  // namespace tess
