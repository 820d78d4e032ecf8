// Built-ins that read outside the operation's arguments: MCC2 reads the controller space,
// RND draws from the engine's noise source.
#pragma once

#include <cstdint>

#include "controllers/ControllerSpace.h"
#include "engine/Noise.h"
#include "engine/Stereo.h"

namespace tess::math {

// Controller number from a float argument, truncated toward zero. Values at or below -1
// (and NaN) map to -1, values of 1000 and above to 1000, so the conversion is always defined.
inline int controllerNumber(float v) {
    if (!(v > -1.0f)) return -1;
    if (v >= 1000.0f) return 1000;
    return static_cast<int>(v);
}

// MCC2(n): the scaled, smoothed reading of controller (int) n.l at sample time t, on both
// channels.
inline Stereo opMcc2(ControllerSpace& controllers, Stereo n, std::int64_t t) {
    return both(controllers.mccReadScaled(controllerNumber(n.l), t));
}

// RND(x): each channel times its own noise draw (left drawn first).
inline Stereo opRnd(Noise& noise, Stereo x) {
    const float ul = noise.next();
    const float ur = noise.next();
    return {ul * x.l, ur * x.r};
}

}  // namespace tess::math
