#include "samples/LayoutBuilder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tess {

namespace {

// The material as the layout plays it: frame k of the view is frame k (forward) or frame
// frames-1-k (backward) of the file's frames.
struct View {
    const float* data;
    int channels;
    std::int64_t frames;
    bool reversed;

    const float* frame(std::int64_t k) const {
        const std::int64_t index = reversed ? frames - 1 - k : k;
        return data + index * channels;
    }
};

class Writer {
public:
    explicit Writer(int channels) : channels_(channels) {}

    std::int64_t frames() const { return static_cast<std::int64_t>(out_.size()) / channels_; }
    std::vector<float>& data() { return out_; }

    // Appends `count` frames of the view from `first` on, stepping by `step`. The first
    // `overlap` of them are laid over the last `overlap` frames already written with
    // equal-power gains (square roots of linear ramps). Returns the index at which the piece's
    // frame 0 ended up.
    std::int64_t append(const View& view, std::int64_t first, std::int64_t count, int step,
                        std::int64_t overlap) {
        overlap = std::clamp<std::int64_t>(overlap, 0, std::min(count, frames()));
        const std::int64_t offset = frames() - overlap;
        for (std::int64_t k = 0; k < overlap; ++k) {
            const float in = static_cast<float>(k + 1) / static_cast<float>(overlap + 1);
            const float gainIn = std::sqrt(std::clamp(in, 0.0f, 1.0f));
            const float gainOut = std::sqrt(std::clamp(1.0f - in, 0.0f, 1.0f));
            const float* source = view.frame(first + k * step);
            float* target = out_.data() + (offset + k) * channels_;
            for (int c = 0; c < channels_; ++c) target[c] = target[c] * gainOut + source[c] * gainIn;
        }
        for (std::int64_t k = overlap; k < count; ++k) {
            const float* source = view.frame(first + k * step);
            out_.insert(out_.end(), source, source + channels_);
        }
        return offset;
    }

private:
    int channels_;
    std::vector<float> out_;
};

// A crossfade may take at most half of either piece it joins.
std::int64_t joinLength(int crossfade, std::int64_t a, std::int64_t b) {
    return std::max<std::int64_t>(0, std::min<std::int64_t>({crossfade, a / 2, b / 2}));
}

}  // namespace

bool buildLayout(const LayoutRequest& request, Layout& layout) {
    const std::int64_t frames = request.frames;
    const int channels = request.channels;
    if (request.data == nullptr || frames < 1 || channels < 1 || channels > 2) return false;
    // Forward + backward layouts hold the material about twice; every marker is 32-bit.
    if (frames > (std::numeric_limits<std::int32_t>::max() - 16) / 2) return false;

    const int direction = std::clamp(request.direction, 0, 3);
    const bool reversed = direction == 1 || direction == 3;
    const bool pingPong = direction >= 2;
    const bool loops = (request.loopFlags & SampleSlot::kLoops) != 0;
    const bool hasRelease = (request.loopFlags & SampleSlot::kHasRelease) != 0;
    const View view{request.data, channels, frames, reversed};

    // Markers in play order (mirrored for the backward directions), inside the material.
    std::int64_t loopStart = std::clamp<std::int64_t>(request.loopStart, 0, frames - 1);
    std::int64_t loopEnd = std::clamp<std::int64_t>(request.loopEnd, 0, frames - 1);
    std::int64_t release = std::clamp<std::int64_t>(request.release, 0, frames - 1);
    if (reversed) {
        // A plain loop plays loopStart .. loopEnd - 1, a ping-pong loop turns on both of its
        // points: each is mirrored so that the same file frames are looped.
        const std::int64_t last = pingPong ? frames - 1 : frames;
        const std::int64_t start = last - loopEnd;
        loopEnd = last - loopStart;
        loopStart = start;
        release = frames - 1 - release;
    }
    if (loopEnd <= loopStart) {  // material too short for the loop the directive asked for
        loopStart = 0;
        loopEnd = std::max<std::int64_t>(1, frames - 1);
    }

    Writer writer(channels);
    std::int64_t releaseStart = hasRelease ? release : 0;
    if (!pingPong) {
        writer.append(view, 0, frames, 1, 0);
    } else if (!loops || frames < 2) {
        // The whole material there and back; the turning frame is not repeated.
        writer.append(view, 0, frames, 1, 0);
        writer.append(view, frames - 2, frames - 1, -1, joinLength(request.crossfade, frames, frames - 1));
    } else {
        // Up to the loop end, back through the loop, then the material from the loop start on:
        // the unrolled loop runs from loopStart to the frame where that last part begins.
        const std::int64_t forward = loopEnd + 1;
        const std::int64_t backward = loopEnd - loopStart - 1;  // frames strictly inside the loop
        writer.append(view, 0, forward, 1, 0);
        if (backward > 0)
            writer.append(view, loopEnd - 1, backward, -1, joinLength(request.crossfade, forward, backward));
        const std::int64_t rest = writer.append(view, loopStart, frames - loopStart, 1, 0);
        if (hasRelease && release >= loopStart) releaseStart = rest + (release - loopStart);
        loopEnd = rest;
    }

    layout.frames = writer.frames();
    layout.data = std::move(writer.data());
    SampleMarkers& m = layout.markers;
    m.lastIndex = static_cast<std::int32_t>(layout.frames - 1);
    m.loopStart = static_cast<std::int32_t>(loopStart);
    m.loopEnd = static_cast<std::int32_t>(std::min<std::int64_t>(loopEnd, layout.frames - 1));
    m.loopLength = m.loopEnd - m.loopStart;
    m.releaseStart = static_cast<std::int32_t>(std::min<std::int64_t>(releaseStart, layout.frames - 1));
    if (m.loopLength < 1) {
        // One-frame material: nothing to loop over; the player treats a zero length as no loop.
        m.loopStart = 0;
        m.loopEnd = m.lastIndex;
        m.loopLength = m.lastIndex;
    }
    return true;
}

}  // namespace tess
