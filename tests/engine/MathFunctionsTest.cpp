#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/Stereo.h"
#include "engine/math/Arithmetic.h"
#include "engine/math/Routing.h"
#include "engine/math/TrigRounding.h"

namespace tess::math {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

void expectStereo(Stereo got, Stereo want, const char* what, float tolerance = 0.0f) {
    if (tolerance == 0.0f) {
        EXPECT_EQ(got.l, want.l) << what << " (left)";
        EXPECT_EQ(got.r, want.r) << what << " (right)";
    } else {
        EXPECT_NEAR(got.l, want.l, tolerance) << what << " (left)";
        EXPECT_NEAR(got.r, want.r, tolerance) << what << " (right)";
    }
}

TEST(MathFunctions, Saturate) {
    const struct {
        float x, y;
    } cases[] = {{1.5f, 1.0f},   {-3.0f, -1.0f}, {0.25f, 0.25f}, {1.0f, 1.0f},
                 {-1.0f, -1.0f}, {kInf, 1.0f},   {-kInf, -1.0f}};
    for (const auto& c : cases) EXPECT_EQ(opSat({c.x, -c.x}).l, c.y) << c.x;
    expectStereo(opSat({1.5f, -0.5f}), {1.0f, -0.5f}, "channels apart");
}

TEST(MathFunctions, Sigmoids) {
    const struct {
        const char* what;
        Stereo got, want;
    } cases[] = {
        {"SIGM(0, k) is 0", opSigm({0.0f, 0.0f}, {1.0f, -7.0f}), {0.0f, 0.0f}},
        {"SIGM(1, 1) = tanh(0.5)",
         opSigm({1.0f, -1.0f}, {1.0f, 1.0f}),
         {0.46211716f, -0.46211716f}},
        {"SIGMDW at w = 1 is SIGM", opSigmDw({1.0f, 0.3f}, {1.0f, 4.0f}, {1.0f, 1.0f}),
         opSigm({1.0f, 0.3f}, {1.0f, 4.0f})},
        {"SIGMDW at w = 0 is x - 1",
         opSigmDw({0.25f, -2.0f}, {3.0f, 3.0f}, {0.0f, 0.0f}),
         {-0.75f, -3.0f}},
        {"SIGMDW halfway",
         opSigmDw({0.5f, 0.5f}, {2.0f, 2.0f}, {0.5f, 0.5f}),
         {-0.01894142f, -0.01894142f}},
    };
    for (const auto& c : cases) expectStereo(c.got, c.want, c.what, 2e-7f);
}

TEST(MathFunctions, PitchAndLevelConversions) {
    const struct {
        const char* what;
        Stereo got, want;
        float tolerance;
    } cases[] = {
        {"SEMI +12 doubles", opSemi({3.0f, -5.0f}, {12.0f, 12.0f}), {6.0f, -10.0f}, 0.0f},
        {"SEMI per channel", opSemi({440.0f, 440.0f}, {7.0f, 0.0f}), {659.25511f, 440.0f}, 1e-3f},
        {"CENTS 1200 doubles", opCents({3.0f, 100.0f}, {1200.0f, 1200.0f}), {6.0f, 200.0f}, 0.0f},
        {"CENTS 100 is a semitone",
         opCents({440.0f, 440.0f}, {100.0f, 0.0f}),
         {466.16376f, 440.0f},
         1e-3f},
        {"DB2LIN 20 is 10", opDb2Lin({20.0f, 20.0f}), {10.0f, 10.0f}, 0.0f},
        {"DB2LIN 0 and -6", opDb2Lin({0.0f, -6.0f}), {1.0f, 0.50118723f}, 1e-7f},
        {"LIN2DB 10 is 20", opLin2Db({10.0f, 10.0f}), {20.0f, 20.0f}, 0.0f},
        {"LIN2DB 1 and 0.5", opLin2Db({1.0f, 0.5f}), {0.0f, -6.0205999f}, 2e-6f},
    };
    for (const auto& c : cases) expectStereo(c.got, c.want, c.what, c.tolerance);
}

TEST(MathFunctions, SignsPowersAndOperators) {
    const struct {
        const char* what;
        Stereo got, want;
        float tolerance;
    } cases[] = {
        {"SIGN", opSign({-0.0f, 0.0f}), {-1.0f, 1.0f}, 0.0f},
        {"COPYSIGN", opCopySign({-3.0f, 2.0f}, {1.0f, -0.5f}), {3.0f, -2.0f}, 0.0f},
        {"POWABS keeps the sign",
         opPowAbs({-8.0f, 8.0f}, {1.0f / 3.0f, 1.0f / 3.0f}),
         {-2.0f, 2.0f},
         1e-6f},
        {"POWABS square", opPowAbs({-2.0f, 3.0f}, {2.0f, 2.0f}), {-4.0f, 9.0f}, 0.0f},
        {"divide by zero", opDiv({1.0f, -1.0f}, {0.0f, 0.0f}), {kInf, -kInf}, 0.0f},
        {"power", opPow({2.0f, 9.0f}, {10.0f, 0.5f}), {1024.0f, 3.0f}, 0.0f},
    };
    for (const auto& c : cases) expectStereo(c.got, c.want, c.what, c.tolerance);
    EXPECT_TRUE(std::isnan(opLog({-1.0f, 1.0f}).l));
    EXPECT_TRUE(std::isnan(opPow({-8.0f, 1.0f}, {0.5f, 1.0f}).l));
}

TEST(MathFunctions, Rounding) {
    const struct {
        float x, floor, ceil, round, frac;
    } cases[] = {
        {-2.5f, -3.0f, -2.0f, -3.0f, -0.5f},    {2.5f, 2.0f, 3.0f, 3.0f, 0.5f},
        {-0.25f, -1.0f, -0.0f, -0.0f, -0.25f},  {7.0f, 7.0f, 7.0f, 7.0f, 0.0f},
        {3.0e9f, 3.0e9f, 3.0e9f, 3.0e9f, 0.0f}, {-3.0e9f, -3.0e9f, -3.0e9f, -3.0e9f, -0.0f},
        {kInf, kInf, kInf, kInf, 0.0f},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(opFloor({c.x, c.x}).l, c.floor) << c.x;
        EXPECT_EQ(opCeil({c.x, c.x}).r, c.ceil) << c.x;
        EXPECT_EQ(opRound({c.x, c.x}).l, c.round) << c.x;
        EXPECT_EQ(opFrac({c.x, c.x}).r, c.frac) << c.x;
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isnan(opFloor({nan, nan}).l));
    EXPECT_TRUE(std::isnan(opCeil({nan, nan}).l));
    // Just inside the 32-bit range the value is an integer already and stays itself.
    EXPECT_EQ(opFloor({-2147483648.0f, 2147483520.0f}), (Stereo{-2147483648.0f, 2147483520.0f}));
}

TEST(MathFunctions, SincOverVoiceTime) {
    const struct {
        float f, t, want, tolerance;
    } cases[] = {
        {0.0f, 0.0f, 1.0f, 0.0f},          {440.0f, 0.0f, 1.0f, 0.0f}, {-5.0f, 0.0f, 1.0f, 0.0f},
        {0.25f, 1.0f, 0.63661977f, 1e-6f}, {0.5f, 1.0f, 0.0f, 1e-6f},  {0.75f, 2.0f, 0.0f, 1e-6f},
    };
    for (const auto& c : cases) {
        const Stereo y = opSinc({c.f, 2.0f * c.f}, c.t);
        EXPECT_NEAR(y.l, c.want, c.tolerance) << c.f << " at " << c.t;
    }
    EXPECT_NEAR(opSinc({0.0f, 0.25f}, 2.0f).r, 0.0f, 1e-6f);
}

TEST(MathFunctions, Routing) {
    const Stereo x{0.5f, -0.25f};
    const float m = 0.125f;
    const struct {
        const char* what;
        Stereo got, want;
    } cases[] = {
        {"MONO", opMono(x), {m, m}},
        {"LEFT", opLeft(x), {0.5f, 0.5f}},
        {"RIGHT", opRight(x), {-0.25f, -0.25f}},
        {"JOIN", opJoin(x, {1.0f, 3.0f}), {m, 2.0f}},
        {"WIDE 1 leaves x", opWide(x, {1.0f, 0.0f}), x},
        {"WIDE 0 is mono", opWide(x, {0.0f, 1.0f}), {m, m}},
        {"WIDE 2 widens", opWide({1.0f, 0.0f}, {2.0f, 0.0f}), {1.5f, -0.5f}},
        {"GAINS uses left gains", opGains(x, {2.0f, 100.0f}, {4.0f, 100.0f}), {1.0f, -1.0f}},
        {"PAN -100", opPan(x, {-100.0f, 0.0f}), {m, 0.0f}},
        {"PAN 0", opPan(x, {0.0f, 100.0f}), x},
        {"PAN 100", opPan(x, {100.0f, -100.0f}), {0.0f, m}},
        {"PAN beyond 100 clamps", opPan(x, {300.0f, 0.0f}), {0.0f, m}},
        {"PAN beyond -100 clamps", opPan(x, {-250.0f, 0.0f}), {m, 0.0f}},
    };
    for (const auto& c : cases) expectStereo(c.got, c.want, c.what);
    // Half way to the left: the right channel keeps sqrt(1/2), the mono mix enters the left
    // with sqrt(1/2).
    const float h = std::sqrt(0.5f);
    expectStereo(opPan({1.0f, 1.0f}, {-50.0f, 0.0f}), {2.0f * h, h}, "PAN -50", 1e-6f);
    expectStereo(opPan({1.0f, 1.0f}, {50.0f, 0.0f}), {h, 2.0f * h}, "PAN 50", 1e-6f);
}

}  // namespace
}  // namespace tess::math
