#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <memory>

#include "controllers/ControllerSpace.h"

namespace tess {
namespace {

constexpr float kTake = 0.0010001f;  // first smoothing step from a zero memory: v * kTake

std::unique_ptr<ControllerSpace> makeSpace() {
    return std::make_unique<ControllerSpace>();
}

// --- sample-accurate writes -------------------------------------------------------------------

TEST(ControllerSpace, ChangeInsideBlockTakesEffectAtItsSample) {
    auto cs = makeSpace();
    cs->writeMidi(7, 20.0f, 0);
    const std::int64_t blockStart = 6400;
    cs->writeMidi(7, 100.0f, blockStart + 10);
    cs->writeMidi(mcc::kProgram, 9.0f, blockStart + 10);
    for (int s = 0; s < 64; ++s) {
        const std::int64_t t = blockStart + s;
        const float expected = s < 10 ? 20.0f : 100.0f;
        EXPECT_EQ(cs->mccReadDirect(7, t), expected * 0.0078125f) << "sample " << s;
        EXPECT_EQ(cs->mccRead(mcc::kProgram, t), s < 10 ? 0.0f : 9.0f) << "sample " << s;
    }
    for (int s = 0; s < 64; ++s)
        EXPECT_EQ(cs->mccReadDirect(7, blockStart + 64 + s), 100.0f * 0.0078125f);
}

TEST(ControllerSpace, SecondChangeInBlockHidesTheValueBeforeTheFirst) {
    auto cs = makeSpace();
    cs->writeMidi(mcc::kProgram, 5.0f, 0);
    cs->writeMidi(mcc::kProgram, 30.0f, 1010);
    cs->writeMidi(mcc::kProgram, 90.0f, 1020);
    for (int s = 0; s < 64; ++s)
        EXPECT_EQ(cs->mccRead(mcc::kProgram, 1000 + s), s < 20 ? 30.0f : 90.0f) << s;
}

TEST(ControllerSpace, OnlyMidiDrivenNumbersTakeTheWriteRule) {
    struct Case {
        int number;
        bool accepted;
    };
    const Case cases[] = {{0, true},    {127, true},  {128, false}, {132, false},
                          {133, true},  {134, true},  {135, true},  {136, false},
                          {199, false}, {200, true},  {327, true},  {328, false},
                          {400, false}, {600, false}, {-1, false},  {1000, false}};
    for (const Case& c : cases) {
        auto cs = makeSpace();
        EXPECT_EQ(cs->writeMidi(c.number, 50.0f, 0), c.accepted) << c.number;
        EXPECT_EQ(cs->current(c.number), c.accepted ? 50.0f : 0.0f) << c.number;
    }
}

// --- the reader table -------------------------------------------------------------------------

// One space with a value in every range; each reader gets its own copy, so every row sees
// fresh smoothing memories and a smoothed value reads v * 0.0010001 on its first step.
ControllerSpace preparedSpace() {
    ControllerSpace c;
    c.writeMidi(10, 64.0f, 0);
    c.setBuiltin(mcc::kKey, 60.0f);
    c.setBuiltin(mcc::kOffVelocity, 32.0f);
    c.writeMidi(mcc::kAftertouch, 32.0f, 0);
    c.writeMidi(mcc::kProgram, 5.0f, 0);
    c.writeMidi(mcc::kPitchBend, -0.5f, 0);
    c.setBuiltin(mcc::kBpm, 120.0f);
    c.setBuiltin(mcc::kTime, 2.5f);
    c.setBuiltin(153, 9.0f);  // not an engine value: ignored
    c.writeMidi(260, 64.0f, 0);
    c.setKeyswitch(36, 3);
    c.setKeyswitch(128, 9);  // not a key: ignored
    for (int i = 0; i < 4; ++i) {
        c.setVstVar(4 + i, 0.75f);
        c.setVstVarScaleType(4 + i, static_cast<std::int16_t>(i));
    }
    c.writeMidi(64, 64.0f, 0);
    c.writeMidi(65, 65.0f, 0);
    c.writeMidi(66, 127.0f, 0);
    c.writeMidi(66, 0.0f, 1 << 30);  // switch tests see the current value before its time
    c.setKeyswitch(11, 1);
    c.setKeyswitch(12, -1);
    c.setVstVar(10, 0.5f);
    c.setVstVar(11, 0.49f);
    return c;
}

TEST(ControllerSpace, FirstReadOfEveryRange) {
    const float k = kTake;
    const struct {
        const char* what;
        int number;
        float read, scaled, direct;
    } cases[] = {
        {"CC", 10, 64.0f * k, 0.5f * k, 0.5f},
        {"KEY", mcc::kKey, 60.0f, 0.46875f, 0.46875f},
        {"OFFVEL", mcc::kOffVelocity, 32.0f, 0.25f, 0.25f},
        {"POLYAFT unredirected", mcc::kPolyAftertouch, 0.0f, 0.0f, 0.0f},
        {"AFTERTOUCH", mcc::kAftertouch, 32.0f * k, 0.25f * k, 0.25f},
        {"PROGRAM", mcc::kProgram, 5.0f, 0.0390625f, 0.0390625f},
        {"PBEND", mcc::kPitchBend, -0.5f * k, -0.5f * k, -0.5f},
        {"BPM", mcc::kBpm, 120.0f, 120.0f, 0.9375f},
        {"TIME", mcc::kTime, 2.5f, 2.5f, 0.01953125f},
        {"unassigned 153", 153, 0.0f, 0.0f, 0.0f},
        {"poly aftertouch key 60", 260, 64.0f * k, 0.5f * k, 0.5f},
        {"keyswitch", 436, 3.0f, 3.0f, 3.0f},
        {"after the last keyswitch", 528, 0.0f, 0.0f, 0.0f},
        {"VSTVAR type 0", 604, 0.75f * k, 0.75f * k, 0.75f},
        {"VSTVAR type 1", 605, 0.75f * k, 0.75f * k, 0.75f},
        {"VSTVAR type 2", 606, 0.75f, 0.75f, 0.75f},
        {"VSTVAR type 3", 607, 0.75f, 0.75f, 0.75f},
        {"unassigned 350", 350, 0.0f, 0.0f, 0.0f},
        {"unassigned 999", 999, 0.0f, 0.0f, 0.0f},
        {"none (-1)", -1, 0.0f, 1.0f, 0.0f},
        {"very negative", -123456, 0.0f, 1.0f, 0.0f},
        {"trigger 1000", 1000, 0.0f, 0.0f, 0.0f},
        {"huge", 1 << 30, 0.0f, 0.0f, 0.0f},
    };
    const ControllerSpace prepared = preparedSpace();
    for (const auto& c : cases) {
        auto read = std::make_unique<ControllerSpace>(prepared);
        auto scaled = std::make_unique<ControllerSpace>(prepared);
        EXPECT_FLOAT_EQ(read->mccRead(c.number, 100), c.read) << c.what;
        EXPECT_FLOAT_EQ(scaled->mccReadScaled(c.number, 100), c.scaled) << c.what;
        EXPECT_FLOAT_EQ(prepared.mccReadDirect(c.number, 100), c.direct) << c.what;
    }
}

TEST(ControllerSpace, ScaledReaderSettlesSlightlyAboveTheValueAndNeverOnOne) {
    auto cs = makeSpace();
    cs->writeMidi(7, 127.0f, 0);
    const float target = 127.0f / 128.0f;
    float v = 0.0f;
    for (int i = 0; i < 1000; ++i) v = cs->mccReadScaled(7, i);
    // One step per read: 1000 reads cover one time constant.
    EXPECT_NEAR(v, target * 1.0001f * (1.0f - 0.36769542f), 2e-4f);
    for (int i = 1000; i < 40000; ++i) v = cs->mccReadScaled(7, i);
    EXPECT_NEAR(v, target * 1.0001f, 2e-5f);
    EXPECT_GT(v, target);
    EXPECT_NE(v, 1.0f);

    auto full = makeSpace();
    full->writeMidi(7, 128.0f, 0);
    for (int i = 0; i < 40000; ++i) v = full->mccReadScaled(7, i);
    // In float32 the step stalls once its increment drops below half a unit in the last place;
    // just above 1.0 that happens near 1.00003.
    EXPECT_GT(v, 1.00002f);
    EXPECT_LT(v, 1.0001001f);
}

TEST(ControllerSpace, EachSmoothingReaderKeepsItsOwnMemory) {
    auto cs = makeSpace();
    cs->writeMidi(7, 64.0f, 0);
    for (int i = 0; i < 500; ++i) cs->mccRead(7, i);
    EXPECT_FLOAT_EQ(cs->mccReadScaled(7, 500), 0.5f * kTake);
    const float afterTwo = cs->mccReadScaled(7, 500);
    EXPECT_FLOAT_EQ(afterTwo, 0.5f * kTake * 0.999f + 0.5f * kTake);
}

TEST(ControllerSpace, SwitchTests) {
    const struct {
        const char* what;
        int number;
        int on, strict;
    } cases[] = {
        {"CC at 64 is off", 64, 0, 0},
        {"CC at 65 is on", 65, 1, 1},
        {"current value, even before its switch time", 66, 0, 0},
        {"engine value", mcc::kKey, 0, 0},
        {"keyswitch 0", 410, 0, 0},
        {"keyswitch 1", 411, 1, 1},
        {"keyswitch -1", 412, 0, 0},
        {"VSTVAR at 0.5 is on", 610, 1, 1},
        {"VSTVAR below 0.5", 611, 0, 0},
        {"none (-1)", -1, 1, 0},
        {"poly aftertouch number", 260, 1, 0},
        {"unassigned 999", 999, 1, 0},
        {"trigger 1000", 1000, 0, 0},
    };
    const ControllerSpace prepared = preparedSpace();
    for (const auto& c : cases) {
        EXPECT_EQ(prepared.mccIsOn(c.number), c.on) << c.what;
        EXPECT_EQ(prepared.mccIsOnStrict(c.number), c.strict) << c.what;
    }
}

TEST(ControllerSpace, PitchBendValue) {
    const struct {
        int lsb, msb;
        float value;
    } cases[] = {{0, 64, 0.0f},  {0, 0, -1.0f},    {127, 127, 1.0f}, {0, 96, 0.5f},
                 {0, 32, -0.5f}, {500, 500, 1.0f}, {-3, -3, -1.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(ControllerSpace::pitchBendValue(c.lsb, c.msb), c.value) << c.lsb << "/" << c.msb;
    EXPECT_EQ(ControllerSpace::pitchBendValue(127, 63), 0.0f);  // lsb 127 reaches the next msb
}

TEST(ControllerSpace, LoadResetClearsControllersButKeepsStatesAndSmoothing) {
    auto cs = makeSpace();
    cs->writeMidi(7, 127.0f, 50);
    cs->writeMidi(7, 100.0f, 60);
    cs->writeMidi(260, 90.0f, 60);
    cs->setBuiltin(mcc::kBpm, 140.0f);
    cs->setKeyswitch(4, 2);
    cs->setVstVar(1, 0.25f);
    float settled = 0.0f;
    for (int i = 0; i < 20000; ++i) settled = cs->mccRead(7, 100);

    cs->resetForLoad();
    for (int n : {7, 260, mcc::kBpm}) {
        EXPECT_EQ(cs->current(n), 0.0f) << n;
        EXPECT_EQ(cs->previous(n), 0.0f) << n;
        EXPECT_EQ(cs->switchTime(n), 0) << n;
    }
    EXPECT_EQ(cs->keyswitch(4), 2);
    EXPECT_EQ(cs->vstVar(1), 0.25f);
    // The smoothing memory is not reset: the controller glides down from where it was.
    EXPECT_FLOAT_EQ(cs->mccRead(7, 0), settled * 0.999f);
}

}  // namespace
}  // namespace tess

namespace tess {
namespace {

// The "holds" queries promise that every read over [from, to) returns one value and moves no
// smoothing memory. Checked against the readers themselves for each kind of number, before and
// after the smoothing settles, with a switch inside the stretch, at its first sample and just
// past it; and each query must say yes once a still controller has settled (else the executor
// would never read it once).
TEST(ControllerSpace, HoldsQueriesAgreeWithTheReaders) {
    struct Case {
        const char* what;
        int number;
        std::int64_t switchAt;  // a write of a new value at this time (-1: none)
    };
    const Case cases[] = {
        {"MIDI controller", 7, -1},          {"MIDI controller switching inside", 7, 40010},
        {"switch at the first sample", 7, 40000}, {"switch just past the stretch", 7, 40064},
        {"pitch bend", mcc::kPitchBend, -1},  {"bend switching inside", mcc::kPitchBend, 40030},
        {"program", mcc::kProgram, -1},       {"program switching inside", mcc::kProgram, 40001},
        {"key (engine value)", mcc::kKey, -1}, {"keyswitch state", mcc::kKeyswitchBase + 60, -1},
        {"smoothed VSTVAR", mcc::kVstVarBase + 3, -1}, {"VSTVAR that follows at once", mcc::kVstVarBase + 4, -1},
        {"number without a source", 999, -1}, {"negative number", -5, -1},
    };
    for (const bool scaled : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (scaled ? " (scaled)" : " (raw)"));
            auto cs = makeSpace();
            cs->writeMidi(c.number, 90.0f, 0);
            cs->setBuiltin(c.number, 61.0f);
            cs->setKeyswitch(60, 2);
            cs->setVstVar(3, 0.3f);
            cs->setVstVar(4, 0.7f);
            cs->setVstVarScaleType(4, 2);
            if (c.switchAt >= 0) cs->writeMidi(c.number, c.number == mcc::kPitchBend ? -0.5f : 20.0f, c.switchAt);
            auto read = [&](std::int64_t t) { return scaled ? cs->mccReadScaled(c.number, t) : cs->mccRead(c.number, t); };
            auto holds = [&](std::int64_t from, std::int64_t to, float& value) {
                return scaled ? cs->mccReadScaledHolds(c.number, from, to, value)
                              : cs->mccReadHolds(c.number, from, to, value);
            };
            bool settledOnce = false;
            for (std::int64_t from = 0; from < 40128; from += 64) {
                float value = 0.0f;
                const bool says = holds(from, from + 64, value);
                for (std::int64_t t = from; t < from + 64; ++t) {
                    const float got = read(t);
                    if (says) {
                        ASSERT_EQ(std::memcmp(&got, &value, sizeof got), 0) << "at " << t;
                    }
                }
                if (says && from >= 39936) settledOnce = true;
            }
            // From 39936 on no reader moves any more, except where the value switches.
            if (c.switchAt < 0 || c.switchAt >= 40064) {
                EXPECT_TRUE(settledOnce);
            }
        }
    }
}

}  // namespace
}  // namespace tess
