// White noise uniform in [-1, 1), the same sequence on every platform.
//
// The value is built from two successive 15-bit draws r1, r2 as (r1 + r2 * 32768) * 2^-29 - 1.
// The C library's rand() cannot be used for this: its range is 15 bits on Windows but 31 bits
// on glibc, so we run our own 15-bit linear congruential generator (the classic
// 214013 / 2531011 recurrence, bits 16..30 of the state).
//
// The 30-bit sum is cut to its top 24 bits before it is scaled: a float has 24 significant
// bits, and rounding the full sum would turn the largest draws into exactly 1.0. With the cut
// every value is exact, the grid is uniform (steps of 2^-23) and the largest is 1 - 2^-23.
#pragma once

#include <cstdint>

namespace tess {

class Noise {
public:
    explicit Noise(std::uint32_t seed = 1) : state_(seed) {}

    void seed(std::uint32_t seed) { state_ = seed; }

    // Next raw draw, 0..32767.
    int next15() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    // Next noise value in [-1, 1).
    float next() {
        const int r1 = next15();
        const int r2 = next15();
        return fromDraws(r1, r2);
    }

    // The noise value of two 15-bit draws (each 0..32767): -1 for 0/0, 1 - 2^-23 for the two
    // largest.
    static float fromDraws(int r1, int r2) {
        const std::int32_t sum = (r1 & 0x7FFF) + (r2 & 0x7FFF) * 32768;  // 0 .. 2^30 - 1
        return static_cast<float>(sum >> 6) * 0x1p-23f - 1.0f;
    }

private:
    std::uint32_t state_;
};

}  // namespace tess
