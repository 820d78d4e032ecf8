#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/EngineHarness.h"

namespace tess {
namespace {

// Every math and routing function reaches its body through a compiled program: each row is
// compiled as `OUT = <expression>` and rendered for one sample of a voice at key 60.
TEST(Dispatch, EveryMathFunctionRunsThroughACompiledProgram) {
    const struct {
        const char* expression;
        float left;
        float right;
    } rows[] = {
        {"2 + 3", 5.0f, 5.0f},
        {"2 - 3", -1.0f, -1.0f},
        {"2 * 3", 6.0f, 6.0f},
        {"3 / 2", 1.5f, 1.5f},
        {"2 ^ 3", 8.0f, 8.0f},
        {"ABS(-2)", 2.0f, 2.0f},
        {"SAT(1.5)", 1.0f, 1.0f},
        {"SIGM(0, 5)", 0.0f, 0.0f},
        {"SIGMDW(0, 5, 0)", -1.0f, -1.0f},
        {"LOG(1)", 0.0f, 0.0f},
        {"EXP(0)", 1.0f, 1.0f},
        {"LIN2DB(10)", 20.0f, 20.0f},
        {"DB2LIN(20)", 10.0f, 10.0f},
        {"SHOLD(0.75, 1)", 0.75f, 0.75f},
        {"SEMI(1, 12)", 2.0f, 2.0f},
        {"CENTS(1, 1200)", 2.0f, 2.0f},
        {"MONO(JOIN(1, 0))", 0.5f, 0.5f},
        {"LEFT(JOIN(1, 0))", 1.0f, 1.0f},
        {"RIGHT(JOIN(1, 0))", 0.0f, 0.0f},
        {"JOIN(1, -1)", 1.0f, -1.0f},
        {"WIDE(JOIN(1, 0), 0)", 0.5f, 0.5f},
        {"GAINS(1, 2, 3)", 2.0f, 3.0f},
        {"SIN(0)", 0.0f, 0.0f},
        {"COS(0)", 1.0f, 1.0f},
        {"RND(0)", 0.0f, 0.0f},
        {"SIGN(-3)", -1.0f, -1.0f},
        {"COPYSIGN(2, -1)", -2.0f, -2.0f},
        {"SINC(100)", 1.0f, 1.0f},
        {"POWABS(-4, 0.5)", -2.0f, -2.0f},
        {"ROUND(-2.5)", -3.0f, -3.0f},
        {"FLOOR(-2.5)", -3.0f, -3.0f},
        {"CEIL(-2.5)", -2.0f, -2.0f},
        {"ROUNDF(445)", 440.0f, 440.0f},
        {"ROUNDF2(445, 2)", 466.16379f, 466.16379f},  // the grid of even notes: 70 is nearest
        {"FRAC(-2.5)", -0.5f, -0.5f},
        {"TAN(0)", 0.0f, 0.0f},
        {"ASIN(1)", 1.5707964f, 1.5707964f},
        {"ACOS(1)", 0.0f, 0.0f},
        {"ATAN(1)", 0.7853982f, 0.7853982f},
        {"CURVE(-1, -0.5)", 0.5f, 0.5f},
        {"MOD2(2, 3, 100, 100, 0.5, 100)", 3.0f, 3.0f},
        {"MCC2(-1)", 1.0f, 1.0f},
        {"PAN(JOIN(1, 0), 100)", 0.0f, 0.5f},
        {"PAN(JOIN(1, 0), -100)", 0.5f, 0.0f},
    };
    for (const auto& row : rows) {
        test::EngineHarness h(std::string("LAYER\nOUT = ") + row.expression + "\n");
        ASSERT_EQ(h.compiler->instrument().layers[0].operationCount() > 0, true) << row.expression;
        h.start(0, 60);
        std::vector<float> left, right;
        h.render(1, left, right);
        EXPECT_NEAR(left[0], row.left, 1e-5f) << row.expression;
        EXPECT_NEAR(right[0], row.right, 1e-5f) << row.expression;
    }
}

TEST(Dispatch, FunctionsWithoutABodyProduceSilence) {
    // PREV has no run-time body of its own; FILT has one only once filters exist.
    test::EngineHarness h("LAYER\nx = 0.5\nOUT = PREV(x) + 0.25\n");
    h.start(0, 60);
    std::vector<float> left, right;
    h.render(2, left, right);
    EXPECT_FLOAT_EQ(left[1], 0.25f);
}

}  // namespace
}  // namespace tess
