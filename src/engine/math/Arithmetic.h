// Arithmetic operators and the arithmetic / conversion built-ins of the instrument language.
// Every function works per channel in single precision, each argument taken from the same
// channel, unless its comment says otherwise.
#pragma once

#include <cmath>

#include "engine/Stereo.h"

namespace tess::math {

template <class F>
inline Stereo perChannel(Stereo a, F f) {
    return {f(a.l), f(a.r)};
}
template <class F>
inline Stereo perChannel(Stereo a, Stereo b, F f) {
    return {f(a.l, b.l), f(a.r, b.r)};
}
template <class F>
inline Stereo perChannel(Stereo a, Stereo b, Stereo c, F f) {
    return {f(a.l, b.l, c.l), f(a.r, b.r, c.r)};
}

// --- operators (plain assignment, + - * / ^) -------------------------------------------------

inline Stereo opAssign(Stereo a) {
    return a;
}
inline Stereo opAdd(Stereo a, Stereo b) {
    return {a.l + b.l, a.r + b.r};
}
inline Stereo opSub(Stereo a, Stereo b) {
    return {a.l - b.l, a.r - b.r};
}
inline Stereo opMul(Stereo a, Stereo b) {
    return {a.l * b.l, a.r * b.r};
}
// No guard: a division by zero gives the IEEE result.
inline Stereo opDiv(Stereo a, Stereo b) {
    return {a.l / b.l, a.r / b.r};
}
inline Stereo opPow(Stereo a, Stereo b) {
    return perChannel(a, b, [](float x, float e) { return std::pow(x, e); });
}

// --- functions --------------------------------------------------------------------------------

// ABS
inline Stereo opAbs(Stereo x) {
    return perChannel(x, [](float v) { return std::fabs(v); });
}

// SAT: clamp to [-1, 1].
inline float saturate(float v) {
    return v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : v);
}
inline Stereo opSat(Stereo x) {
    return perChannel(x, saturate);
}

// SIGM(x, k) = 2 / (1 + e^(-k x)) - 1
inline float sigmoid(float x, float k) {
    return 2.0f / (1.0f + std::exp(-k * x)) - 1.0f;
}
inline Stereo opSigm(Stereo x, Stereo k) {
    return perChannel(x, k, sigmoid);
}

// SIGMDW(x, k, w) = 2w / (1 + e^(-k x)) + (1 - w) x - 1. At w = 1 it is SIGM; at w = 0 the
// result is x - 1 (instrument files rely on this form, so it is kept as it is).
inline float sigmoidDryWet(float x, float k, float w) {
    return 2.0f * w / (1.0f + std::exp(-k * x)) + (1.0f - w) * x - 1.0f;
}
inline Stereo opSigmDw(Stereo x, Stereo k, Stereo w) {
    return perChannel(x, k, w, sigmoidDryWet);
}

// LOG (natural) and EXP
inline Stereo opLog(Stereo x) {
    return perChannel(x, [](float v) { return std::log(v); });
}
inline Stereo opExp(Stereo x) {
    return perChannel(x, [](float v) { return std::exp(v); });
}

// LIN2DB = 20 log10(x); DB2LIN = 10^(x / 20)
inline Stereo opLin2Db(Stereo x) {
    return perChannel(x, [](float v) { return 20.0f * std::log10(v); });
}
inline Stereo opDb2Lin(Stereo x) {
    return perChannel(x, [](float v) { return std::pow(10.0f, v * 0.05f); });
}

// SEMI(x, s) = x * 2^(s / 12); CENTS(x, c) = x * 2^(c / 1200)
inline Stereo opSemi(Stereo x, Stereo s) {
    return perChannel(
        x, s, [](float v, float semis) { return v * std::pow(2.0f, semis * 0.083333336f); });
}
inline Stereo opCents(Stereo x, Stereo c) {
    return perChannel(
        x, c, [](float v, float cents) { return v * std::pow(2.0f, cents * 0.00083333335f); });
}

// SIGN = copysign(1, x); COPYSIGN(a, b) = |a| with the sign of b
inline Stereo opSign(Stereo x) {
    return perChannel(x, [](float v) { return std::copysign(1.0f, v); });
}
inline Stereo opCopySign(Stereo a, Stereo b) {
    return perChannel(a, b, [](float m, float s) { return std::copysign(m, s); });
}

// POWABS(x, e) = |x|^e with the sign of x
inline Stereo opPowAbs(Stereo x, Stereo e) {
    return perChannel(x, e,
                      [](float v, float p) { return std::copysign(std::pow(std::fabs(v), p), v); });
}

}  // namespace tess::math
