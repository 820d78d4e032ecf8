// Fixed capacities of the compiled instrument.
#pragma once

namespace tess::compiler {

inline constexpr int kMaxSlots = 8192;          // ResultSlots per section, COMMON's included
inline constexpr int kMaxOperations = 8192;     // Operations per section, COMMON's included
inline constexpr int kLayerCapacity = 8192;     // LayerPrograms; the POST step counts as one more section
inline constexpr int kMaxIncludeLevel = 19;     // deepest INCLUDE nesting that is still read
inline constexpr int kMaxLabelLength = 31;
inline constexpr int kMaxNameLength = 31;       // variable names fit the 32-character slot name
inline constexpr int kMaxIfOperand1 = 62;
inline constexpr int kMaxIfComparisonAndOperand2 = 63;

// Section numbers.
inline constexpr int kSectionCommon = -2;
inline constexpr int kSectionPost = -1;

}  // namespace tess::compiler
