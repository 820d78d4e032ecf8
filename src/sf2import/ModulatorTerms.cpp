#include "sf2import/ModulatorTerms.h"

#include "compiler/Diagnostics.h"

namespace tess::sf2 {

namespace {

constexpr int kIndexMask = 0x7F;
constexpr int kControllerBit = 0x80;
constexpr int kNegativeBit = 0x100;
constexpr int kBipolarBit = 0x200;
enum Curve { kLinear = 0, kConcave = 1, kConvex = 2, kSwitch = 3 };

// The reference curves on a value 0 .. 1 (index / 127): concave -(5/12)·log10(1 - v), convex
// 1 + (5/12)·log10(v), both clamped to 0 .. 1. 0.1809566 is 5 / (12 · ln 10).
std::string concave(const std::string& v) {
    return "SAT(-0.1809566 * LOG(1.000001 - " + v + "))";
}
std::string convex(const std::string& v) {
    return "SAT(1 + 0.1809566 * LOG(" + v + " + 0.000001))";
}

struct Shaped {
    std::string expression;
    int curve;  // MOD2 curve number applied to the expression
};

std::optional<Shaped> shapedSource(std::uint16_t source, const ZoneGenerators& generators) {
    const std::optional<std::string> raw = sourceReader(source, generators);
    if (!raw) return std::nullopt;
    const int type = source >> 10;
    const bool negative = (source & kNegativeBit) != 0;
    const bool bipolar = (source & kBipolarBit) != 0;
    if (type == kLinear || type == kSwitch)
        return Shaped{*raw, -2 - (type + 4 * (negative ? 1 : 0) + 8 * (bipolar ? 1 : 0))};
    if (type != kConcave && type != kConvex) return std::nullopt;
    std::string u = "SAT(" + *raw + " * 1.007874)";  // controller / 128 -> index / 127
    if (negative) u = "(1 - " + u + ")";
    auto shape = [&](const std::string& v) { return type == kConcave ? concave(v) : convex(v); };
    if (!bipolar) return Shaped{shape(u), -2};
    const std::string w = "(2 * " + u + " - 1)";
    return Shaped{"COPYSIGN(" + shape("ABS(" + w + ")") + ", " + w + ")", -2};
}

}  // namespace

std::optional<std::string> sourceReader(std::uint16_t source, const ZoneGenerators& generators) {
    const int index = source & kIndexMask;
    if ((source & kControllerBit) != 0) return compiler::format("MCC2(%d)", index);
    switch (index) {
        case 2: {
            const int fixed = generators.value(gen::Velocity);
            if (fixed >= 0 && fixed <= 127) return compiler::format("%.7f", fixed / 128.0);
            return std::string("MCC2(130)");
        }
        case 3: {
            const int fixed = generators.value(gen::Keynum);
            if (fixed >= 0 && fixed <= 127) return compiler::format("%.7f", fixed / 128.0);
            return std::string("MCC2(128)");
        }
        case 10:
            return std::string("MCC2(132)");
        case 13:
            return std::string("MCC2(133)");
        case 14:
            return std::string("(MCC2(135) * .5 + .5)");
        case 16:
            return std::string(
                "(MCC(607) * 0.0078125)");  // pitch-wheel sensitivity in semitones / 128
        default:
            return std::nullopt;
    }
}

std::optional<std::string> modulatorTerm(const Modulator& modulator,
                                         const ZoneGenerators& generators, double scale) {
    if ((modulator.source & (kIndexMask | kControllerBit)) == 0)
        return std::nullopt;  // no primary source
    const std::optional<Shaped> a = shapedSource(modulator.source, generators);
    if (!a) return std::nullopt;
    Shaped b{"1", -2};
    if ((modulator.amountSource & (kIndexMask | kControllerBit)) != 0) {
        const std::optional<Shaped> second = shapedSource(modulator.amountSource, generators);
        if (!second) return std::nullopt;
        b = *second;
    }
    const int transform = modulator.transform == 2 ? -1 : -2;  // absolute value, else linear
    return compiler::format("MOD2(%s, %s, %d, %d, %.7f, %d)", a->expression.c_str(),
                            b.expression.c_str(), a->curve, b.curve, modulator.amount * scale,
                            transform);
}

}  // namespace tess::sf2
