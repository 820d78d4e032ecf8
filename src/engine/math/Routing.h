// Channel routing built-ins. These mix the two channels, so unlike the arithmetic functions
// they do not work channel by channel.
#pragma once

#include <cmath>

#include "engine/Stereo.h"

namespace tess::math {

// MONO: the mean of both channels on both.
inline Stereo opMono(Stereo x) {
    const float m = (x.l + x.r) * 0.5f;
    return {m, m};
}
// LEFT, RIGHT: one channel on both.
inline Stereo opLeft(Stereo x) {
    return {x.l, x.l};
}
inline Stereo opRight(Stereo x) {
    return {x.r, x.r};
}
// JOIN(a, b): the mono mix of a on the left, of b on the right.
inline Stereo opJoin(Stereo a, Stereo b) {
    return {(a.l + a.r) * 0.5f, (b.l + b.r) * 0.5f};
}

// WIDE(x, w): mid/side width with the left value of w; 1 leaves x, 0 gives the mono mix.
inline Stereo opWide(Stereo x, Stereo w) {
    const float m = x.l + x.r;
    const float s = (x.l - x.r) * w.l;
    return {(m + s) * 0.5f, (m - s) * 0.5f};
}

// GAINS(x, gl, gr): left times gl, right times gr; only the left values of gl and gr count.
inline Stereo opGains(Stereo x, Stereo gl, Stereo gr) {
    return {x.l * gl.l, x.r * gr.l};
}

// PAN(x, p) by the left value of p in percent: -100 gives (m, 0), 0 leaves x, 100 gives (0, m)
// with m the mono mix. The far channel fades out with sqrt(1 - |p|) while the mono mix fades
// into the near one with sqrt(|p|).
Stereo opPan(Stereo x, Stereo p);

}  // namespace tess::math
