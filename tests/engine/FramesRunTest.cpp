#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/oscillators/SamplePlayer.h"

namespace tess {
namespace {

using osc::OscillatorContext;
using osc::OscillatorState;

struct RunCase {
    const char* name;
    int channels;
    float loopMode;
    float hz;
    float offsetSeconds;
    std::int64_t releaseAt;  // sample time of the note-off
    int silentFrom;          // the gain drops below the silence threshold from here (-1 never)
    bool frequencyLane;      // the frequency given per sample rather than held
};

bool sameBits(Stereo a, Stereo b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// OSCSAM over runs against the single-sample form from the same start: the same samples bit
// for bit, the same lowest stages and the same state after every run.
TEST(FramesRun, GivesTheSamplesOfTheSingleSampleForm) {
    const RunCase cases[] = {
        {"mono, looping", 1, 0, 523.25f, 0, 1 << 20, -1, false},
        {"mono, looping, note-off on the last sample of a run", 1, 0, 440, 0, 767, -1, false},
        {"mono, looping, note-off inside a run", 1, 0, 440, 0, 700, -1, false},
        {"mono, played once to its end", 1, 1, 880, 0, 1 << 20, -1, false},
        {"mono, read ahead by an offset", 1, 0, 261.6f, 0.002f, 1 << 20, -1, false},
        {"mono, the gain falls silent and comes back", 1, 0, 440, 0, 1 << 20, 600, false},
        {"mono, fast enough to wrap the loop every few samples", 1, 0, 9000, 0, 1 << 20, -1, false},
        {"stereo slot", 2, 0, 440, 0, 1 << 20, -1, false},
        {"frequency per sample", 1, 0, 440, 0, 1 << 20, -1, true},
        {"loop counted in passes", 1, 3, 2000, 0, 900, -1, false},
    };
    InterpolationKernel kernel;
    kernel.build(4096, 3, 6, 15.0);
    auto bank = std::make_unique<SampleBank>();
    Noise noise;
    ControllerSpace controllers;
    for (const RunCase& k : cases) {
        SCOPED_TRACE(k.name);
        SampleSlot& slot = (*bank)[200];
        slot = SampleSlot{};
        slot.kind = SampleSlot::kSampled;
        slot.channels = k.channels;
        const int frames = 3000;
        slot.frames = frames;
        slot.left.resize(frames);
        slot.right.resize(k.channels == 2 ? frames : 0);
        for (int i = 0; i < frames; ++i) {
            slot.left[static_cast<std::size_t>(i)] = std::sin(0.07f * i) * (1.0f + 0.0003f * i);
            if (k.channels == 2) slot.right[static_cast<std::size_t>(i)] = std::cos(0.05f * i);
        }
        slot.fileRate = 44100.0f;
        slot.centreNote = 69.0f;
        slot.markers = {frames - 1, 2000, 2900, 900, 0};
        slot.crossfades = {40, 40, 5};
        const osc::FrameRange range{0, 2990, 2000, 2900, k.loopMode};

        OscillatorContext context;
        context.bank = bank.get();
        context.kernel = &kernel;
        context.noise = &noise;
        context.controllers = &controllers;
        context.startTime = 3;
        context.releaseTime = k.releaseAt;
        OscillatorState single, run;
        const int total = 1500, length = 256;
        std::vector<Stereo> gains(total), frequencies(total), offsets(total, both(k.offsetSeconds));
        for (int i = 0; i < total; ++i) {
            const bool silent = k.silentFrom >= 0 && i >= k.silentFrom && i < k.silentFrom + 20;
            gains[static_cast<std::size_t>(i)] = silent ? both(0.0f) : Stereo{0.5f + 0.0001f * i, 0.25f};
            frequencies[static_cast<std::size_t>(i)] = both(k.frequencyLane ? k.hz + 0.01f * i : k.hz);
        }
        for (int at = 0; at < total; at += length) {
            const int n = std::min(length, total - at);
            std::vector<Stereo> expected(n), out(n);
            std::vector<float> expectedStage(n, 5.0f), stage(n, 5.0f);
            for (int i = 0; i < n; ++i) {
                const auto s = static_cast<std::size_t>(at + i);
                context.t = at + i;
                context.lowestStage = &expectedStage[static_cast<std::size_t>(i)];
                expected[static_cast<std::size_t>(i)] =
                    osc::playFrames(single, context, 200, range, gains[s], frequencies[s], offsets[s]);
            }
            context.t = at;
            const auto from = static_cast<std::size_t>(at);
            osc::playFramesRun(run, context, 200, range, &gains[from], 1, &frequencies[from], k.frequencyLane ? 1 : 0,
                               &offsets[from], 0, stage.data(), out.data(), n);
            for (int i = 0; i < n; ++i) {
                const auto s = static_cast<std::size_t>(i);
                ASSERT_TRUE(sameBits(out[s], expected[s]))
                    << "sample " << at + i << ": " << out[s].l << ", " << out[s].r << " for " << expected[s].l << ", "
                    << expected[s].r;
                ASSERT_EQ(stage[s], expectedStage[s]) << "sample " << at + i;
            }
            ASSERT_EQ(std::memcmp(run.position, single.position, sizeof run.position), 0) << "after " << at + n;
            ASSERT_EQ(run.insideLoop, single.insideLoop);
            ASSERT_EQ(run.releaseNoted, single.releaseNoted);
            ASSERT_EQ(run.passes[0], single.passes[0]);
        }
    }
}

}  // namespace
}  // namespace tess
