// The per-layer modulation the modulation directives describe: an LFO and an envelope for the
// frequency, the gain and the filter cutoff, an LFO for the oscillator phase, controller
// couples that scale frequency, gain and cutoff directly, the cutoff setting and a list of
// controller products (COMPLEXMOD). The COMMON section fills the defaults; each LAYER fills its
// own record, and what a layer leaves unset is taken from the defaults when the layer ends.
//
// Values of the seven-parameter parts above 10000 name a controller (value - 10000) read when a
// voice starts; couple values of 1000 and above name a controller (value - 1000) read per sample.
#pragma once

#include <cstdint>
#include <vector>

namespace tess::compiler {

// FREQLFO, GAINLFO, FCLFO, PHASELFO. Depths are stored in the target's unit: octaves for
// frequency and cutoff, dB × 0.05 for gain, radians for the phase. Times are in seconds; the
// sign of the fade times picks the segment shape.
struct LfoPart {
    std::int32_t wave = 0;
    float shape = 0.0f;
    float depth = 0.0f;
    float frequency = 0.0f;  // Hz; below 0 one cycle per |f| bars
    float delay = 0.0f;
    float fadeIn = 0.0f;
    float fadeOut = 0.0f;
    bool operator==(const LfoPart&) const = default;
};

// FREQENV, GAINENV, FCENV. Depth in octaves (frequency, cutoff) or as an amplitude (gain).
struct EnvelopePart {
    float depth = 0.0f;
    float delay = 0.0f;
    float attack = 0.0f;
    float hold = 0.0f;
    float decay = 0.0f;
    float sustain = 0.0f;
    float release = 0.0f;
    bool operator==(const EnvelopePart&) const = default;
};

// FREQMOD, GAINMOD, FCMOD: the target is scaled by 2^(controller × value) (gain: 10^...).
struct ControllerCouple {
    std::int32_t mcc = 0;
    float value = 0.0f;
    bool operator==(const ControllerCouple&) const = default;
};

// COMPLEXMOD: amount = controller a × controller b × value, applied by type (0 frequency,
// 1 gain, 2 filter, 3..12 scales of the modulators' envelope and LFO parts).
struct ComplexModulation {
    std::int32_t type = 0;
    std::int32_t mccA = -1;
    std::int32_t mccB = -1;
    float value = 0.0f;
    bool operator==(const ComplexModulation&) const = default;
};

struct LayerModulation {
    static constexpr float kUnsetDepth = -1e10f;   // a layer part not written yet
    static constexpr float kUnsetCutoff = -1000.0f;
    static constexpr int kMaxCouples = 128;
    static constexpr int kMaxComplex = 128;

    enum Target { Frequency, Gain, Filter, Phase, TargetCount };

    LfoPart lfo[TargetCount];
    EnvelopePart envelope[TargetCount];  // the phase has no envelope: its entry stays off
    std::vector<ControllerCouple> couples[3];  // FREQMOD, GAINMOD, FCMOD
    float cutoffSetting = 0.0f;
    std::vector<ComplexModulation> complex;

    // The state of a LAYER's record before its directives: every part and the cutoff setting
    // unset, every list empty.
    static LayerModulation unset() {
        LayerModulation m;
        for (int i = 0; i < TargetCount; ++i) {
            m.lfo[i].depth = kUnsetDepth;
            m.envelope[i].depth = kUnsetDepth;
        }
        m.cutoffSetting = kUnsetCutoff;
        return m;
    }
    bool operator==(const LayerModulation&) const = default;
};

}  // namespace tess::compiler
