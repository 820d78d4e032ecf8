// The controller space: the 1000 values an instrument file can address by MCC number.
//
// MIDI controllers, channel pressure, program, pitch bend, polyphonic aftertouch, keyswitch
// states, host parameters (VSTVARs) and the per-voice / per-block engine values all live here.
// Values that arrive with MIDI events are sample-accurate: each keeps its previous value and the
// absolute sample time of its last change, and a reader given the time of the sample being
// rendered sees the previous value before that time and the current one from it on.
//
// Numbering:
//   0..127    MIDI control change                   timed (current, previous, switch time)
//   128..131  KEY, KEYF, ONVEL, OFFVEL (per voice)  current only
//   132       POLYAFT: callers redirect it to 200 + key; read directly it stays 0
//   133..135  AFTERTOUCH, PROGRAM, PBEND            timed
//   136..152  BPM, NUM, DEN, RANDOM, GAIN ... DURATION (engine values), current only
//   153..199  unassigned, read 0
//   200..327  polyphonic aftertouch of key 0..127  timed
//   400..527  keyswitch state of key 0..127         int32
//   600..727  VSTVAR 0..127 real value             float + scale type (int16)
//   1000..1003 trigger pseudo-numbers; every reader returns 0 for 1000 and above.
//
// The readers run per sample on the audio thread: they are inline, never allocate and never
// index outside the arrays whatever number they are given.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "controllers/PedalState.h"

namespace tess {

namespace mcc {
inline constexpr int kCount = 1000;
inline constexpr int kKey = 128;
inline constexpr int kKeyF = 129;
inline constexpr int kOnVelocity = 130;
inline constexpr int kOffVelocity = 131;
inline constexpr int kPolyAftertouch = 132;
inline constexpr int kAftertouch = 133;
inline constexpr int kProgram = 134;
inline constexpr int kPitchBend = 135;
inline constexpr int kBpm = 136;
inline constexpr int kNumerator = 137;
inline constexpr int kDenominator = 138;
inline constexpr int kRandom = 139;
inline constexpr int kGain = 140;
inline constexpr int kFreq = 141;
inline constexpr int kOut = 142;
inline constexpr int kIn = 143;
inline constexpr int kTemperament = 144;
inline constexpr int kSampleRate = 145;
inline constexpr int kTime = 146;
inline constexpr int kSends1 = 147;  // SENDS2..SENDS4 follow
inline constexpr int kDefaultFc = 151;
inline constexpr int kDuration = 152;
inline constexpr int kPolyAftertouchBase = 200;
inline constexpr int kKeyswitchBase = 400;
inline constexpr int kVstVarBase = 600;
inline constexpr int kTriggerFirst = 1000;
inline constexpr int kTriggerLegato = 1001;
inline constexpr int kTriggerRoundRobin = 1002;
inline constexpr int kTriggerChannel = 1003;
}  // namespace mcc

class ControllerSpace {
public:
    static constexpr int kSize = mcc::kCount;
    static constexpr int kKeys = 128;
    static constexpr int kControllers = 200;  // 0..199: MIDI controllers and engine values
    static constexpr int kVstVars = 128;
    // One smoothing step: s := s * kSmoothKeep + v * kSmoothTake (the sum slightly exceeds 1).
    static constexpr float kSmoothKeep = 0.999f;
    static constexpr float kSmoothTake = 0.0010001f;
    // 7-bit controller values are read as value / 128.
    static constexpr float kScale = 0.0078125f;

    ControllerSpace();

    // MIDI write rule for 0..127, 133, 134, 135 and 200..327: previous := current,
    // switch time := sampleTime (block start + deltaFrames), current := value.
    // Returns false (and changes nothing) for any other number.
    bool writeMidi(int number, float value, std::int64_t sampleTime);
    // Engine values written by the render loop and note-on: 128..131 and 136..152.
    // Other numbers are ignored.
    void setBuiltin(int number, float value) {
        if ((number >= mcc::kKey && number <= mcc::kOffVelocity) ||
            (number >= mcc::kBpm && number <= mcc::kDuration))
            current_[number] = value;
    }
    // Keyswitch states are written and read whole, so that a saved state taken on another
    // thread reads them while the audio thread plays.
    void setKeyswitch(int key, std::int32_t state) {
        if (validKey(key)) std::atomic_ref<std::int32_t>(keyswitch_[key]).store(state, std::memory_order_relaxed);
    }
    std::int32_t keyswitch(int key) const {
        return validKey(key) ? std::atomic_ref<std::int32_t>(const_cast<std::int32_t&>(keyswitch_[key]))
                                   .load(std::memory_order_relaxed)
                             : 0;
    }
    void setVstVar(int index, float value) {
        if (validVstVar(index)) vstVar_[index] = value;
    }
    float vstVar(int index) const { return validVstVar(index) ? vstVar_[index] : 0.0f; }
    void setVstVarScaleType(int index, std::int16_t type) {
        if (validVstVar(index)) scaleType_[index] = type;
    }
    std::int16_t vstVarScaleType(int index) const {
        return validVstVar(index) ? scaleType_[index] : std::int16_t{0};
    }

    // A start value of a number 0..199 (MIDICC): current and previous value, and both smoothing
    // memories, so that smoothed readers start at it without a glide.
    void setStartValue(int number, float value);
    // The current value of a number 0..199 alone; its previous value and switch time stay.
    void setCurrent(int number, float value) {
        if (number >= 0 && number < kControllers) current_[number] = value;
    }

    // Stored state of a timed or built-in number (0..327), for the state chunk and the editor.
    float current(int number) const { return validTimed(number) ? current_[number] : 0.0f; }
    float previous(int number) const { return validTimed(number) ? previous_[number] : 0.0f; }
    std::int64_t switchTime(int number) const {
        return validTimed(number) ? switchTime_[number] : 0;
    }

    // Readers; t is the absolute sample time of the sample being computed.
    // mccRead: raw values, smoothed for the MIDI-driven ones (MCC(n) and keyword operands).
    inline float mccRead(int number, std::int64_t t);
    // mccReadScaled: 7-bit values / 128, smoothed (MCC2 and controller modulation); a negative
    // number means "no controller" and reads 1.0.
    inline float mccReadScaled(int number, std::int64_t t);
    // mccReadDirect: unsmoothed, 7-bit and engine values / 128 (voice start).
    inline float mccReadDirect(int number, std::int64_t t) const;
    // Whether every read of `number` at the times [from, to) returns one value, bit for bit,
    // and leaves the smoothing memory as it is: the value no longer moves and the smoothing has
    // settled on it. Then a run of reads may be done once; `value` is what each read returns.
    inline bool mccReadHolds(int number, std::int64_t from, std::int64_t to, float& value) const;
    inline bool mccReadScaledHolds(int number, std::int64_t from, std::int64_t to, float& value) const;

    // Switch tests on current values: controllers are on above 64, keyswitch states above 0,
    // VSTVARs from 0.5. Any other number below 1000 (negative ones too) is on for mccIsOn and
    // off for mccIsOnStrict.
    inline int mccIsOn(int number) const;
    inline int mccIsOnStrict(int number) const;

    // Resets what a load resets: current, previous and switch time of 0..199 and of the
    // polyphonic aftertouch entries. Keyswitch states, VSTVARs and the smoothing memories stay.
    void resetForLoad();

    // Pitch bend from its two 7-bit data bytes: lsb / 8128 + msb / 64 - 1, so 0/64 is exactly
    // 0, 0/0 is -1 and 127/127 is +1. Bytes outside 0..127 are clamped.
    static float pitchBendValue(int lsb, int msb);

    // The pedal flags the MIDI path sets and the render loop reads.
    PedalState pedals;

private:
    // 0..199 and the aftertouch block 200..327 share one set of arrays indexed by MCC number.
    static constexpr int kTimed = 328;

    enum Kind : std::uint8_t {
        kMidi,     // 0..127, 132, 133, 200..327: timed, 7-bit, smoothed by the smoothing readers
        kVoice,    // 128..131: current only, 7-bit style (scaled by the scaling readers)
        kProgram,  // 134: timed, scaled, never smoothed
        kBend,     // 135: timed, -1..1, never scaled, smoothed
        kEngine,   // 136..199: current only; raw except for mccReadDirect
    };
    static constexpr Kind kindOf(int n) {
        if (n < 128 || n >= 200 || n == 132 || n == 133) return kMidi;
        if (n <= 131) return kVoice;
        if (n == 134) return kProgram;
        if (n == 135) return kBend;
        return kEngine;
    }

    static constexpr bool validTimed(int n) { return static_cast<unsigned>(n) < kTimed; }
    static constexpr bool validKey(int k) { return static_cast<unsigned>(k) < kKeys; }
    static constexpr bool validVstVar(int i) { return static_cast<unsigned>(i) < kVstVars; }
    static float smooth(float& memory, float v) {
        memory = memory * kSmoothKeep + v * kSmoothTake;
        return memory;
    }
    float timed(int n, std::int64_t t) const {
        return t < switchTime_[n] ? previous_[n] : current_[n];
    }
    bool timedHolds(int n, std::int64_t from, std::int64_t to) const {
        return switchTime_[n] <= from || switchTime_[n] >= to ||
               std::memcmp(&previous_[n], &current_[n], sizeof(float)) == 0;
    }
    // mccRead*Holds for the numbers 0..kSize - 1 past the timed ones (keyswitch states, VSTVARs,
    // the rest), whose smoothing memory is memory[n].
    inline bool untimedHolds(int n, const float* memory, float& value) const;
    // Whether one smoothing step toward v leaves `memory` as it is.
    static bool settled(float memory, float v, float& value) {
        float next = memory;
        smooth(next, v);
        value = memory;
        return std::memcmp(&next, &memory, sizeof(float)) == 0;
    }
    bool vstVarFollowsAtOnce(int index) const {
        return scaleType_[index] == 2 || scaleType_[index] == 3;
    }

    Kind kind_[kTimed];
    float current_[kTimed];
    float previous_[kTimed];
    std::int64_t switchTime_[kTimed];
    std::int32_t keyswitch_[kKeys];
    float vstVar_[kVstVars];
    std::int16_t scaleType_[kVstVars];
    float smoothRead_[kSize];
    float smoothScaled_[kSize];
};

inline float ControllerSpace::mccRead(int n, std::int64_t t) {
    if (validTimed(n)) {
        switch (kind_[n]) {
            case kMidi:
            case kBend:
                return smooth(smoothRead_[n], timed(n, t));
            case kProgram:
                return timed(n, t);
            case kVoice:
            case kEngine:
                return current_[n];
        }
    }
    if (n < 0 || n >= kSize) return 0.0f;
    if (n >= mcc::kKeyswitchBase && n < mcc::kKeyswitchBase + kKeys)
        return static_cast<float>(keyswitch_[n - mcc::kKeyswitchBase]);
    if (n >= mcc::kVstVarBase && n < mcc::kVstVarBase + kVstVars) {
        const int i = n - mcc::kVstVarBase;
        return vstVarFollowsAtOnce(i) ? vstVar_[i] : smooth(smoothRead_[n], vstVar_[i]);
    }
    return smooth(smoothRead_[n], 0.0f);
}

inline float ControllerSpace::mccReadScaled(int n, std::int64_t t) {
    if (validTimed(n)) {
        switch (kind_[n]) {
            case kMidi:
                return smooth(smoothScaled_[n], timed(n, t) * kScale);
            case kVoice:
                return current_[n] * kScale;
            case kProgram:
                return timed(n, t) * kScale;
            case kBend:
                return smooth(smoothScaled_[n], timed(n, t));
            case kEngine:
                return current_[n];
        }
    }
    if (n < 0) return 1.0f;
    if (n >= kSize) return 0.0f;
    if (n >= mcc::kKeyswitchBase && n < mcc::kKeyswitchBase + kKeys)
        return static_cast<float>(keyswitch_[n - mcc::kKeyswitchBase]);
    if (n >= mcc::kVstVarBase && n < mcc::kVstVarBase + kVstVars) {
        const int i = n - mcc::kVstVarBase;
        return vstVarFollowsAtOnce(i) ? vstVar_[i] : smooth(smoothScaled_[n], vstVar_[i]);
    }
    return smooth(smoothScaled_[n], 0.0f);
}

inline bool ControllerSpace::untimedHolds(int n, const float* memory, float& value) const {
    if (n >= mcc::kKeyswitchBase && n < mcc::kKeyswitchBase + kKeys) {
        value = static_cast<float>(keyswitch_[n - mcc::kKeyswitchBase]);
        return true;
    }
    if (n >= mcc::kVstVarBase && n < mcc::kVstVarBase + kVstVars) {
        const int i = n - mcc::kVstVarBase;
        if (!vstVarFollowsAtOnce(i)) return settled(memory[n], vstVar_[i], value);
        value = vstVar_[i];
        return true;
    }
    return settled(memory[n], 0.0f, value);
}

inline bool ControllerSpace::mccReadHolds(int n, std::int64_t from, std::int64_t to, float& value) const {
    if (validTimed(n)) {
        switch (kind_[n]) {
            case kMidi:
            case kBend:
                return timedHolds(n, from, to) && settled(smoothRead_[n], timed(n, from), value);
            case kProgram:
                value = timed(n, from);
                return timedHolds(n, from, to);
            case kVoice:
            case kEngine:
                value = current_[n];
                return true;
        }
    }
    if (n < 0 || n >= kSize) {
        value = 0.0f;
        return true;
    }
    return untimedHolds(n, smoothRead_, value);
}

inline bool ControllerSpace::mccReadScaledHolds(int n, std::int64_t from, std::int64_t to, float& value) const {
    if (validTimed(n)) {
        switch (kind_[n]) {
            case kMidi:
                return timedHolds(n, from, to) && settled(smoothScaled_[n], timed(n, from) * kScale, value);
            case kVoice:
                value = current_[n] * kScale;
                return true;
            case kProgram:
                value = timed(n, from) * kScale;
                return timedHolds(n, from, to);
            case kBend:
                return timedHolds(n, from, to) && settled(smoothScaled_[n], timed(n, from), value);
            case kEngine:
                value = current_[n];
                return true;
        }
    }
    if (n < 0) {
        value = 1.0f;
        return true;
    }
    if (n >= kSize) {
        value = 0.0f;
        return true;
    }
    return untimedHolds(n, smoothScaled_, value);
}

inline float ControllerSpace::mccReadDirect(int n, std::int64_t t) const {
    if (validTimed(n)) {
        switch (kind_[n]) {
            case kMidi:
            case kProgram:
                return timed(n, t) * kScale;
            case kBend:
                return timed(n, t);
            case kVoice:
            case kEngine:
                return current_[n] * kScale;
        }
    }
    if (n >= mcc::kKeyswitchBase && n < mcc::kKeyswitchBase + kKeys)
        return static_cast<float>(keyswitch_[n - mcc::kKeyswitchBase]);
    if (n >= mcc::kVstVarBase && n < mcc::kVstVarBase + kVstVars)
        return vstVar_[n - mcc::kVstVarBase];
    return 0.0f;
}

inline int ControllerSpace::mccIsOnStrict(int n) const {
    if (n >= 0 && n < 200) return current_[n] > 64.0f ? 1 : 0;
    if (n >= mcc::kKeyswitchBase && n < mcc::kKeyswitchBase + kKeys)
        return keyswitch_[n - mcc::kKeyswitchBase] > 0 ? 1 : 0;
    if (n >= mcc::kVstVarBase && n < mcc::kVstVarBase + kVstVars)
        return vstVar_[n - mcc::kVstVarBase] >= 0.5f ? 1 : 0;
    return 0;
}

inline int ControllerSpace::mccIsOn(int n) const {
    const bool tested = (n >= 0 && n < 200) ||
                        (n >= mcc::kKeyswitchBase && n < mcc::kKeyswitchBase + kKeys) ||
                        (n >= mcc::kVstVarBase && n < mcc::kVstVarBase + kVstVars);
    if (tested) return mccIsOnStrict(n);
    return n < kSize ? 1 : 0;
}

}  // namespace tess
