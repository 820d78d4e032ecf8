#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/InterpolationKernel.h"

namespace tess {
namespace {

std::vector<float> sine(int length, double cyclesPerSample) {
    std::vector<float> data(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        data[static_cast<std::size_t>(i)] =
            static_cast<float>(std::sin(6.283185307179586 * cyclesPerSample * i));
    return data;
}

TEST(InterpolationKernel, QualityValuesAreClamped) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        int size, halfWidth, window;
        double exponent;
        int wantSize, wantHalfWidth, wantWindow;
        double wantExponent;
    } cases[] = {
        {100, 7, 9, 2.0, 256, 7, 6, 2.0},
        {1000000, 500, -1, 1000.0, 65536, 100, 0, 100.0},
        {4096, -3, 3, 0.0, 4096, 0, 3, 1e-6},
        {1000, 7, 4, nan, 1000, 7, 4, 1e-6},
    };
    InterpolationKernel k;  // the default kernel first
    EXPECT_EQ(k.size(), 4096);
    EXPECT_EQ(k.halfWidth(), 7);
    EXPECT_EQ(k.scale(), 512.0f);
    EXPECT_EQ(k.windowType(), InterpolationKernel::kKaiser);
    EXPECT_EQ(k.exponent(), 15.0);
    for (const auto& c : cases) {
        k.build(c.size, c.halfWidth, c.window, c.exponent);
        EXPECT_EQ(k.size(), c.wantSize);
        EXPECT_EQ(k.halfWidth(), c.wantHalfWidth);
        EXPECT_EQ(k.windowType(), c.wantWindow);
        EXPECT_EQ(k.exponent(), c.wantExponent);
        EXPECT_FLOAT_EQ(k.scale(), static_cast<float>(c.wantSize) / (c.wantHalfWidth + 1));
    }
}

// Every kernel with the default parameters reads one table, built once for the process; a kernel
// rebuilt with other parameters gets a table of its own and leaves the shared one as it was.
TEST(InterpolationKernel, DefaultKernelsShareOneTable) {
    InterpolationKernel a, b;
    EXPECT_EQ(a.table(), b.table());
    const float before = a.table()[700];
    b.build(4096, 7, InterpolationKernel::kKaiser, 14.0);
    EXPECT_NE(b.table(), a.table());
    EXPECT_NE(b.table()[700], before);
    EXPECT_EQ(a.table()[700], before);
    b.buildDefault();
    EXPECT_EQ(b.table(), a.table());
    // The shared table is the one the default parameters give when computed afresh.
    InterpolationKernel fresh;
    fresh.build(4096, 7, InterpolationKernel::kKaiser, 15.000000001);
    EXPECT_NE(fresh.table(), a.table());
    for (int i = 0; i < a.size(); i += 37) EXPECT_NEAR(fresh.table()[i], a.table()[i], 1e-6f) << i;
}

// Every window gives weight 1 at distance 0, (almost) nothing at the other integer distances,
// and clearly non-zero weights between them, so the zero test is not vacuous.
TEST(InterpolationKernel, EveryWindowIsAnInterpolatingKernel) {
    const struct {
        int window;
        double exponent;
    } cases[] = {{0, 1.0}, {1, 1.0}, {2, 0.5}, {3, 1.5}, {4, 2.0}, {5, 1.0}, {6, 15.0}};
    for (int size : {4096, 1000}) {
        for (const auto& c : cases) {
            InterpolationKernel k;
            k.build(size, 7, c.window, c.exponent);
            EXPECT_EQ(k.weight(0.0), 1.0f) << c.window;
            for (int d = 1; d <= 7; ++d)
                EXPECT_NEAR(k.weight(d), 0.0f, 1e-6f) << "window " << c.window << " at " << d;
            EXPECT_GT(k.weight(0.5), 0.5f) << c.window;
            EXPECT_LT(k.weight(1.5), -0.05f) << c.window;
            EXPECT_GT(k.weight(2.5), 0.02f) << c.window;
            // Cosine and Lanczos have no real value beyond N for this exponent: weight 0.
            if (c.window == 2 || c.window == 3) {
                EXPECT_EQ(k.weight(7.5), 0.0f) << c.window;
            }
            for (int i = 0; i < k.size(); ++i)
                ASSERT_TRUE(std::isfinite(k.table()[i])) << "window " << c.window << " entry " << i;
        }
    }
}

TEST(InterpolationKernel, ReadAtIntegerPositionsReturnsTheSample) {
    InterpolationKernel k;
    const std::vector<float> data = sine(64, 0.173);
    for (int i = 8; i < 56; ++i) EXPECT_NEAR(k.read(data.data(), i), data[i], 1e-6f) << i;
}

TEST(InterpolationKernel, ReadIsSymmetricAroundAnImpulse) {
    InterpolationKernel k;
    std::vector<float> impulse(41, 0.0f);
    impulse[20] = 1.0f;
    for (double d : {0.25, 0.5, 1.5, 3.75, 6.9}) {
        const float right = k.read(impulse.data(), 20.0 + d);
        EXPECT_EQ(right, k.read(impulse.data(), 20.0 - d)) << d;
        EXPECT_EQ(right, k.weight(d)) << d;
    }
}

TEST(InterpolationKernel, HalfWidthZeroDoesNotInterpolate) {
    InterpolationKernel k;
    k.build(4096, 0, 6, 15.0);
    const std::vector<float> data = {0.0f, 1.0f, 4.0f, 9.0f};
    EXPECT_EQ(k.read(data.data(), 2.0), 4.0f);
    EXPECT_EQ(k.read(data.data(), 2.7), 4.0f);
    EXPECT_EQ(k.read(data.data(), 1.999), 1.0f);
}

TEST(InterpolationKernel, FractionalReadsFollowASine) {
    const std::vector<float> data = sine(256, 0.05);
    const struct {
        int size, halfWidth, window;
        double exponent, tolerance;
    } cases[] = {
        // The table is read at the truncated distance, so with 512 entries per sample the
        // default is good to about 2.3e-3; finer tables converge on the exact kernel.
        {4096, 7, 6, 15.0, 3e-3},
        {65536, 7, 6, 15.0, 3e-4},
        {65536, 16, 6, 12.0, 5e-4},
        {65536, 7, 1, 1.0, 1.5e-3},
    };
    for (const auto& c : cases) {
        InterpolationKernel k;
        k.build(c.size, c.halfWidth, c.window, c.exponent);
        double worst = 0.0;
        for (double p = 40.0; p < 200.0; p += 0.137) {
            const double want = std::sin(6.283185307179586 * 0.05 * p);
            worst = std::max(worst, std::fabs(k.read(data.data(), p) - want));
        }
        // Linear interpolation would be off by about 1.2e-2 here.
        EXPECT_LT(worst, c.tolerance) << "size " << c.size << " N " << c.halfWidth;
    }
}

TEST(InterpolationKernel, FractionJustBelowOneStaysInsideTheTable) {
    InterpolationKernel k;
    k.build(1000, 7, 6, 15.0);  // scale 125, not a power of two
    const std::vector<float> data = sine(40, 0.05);
    const double p = std::nextafter(21.0, 0.0);
    EXPECT_NEAR(k.read(data.data() + 20, std::nextafter(1.0, 0.0)), data[21], 1e-3f);
    EXPECT_NEAR(k.read(data.data(), p), data[21], 1e-3f);
}


// Every half-width, whether its taps are summed by a loop fixed when compiling or by the general
// one, gives the sum of its weights in order from -N to N, bit for bit, and so does a read of
// interleaved frames.
TEST(InterpolationKernel, EveryHalfWidthSumsItsTapsInOrder) {
    std::vector<float> data(64), interleaved(128);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = std::sin(0.37f * static_cast<float>(i)) + 0.001f * static_cast<float>(i);
        interleaved[2 * i] = data[i];
    }
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
        InterpolationKernel kernel;
        kernel.build(4096, n, InterpolationKernel::kKaiser, 15.0);
        for (double position : {20.0, 20.25, 21.5, 30.999999999, 31.0000001}) {
            const double whole = std::floor(position), frac = position - whole;
            float expected = 0.0f;
            for (int k = -n; k <= n; ++k) {
                int index = static_cast<int>(std::fabs((k - frac) * kernel.scale()));
                if (index > kernel.size() - 1) index = kernel.size() - 1;
                expected += kernel.table()[index] * data[static_cast<std::size_t>(whole) + k];
            }
            const float plain = kernel.read(data.data(), position);
            const float strided = kernel.read(interleaved.data(), position, 2);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(plain), std::bit_cast<std::uint32_t>(expected))
                << "N " << n << " at " << position;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(strided), std::bit_cast<std::uint32_t>(expected))
                << "N " << n << " at " << position << ", interleaved";
        }
    }
}

}  // namespace
}  // namespace tess
