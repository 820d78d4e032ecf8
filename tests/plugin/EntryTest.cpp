#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "common/Version.h"
#include "plugin/PluginLibrary.h"
#include "state/SettingsFile.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using test::dispatch;
using test::dispatchString;
using test::HostRecorder;

class Entry : public ::testing::Test {
protected:
    void SetUp() override { HostRecorder::reset(); }
    test::ScopedUserFolder home;
};

vst::AEffect* openPlugin(const test::PluginLibrary& library, const char* entry = "VSTPluginMain") {
    auto function = library.entry(entry);
    return function != nullptr ? function(&HostRecorder::callback) : nullptr;
}

TEST_F(Entry, BothExportedEntriesGiveARecord) {
    test::PluginLibrary library(TESSARINE_PLUGIN_PATH);
    ASSERT_TRUE(library.loaded());
    for (const char* name : {"VSTPluginMain", "main"}) {
        vst::AEffect* effect = openPlugin(library, name);
        ASSERT_NE(effect, nullptr) << name;
        EXPECT_EQ(effect->magic, vst::kEffectMagic);
        EXPECT_EQ(dispatch(effect, vst::effClose), 1);
    }
}

TEST_F(Entry, AHostAnsweringVersionZeroGetsNoRecord) {
    test::PluginLibrary library(TESSARINE_PLUGIN_PATH);
    HostRecorder::versionAnswer = 0;
    EXPECT_EQ(openPlugin(library), nullptr);
    EXPECT_EQ(HostRecorder::versionRequests, 1);
    // Nothing was created either: the per-user folder stays untouched.
    EXPECT_FALSE(std::filesystem::exists(home.file("Settings.ini")));
}

TEST_F(Entry, RecordValues) {
    test::PluginLibrary library(TESSARINE_PLUGIN_PATH);
    vst::AEffect* effect = openPlugin(library);
    ASSERT_NE(effect, nullptr);
    char magicBytes[4];
    std::memcpy(magicBytes, &effect->magic, 4);
    EXPECT_EQ(std::string(magicBytes, 4), "PtsV");
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 20);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    // Both builds have an editor window (Win32, X11).
    EXPECT_EQ(effect->flags, vst::effFlagsHasEditor | vst::effFlagsCanReplacing | vst::effFlagsProgramChunks |
                                 vst::effFlagsIsSynth);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_FLOAT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->uniqueID, vst::fourCharCode('T', 's', 'r', 'n'));
    EXPECT_EQ(effect->version, 1);
    EXPECT_NE(effect->object, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_EQ(dispatchString(effect, vst::effGetEffectName), "Tessarine");
    EXPECT_EQ(dispatchString(effect, vst::effGetVendorString), "Tessarine");
    EXPECT_EQ(dispatchString(effect, vst::effGetProductString), "Tessarine");
    EXPECT_EQ(dispatch(effect, vst::effGetVendorVersion), kVendorVersion);
    EXPECT_EQ(dispatch(effect, vst::effGetNumMidiInputChannels), 16);
    EXPECT_EQ(dispatch(effect, vst::effGetNumMidiOutputChannels), 16);
    EXPECT_EQ(dispatch(effect, vst::effGetVstVersion), 2400);
    EXPECT_EQ(dispatchString(effect, vst::effGetProgramName), "");
    dispatch(effect, vst::effClose);
}

TEST_F(Entry, CanDoAnswersOneForThreeTextsAndMinusOneOtherwise) {
    test::PluginLibrary library(TESSARINE_PLUGIN_PATH);
    vst::AEffect* effect = openPlugin(library);
    ASSERT_NE(effect, nullptr);
    const struct {
        const char* text;
        vst::VstIntPtr answer;
    } cases[] = {{"receiveVstMidiEvent", 1}, {"sendVstMidiEvent", 1}, {"receiveVstTimeInfo", 1},
                 {"receiveVstEvents", -1},   {"sendVstEvents", -1},   {"bypass", -1},
                 {"", -1},                   {"receiveVstMidiEvents", -1}, {"ReceiveVstMidiEvent", -1}};
    for (const auto& c : cases) {
        std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
        EXPECT_EQ(dispatch(effect, vst::effCanDo, 0, 0, text.data()), c.answer) << c.text;
    }
    dispatch(effect, vst::effClose);
}

TEST_F(Entry, CreationWritesTheDefaultSettingsAndReadsTheParameterCount) {
    test::PluginLibrary library(TESSARINE_PLUGIN_PATH);
    vst::AEffect* first = openPlugin(library);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(test::readFile(home.file("Settings.ini")), std::string(kDefaultSettingsText));
    dispatch(first, vst::effClose);

    test::writeFile(home.file("Settings.ini"), "VSTVARS 500\r\nINTERFACE 100, 5000\r\n");
    vst::AEffect* second = openPlugin(library);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->numParams, 128);
    vst::ERect* rect = nullptr;
    EXPECT_EQ(dispatch(second, vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    // INTERFACE 100 is raised to 400; the editor then widens itself to the 694 pixels its top
    // row of buttons needs.
    EXPECT_EQ(rect->right - rect->left, 694);
    EXPECT_EQ(rect->bottom - rect->top, 4096);
    dispatch(second, vst::effClose);

    std::filesystem::remove(home.file("Settings.ini"));
    vst::AEffect* third = openPlugin(library);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->numParams, 20);
    EXPECT_EQ(test::readFile(home.file("Settings.ini")), std::string(kDefaultSettingsText));
    dispatch(third, vst::effClose);
}

TEST_F(Entry, MissingPerUserFolderIsCreated) {
    const std::string nested = home.file("deeper");
    setenv("TESSARINE_HOME", nested.c_str(), 1);
    test::PluginLibrary library(TESSARINE_PLUGIN_PATH);
    vst::AEffect* effect = openPlugin(library);
    ASSERT_NE(effect, nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_TRUE(std::filesystem::exists(nested + "/Settings.ini"));
    dispatch(effect, vst::effClose);
}

TEST_F(Entry, ALibraryNamedEffectRegistersAsAnEffect) {
    test::TempDir dir;
    const std::string copy = dir.file("my-Effect.so");
    std::filesystem::copy_file(TESSARINE_PLUGIN_PATH, copy);
    test::PluginLibrary library(copy);
    ASSERT_TRUE(library.loaded());
    vst::AEffect* effect = openPlugin(library);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->uniqueID, vst::fourCharCode('T', 's', 'r', 'e'));
    EXPECT_EQ(effect->flags & vst::effFlagsIsSynth, 0);
    EXPECT_EQ(dispatchString(effect, vst::effGetEffectName), "Tessarine-Effect");
    EXPECT_EQ(dispatchString(effect, vst::effGetProductString), "Tessarine-Effect");
    dispatch(effect, vst::effClose);
}

TEST_F(Entry, ProcessingThroughTheRecord) {
    test::PluginLibrary library(TESSARINE_PLUGIN_PATH);
    vst::AEffect* effect = openPlugin(library);
    ASSERT_NE(effect, nullptr);
    dispatch(effect, vst::effOpen);
    dispatch(effect, vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effect, vst::effSetBlockSize, 0, 256);
    dispatch(effect, vst::effMainsChanged, 0, 1);

    vst::VstMidiEvent note{};
    note.type = vst::kVstMidiType;
    note.byteSize = sizeof note;
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    struct {
        vst::VstInt32 numEvents;
        vst::VstIntPtr reserved;
        vst::VstEvent* events[1];
    } list{1, 0, {reinterpret_cast<vst::VstEvent*>(&note)}};
    EXPECT_EQ(dispatch(effect, vst::effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(HostRecorder::processEventsCalls, 1);
    EXPECT_EQ(HostRecorder::lastEventCount, 1);

    std::vector<float> in(256, 0.5f), outL(256, 7.0f), outR(256, 7.0f);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    effect->processReplacing(effect, inputs, outputs, 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(outL[static_cast<std::size_t>(i)], 0.0f);
        ASSERT_EQ(outR[static_cast<std::size_t>(i)], 0.0f);
    }
    std::fill(outL.begin(), outL.end(), 7.0f);
    effect->process(effect, inputs, outputs, 256);  // the old entry forwards to the same processing
    EXPECT_EQ(outL[0], 0.0f);
    double* doubles[2] = {nullptr, nullptr};
    effect->processDoubleReplacing(effect, doubles, doubles, 16);  // does nothing, must not crash

    dispatch(effect, vst::effMainsChanged, 0, 0);
    dispatch(effect, vst::effClose);
}

}  // namespace
}  // namespace tess
