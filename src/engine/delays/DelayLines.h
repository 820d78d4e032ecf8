// The delay lines: DELAY, DELAYF, DELAYFF, DELAY2C, DELAYFF2, DELAYFF3, DELAYFF4 on a stereo
// ring, PPDELAY on a mono one, each also in a non-interpolating (NI) form. Times are in
// seconds per channel; a line reads before it writes, so a time of 0 delays by one sample.
// An operation whose note got no buffer is silent.
#pragma once

#include <cstdint>

#include "engine/Stereo.h"
#include "engine/delays/DelayMemory.h"

namespace tess::fx {

// What a stereo line writes and returns (d is the delayed value of the channel), in the order
// of the function table:
enum class DelayForm : std::uint8_t {
    Plain,                  // DELAY(x, t): writes x, returns d
    Feedback,               // DELAYF(x, t, fb): writes and returns x + fb d
    FilteredFeedback,       // DELAYFF(x, t, fb, fc): writes and returns x + fb filter(d)
    Allpass,                // DELAY2C(x, t, fb, c): writes w = x + fb d, returns w c + d
    FilteredFeedbackWet,    // DELAYFF2(x, t, fb, fc): writes as DELAYFF, returns d
    TwoBandFeedback,        // DELAYFF3(x, t, fblow, fbhigh, fc): writes and returns
                            //   x + fblow low(d) + fbhigh (d - low(d))
    TwoBandFeedbackWet,     // DELAYFF4: writes as DELAYFF3, returns d
};

// filter(d) is a low-pass at fc for fc above 0 and a high-pass at |fc| otherwise; low(d) is
// the low-pass at fc. `a2` .. `a4` are the arguments after x and t, as the form takes them.
Stereo delayLine(DelayState& state, DelayForm form, bool interpolate, Stereo x, Stereo t, Stereo a2,
                 Stereo a3, Stereo a4, float sampleRate);

// PPDELAY(x, t, fblow, fbhigh, fc): a mono line fed with the mid of x plus the two-band
// feedback of the second tap. The first tap is read at tL, the second at tL + tR; the result
// is (first tap, second tap). The feedback and cutoff values of the left channel are used.
Stereo pingPongDelay(DelayState& state, bool interpolate, Stereo x, Stereo t, Stereo fbLow,
                     Stereo fbHigh, Stereo fc, float sampleRate);

}  // namespace tess::fx
