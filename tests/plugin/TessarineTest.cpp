#include <gtest/gtest.h>

#include <string>

#include "plugin/Tessarine.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

vst::VstIntPtr quietHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                         void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

class PluginObject : public ::testing::Test {
protected:
    test::ScopedUserFolder home;
    Tessarine plugin{&quietHost, 1, 20, 800, 400};
};

TEST_F(PluginObject, ConstructionDefaults) {
    EXPECT_EQ(plugin.currentBlockSize(), 524288);
    EXPECT_FLOAT_EQ(plugin.currentSampleRate(), 44100.0f);
    EXPECT_EQ(plugin.instrumentPath, "?");
    EXPECT_EQ(plugin.userFolder, home.path());
    EXPECT_EQ(plugin.numVstVars, 20);
    EXPECT_EQ(plugin.log.debugLevel, 0);
    EXPECT_EQ(plugin.log.changed, 1);
    EXPECT_EQ(plugin.log.main.view(), "");
    EXPECT_EQ(plugin.engine.sampleClock, 0);
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i) ASSERT_EQ(plugin.engine.voices[i].frequency, 0.0f);
    EXPECT_LT(plugin.engine.voices.post().frequency, 0.0f);
}

TEST_F(PluginObject, SuspendAndResumeLogOnlyAboveLevelZero) {
    const struct {
        int level;
        const char* expected;
    } cases[] = {{-1, ""},
                 {0, ""},
                 {1, "Suspend() called.\r\nSuspend() called.\r\nResume() called.\r\n"},
                 {3, "Suspend() called.\r\nSuspend() called.\r\nResume() called.\r\n"}};
    for (const auto& c : cases) {
        plugin.log.clear();
        plugin.log.debugLevel = c.level;
        plugin.suspend();
        plugin.resume();
        EXPECT_EQ(plugin.log.main.view(), c.expected) << "level " << c.level;
    }
}

TEST_F(PluginObject, ResumeWithoutAPostSectionLeavesThePostVoiceIdle) {
    plugin.resume();
    EXPECT_LT(plugin.engine.voices.post().frequency, 0.0f);
    plugin.engine.voices.post().operationCount = 3;
    plugin.resume();
    EXPECT_EQ(plugin.engine.voices.post().frequency, 1.0f);
    plugin.suspend();
    EXPECT_LT(plugin.engine.voices.post().frequency, 0.0f);
}

TEST_F(PluginObject, SuspendReleasesVoicesAndRewindsTheClock) {
    plugin.engine.voices[5].frequency = 440.0f;
    plugin.engine.sampleClock = 12345;
    plugin.engine.noteCounter = 9;
    plugin.resume();
    EXPECT_EQ(plugin.engine.voices[5].frequency, 0.0f);
    EXPECT_EQ(plugin.engine.sampleClock, 0);
    EXPECT_EQ(plugin.engine.noteCounter, 0);
}

TEST_F(PluginObject, ProcessingWhileALoadRunsOutputsSilenceAndKeepsTheClock) {
    float left[64], right[64], input[64];
    for (int i = 0; i < 64; ++i) left[i] = right[i] = input[i] = 0.25f;
    float* inputs[2] = {input, input};
    float* outputs[2] = {left, right};
    {
        AudioThreadGuard::LoadScope load(plugin.audioGuard);
        plugin.processReplacing(inputs, outputs, 64);
    }
    EXPECT_EQ(left[10], 0.0f);
    EXPECT_EQ(plugin.engine.sampleClock, 0);
    plugin.processReplacing(inputs, outputs, 64);
    EXPECT_EQ(plugin.engine.sampleClock, 64);
}

TEST_F(PluginObject, EffectModeLeavesTheHostBuffers) {
    plugin.isEffect = true;
    float left[32], right[32], input[32];
    for (int i = 0; i < 32; ++i) {
        left[i] = 0.5f;
        right[i] = -0.5f;
        input[i] = 0.1f;
    }
    float* inputs[2] = {input, input};
    float* outputs[2] = {left, right};
    plugin.processReplacing(inputs, outputs, 32);
    EXPECT_EQ(left[31], 0.5f);
    EXPECT_EQ(right[0], -0.5f);
    {
        AudioThreadGuard::LoadScope load(plugin.audioGuard);
        plugin.processReplacing(inputs, outputs, 32);
    }
    EXPECT_EQ(left[0], 0.5f);
}

TEST_F(PluginObject, ProgramNameIsTheBareInstrumentFileNameBounded) {
    char name[64];
    plugin.instrumentFileName = "Piano.txt";
    plugin.getProgramName(name);
    EXPECT_STREQ(name, "Piano.txt");
    plugin.instrumentFileName = std::string(100, 'n');
    plugin.getProgramName(name);
    EXPECT_EQ(std::string(name), std::string(vst::kVstMaxProgNameLen - 1, 'n'));
}

}  // namespace
}  // namespace tess
