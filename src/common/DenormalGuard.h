// Flush-to-zero and denormals-are-zero for the length of a scope: the audio callbacks open one
// on entry, so that filter, delay and reverb tails decaying towards zero never reach the
// denormal range, where each operation can cost a hundred times its usual time. The caller's
// floating-point mode (the whole MXCSR register, rounding and exception masks included) is
// restored when the scope closes. On processors without SSE the guard does nothing.
#pragma once

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#define TESSARINE_HAS_MXCSR 1
#endif

namespace tess {

class DenormalGuard {
public:
#ifdef TESSARINE_HAS_MXCSR
    static constexpr unsigned kFlushToZero = 0x8000;       // results below the normal range become 0
    static constexpr unsigned kDenormalsAreZero = 0x0040;  // denormal operands read as 0

    DenormalGuard() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~DenormalGuard() { _mm_setcsr(saved_); }
#else
    DenormalGuard() = default;
#endif
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
#ifdef TESSARINE_HAS_MXCSR
    unsigned saved_;
#endif
};

}  // namespace tess
