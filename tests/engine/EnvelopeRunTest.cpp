// The delayed envelope over a run against the same envelope one sample at a time: levels, stages
// and the state left behind must agree bit for bit whatever the segments, the curves, the run
// lengths and where the start and the note-off fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/envelopes/StageModel.h"

namespace tess {
namespace {

struct EnvelopeCase {
    const char* name;
    float attack, decay, sustain, release, delay, hold;  // ENV1's arguments, in seconds
    float sampleRate;
    std::int64_t startTime, releaseTime;  // sample times; the render starts at 0
    int total;                            // samples rendered
    float level = 0.0f;                   // level before the start (a legato restart)
    double stage = 0.0;                   // stage before the start
};

const EnvelopeCase kCases[] = {
    {"LinearSegmentsNoteOffInsideARun", -0.01f, -0.05f, 0.6f, -0.03f, 0.0f, 0.0f, 44100, 0, 4000, 7000},
    {"ExponentialSegments", 0.01f, 0.05f, 0.6f, 0.03f, 0.0f, 0.0f, 44100, 0, 4000, 7000},
    {"DelayAndHold", 0.004f, -0.02f, 0.3f, 0.02f, 0.007f, 0.005f, 44100, 0, 3000, 6000},
    {"MillisecondSegmentsCrossInsideEveryRun", 0.001f, -0.001f, 0.5f, 0.001f, 0.001f, 0.001f, 44100, 0, 500, 800},
    {"StepsLongerThanASegment", 0.001f, 0.002f, 0.5f, -0.004f, 0.003f, 0.001f, 200, 0, 9, 40},
    {"NoteOffDuringTheAttack", 0.05f, 0.05f, 0.8f, 0.01f, 0.0f, 0.0f, 44100, 0, 700, 3000},
    {"NoteOffDuringTheDelay", 0.05f, 0.05f, 0.8f, -0.01f, 0.02f, 0.0f, 44100, 0, 300, 2000},
    {"StartInsideTheFirstRun", -0.01f, 0.03f, 0.5f, 0.02f, 0.001f, 0.0f, 44100, 100, 3000, 5000},
    {"NoteOffAtTheStart", 0.01f, 0.03f, 0.5f, 0.02f, 0.0f, 0.0f, 44100, 40, 40, 2000},
    {"LegatoRestartInsideTheAttack", 0.02f, -0.03f, 0.5f, 0.02f, 0.0f, 0.0f, 44100, 130, 3000, 5000, 0.4f, 4.0},
    {"LegatoRestartAtFullLevel", -0.02f, 0.03f, 0.2f, -0.02f, 0.01f, 0.002f, 44100, 70, 3000, 5000, 1.0f, 4.0},
    {"RestartFromTheTail", 0.02f, 0.03f, 0.5f, 0.02f, 0.0f, 0.0f, 44100, 10, 3000, 5000, 0.001f, 6.5},
    {"LongTail", -0.001f, -0.001f, 1.0f, -0.001f, 0.0f, 0.0f, 44100, 0, 100, 3000},
};

// Renders the case in runs of `runLength` and one sample at a time; every run must match.
void expectSameAsSingleSamples(const EnvelopeCase& c, int runLength) {
    env::EnvelopeTiming timing;
    timing.sampleRate = c.sampleRate;
    timing.startTime = c.startTime;
    timing.releaseTime = c.releaseTime;
    timing.blockStart = 0;
    const env::Env1Segments k = env::env1Segments(c.attack, c.decay, c.sustain, c.release, c.delay, c.hold, timing);
    env::EnvelopeState single;
    single.level = single.saved = c.level;
    single.stage = c.stage;
    env::EnvelopeState run = single;
    std::vector<Stereo> out(static_cast<std::size_t>(runLength));
    std::vector<float> lowest(static_cast<std::size_t>(runLength));
    for (int t0 = 0; t0 < c.total; t0 += runLength) {
        const int n = std::min(runLength, c.total - t0);
        for (int i = 0; i < n; ++i) lowest[static_cast<std::size_t>(i)] = (i % 3 == 0) ? 5.0f : 0.5f;
        timing.t = t0;
        env::runDelayedEnvelopeRun(run, k.envelope, k.release, timing, out.data(), lowest.data(), n);
        for (int i = 0; i < n; ++i) {
            timing.t = t0 + i;
            const float level = env::runDelayedEnvelope(single, k.envelope, k.release, timing);
            const float stage = std::min((i % 3 == 0) ? 5.0f : 0.5f, static_cast<float>(single.stage));
            const auto at = static_cast<std::size_t>(i);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out[at].l), std::bit_cast<std::uint32_t>(level))
                << c.name << " run " << runLength << " sample " << t0 + i;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out[at].r), std::bit_cast<std::uint32_t>(level));
            ASSERT_EQ(std::bit_cast<std::uint32_t>(lowest[at]), std::bit_cast<std::uint32_t>(stage))
                << c.name << " run " << runLength << " sample " << t0 + i;
        }
        ASSERT_EQ(std::bit_cast<std::uint64_t>(run.stage), std::bit_cast<std::uint64_t>(single.stage))
            << c.name << " after the run at " << t0;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(run.level), std::bit_cast<std::uint32_t>(single.level));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(run.saved), std::bit_cast<std::uint32_t>(single.saved));
    }
}

class DelayedEnvelopeRun : public ::testing::TestWithParam<EnvelopeCase> {};

TEST_P(DelayedEnvelopeRun, EqualsTheSingleSampleForm) {
    for (const int runLength : {256, 61, 1}) expectSameAsSingleSamples(GetParam(), runLength);
}

INSTANTIATE_TEST_SUITE_P(Cases, DelayedEnvelopeRun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<EnvelopeCase>& info) { return std::string(info.param.name); });

// A release that moves (it may follow DURATION) holds for the first samples of a run only: the
// run stops before the first later sample that would read it, and a caller that takes the
// release of that sample and goes on renders what the single-sample form renders with the
// release of each sample.
TEST_P(DelayedEnvelopeRun, StopsWhereAMovingReleaseWouldBeRead) {
    const EnvelopeCase& c = GetParam();
    env::EnvelopeTiming timing;
    timing.sampleRate = c.sampleRate;
    timing.startTime = c.startTime;
    timing.releaseTime = c.releaseTime;
    // The release time of sample t: a new value every sample while held, one value after the
    // note-off (as a release computed from DURATION has).
    const auto releaseAt = [&c](std::int64_t t) {
        const float seconds = 0.01f + 1e-5f * static_cast<float>(std::min(t, c.releaseTime));
        return c.release < 0.0f ? -seconds : seconds;
    };
    const auto segmentsAt = [&](std::int64_t t) {
        return env::env1Segments(c.attack, c.decay, c.sustain, releaseAt(t), c.delay, c.hold, timing);
    };
    env::EnvelopeState single;
    single.level = single.saved = c.level;
    single.stage = c.stage;
    env::EnvelopeState run = single;
    std::vector<Stereo> out(256);
    std::vector<float> lowest(256);
    int calls = 0;
    for (int t0 = 0; t0 < c.total; t0 += 256) {
        const int n = std::min(256, c.total - t0);
        std::fill(lowest.begin(), lowest.end(), 5.0f);
        for (int i = 0; i < n;) {
            int holds = i + 1;
            while (holds < n && releaseAt(t0 + holds) == releaseAt(t0 + i)) ++holds;
            timing.t = t0 + i;
            const env::Env1Segments k = segmentsAt(t0 + i);
            const int done = env::runDelayedEnvelopeRun(run, k.envelope, k.release, timing, out.data() + i,
                                                        lowest.data() + i, n - i, holds - i);
            ASSERT_GE(done, 1);
            ASSERT_LE(done, n - i);
            if (i + done < n) {
                // It stopped before a sample that reads the release, after the release changed.
                timing.t = t0 + i + done;
                EXPECT_GE(i + done, holds);
                EXPECT_TRUE(env::mayReadRelease(run, timing)) << c.name << " sample " << timing.t;
            }
            i += done;
            ++calls;
        }
        for (int i = 0; i < n; ++i) {
            timing.t = t0 + i;
            const env::Env1Segments k = segmentsAt(t0 + i);
            const float level = env::runDelayedEnvelope(single, k.envelope, k.release, timing);
            const auto at = static_cast<std::size_t>(i);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out[at].l), std::bit_cast<std::uint32_t>(level))
                << c.name << " sample " << t0 + i;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(lowest[at]),
                      std::bit_cast<std::uint32_t>(std::min(5.0f, static_cast<float>(single.stage))));
        }
        ASSERT_EQ(std::bit_cast<std::uint64_t>(run.stage), std::bit_cast<std::uint64_t>(single.stage));
    }
    // While the note is held the release is not read: the runs are not cut sample by sample.
    EXPECT_LT(calls, c.total / 4) << c.name;
}

TEST(DelayedEnvelopeRunCoverage, TheCasesVisitEverySegment) {
    // Guards the table above: a change of the stage numbering would leave segments unvisited
    // and the comparison above proving nothing about them.
    bool visited[7] = {};
    for (const EnvelopeCase& c : kCases) {
        env::EnvelopeTiming timing;
        timing.sampleRate = c.sampleRate;
        timing.startTime = c.startTime;
        timing.releaseTime = c.releaseTime;
        const env::Env1Segments k = env::env1Segments(c.attack, c.decay, c.sustain, c.release, c.delay, c.hold, timing);
        env::EnvelopeState state;
        state.level = c.level;
        state.stage = c.stage;
        for (int t = 0; t < c.total; ++t) {
            timing.t = t;
            env::runDelayedEnvelope(state, k.envelope, k.release, timing);
            if (t > c.startTime) visited[std::min(6, static_cast<int>(state.stage))] = true;
        }
    }
    for (int s = 0; s < 7; ++s) EXPECT_TRUE(visited[s]) << "segment " << s;
}

}  // namespace
}  // namespace tess
