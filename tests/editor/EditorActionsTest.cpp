// What each control does to the plug-in: sliders, keyswitch and temperament combos, pane
// clearing, loading, and the sample panels' edits, each checked on the plug-in's state (key
// states, pedals, voices, temperament, controllers, sample slots) and on what the host is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "compiler/InstrumentCompiler.h"
#include "editor/EditorActions.h"
#include "editor/EditorHarness.h"

namespace tess::editor {
namespace {

using test::hostRequests;

const char* const kSwitches =
    "KEYSWITCH \"Octave\", 0, 24, 24, 26, 0, 0, \"Low\", \"Mid\", \"High\"\n"
    "KEYSWITCH \"Cycle\", 1, 1, 30, 30, 1, 3\n"
    "KEYSWITCH \"Steps\", 2, 0, 40, 41, 0, 4\n"
    "PEDAL 426\n"
    "LAYER\n"
    "OUT = SIN(6.2831853 * FREQ * TIME) * 0.2\n";

class EditorActions : public ::testing::Test {
protected:
    test::EditorHarness h;
    Tessarine& plugin() { return *h.plugin; }
    int keyState(int key) { return h.plugin->engine.controllers.keyswitch(key); }
    const Voice* voiceOnKey(int key) {
        for (int v = 0; v < VoiceTable::kNoteVoices; ++v)
            if (h.plugin->engine.voices[v].active() && h.plugin->engine.voices[v].midiKey == key)
                return &h.plugin->engine.voices[v];
        return nullptr;
    }
};

TEST_F(EditorActions, FaderPositionsBecomeAutomatedHostValues) {
    const struct {
        int position;
        float value;
    } cases[] = {{10000, 1.0f}, {1, 0.0001f}, {5000, 0.5f}, {0, 0.0f}, {-20, 0.0f}, {12000, 1.0f}};
    for (const auto& c : cases) {
        hostRequests.lastIndex = -1;
        moveFader(plugin(), 3, c.position);
        EXPECT_EQ(hostRequests.lastIndex, 3) << c.position;
        EXPECT_FLOAT_EQ(hostRequests.lastValue, c.value) << c.position;
    }
    const int calls = hostRequests.automateCalls;
    moveFader(plugin(), 128, 5000);  // no such slider
    EXPECT_EQ(hostRequests.automateCalls, calls);
}

TEST_F(EditorActions, FaderMovesAreLoggedFromLevelThree) {
    h.load(h.write("debug.txt", "DEBUG 3\n"));
    moveFader(plugin(), 2, 7500);
    EXPECT_NE(plugin().log.main.view().find("New fader value: 2 7500\r\n"), std::string_view::npos);
}

TEST_F(EditorActions, KeyswitchChoicesSetTheKeyStatesOfThatOption) {
    ASSERT_TRUE(h.load(h.write("switches.txt", kSwitches)));
    struct Case {
        int keyswitch, option;
        bool accepted;
        std::vector<std::pair<int, int>> states;  // key, state
    } cases[] = {
        {0, 2, true, {{24, 0}, {25, 0}, {26, 1}}},
        {0, 0, true, {{24, 1}, {25, 0}, {26, 0}}},
        {1, 2, true, {{30, 3}}},  // values 1 .. 3
        {1, 0, true, {{30, 1}}},
        {2, 4, true, {{40, 4}, {41, 4}}},  // both keys of a stepping keyswitch
        {0, 3, false, {{24, 1}, {25, 0}, {26, 0}}},  // only three options
        {1, -1, false, {{30, 1}}},
        {3, 0, false, {}},  // no fourth keyswitch
    };
    for (const Case& c : cases) {
        EXPECT_EQ(chooseKeyswitch(plugin(), c.keyswitch, c.option), c.accepted) << c.keyswitch << "/" << c.option;
        for (const auto& [key, state] : c.states) EXPECT_EQ(keyState(key), state) << "key " << key;
        if (c.accepted) {
            EXPECT_EQ(keyswitchOption(plugin(), c.keyswitch), c.option);
        }
    }
}

TEST_F(EditorActions, KeyswitchChoiceSwitchesItsPedalAndOffTriggers) {
    ASSERT_TRUE(h.load(h.write("switches.txt", kSwitches)));
    // PEDAL 426 holds every key while key 26 ("High") is selected.
    chooseKeyswitch(plugin(), 0, 2);
    EXPECT_EQ(plugin().engine.controllers.pedals.pedalAll, 1);
    chooseKeyswitch(plugin(), 0, 1);
    EXPECT_EQ(plugin().engine.controllers.pedals.pedalAll, 0);
    // The keyswitch keys do the same: choosing another option lets the pedal go.
    h.play({{0x90, 26, 100}});
    EXPECT_EQ(plugin().engine.controllers.pedals.pedalAll, 1);
    h.play({{0x90, 24, 100}});
    EXPECT_EQ(plugin().engine.controllers.pedals.pedalAll, 0);
    EXPECT_EQ(keyswitchOption(plugin(), 0), 0);

    // A layer released by the state of key 24 reaching 1 (and silent while it is 1).
    compiler::LayerSettings& layer = h.plugin->compiler->instrument().layers[0].settings;
    layer.offTriggers[0] = {1.0f, 1.0f, 0.0f, 424};
    layer.offTriggerCount = 1;
    chooseKeyswitch(plugin(), 0, 1);
    h.play({{0x90, 60, 100}});
    const Voice* voice = voiceOnKey(60);
    ASSERT_NE(voice, nullptr);
    EXPECT_LT(voice->releaseTime, 0);
    chooseKeyswitch(plugin(), 0, 0);
    EXPECT_GE(voice->releaseTime, 0);
}

TEST_F(EditorActions, TemperamentChoiceTunesNewNotesAndDrivesItsLink) {
    ASSERT_TRUE(h.load(h.write("cc.txt", std::string("DEBUG 2\nTEMPERAMENTCC 20\n") + kSwitches)));
    // Entry 2 is "Just" from Settings.ini: E (key 64) is 13.686 cents flat.
    EXPECT_TRUE(chooseTemperament(plugin(), 2));
    EXPECT_EQ(plugin().notes.temperament(), 2);
    EXPECT_FLOAT_EQ(plugin().engine.controllers.current(20), 2.0f);
    h.play({{0x90, 64, 100}});
    ASSERT_NE(voiceOnKey(64), nullptr);
    EXPECT_NEAR(voiceOnKey(64)->tunedPitch, 64.0f - 0.13686f, 1e-4f);
    const std::string_view log = plugin().log.main.view();
    EXPECT_NE(log.find("TEMPERAMENT set to: Just (2) IN THE GUI.\r\n"), std::string_view::npos);
    EXPECT_NE(log.find("TEMPERAMENT is linked with MIDI CC #20. Setting value to 2...\r\n"), std::string_view::npos);

    const int count = plugin().compiler->instrument().temperaments.count();
    EXPECT_FALSE(chooseTemperament(plugin(), count));
    EXPECT_FALSE(chooseTemperament(plugin(), -1));
    EXPECT_EQ(plugin().notes.temperament(), 2);

    ASSERT_TRUE(h.load(h.write("vstvar.txt", "TEMPERAMENTCC 602\n")));
    EXPECT_TRUE(chooseTemperament(plugin(), 3));
    EXPECT_FLOAT_EQ(plugin().engine.controllers.vstVar(2), 3.0f);
}

TEST_F(EditorActions, ClearingAPaneEmptiesOnlyItsText) {
    ASSERT_TRUE(h.load(h.write("lines.txt", "DEBUG 1\nLAYER\nOUT = 0\n")));
    Log& log = plugin().log;
    ASSERT_GT(log.main.size(), 0u);
    ASSERT_GT(log.program.size(), 0u);
    const std::string program(log.program.view());
    log.changed = 0;
    clearPane(plugin(), Log::kMain);
    EXPECT_EQ(log.main.size(), 0u);
    EXPECT_EQ(log.program.view(), program);
    EXPECT_EQ(log.changed, 1);
    plugin().appendLog(Log::kMain, "kept\r\n");
    clearPane(plugin(), Log::kProgram);
    EXPECT_EQ(log.program.size(), 0u);
    EXPECT_EQ(log.main.view(), "kept\r\n");
}

TEST_F(EditorActions, ChosenFileIsCompiledAgainEvenWhenAlreadyLoaded) {
    const std::string path = h.write("switches.txt", kSwitches);
    ASSERT_TRUE(loadChosenInstrument(plugin(), path));
    EXPECT_EQ(plugin().compiler->instrument().keyswitches.count, 3);
    test::writeFile(path, "KEYSWITCH \"Only\", 0, 24, 24, 25, 0, 0\n");
    hostRequests.automated.clear();
    EXPECT_TRUE(loadChosenInstrument(plugin(), path));
    EXPECT_EQ(plugin().compiler->instrument().keyswitches.count, 1);
    // Every host parameter's value is handed to the host again.
    EXPECT_EQ(static_cast<int>(hostRequests.automated.size()), plugin().getAeffect()->numParams);
    EXPECT_FALSE(loadChosenInstrument(plugin(), h.dir.file("missing.txt")));
}

class SamplePanels : public EditorActions {
protected:
    void SetUp() override {
        std::filesystem::copy_file(std::string(TESSARINE_SOURCE_DIR) + "/examples/samples/tone.wav",
                                   h.dir.file("tone.wav"));
        ASSERT_TRUE(h.load(h.write("panel.txt",
                                   "SAMPLE 5, \"tone.wav\", 0, 60, 1, 0, 100, 20000\n"
                                   "SAMPLEUI 5, 20, 200, \"Tone\"\n"
                                   "SAMPLEUI 9, 20, 400, \"Empty\"\n"
                                   "LAYER\nOUT = 0\n")));
        panel = panelFromSlot(plugin(), 0);
    }
    const SampleSlot& slot(int n) { return (*h.plugin->samples)[n]; }
    SamplePanel panel;
};

TEST_F(SamplePanels, PanelStartsFromWhatTheSlotWasMadeWith) {
    EXPECT_EQ(panel.slot, 5);
    EXPECT_EQ(panel.request.fileName, "tone.wav");
    EXPECT_EQ(panel.request.start, 100);
    EXPECT_EQ(panel.request.end, 20000);
    EXPECT_EQ(panel.request.looped, 1);
    EXPECT_FLOAT_EQ(panel.request.centreNote, 60.0f);
    EXPECT_EQ(panel.request.release, SampleSlot::kNoRelease);
    const SamplePanel empty = panelFromSlot(plugin(), 1);
    EXPECT_EQ(empty.slot, 9);
    EXPECT_TRUE(empty.request.fileName.empty());
}

TEST_F(SamplePanels, EditBoxesRebuildTheSlot) {
    const struct {
        PanelField field;
        const char* text;
        bool taken;
    } edits[] = {
        {PanelField::End, "12000", true},
        {PanelField::Start, "abc", false},
        {PanelField::Start, " 2000 ", true},
        {PanelField::CentreNote, "72.5", true},
        {PanelField::Loops, "1e3x", false},
    };
    for (const auto& e : edits) EXPECT_EQ(editPanelField(plugin(), panel, e.field, e.text), e.taken) << e.text;
    EXPECT_EQ(slot(5).fileStart, 2000);
    EXPECT_EQ(slot(5).fileEnd, 12000);
    EXPECT_FLOAT_EQ(slot(5).centreNote, 72.5f);
    EXPECT_EQ(slot(5).frames > 0, true);
    EXPECT_NE(plugin().log.main.view().find("Edit box 1 set to \"abc\""), std::string_view::npos);
    const SamplePanelRecord& record = plugin().samplePanelRecords[0];
    EXPECT_EQ(record.valid, 1);
    EXPECT_EQ(record.slot, 5);
    EXPECT_STREQ(record.fileName, "tone.wav");
    EXPECT_FLOAT_EQ(record.centreNote, 72.5f);
}

TEST_F(SamplePanels, SampleTypeSetsDirectionAndLoops) {
    const struct {
        int type;
        int direction, looped;
    } steps[] = {{5, 1, 0}, {2, 2, 1}, {7, 3, 0}, {0, 0, 1}};
    for (const auto& s : steps) {
        choosePanelSampleType(plugin(), panel, s.type);
        EXPECT_EQ(slot(5).direction, s.direction) << s.type;
        EXPECT_EQ(slot(5).looped, s.looped) << s.type;
    }
    // A looped type keeps a loop count other than 1.
    editPanelField(plugin(), panel, PanelField::Loops, "3");
    choosePanelSampleType(plugin(), panel, 6);
    EXPECT_EQ(slot(5).looped, 3);
    EXPECT_NE(plugin().log.main.view().find("Sample type set to 6\r\n"), std::string_view::npos);
}

TEST_F(SamplePanels, NormalisationModeRebuildsAtFullScale) {
    choosePanelNormalisation(plugin(), panel, 1);
    EXPECT_EQ(slot(5).normalisation, 1);
    float peak = 0.0f;
    for (float v : slot(5).left) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, 1.0f, 1e-5f);
    EXPECT_NE(plugin().log.main.view().find("Normalization mode set to 1\r\n"), std::string_view::npos);
}

TEST_F(SamplePanels, AFileThatCannotBeLoadedLeavesTheSlot) {
    const std::int32_t frames = slot(5).frames;
    choosePanelFile(plugin(), panel, h.dir.file("missing.wav"));
    EXPECT_EQ(slot(5).fileName, "tone.wav");
    EXPECT_EQ(slot(5).frames, frames);
    EXPECT_NE(plugin().log.main.view().find("ERROR: SAMPLEUI. File"), std::string_view::npos);
    SamplePanel empty = panelFromSlot(plugin(), 1);
    EXPECT_FALSE(rebuildPanelSlot(plugin(), empty));
    choosePanelFile(plugin(), empty, h.dir.file("tone.wav"));
    EXPECT_EQ(slot(9).kind, SampleSlot::kSampled);
    EXPECT_EQ(plugin().samplePanelRecords[1].slot, 9);
}

}  // namespace
}  // namespace tess::editor
