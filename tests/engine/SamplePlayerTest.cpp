#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/oscillators/SamplePlayer.h"
#include "engine/oscillators/WaveOscillators.h"

namespace tess {
namespace {

using osc::OscillatorContext;
using osc::OscillatorState;

// A mono slot whose frame i holds i, read one frame per sample at 440 Hz; markers as given.
class Player : public ::testing::Test {
protected:
    void SetUp() override {
        kernel.build(256, 0, 6, 15.0);  // no interpolation: every read names a whole frame
        context.bank = bank.get();
        context.kernel = &kernel;
        context.noise = &noise;
        context.controllers = &controllers;
        context.sampleRate = 44100.0f;
        context.releaseTime = 1LL << 40;
        context.lowestStage = &lowest;
    }

    SampleSlot& makeSlot(int number, int frames, std::uint8_t flags, int loopStart, int loopEnd, int looped,
                         int releaseStart = 0, int releaseFade = 5) {
        SampleSlot& s = (*bank)[number];
        s.kind = SampleSlot::kSampled;
        s.frames = frames;
        s.left.resize(static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i) s.left[static_cast<std::size_t>(i)] = static_cast<float>(i);
        s.fileRate = 44100.0f;
        s.centreNote = 69.0f;
        s.loopFlags = flags;
        s.looped = looped;
        s.markers = {frames - 1, loopStart, loopEnd, loopEnd - loopStart, releaseStart};
        s.crossfades = {5, 5, releaseFade};
        return s;
    }

    // Plays `count` samples of slot `number` from t = 0; gains[i] (when given) is sample i's gain.
    std::vector<float> play(int number, int count, std::int64_t releaseAt = -1, const std::vector<float>& gains = {}) {
        std::vector<float> out;
        state = OscillatorState{};
        for (int i = 0; i < count; ++i) {
            context.t = i;
            context.releaseTime = releaseAt >= 0 ? releaseAt : (1LL << 40);
            osc::PlayInput in;
            in.frequency = both(440.0f);
            in.gain = both(i < static_cast<int>(gains.size()) ? gains[static_cast<std::size_t>(i)] : 1.0f);
            out.push_back(osc::playSlot(state, context, static_cast<float>(number), in).l);
        }
        return out;
    }

    std::unique_ptr<SampleBank> bank = std::make_unique<SampleBank>();
    InterpolationKernel kernel;
    Noise noise;
    ControllerSpace controllers;
    OscillatorContext context;
    OscillatorState state;
    float lowest = 5.0f;
};

std::vector<float> run(int from, int to) {
    std::vector<float> v;
    for (int i = from; i <= to; ++i) v.push_back(static_cast<float>(i));
    return v;
}
std::vector<float> join(std::initializer_list<std::vector<float>> parts) {
    std::vector<float> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

TEST_F(Player, CentreNoteAtTheFileRateReadsEveryFrameOnce) {
    makeSlot(0, 50000, 0, 5, 49995, 1);
    const std::vector<float> out = play(0, 50000);
    for (int i = 0; i < 50000; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], static_cast<float>(i)) << i;
    // An octave up reads every second frame; a file at half the rate an octave up reads each once.
    (*bank)[0].centreNote = 57.0f;
    EXPECT_EQ(play(0, 4), (std::vector<float>{0, 2, 4, 6}));
    (*bank)[0].fileRate = 22050.0f;
    EXPECT_EQ(play(0, 4), (std::vector<float>{0, 1, 2, 3}));
}

TEST_F(Player, LoopCountsAndTheRestOfTheSample) {
    makeSlot(1, 60, SampleSlot::kLoops, 20, 30, 3);
    makeSlot(2, 60, SampleSlot::kLoops, 20, 30, 0);
    makeSlot(3, 60, 0, 20, 30, 1);
    const struct {
        int slot;
        std::int64_t release;
        std::vector<float> expected;
    } cases[] = {
        // Three passes of 20..29 while held, then on to the end, then silence.
        {1, -1, join({run(0, 29), run(20, 29), run(20, 59), std::vector<float>(5, 0.0f)})},
        // Without a limit the loop goes on, also after the note-off.
        {2, 45, join({run(0, 29), run(20, 29), run(20, 29), run(20, 29), run(20, 29), run(20, 29)})},
        // A note-off ends a counted loop where it stands.
        {1, 35, join({run(0, 29), run(20, 59)})},
        {3, -1, join({run(0, 59), std::vector<float>(5, 0.0f)})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(play(c.slot, static_cast<int>(c.expected.size()), c.release), c.expected) << c.slot;
}

TEST_F(Player, SilentGainRestartsFromTheFirstFrame) {
    makeSlot(0, 100, 0, 5, 95, 1);
    const std::vector<float> gains{1, 1, 1, 1, 0, 0, 1, 1, 1, 0, 1, 1};
    EXPECT_EQ(play(0, 12, -1, gains), (std::vector<float>{0, 1, 2, 3, 0, 0, 0, 1, 2, 0, 0, 1}));
    // A looped slot that used up its passes loops again after the restart.
    makeSlot(1, 40, SampleSlot::kLoops, 10, 12, 2);
    std::vector<float> g(30, 1.0f);
    g[16] = 0.0f;
    const std::vector<float> out = play(1, 30, -1, g);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 16),
              join({run(0, 11), run(10, 13)}));  // two passes, then on
    EXPECT_EQ(std::vector<float>(out.begin() + 17, out.end()), join({run(0, 11), run(10, 10)}));
}

TEST_F(Player, ReleaseJumpFadesInAfterTheNoteOff) {
    // Release part from frame 80, faded in over 9 + 1 samples after a note-off at t = 30.
    makeSlot(0, 200, SampleSlot::kHasRelease, 5, 195, 1, 80, 9);
    const std::vector<float> out = play(0, 60, 30);
    for (int t = 0; t < 30; ++t) EXPECT_EQ(out[static_cast<std::size_t>(t)], static_cast<float>(t));
    for (int t = 30; t < 60; ++t) {
        const float w = std::sqrt(std::min(1.0f, static_cast<float>(t - 30) / 10.0f));
        const float expected = (1.0f - w) * static_cast<float>(t) + w * static_cast<float>(80 + t - 30);
        EXPECT_NEAR(out[static_cast<std::size_t>(t)], expected, 1e-3f) << t;
    }
    EXPECT_EQ(out[45], 95.0f);  // fully on the release part
    // Held past the release start: no jump.
    const std::vector<float> late = play(0, 120, 100);
    for (int t = 0; t < 120; ++t) ASSERT_EQ(late[static_cast<std::size_t>(t)], static_cast<float>(t));
    // Looped with a release part: the note-off leaves the loop for the release.
    makeSlot(1, 200, SampleSlot::kLoops | SampleSlot::kHasRelease, 10, 20, 0, 150, 0);
    const std::vector<float> looped = play(1, 50, 40);
    EXPECT_EQ(std::vector<float>(looped.begin(), looped.begin() + 40), join({run(0, 19), run(10, 19), run(10, 19)}));
    EXPECT_EQ(std::vector<float>(looped.begin() + 41, looped.end()), run(151, 159));
}

// A SAMPLE line may give negative crossfade lengths: they play as no crossfade, not as the
// root of a negative weight (NaN at the loop end, after the note-off).
TEST_F(Player, NegativeCrossfadesPlayAsNone) {
    auto loopAndRelease = [&](int crossfade) {
        SampleSlot& s = makeSlot(2, 200, SampleSlot::kHasRelease, 5, 195, 1, 80, crossfade);
        s.crossfades[0] = crossfade;
        std::vector<float> out = play(2, 60, 30);  // the release part after a note-off
        state = OscillatorState{};
        for (int t = 0; t < 120; ++t) {  // OSCSAM looping 20..40 from frame 10
            context.t = t;
            context.releaseTime = 1LL << 40;
            const osc::FrameRange range{10, 150, 20, 40, 0};
            out.push_back(osc::playFrames(state, context, 2, range, both(1.0f), both(440.0f), both(0.0f)).l);
        }
        return out;
    };
    const std::vector<float> none = loopAndRelease(0);
    for (int crossfade : {-1, -2, -50, std::numeric_limits<int>::min()}) {
        const std::vector<float> out = loopAndRelease(crossfade);
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_TRUE(std::isfinite(out[i])) << crossfade << " at " << i;
            ASSERT_EQ(out[i], none[i]) << crossfade << " at " << i;
        }
    }
}

TEST_F(Player, NoteIsKeptAliveOnlyWhileHeld) {
    makeSlot(0, 100, 0, 5, 95, 1);
    lowest = 5.0f;
    play(0, 3);
    EXPECT_EQ(lowest, 0.0f);
    lowest = 5.0f;
    play(0, 3, 0);
    EXPECT_EQ(lowest, 5.0f);
}

TEST_F(Player, SlotNumbersAndTheirEncodings) {
    makeSlot(5, 10, 0, 1, 9, 1);
    makeSlot(205, 10, 0, 1, 9, 1);
    makeSlot(210, 10, 0, 1, 9, 1);
    controllers.writeMidi(7, 5.4f, 0);
    controllers.setKeyswitch(3, 205);
    controllers.setVstVar(2, 4.6f);
    context.sampleOffset = 5;
    const struct {
        float argument;
        int slot;
    } cases[] = {
        {5.0f, 5},      {5.9f, 5},     {200.0f, 205},  {205.0f, 210}, {-7.0f, 5},    {-403.0f, 210},
        {-602.0f, 5},   {-300.0f, -1}, {6.0f, -1},     {8192.0f, -1}, {-800.0f, -1}, {NAN, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(osc::resolveSlot(c.argument, context), c.slot) << c.argument;
    (*bank)[5].kind = 7;  // neither sampled nor additive
    EXPECT_EQ(osc::resolveSlot(5.0f, context), -1);
    context.bank = nullptr;
    EXPECT_EQ(osc::resolveSlot(205.0f, context), -1);
}

TEST_F(Player, OscsamLoopCrossfadeKeepsTheSignalContinuous) {
    // A sine through 0 at the loop end (frame 2000) and at its peak at the loop start (1000):
    // the loop is 9.75 cycles, so a plain wrap jumps by the whole amplitude.
    SampleSlot& s = makeSlot(4, 4000, 0, 0, 0, 1);
    for (int i = 0; i < 4000; ++i)
        s.left[static_cast<std::size_t>(i)] = std::sin(6.2831853f * static_cast<float>(i - 2000) * 9.75f / 1000.0f);
    s.crossfades[0] = 400;
    kernel.buildDefault();
    float signalStep = 0.0f;
    for (int i = 1; i < 4000; ++i)
        signalStep = std::max(signalStep, std::fabs(s.left[static_cast<std::size_t>(i)] - s.left[static_cast<std::size_t>(i - 1)]));
    for (float mode : {0.0f, 3.0f}) {
        state = OscillatorState{};
        std::vector<float> out;
        for (int t = 0; t < 5000; ++t) {
            context.t = t;
            const osc::FrameRange range{100, 3000, 1000, 2000, mode};
            out.push_back(osc::playFrames(state, context, 4, range, both(1.0f), both(440.0f), both(0.0f)).l);
        }
        // Across the wrap (1900 samples in) no step exceeds the signal's own by more than the
        // slope of the fade.
        float atWrap = 0.0f;
        for (std::size_t i = 1880; i < 1920; ++i) atWrap = std::max(atWrap, std::fabs(out[i] - out[i - 1]));
        EXPECT_LE(atWrap, signalStep * 1.15f) << mode;
        // Elsewhere (up to the end of the material, where playback stops) only the onset of the
        // equal-power fade adds its first gain step, 1 / sqrt(crossfade + 1).
        float step = 0.0f;
        for (std::size_t i = 1; i < 4800; ++i) step = std::max(step, std::fabs(out[i] - out[i - 1]));
        EXPECT_LE(step, signalStep + 1.0f / std::sqrt(401.0f)) << mode;
        // Where the loop wraps (1900 samples in), the output continues from the loop start.
        EXPECT_NEAR(out[1900], s.left[1000], 0.02f) << mode;
    }
    // Without the crossfade the wrap is a step of nearly the full amplitude.
    state = OscillatorState{};
    float step = 0.0f, previous = 0.0f;
    for (int t = 0; t < 2500; ++t) {
        context.t = t;
        const osc::FrameRange range{100, 3000, 1000, 2000, 0};
        s.crossfades[0] = 0;
        const float v = osc::playFrames(state, context, 4, range, both(1.0f), both(440.0f), both(0.0f)).l;
        if (t > 0) step = std::max(step, std::fabs(v - previous));
        previous = v;
    }
    EXPECT_GT(step, 0.9f);
}

TEST_F(Player, OscsamPassesAndTheNoteOff) {
    makeSlot(6, 100, 0, 0, 0, 1);
    (*bank)[6].crossfades[0] = 0;
    auto frames = [&](float mode, std::int64_t release, int count) {
        state = OscillatorState{};
        std::vector<float> out;
        for (int t = 0; t < count; ++t) {
            context.t = t;
            context.releaseTime = release >= 0 ? release : (1LL << 40);
            const osc::FrameRange range{10, 60, 20, 30, mode};
            out.push_back(osc::playFrames(state, context, 6, range, both(1.0f), both(440.0f), both(0.0f)).l);
        }
        return out;
    };
    const struct {
        float mode;
        std::int64_t release;
        std::vector<float> expected;
    } cases[] = {
        {1, -1, join({run(10, 60), std::vector<float>(5, 0.0f)})},        // once to the end
        {2, -1, join({run(10, 29), run(20, 60), std::vector<float>(3, 0.0f)})},  // two passes
        {0, 15, join({run(10, 29), run(20, 29), run(20, 29), run(20, 29)})},    // forever
        // The note-off at t = 35 (frame 25 of the third pass) leaves the loop where it stands.
        {5, 35, join({run(10, 29), run(20, 29), run(20, 45)})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(frames(c.mode, c.release, static_cast<int>(c.expected.size())), c.expected) << c.mode;
}

TEST_F(Player, FramePlayersReadWhereTheyAreTold) {
    makeSlot(8, 1000, 0, 0, 0, 1);
    // WAVETABLE: position in seconds at the output rate.
    context.t = 0;
    state = OscillatorState{};
    EXPECT_EQ(osc::wavetable(state, context, 8, {100.0f / 44100.0f, 5.0f / 44100.0f}), (Stereo{100.0f, 5.0f}));
    EXPECT_EQ(osc::wavetable(state, context, 8, both(2000.0f / 44100.0f)), Stereo{});
    // GRAINSYNTH: grain 2 of period 10 (frames 20..29) over and over, 3-frame fades, the grain
    // argument taken at each grain boundary.
    state = OscillatorState{};
    std::vector<float> grains, envelope;
    for (int t = 0; t < 20; ++t) {
        context.t = t;
        const float g = t < 5 ? 2.0f : 4.0f;
        grains.push_back(osc::grainSynth(state, context, 8, both(10.0f), both(3.0f), both(g)).l);
    }
    const float base[20] = {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49};
    const float fade[10] = {1.0f / 3, 2.0f / 3, 1, 1, 1, 1, 1, 1, 1, 2.0f / 3};
    for (int t = 0; t < 20; ++t) EXPECT_NEAR(grains[static_cast<std::size_t>(t)], base[t] * fade[t % 10], 1e-4f) << t;
    // WAVESCAN: window 3 of 50 frames, read at 44100 / 50 passes per second (one frame per
    // sample) from offset 45: it wraps after 5 frames and takes the next window.
    state = OscillatorState{};
    std::vector<float> scan;
    for (int t = 0; t < 8; ++t) {
        context.t = t;
        scan.push_back(osc::waveScan(state, context, 8, both(50.0f), both(t < 3 ? 3.0f : 1.0f), both(882.0f),
                                     both(45.0f)).l);
    }
    EXPECT_EQ(scan, (std::vector<float>{195, 196, 197, 198, 199, 50, 51, 52}));
}

TEST_F(Player, EachChannelReadsItsOwnDataAtItsOwnPosition) {
    makeSlot(9, 400, 0, 0, 0, 1);
    SampleSlot& stereo = makeSlot(10, 400, 0, 0, 0, 1);
    stereo.channels = 2;
    stereo.right.resize(400);
    for (int i = 0; i < 400; ++i) stereo.right[static_cast<std::size_t>(i)] = 1000.0f + static_cast<float>(i);
    auto render = [&](int slot, Stereo gain, Stereo frequency) {
        state = OscillatorState{};
        std::vector<Stereo> out;
        for (int t = 0; t < 60; ++t) {
            context.t = t;
            out.push_back(osc::playFrames(state, context, static_cast<float>(slot), osc::FrameRange{0, 399, 0, 0, 1},
                                          gain, frequency, both(0.0f)));
        }
        return out;
    };
    auto channel = [](const std::vector<Stereo>& v, bool right) {
        std::vector<float> out;
        for (const Stereo& s : v) out.push_back(right ? s.r : s.l);
        return out;
    };
    const std::vector<float> at440 = channel(render(9, both(1.0f), both(440.0f)), false);
    const std::vector<float> at880 = channel(render(9, both(1.0f), both(880.0f)), false);
    const std::vector<float> at330 = channel(render(9, both(1.0f), both(330.0f)), false);
    ASSERT_NE(at440, at880);
    std::vector<float> half440;
    for (float v : at440) half440.push_back(v * 0.5f);
    std::vector<float> right440;
    for (float v : at440) right440.push_back(1000.0f + v);
    const struct {
        const char* name;
        int slot;
        Stereo gain, frequency;
        std::vector<float> left, right;
    } cases[] = {
        {"mono, one position, own gains", 9, {1.0f, 0.5f}, both(440.0f), at440, half440},
        {"mono, right twice as fast", 9, both(1.0f), {440.0f, 880.0f}, at440, at880},
        {"mono, left slower", 9, both(1.0f), {330.0f, 440.0f}, at330, at440},
        {"stereo, one position", 10, both(1.0f), both(440.0f), at440, right440},
    };
    for (const auto& c : cases) {
        const std::vector<Stereo> out = render(c.slot, c.gain, c.frequency);
        EXPECT_EQ(channel(out, false), c.left) << c.name;
        EXPECT_EQ(channel(out, true), c.right) << c.name;
    }
}

TEST_F(Player, OscsynWaveAndSongLock) {
    context.sampleRate = 1000.0f;
    state = OscillatorState{};
    context.t = 0;
    std::vector<float> out;
    for (int t = 0; t < 4; ++t) {
        context.t = t;
        out.push_back(osc::oscSyn(state, context, both(2.0f), both(1.0f), both(0.0f), both(0.5f), both(250.0f),
                                  both(0.0f)).l);
    }
    // A saw from phase 0 in quarter turns: 0, pi/2, -pi (wrapped), -pi/2, times the gain.
    EXPECT_NEAR(out[0], 0.0f, 1e-6f);
    EXPECT_NEAR(out[1], 0.25f, 1e-6f);
    EXPECT_NEAR(std::fabs(out[2]), 0.5f, 1e-6f);
    EXPECT_NEAR(out[3], -0.25f, 1e-6f);
    // Locked to the song clock: a voice starting 1.25 cycles into the song starts a quarter turn in.
    state = OscillatorState{};
    context.songAtStart = 5;
    context.t = 0;
    const float locked = osc::oscSyn(state, context, both(0.0f), both(1.0f), both(1.0f), both(1.0f), both(250.0f),
                                     both(0.0f)).l;
    EXPECT_NEAR(locked, 1.0f, 1e-5f);
    context.retriggerMode = 1;  // a retriggered voice keeps its own phase
    state = OscillatorState{};
    EXPECT_NEAR(osc::oscSyn(state, context, both(0.0f), both(1.0f), both(1.0f), both(1.0f), both(250.0f), both(0.0f)).l,
                0.0f, 1e-6f);
}

}  // namespace
}  // namespace tess
