// Every engine value is a pair of 32-bit floats, one per output channel.
#pragma once

namespace tess {

struct Stereo {
    float l = 0.0f;
    float r = 0.0f;

    friend bool operator==(const Stereo&, const Stereo&) = default;
};

// The same value on both channels.
inline constexpr Stereo both(float v) {
    return Stereo{v, v};
}

}  // namespace tess
