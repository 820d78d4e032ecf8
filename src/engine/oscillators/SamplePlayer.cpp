#include "engine/oscillators/SamplePlayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/Waveforms.h"

namespace tess::osc {

namespace {

// Equal bit for bit (0 and -0, or two NaNs, told apart).
template <typename T>
bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

int resolveSlot(float argument, const OscillatorContext& context) {
    if (!(argument > -1e9f && argument < 1e9f)) return -1;
    int n = static_cast<int>(argument);
    if (n < 0 && context.controllers != nullptr) {
        const ControllerSpace& c = *context.controllers;
        if (n >= -199) n = static_cast<int>(std::lround(c.current(-n)));
        else if (n <= -401 && n >= -527) n = c.keyswitch(-n - 400);
        else if (n <= -601 && n >= -727) n = static_cast<int>(std::lround(c.vstVar(-n - 600)));
        else return -1;
    }
    if (n >= 200) n += context.sampleOffset;
    if (context.bank == nullptr) return -1;
    const SampleSlot* slot = context.bank->find(n);
    return slot != nullptr && slot->playable() ? n : -1;
}

double incrementPerHz(const SampleSlot& slot, float sampleRate) {
    if (slot.kind == SampleSlot::kAdditive) return 6.283185307179586 / sampleRate;
    return std::exp2((69.0 - slot.centreNote) / 12.0) * slot.fileRate / (440.0 * sampleRate);
}

float readFrames(const InterpolationKernel& kernel, const float* data, std::int64_t last, double position) {
    const double whole = std::floor(position);
    if (!(whole > -1e15 && whole < 1e15)) return 0.0f;
    const auto i = static_cast<std::int64_t>(whole);
    const int n = kernel.halfWidth();
    if (n == 0) return i >= 0 && i <= last ? data[i] : 0.0f;
    if (i - n >= 0 && i + n <= last) return kernel.readAround(data + i, position - whole);
    if (i + n < 0 || i - n > last) return 0.0f;
    const double frac = position - whole;
    float sum = 0.0f;
    for (int k = -n; k <= n; ++k) {
        const std::int64_t j = i + k;
        if (j >= 0 && j <= last) sum += tapWeight(kernel, k, frac) * data[j];
    }
    return sum;
}

namespace {

// Sums the kernel's taps around `position` over a frame function (which already returns 0
// outside the material).
template <class Frame>
float readWith(const InterpolationKernel& kernel, double position, Frame frame) {
    const double whole = std::floor(position);
    if (!(whole > -1e15 && whole < 1e15)) return 0.0f;
    const auto i = static_cast<std::int64_t>(whole);
    const int n = kernel.halfWidth();
    if (n == 0) return frame(i);
    const double frac = position - whole;
    float sum = 0.0f;
    for (int k = -n; k <= n; ++k) sum += tapWeight(kernel, k, frac) * frame(i + k);
    return sum;
}

// Whether every tap of a read at `position` lies inside the material (0..end) and at least
// `fade` frames from the loop end, where the crossfaded read takes each frame as it is: the
// plain read then gives the same sum.
bool outsideCrossfade(double position, int n, std::int64_t end, std::int64_t loopEnd, double fade) {
    const double whole = std::floor(position);
    if (!(whole > -1e15 && whole < 1e15)) return false;
    const auto i = static_cast<std::int64_t>(whole);
    if (i - n < 0 || i + n > end || !(fade > 0.0)) return false;
    return static_cast<double>(loopEnd - (i + n)) >= fade || static_cast<double>((i - n) - loopEnd) >= fade;
}

void startSlot(OscillatorState& state, const OscillatorContext& context, float slotArgument) {
    state.slot = resolveSlot(slotArgument, context);
    state.passes[0] = state.passes[1] = 1;
    state.insideLoop = false;
    state.releaseNoted = false;
    state.songStart = context.songAtStart;
    if (state.slot < 0) return;
    const SampleSlot& slot = (*context.bank)[state.slot];
    state.incrementPerHz = incrementPerHz(slot, context.sampleRate);
    state.mode = slot.loopFlags;
}

// Wraps a position that reached the loop end back by whole loop lengths; returns the wraps.
int wrapForward(double& position, double loopStart, double loopEnd, double length) {
    if (position < loopEnd) return 0;
    const double wraps = std::floor((position - loopStart) / length);
    position -= wraps * length;
    return static_cast<int>(std::min(wraps, 1e6));
}

Stereo playSampled(OscillatorState& s, const OscillatorContext& context, const SampleSlot& slot,
                   const PlayInput& input) {
    const SampleMarkers& m = slot.markers;
    const InterpolationKernel& kernel = *context.kernel;
    const int n = kernel.halfWidth();
    const float gain[2] = {input.gain.l, input.gain.r};
    const double offset[2] = {input.readOffset.l, input.readOffset.r};
    const float frequency[2] = {syncedFrequency(input.frequency.l, context.barsPerSecond),
                                syncedFrequency(input.frequency.r, context.barsPerSecond)};
    double increment[2];
    for (int c = 0; c < 2; ++c) {
        increment[c] = static_cast<double>(frequency[c]) * s.incrementPerHz;
        if (!s.started) s.position[c] = -increment[c];  // the first advance lands on frame 0
        s.position[c] += increment[c];
    }

    const bool held = context.held();
    if (s.mode == SampleSlot::kHasRelease && held && s.position[0] >= m.releaseStart &&
        s.position[1] >= m.releaseStart)
        s.mode = 0;  // held past the release start: the release part is already playing
    if ((s.mode & SampleSlot::kLoops) != 0 && m.loopLength >= 1) {
        const double start = m.loopStart, end = m.loopEnd, length = m.loopLength;
        if (s.position[0] >= start && s.position[1] >= start) s.insideLoop = true;
        for (int c = 0; c < 2; ++c) {
            const int wraps = wrapForward(s.position[c], start, end, length);
            if (wraps > 0) {
                if (slot.looped > 0) s.passes[c] += wraps;
            } else if (s.insideLoop && increment[c] < 0.0 && s.position[c] <= start) {
                s.position[c] += length;  // played backwards
                if (slot.looped > 0) --s.passes[c];
            }
        }
        if (slot.looped > 0 && s.passes[0] >= slot.looped && s.passes[1] >= slot.looped)
            s.mode &= SampleSlot::kHasRelease;
        else if (!held && s.mode == SampleSlot::kLoops && slot.looped > 0)
            s.mode = 0;
        else if (!held && s.mode == (SampleSlot::kLoops | SampleSlot::kHasRelease))
            s.mode = SampleSlot::kHasRelease;  // the note-off leaves the loop for the release part
    }

    // The release part is reached from the positions the note-off found (after the loop's wrap).
    if (!held && !s.releaseNoted) {
        for (int c = 0; c < 2; ++c)
            s.releasePosition[c] = static_cast<std::int32_t>(std::clamp(
                std::floor(s.position[c] + offset[c]), -2147483647.0, 2147483647.0));
        s.releaseNoted = true;
    }

    Stereo out;
    const double read[2] = {s.position[0] + offset[0], s.position[1] + offset[1]};
    const bool ended = s.mode < 1 && read[0] > m.lastIndex - n && read[1] > m.lastIndex - n;
    if (!ended) {
        const bool mixing = (s.mode & SampleSlot::kHasRelease) != 0 && !held && s.releaseNoted;
        float w = 0.0f;
        if (mixing) {
            const double elapsed = static_cast<double>(context.t - context.releaseTime);
            // A negative crossfade length counts as none (it would give a negative weight's root).
            w = static_cast<float>(std::sqrt(std::min(1.0, elapsed / (std::max(slot.crossfades[2], 0) + 1.0))));
        }
        const std::int64_t last = m.lastIndex;
        // Both channels at one position (the usual case) share one set of kernel weights.
        bool shared = false;
        if (!mixing && read[0] == read[1] && n > 0 && n <= 100) {
            const double whole = std::floor(read[0]);
            const auto i = static_cast<std::int64_t>(whole);
            if (whole > -1e15 && i - n >= 0 && i + n <= last) {
                float weights[201];
                const double frac = read[0] - whole;
                for (int k = -n; k <= n; ++k) weights[k + n] = tapWeight(kernel, k, frac);
                const float* left = slot.left.data() + i - n;
                const float* right = slot.rightData() + i - n;
                float l = 0.0f, r = 0.0f;
                for (int k = 0; k <= 2 * n; ++k) {
                    l += weights[k] * left[k];
                    r += weights[k] * right[k];
                }
                out = {l * gain[0], r * gain[1]};
                shared = true;
            }
        }
        for (int c = 0; c < 2 && !shared; ++c) {
            const float* data = c == 0 ? slot.left.data() : slot.rightData();
            float v;
            if (!mixing) {
                v = readFrames(kernel, data, last, read[c]);
            } else {
                const std::int64_t jump = static_cast<std::int64_t>(m.releaseStart) - s.releasePosition[c];
                v = readWith(kernel, read[c], [&](std::int64_t i) {
                    const float here = i >= 0 && i <= last ? data[i] : 0.0f;
                    const std::int64_t j = i + jump;
                    const float there = j >= 0 && j <= last ? data[j] : 0.0f;
                    return (1.0f - w) * here + w * there;
                });
            }
            (c == 0 ? out.l : out.r) = v * gain[c];
        }
    }

    for (int c = 0; c < 2; ++c)
        if (std::fabs(gain[c]) < context.silenceThreshold) {
            s.position[c] = -increment[c];  // silent: start again from the first frame
            s.passes[c] = 1;
        }
    if (std::fabs(gain[0]) < context.silenceThreshold && std::fabs(gain[1]) < context.silenceThreshold) {
        s.mode = slot.loopFlags;
        s.insideLoop = false;
    }
    return out;
}

// The start phase of a partial: its slot phase, or locked to the song clock so that every note
// of the same frequency is in phase with the song.
float partialStart(const OscillatorState& s, const OscillatorContext& context, float frequency, float slotPhase,
                   bool lock) {
    if (!lock || frequency <= 0.0f) return slotPhase;
    const double cycles = static_cast<double>(s.songStart) * frequency / context.sampleRate;
    const double frac = cycles - std::floor(cycles);
    return static_cast<float>(frac * 6.283185307179586) + slotPhase;
}

Stereo playAdditive(OscillatorState& s, const OscillatorContext& context, const SampleSlot& slot,
                    const PlayInput& input) {
    const float gain[2] = {input.gain.l, input.gain.r};
    const float frequency[2] = {syncedFrequency(input.frequency.l, context.barsPerSecond),
                                syncedFrequency(input.frequency.r, context.barsPerSecond)};
    const float extra[2] = {input.phaseOffset.l, input.phaseOffset.r};
    const int count = std::min(slot.harmonicCount, kHarmonics);
    float out[2] = {0.0f, 0.0f};
    for (int c = 0; c < 2; ++c) {
        const bool silent = std::fabs(gain[c]) < context.silenceThreshold;
        float sum = 0.0f;
        for (int k = 0; k < count; ++k) {
            const float hz = frequency[c] * slot.ratios[static_cast<std::size_t>(k)];
            const float increment = static_cast<float>(hz * s.incrementPerHz);
            float& phase = s.harmonicPhase[c][k];
            if (!s.started) {
                s.harmonicStart[c][k] =
                    partialStart(s, context, hz, slot.phases[static_cast<std::size_t>(k)], input.lockPhases[c]);
                phase = -increment;
            }
            phase += increment;
            const float p = phase + s.harmonicStart[c][k] + extra[c];
            const float turn = wave::wrapOffset(p);
            phase += turn;
            sum += wave::basic(slot.codes[static_cast<std::size_t>(k)], p + turn, *context.noise) *
                   slot.amplitudes[static_cast<std::size_t>(k)];
            if (silent) {
                s.harmonicStart[c][k] =
                    partialStart(s, context, hz, slot.phases[static_cast<std::size_t>(k)], input.lockPhases[c]);
                phase = -increment;
            }
        }
        out[c] = sum * gain[c];
    }
    return {out[0], out[1]};
}

}  // namespace

Stereo playSlot(OscillatorState& state, const OscillatorContext& context, float slotArgument,
                const PlayInput& input) {
    if (!state.started || context.firstSample()) startSlot(state, context, slotArgument);
    if (state.slot < 0) {
        state.started = true;
        return {};
    }
    const SampleSlot& slot = (*context.bank)[state.slot];
    context.keepAlive();
    const Stereo out = slot.kind == SampleSlot::kAdditive ? playAdditive(state, context, slot, input)
                                                          : playSampled(state, context, slot, input);
    state.started = true;
    return out;
}

namespace {

// OSCSAM's frame range as whole frames of a slot whose last frame is `last`.
struct FramePlan {
    std::int64_t first = 0, end = 0, loopStart = 0, loopEnd = 0, length = 0;
    int loopMode = 1;
};

FramePlan framePlan(const FrameRange& range, std::int64_t last) {
    auto frame = [](float v) {
        return v > -2e9f && v < 2e9f ? static_cast<std::int64_t>(v) : (v > 0.0f ? INT32_MAX : 0);
    };
    FramePlan p;
    p.first = std::clamp<std::int64_t>(frame(range.start), 0, last);
    p.end = std::clamp<std::int64_t>(frame(range.end), p.first, last);
    p.loopStart = frame(range.loopStart);
    p.loopEnd = frame(range.loopEnd);
    p.length = p.loopEnd - p.loopStart;
    // Checked before the conversion: NaN (which clamp passes through) plays once, as mode 1.
    p.loopMode = range.loopMode == range.loopMode ? static_cast<int>(std::clamp(range.loopMode, -1.0f, 1e6f)) : 1;
    return p;
}

// A read near the loop end once the loop has been entered: the frames before the loop end fade
// into those a loop length earlier.
float crossfadedRead(const InterpolationKernel& kernel, const float* data, double position, const FramePlan& plan,
                     double fade) {
    const std::int64_t first = plan.first, end = plan.end, loopEnd = plan.loopEnd, length = plan.length;
    return readWith(kernel, position, [&](std::int64_t i) {
        const float here = i >= 0 && i <= end ? data[i] : 0.0f;
        const std::int64_t earlier = i - length;
        if (earlier < first || i > end) return here;
        const double f = static_cast<double>(std::llabs(loopEnd - i)) / fade;
        if (f >= 1.0) return here;
        return static_cast<float>(std::sqrt(f)) * here + static_cast<float>(std::sqrt(1.0 - f)) * data[earlier];
    });
}

// One sample of OSCSAM once its slot is known to hold sampled material.
[[gnu::always_inline]] inline Stereo playFramesStep(OscillatorState& s, const OscillatorContext& context,
                                                    const SampleSlot& slot, const FramePlan& plan, Stereo gain,
                                                    Stereo frequency, Stereo offsetSeconds) {
    context.keepAlive();
    const InterpolationKernel& kernel = *context.kernel;
    const int n = kernel.halfWidth();
    const std::int64_t first = plan.first, end = plan.end, loopStart = plan.loopStart, loopEnd = plan.loopEnd;
    const std::int64_t length = plan.length;
    const int loopMode = plan.loopMode;
    const bool held = context.held();

    const float gains[2] = {gain.l, gain.r};
    const double offset[2] = {static_cast<double>(offsetSeconds.l) * context.sampleRate,
                              static_cast<double>(offsetSeconds.r) * context.sampleRate};
    double increment[2];
    for (int c = 0; c < 2; ++c) {
        increment[c] = static_cast<double>(syncedFrequency(c == 0 ? frequency.l : frequency.r,
                                                           context.barsPerSecond)) *
                       s.incrementPerHz;
        if (!s.started) s.position[c] = -increment[c];
        s.position[c] += increment[c];
    }
    // Looping: mode 0 always; n >= 2 for n passes while the note is held (the note-off freezes
    // the count and leaves the loop where the position stands); 1 never.
    if (!held) s.releaseNoted = true;
    const bool wantsLoop = loopMode == 0 || (loopMode >= 2 && !s.releaseNoted &&
                                             (s.passes[0] < loopMode || s.passes[1] < loopMode));
    const bool looping = wantsLoop && length >= 1 && loopStart >= first && loopEnd <= end;
    if (looping) {
        for (int c = 0; c < 2; ++c) {
            double index = static_cast<double>(first) + s.position[c];
            const int wraps = wrapForward(index, static_cast<double>(loopStart), static_cast<double>(loopEnd),
                                          static_cast<double>(length));
            if (wraps > 0) {
                s.position[c] = index - static_cast<double>(first);
                if (loopMode >= 2) s.passes[c] += wraps;
            }
        }
        if (s.position[0] + first >= loopStart + n && s.position[1] + first >= loopStart + n) s.insideLoop = true;
    }

    Stereo out;
    const double read[2] = {first + s.position[0] + offset[0], first + s.position[1] + offset[1]};
    const bool ended = !looping && read[0] > end - n && read[1] > end - n;
    if (!ended) {
        const bool crossfade = looping && s.insideLoop;
        const double fade = std::max(slot.crossfades[0], 0) + 1.0;  // a negative length counts as none
        float leftValue = 0.0f;
        for (int c = 0; c < 2; ++c) {
            const float* data = c == 0 ? slot.left.data() : slot.rightData();
            float v;
            if (c == 1 && data == slot.left.data() && std::memcmp(&read[0], &read[1], sizeof(double)) == 0) {
                v = leftValue;  // a mono slot read at one position by both channels: read once
            } else if (!crossfade || outsideCrossfade(read[c], n, end, loopEnd, fade)) {
                v = readFrames(kernel, data, end, read[c]);
            } else {
                v = crossfadedRead(kernel, data, read[c], plan, fade);
            }
            if (c == 0) leftValue = v;
            (c == 0 ? out.l : out.r) = v * gains[c];
        }
    }
    for (int c = 0; c < 2; ++c)
        if (std::fabs(gains[c]) < context.silenceThreshold) s.position[c] = -increment[c];
    s.started = true;
    return out;
}

// readFrames for a kernel of half-width N (known when compiling).
template <int N>
float readFramesOf(const InterpolationKernel& kernel, const float* data, std::int64_t last, double position) {
    const double whole = std::floor(position);
    if (whole > -1e15 && whole < 1e15) {
        const auto i = static_cast<std::int64_t>(whole);
        if (i - N >= 0 && i + N <= last) return kernel.readAroundOf<N>(data + i, position - whole);
    }
    return readFrames(kernel, data, last, position);
}

// How a sample of playMonoFrames is read.
enum class MonoRead : std::uint8_t { Ended, Plain, Crossfaded };

// The plain reads of a chunk, the kernel's half-width fixed for the loop.
template <int N>
void readPlainOf(const InterpolationKernel& kernel, const float* data, std::int64_t last, const double* read,
                 const MonoRead* how, float* value, int n) {
    for (int i = 0; i < n; ++i)
        if (how[i] == MonoRead::Plain) value[i] = readFramesOf<N>(kernel, data, last, read[i]);
}

void readPlain(const InterpolationKernel& kernel, const float* data, std::int64_t last, const double* read,
               const MonoRead* how, float* value, int n) {
    kernel.withFixedHalfWidth(
        [&](auto width) { readPlainOf<decltype(width)::value>(kernel, data, last, read, how, value, n); },
        [&] {
            for (int i = 0; i < n; ++i)
                if (how[i] == MonoRead::Plain) value[i] = readFrames(kernel, data, last, read[i]);
        });
}

// playFramesStep over samples i.. of a run for a one-channel slot that both channels read at one
// position: the frequency and the offset hold, the loop is always or never taken (modes 0 and
// 1), the voice has started. What holds is worked out once and the frame is read once: a chunk's
// positions first, then its reads. Stops before a sample whose gain is below the silence
// threshold (the slot then starts again, which the single-sample step does). Returns the index
// after the last sample rendered.
int playMonoFrames(OscillatorState& s, const OscillatorContext& context, const SampleSlot& slot,
                   const FramePlan& plan, const Stereo* gain, int gainStride, double increment, double offset,
                   float* lowestStage, Stereo* out, int i, int n) {
    const InterpolationKernel& kernel = *context.kernel;
    const int taps = kernel.halfWidth();
    const std::int64_t first = plan.first, end = plan.end, loopStart = plan.loopStart, loopEnd = plan.loopEnd;
    const std::int64_t length = plan.length;
    const bool looping = plan.loopMode == 0 && length >= 1 && loopStart >= first && loopEnd <= end;
    const double fade = std::max(slot.crossfades[0], 0) + 1.0;
    const float* const data = slot.left.data();
    // context.t is the time of sample i; the samples before `held` come before the note-off.
    const std::int64_t held = std::clamp<std::int64_t>(context.releaseTime - (context.t - i), i, n);
    double position = s.position[0];
    bool insideLoop = s.insideLoop;
    constexpr int kChunk = 64;
    double read[kChunk];
    MonoRead how[kChunk];
    float value[kChunk];
    bool silent = false;
    while (i < n && !silent) {
        const int from = i;
        const int to = std::min(n, from + kChunk);
        for (; i < to; ++i) {
            const Stereo g = gain[i * gainStride];
            if (std::fabs(g.l) < context.silenceThreshold || std::fabs(g.r) < context.silenceThreshold) {
                silent = true;
                break;
            }
            if (i < held) lowestStage[i] = 0.0f;
            position += increment;
            if (looping) {
                double index = static_cast<double>(first) + position;
                if (wrapForward(index, static_cast<double>(loopStart), static_cast<double>(loopEnd),
                                static_cast<double>(length)) > 0)
                    position = index - static_cast<double>(first);
                if (position + first >= loopStart + taps) insideLoop = true;
            }
            const int k = i - from;
            read[k] = first + position + offset;
            if (!looping && read[k] > end - taps) how[k] = MonoRead::Ended;
            else if (!(looping && insideLoop) || outsideCrossfade(read[k], taps, end, loopEnd, fade)) how[k] = MonoRead::Plain;
            else how[k] = MonoRead::Crossfaded;
        }
        const int m = i - from;
        readPlain(kernel, data, end, read, how, value, m);
        for (int k = 0; k < m; ++k) {
            if (how[k] == MonoRead::Crossfaded) value[k] = crossfadedRead(kernel, data, read[k], plan, fade);
            const Stereo g = gain[(from + k) * gainStride];
            out[from + k] = how[k] == MonoRead::Ended ? Stereo{} : Stereo{value[k] * g.l, value[k] * g.r};
        }
    }
    if (i > held) s.releaseNoted = true;
    s.position[0] = s.position[1] = position;
    s.insideLoop = insideLoop;
    return i;
}

// The slot of OSCSAM at this sample (chosen at the first sample), or null when it holds no
// sampled material.
const SampleSlot* framesSlot(OscillatorState& s, const OscillatorContext& context, float slotArgument) {
    if (!s.started || context.firstSample()) startSlot(s, context, slotArgument);
    if (s.slot < 0 || (*context.bank)[s.slot].kind != SampleSlot::kSampled) {
        s.started = true;
        return nullptr;
    }
    return &(*context.bank)[s.slot];
}

}  // namespace

Stereo playFrames(OscillatorState& s, const OscillatorContext& context, float slotArgument,
                  const FrameRange& range, Stereo gain, Stereo frequency, Stereo offsetSeconds) {
    const SampleSlot* slot = framesSlot(s, context, slotArgument);
    if (slot == nullptr) return {};
    return playFramesStep(s, context, *slot, framePlan(range, slot->markers.lastIndex), gain, frequency,
                          offsetSeconds);
}

void playFramesRun(OscillatorState& s, OscillatorContext context, float slotArgument, const FrameRange& range,
                   const Stereo* gain, int gainStride, const Stereo* frequency, int frequencyStride,
                   const Stereo* offsetSeconds, int offsetStride, float* lowestStage, Stereo* out, int n) {
    const std::int64_t t = context.t;
    const SampleSlot* planned = nullptr;
    FramePlan plan;
    for (int i = 0; i < n; ++i) {
        context.t = t + i;
        context.lowestStage = lowestStage + i;
        const SampleSlot* slot = framesSlot(s, context, slotArgument);
        if (slot == nullptr) {
            out[i] = {};
            continue;
        }
        if (slot != planned) {
            plan = framePlan(range, slot->markers.lastIndex);
            planned = slot;
        }
        if (s.started && context.t > context.startTime && frequencyStride == 0 && offsetStride == 0 &&
            plan.loopMode < 2 && slot->rightData() == slot->left.data() && sameBits(s.position[0], s.position[1])) {
            const float hz[2] = {syncedFrequency(frequency->l, context.barsPerSecond),
                                 syncedFrequency(frequency->r, context.barsPerSecond)};
            const double offset[2] = {static_cast<double>(offsetSeconds->l) * context.sampleRate,
                                      static_cast<double>(offsetSeconds->r) * context.sampleRate};
            if (sameBits(hz[0], hz[1]) && sameBits(offset[0], offset[1])) {
                const int to = playMonoFrames(s, context, *slot, plan, gain, gainStride,
                                              static_cast<double>(hz[0]) * s.incrementPerHz, offset[0], lowestStage,
                                              out, i, n);
                if (to == n) return;
                if (to > i) {
                    i = to - 1;
                    continue;
                }
            }
        }
        out[i] = playFramesStep(s, context, *slot, plan, gain[i * gainStride], frequency[i * frequencyStride],
                                offsetSeconds[i * offsetStride]);
    }
}

}  // namespace tess::osc
