#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "compiler/CurveTable.h"
#include "engine/math/Curve.h"

namespace tess::math {
namespace {

class CurveTest : public ::testing::Test {
protected:
    std::unique_ptr<CurveTable> curves = std::make_unique<CurveTable>();
    void define(int n, std::vector<float> xs, std::vector<float> ys) {
        ASSERT_EQ(curves->set(n, xs.data(), ys.data(), static_cast<int>(xs.size())),
                  static_cast<int>(xs.size()));
    }
};

TEST_F(CurveTest, BuiltinShapes) {
    const float r2 = 1.4142135f, h = 0.70710678f, r3h = 0.8660254f, r15 = 1.2247449f;
    // Columns: x = -0.5, 0.25, 0.75, 0.5 (the step's edge).
    const struct {
        int n;
        float y[4];
    } cases[] = {
        {-2, {-0.5f, 0.25f, 0.75f, 0.5f}},        // identity
        {-3, {-0.25f, 0.0625f, 0.5625f, 0.25f}},  // x |x|
        {-4, {-h, 0.5f, r3h, h}},                 // signed root
        {-5, {0.0f, 0.0f, 1.0f, 1.0f}},           // step
        {-6, {1.5f, 0.75f, 0.25f, 0.5f}},         // 1 - x
        {-7, {2.25f, 0.5625f, 0.0625f, 0.25f}},
        {-8, {r15, r3h, 0.5f, h}},
        {-9, {1.0f, 1.0f, 0.0f, 0.0f}},
        {-10, {-2.0f, -0.5f, 0.5f, 0.0f}},  // 2x - 1
        {-11, {-4.0f, -0.25f, 0.25f, 0.0f}},
        {-12, {-r2, -h, h, 0.0f}},
        {-13, {-1.0f, -1.0f, 1.0f, 1.0f}},
        {-14, {2.0f, 0.5f, -0.5f, 0.0f}},  // 1 - 2x
        {-15, {4.0f, 0.25f, -0.25f, 0.0f}},
        {-16, {r2, h, -h, 0.0f}},
        {-17, {1.0f, 1.0f, -1.0f, -1.0f}},
    };
    const float xs[4] = {-0.5f, 0.25f, 0.75f, 0.5f};
    for (const auto& c : cases)
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(curveValue(*curves, static_cast<float>(c.n), xs[i]), c.y[i], 1e-6f)
                << "curve " << c.n << " at " << xs[i];
}

TEST_F(CurveTest, RectifierAndOutOfRangeNumbers) {
    define(0, {0.0f, 1.0f}, {5.0f, 6.0f});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float n, x, y;
    } cases[] = {
        {-1.0f, -0.75f, 0.75f},  // rectifier
        {-18.0f, -0.75f, -0.75f}, {256.0f, -0.75f, -0.75f},
        {1.0e30f, 0.3f, 0.3f},    {-1.0e30f, 0.3f, 0.3f},
        {nan, 0.3f, 0.3f},        {-17.5f, 0.75f, -1.0f},  // truncated toward zero: -17
        {-0.5f, 0.5f, 5.5f},                               // truncated toward zero: curve 0
        {255.9f, 0.3f, 0.3f},                              // curve 255, empty
    };
    for (const auto& c : cases) EXPECT_EQ(curveValue(*curves, c.n, c.x), c.y) << c.n;
}

TEST_F(CurveTest, TableCurves) {
    define(3, {0.0f, 1.0f, 2.0f}, {0.0f, 10.0f, 0.0f});
    define(4, {0.0f, 1.0f, 1.0f, 2.0f}, {0.0f, 0.0f, 1.0f, 1.0f});  // a step at x = 1
    define(5, {0.5f}, {9.0f});                                      // one point
    const struct {
        int n;
        float x, y;
    } cases[] = {
        {3, -1.0f, 0.0f}, {3, 0.0f, 0.0f}, {3, 0.25f, 2.5f},  {3, 1.0f, 10.0f}, {3, 1.5f, 5.0f},
        {3, 2.0f, 0.0f},  {3, 7.0f, 0.0f}, {4, 1.0f, 0.0f},   {4, 1.25f, 1.0f}, {4, 0.5f, 0.0f},
        {5, 0.1f, 0.1f},  {5, 3.0f, 3.0f}, {6, -2.0f, -2.0f},  // never defined
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(curveValue(*curves, static_cast<float>(c.n), c.x), c.y)
            << "curve " << c.n << " at " << c.x;
}

TEST_F(CurveTest, PerChannelAndMod2) {
    define(1, {0.0f, 1.0f}, {0.0f, 100.0f});
    const Stereo y = opCurve(*curves, {1.0f, -1.0f}, {0.5f, -0.5f});
    EXPECT_EQ(y, (Stereo{50.0f, 0.5f}));
    // MOD2: CURVE(co, CURVE(ca, a) * CURVE(cb, b) * s)
    const Stereo m = opMod2(*curves, {-0.5f, 0.2f}, {0.5f, 0.3f}, {-1.0f, -2.0f}, {-3.0f, -2.0f},
                            {2.0f, 1.0f}, {1.0f, -18.0f});
    EXPECT_FLOAT_EQ(m.l, 25.0f);  // |-0.5| * 0.25 * 2 = 0.25 -> curve 1 -> 25
    EXPECT_FLOAT_EQ(m.r, 0.06f);  // 0.2 * 0.3 * 1, curve -18 leaves it
}

TEST_F(CurveTest, SetKeepsAtMost256PointsAndRefusesBadNumbers) {
    std::vector<float> xs(300), ys(300);
    for (int i = 0; i < 300; ++i) xs[i] = ys[i] = static_cast<float>(i);
    EXPECT_EQ(curves->set(9, xs.data(), ys.data(), 300), 256);
    EXPECT_EQ(curveValue(*curves, 9.0f, 280.0f), 255.0f);  // clamps at the last kept point
    EXPECT_EQ(curves->set(256, xs.data(), ys.data(), 2), -1);
    EXPECT_EQ(curves->set(-1, xs.data(), ys.data(), 2), -1);
    EXPECT_EQ(curves->set(9, xs.data(), ys.data(), -4), 0);
    EXPECT_EQ(curveValue(*curves, 9.0f, 280.0f), 280.0f);
    (*curves)[7].count = 100000;  // corrupt count: read as 256 points, never past them
    EXPECT_EQ(curveValue(*curves, 7.0f, 1.0f), 0.0f);
}

}  // namespace
}  // namespace tess::math
