// The windowed-sinc kernel used to read samples at fractional positions.
//
// The table holds the kernel's weight by distance: entry i is the weight at distance
// i / scale samples, covering distances 0 .. N + 1 with scale = size / (N + 1). A read sums
// the 2N + 1 taps around the position; a half-width of 0 turns interpolation off.
// Building allocates (load time only); reading never does. Kernels built with the default
// parameters share one table.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace tess {

class InterpolationKernel {
public:
    enum Window : int {
        kHamming = 0,
        kHann = 1,
        kCosine = 2,
        kLanczos = 3,
        kGaussian = 4,
        kRectangular = 5,  // plain sinc
        kKaiser = 6,       // exponent is beta
    };

    static constexpr int kDefaultSize = 4096;
    static constexpr int kDefaultHalfWidth = 7;
    static constexpr double kDefaultKaiserBeta = 15.0;
    static constexpr int kMinSize = 256, kMaxSize = 65536;
    static constexpr int kMaxHalfWidth = 100;
    static constexpr int kMaxWindow = 6;
    static constexpr double kMinExponent = 1e-6, kMaxExponent = 100.0;

    InterpolationKernel() { buildDefault(); }

    // N 7, size 4096, scale 512, Kaiser with beta 15.
    void buildDefault();
    // Clamps size to [256, 65536], half-width to [0, 100], window to [0, 6] and the exponent
    // to [1e-6, 100] (a NaN exponent becomes 1e-6), then rebuilds the table. The accessors
    // report the clamped values.
    void build(int size, int halfWidth, int windowType, double exponent);

    int halfWidth() const { return halfWidth_; }
    int size() const { return size_; }
    float scale() const { return scale_; }
    int windowType() const { return windowType_; }
    double exponent() const { return exponent_; }
    const float* table() const { return table_.get(); }
    // Weight at a distance in samples (table lookup, 0 from N + 1 on).
    float weight(double distance) const {
        const double d = std::fabs(distance) * scale_;
        return d < size_ ? table_[static_cast<std::size_t>(d)] : 0.0f;
    }

    // Value of data at a fractional position (a frame index; stride is the distance between
    // successive frames, e.g. 2 for interleaved stereo). With N > 0 the caller guarantees
    // frames floor(position) - N .. floor(position) + N exist; with N = 0 only floor(position).
    float read(const float* data, double position, std::ptrdiff_t stride = 1) const {
        const double whole = std::floor(position);
        const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(whole);
        if (halfWidth_ == 0) return data[i * stride];
        const double frac = position - whole;  // 0 <= frac < 1
        if (stride == 1) return readAround(data + i, frac);
        const float* centre = data + i * stride;
        float sum = 0.0f;
        for (int k = -halfWidth_; k <= halfWidth_; ++k) sum += tap(k, frac) * centre[k * stride];
        return sum;
    }

    // visit(std::integral_constant<int, N>{}) for a half-width N of 1 to 8, so that loops over
    // the taps can be fixed when compiling; general() for any other half-width.
    template <typename Visit, typename General>
    decltype(auto) withFixedHalfWidth(Visit visit, General general) const {
        switch (halfWidth_) {
            case 1: return visit(std::integral_constant<int, 1>{});
            case 2: return visit(std::integral_constant<int, 2>{});
            case 3: return visit(std::integral_constant<int, 3>{});
            case 4: return visit(std::integral_constant<int, 4>{});
            case 5: return visit(std::integral_constant<int, 5>{});
            case 6: return visit(std::integral_constant<int, 6>{});
            case 7: return visit(std::integral_constant<int, 7>{});
            case 8: return visit(std::integral_constant<int, 8>{});
            default: return general();
        }
    }

    // read() of consecutive frames whose floor(position) is at `centre`, with the position's
    // fraction (0 <= frac < 1): frames centre[-N] .. centre[N] must exist.
    float readAround(const float* centre, double frac) const {
        if (halfWidth_ == 0) return centre[0];
        return withFixedHalfWidth([&](auto width) { return readAroundOf<decltype(width)::value>(centre, frac); },
                                  [&] {
                                      float sum = 0.0f;
                                      for (int k = -halfWidth_; k <= halfWidth_; ++k) sum += tap(k, frac) * centre[k];
                                      return sum;
                                  });
    }

    // readAround for a half-width N known when compiling (N must be halfWidth()): the taps
    // summed in order from -N to N.
    template <int N>
    float readAroundOf(const float* centre, double frac) const {
        float sum = 0.0f;
        for (int k = -N; k <= N; ++k) sum += tap(k, frac) * centre[k];
        return sum;
    }

private:
    // The weight of tap k for a read whose fraction is frac.
    float tap(int k, double frac) const {
        int index = static_cast<int>(std::fabs((k - frac) * scale_));
        // A fraction just below 1 can round the outermost distance up to N + 1 exactly.
        if (index > size_ - 1) index = size_ - 1;
        return table_[static_cast<std::size_t>(index)];
    }

    std::shared_ptr<const float[]> table_;
    int size_ = 0;
    int halfWidth_ = 0;
    int windowType_ = kKaiser;
    double exponent_ = kDefaultKaiserBeta;
    float scale_ = 0.0f;
};

}  // namespace tess
