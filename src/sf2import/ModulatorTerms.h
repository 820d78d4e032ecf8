// SoundFont modulators as terms of the instrument language: a MOD2 call over controller
// readers, with the modulator's source curves, its amount in the destination's units and its
// transform. Linear and switch sources use MOD2's built-in curve numbers (exact); concave and
// convex sources are written out with their logarithmic formula, since the built-in shapes
// x·|x| and sqrt(x) only approximate them (by up to 12 dB on a volume controller at half way).
#pragma once

#include <optional>
#include <string>

#include "sf2import/Generators.h"
#include "sf2import/SoundFontBank.h"

namespace tess::sf2 {

// The controller value a source reads, before its curve: 0 .. 1 (pitch wheel 0 .. 1 around
// 0.5). Fixed key and velocity generators of the zone replace the played ones. Empty for a
// source the conversion does not know (and for "no controller").
std::optional<std::string> sourceReader(std::uint16_t source, const ZoneGenerators& generators);

// The whole term: "MOD2(a, b, curve a, curve b, amount * scale, transform)". Empty when the
// primary source is "no controller" or unknown (the modulator then contributes nothing).
std::optional<std::string> modulatorTerm(const Modulator& modulator,
                                         const ZoneGenerators& generators, double scale);

}  // namespace tess::sf2
