#include "engine/InterpolationKernel.h"

#include <algorithm>

namespace tess {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Modified Bessel function of the first kind, order 0, as the mean of cosh(z cos(k pi / 13))
// over 13 equally spaced angles (k = 0 once, 1..6 twice by symmetry).
double besselI0(double z) {
    static constexpr double kCosines[6] = {0.970941817426052,  0.8854560256532099,
                                           0.7485107481711011, 0.5680647467311558,
                                           0.3546048870425356, 0.120536680255323};
    double sum = 0.0;
    for (double c : kCosines) sum += std::cosh(z * c);
    return std::cosh(z) * 0.07692307692307693 + sum * 0.15384615384615385;
}

// pow of a base that may turn negative beyond the half-width; such entries weigh nothing.
double powOrZero(double base, double e) {
    return base < 0.0 ? 0.0 : std::pow(base, e);
}

// The window at distance x, for a window type that is not Kaiser's.
double window(int type, double x, int n, double e) {
    const double u = x / n;
    switch (type) {
        case InterpolationKernel::kHamming:
            return std::pow(0.5434782608695652 - 0.45652173913043476 * std::cos(kPi * (u + 1.0)),
                            e);
        case InterpolationKernel::kHann:
            return powOrZero(0.5 - 0.5 * std::cos(kPi * (u + 1.0)), e);
        case InterpolationKernel::kCosine:
            return powOrZero(std::cos(kPi * x / (2.0 * n)), e);
        case InterpolationKernel::kLanczos:
            return x == 0.0 ? 1.0 : powOrZero(std::sin(kPi * u) / (kPi * u), e);
        case InterpolationKernel::kGaussian: {
            const double g = e * u;
            return std::exp(-0.5 * g * g);
        }
        default:
            return 1.0;
    }
}

std::shared_ptr<const float[]> makeTable(int size, int halfWidth, int windowType, double exponent, float scale) {
    std::shared_ptr<float[]> table(new float[static_cast<std::size_t>(size)]);
    // Kaiser's window divides by I0(beta) at every distance: worked out once.
    const double kaiserNorm = windowType == InterpolationKernel::kKaiser ? besselI0(exponent) : 1.0;
    for (int i = 0; i < size; ++i) {
        const double x = i / static_cast<double>(scale);
        const double s = i == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
        double w = 1.0;  // with N = 0 the table is never read; keep it a plain sinc rather than divide by 0
        if (halfWidth != 0 && windowType == InterpolationKernel::kKaiser) {
            const double r = x / (halfWidth + 1);
            w = besselI0(exponent * std::sqrt(std::max(0.0, 1.0 - r * r))) / kaiserNorm;
        } else if (halfWidth != 0) {
            w = window(windowType, x, halfWidth, exponent);
        }
        table[static_cast<std::size_t>(i)] = static_cast<float>(s * w);
    }
    return table;
}

float scaleOf(int size, int halfWidth) { return static_cast<float>(size) / static_cast<float>(halfWidth + 1); }

}  // namespace

void InterpolationKernel::buildDefault() {
    build(kDefaultSize, kDefaultHalfWidth, kKaiser, kDefaultKaiserBeta);
}

void InterpolationKernel::build(int size, int halfWidth, int windowType, double exponent) {
    size = std::clamp(size, kMinSize, kMaxSize);
    halfWidth = std::clamp(halfWidth, 0, kMaxHalfWidth);
    windowType = std::clamp(windowType, 0, kMaxWindow);
    exponent = exponent >= kMinExponent ? std::min(exponent, kMaxExponent) : kMinExponent;
    // Every load asks for the kernel again; the same one is not computed twice.
    if (table_ != nullptr && size == size_ && halfWidth == halfWidth_ && windowType == windowType_ &&
        exponent == exponent_)
        return;
    size_ = size;
    halfWidth_ = halfWidth;
    windowType_ = windowType;
    exponent_ = exponent;
    scale_ = scaleOf(size_, halfWidth_);
    // Every engine and every load starts from the default kernel: one table for the process.
    static const std::shared_ptr<const float[]> kDefaultTable =
        makeTable(kDefaultSize, kDefaultHalfWidth, kKaiser, kDefaultKaiserBeta, scaleOf(kDefaultSize, kDefaultHalfWidth));
    const bool isDefault = size_ == kDefaultSize && halfWidth_ == kDefaultHalfWidth && windowType_ == kKaiser &&
                           exponent_ == kDefaultKaiserBeta;
    table_ = isDefault ? kDefaultTable : makeTable(size_, halfWidth_, windowType_, exponent_, scale_);
}

}  // namespace tess
