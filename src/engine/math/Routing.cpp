#include "engine/math/Routing.h"

#include <algorithm>

namespace tess::math {

Stereo opPan(Stereo x, Stereo p) {
    const float toLeft = std::clamp(-p.l * 0.01f, 0.0f, 1.0f);
    const float b = std::clamp(p.l * 0.01f, -1.0f, 1.0f);
    const float keep = std::sqrt(1.0f - std::fabs(b));
    const float m = (x.l + x.r) * 0.5f;
    return {std::sqrt(toLeft) * m + x.l * keep, x.r * keep + std::sqrt(std::max(b, 0.0f)) * m};
}

}  // namespace tess::math
