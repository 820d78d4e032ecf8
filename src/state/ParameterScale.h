// How a host parameter's value 0 .. 1 maps to the instrument's own value and back, and how
// that value is shown. Pure functions with no window or host types, shared by the plug-in's
// parameter calls and the editor's slider captions.
//
// Scale types: 0 logarithmic (geometric between min and max), 1 linear, 2 integer (rounded),
// 3 beats (quantised to the musical fractions a tempo-synced value uses).
#pragma once

#include <cstddef>

namespace tess {

enum ParameterScaleType : int {
    kScaleLogarithmic = 0,
    kScaleLinear = 1,
    kScaleInteger = 2,
    kScaleBeats = 3,
};

inline bool validScaleType(int type) { return type >= kScaleLogarithmic && type <= kScaleBeats; }

// The beat grid: from 1.75 up the nearest whole number of beats, below it 3/2, 1, 3/4, 1/2,
// 3/8, 1/4, 3/16, 1/8, 3/32, 1/16 and 1/32, each taken from its threshold up.
float quantiseBeats(float beats);

// The internal value for host value `host`. Values outside 0 .. 1 map outside min .. max.
float internalFromHost(int type, float min, float max, float host);

// An internal value as a parameter stores it: `internal` is rounded (integer) or quantised
// (beats) in place, and the matching host value is returned. Nothing is clamped here.
float hostFromInternal(int type, float min, float max, float& internal);

// The text shown for an internal value: a number whose decimals follow its magnitude (scale
// types 0 and 1), a whole number (2), or a beat fraction such as "3/8" (3). The text always
// fits `capacity` bytes with its terminator: a number too long for it is written with fewer
// significant digits rather than cut.
void formatParameterDisplay(int type, float internal, char* text, std::size_t capacity);

}  // namespace tess
