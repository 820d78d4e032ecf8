#include "engine/Waveforms.h"

#include <algorithm>
#include <cmath>

namespace tess::wave {

namespace {

float sign(float x) { return x < 0.0f ? -1.0f : (x > 0.0f ? 1.0f : 0.0f); }

// sign(p) * sin(|p|)^e. sinf(pi) is a hair below 0 in float; a negative base would make the
// power NaN, so it is taken as 0.
float squaredSine(float p, float e) {
    const float s = std::max(0.0f, std::sin(std::fabs(p)));
    return sign(p) * std::pow(s, e);
}

float roundedSaw(float p, int n) {
    const float x = p / kPi;
    float power = 1.0f;
    for (int i = 0; i < n; ++i) power *= x;
    return x - power;
}

}  // namespace

float triangle(float p) {
    constexpr float kHalfPi = kPi * 0.5f;
    constexpr float kTwoOverPi = 2.0f / kPi;
    if (std::fabs(p) <= kHalfPi) return p * kTwoOverPi;
    if (p > 0.0f) return (kPi - p) * kTwoOverPi;
    return (-kPi - p) * kTwoOverPi;
}

float basic(int code, float p, Noise& noise) {
    switch (code) {
        case 0: return std::sin(p);
        case 1: return p < 0.0f ? -1.0f : 1.0f;
        case 2: return p / kPi;
        case 3: return triangle(p);
        case 4: return noise.next();
        case 5: return squaredSine(p, 0.3f);
        case 6: return squaredSine(p, 0.1f);
        case 7: return squaredSine(p, 0.03f);
        case 8: return squaredSine(p, 0.01f);
        case 9: return roundedSaw(p, 9);
        case 10: return roundedSaw(p, 19);
        case 11: return roundedSaw(p, 21);
        case 12: return roundedSaw(p, 59);
        default: return 0.0f;
    }
}

namespace {

// The shaped waveforms one by one, shared by the single-sample and the run forms.
float sineShape(float s, float p) { return s == 1.0f ? std::sin(p) : squaredSine(p, s); }
float pulse(float s, float p) { return p > (s - 0.5f) * kTwoPi ? -1.0f : 1.0f; }
float movingTriangle(float s, float p) {
    if (s <= 0.0f) return -p / kPi;
    if (s >= 1.0f) return p / kPi;
    const float u = p * 0.15915494f + 0.5f;
    return u < s ? 2.0f * u / s - 1.0f : 1.0f - 2.0f * (u - s) / (1.0f - s);
}
float curvedSaw(float s, float p) {
    const float x = p / kPi;
    return x >= 0.0f ? x - std::pow(x, s) : std::pow(-x, s) + x;
}
float curvedTriangle(float s, float p) {
    const float y = triangle(p);
    return s == 1.0f ? y : sign(y) * std::pow(std::fabs(y), s);
}

template <typename Shape>
void eachPhase(const float* p, float* out, int n, Shape shape) {
    for (int i = 0; i < n; ++i) out[i] = shape(p[i]);
}

}  // namespace

float shaped(int code, float s, float p, Noise& noise) {
    switch (code) {
        case 0: return sineShape(s, p);
        case 1: return pulse(s, p);
        case 2: return movingTriangle(s, p);
        case 3: return curvedSaw(s, p);
        case 4: return curvedTriangle(s, p);
        case 5: return noise.next();
        default: return 0.0f;
    }
}

void basicRun(int code, const float* p, float* out, int n, Noise& noise) {
    switch (code) {
        case 0: eachPhase(p, out, n, [](float x) { return std::sin(x); }); break;
        case 1: eachPhase(p, out, n, [](float x) { return x < 0.0f ? -1.0f : 1.0f; }); break;
        case 2: eachPhase(p, out, n, [](float x) { return x / kPi; }); break;
        case 3: eachPhase(p, out, n, [](float x) { return triangle(x); }); break;
        case 4: eachPhase(p, out, n, [&noise](float) { return noise.next(); }); break;
        default: eachPhase(p, out, n, [code, &noise](float x) { return basic(code, x, noise); }); break;
    }
}

void shapedRun(int code, float s, const float* p, float* out, int n, Noise& noise) {
    switch (code) {
        case 0:
            if (s == 1.0f) eachPhase(p, out, n, [](float x) { return std::sin(x); });
            else eachPhase(p, out, n, [s](float x) { return squaredSine(x, s); });
            break;
        case 1: eachPhase(p, out, n, [s](float x) { return pulse(s, x); }); break;
        case 2:
            if (s <= 0.0f) eachPhase(p, out, n, [](float x) { return -x / kPi; });
            else if (s >= 1.0f) eachPhase(p, out, n, [](float x) { return x / kPi; });
            else eachPhase(p, out, n, [s](float x) { return movingTriangle(s, x); });
            break;
        case 3: eachPhase(p, out, n, [s](float x) { return curvedSaw(s, x); }); break;
        case 4: eachPhase(p, out, n, [s](float x) { return curvedTriangle(s, x); }); break;
        case 5: eachPhase(p, out, n, [&noise](float) { return noise.next(); }); break;
        default: std::fill(out, out + n, 0.0f); break;
    }
}

}  // namespace tess::wave
