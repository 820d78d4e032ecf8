// The editor with a recording view: opening and the first load, the idle refresh (voices,
// pedal, tempo, log panes, combos following MIDI, sliders following parameters), the buttons,
// the sample panels, and the window sizes it asks of its host.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "compiler/InstrumentCompiler.h"
#include "editor/EditorHarness.h"

namespace tess {
namespace {

using editor::ControlEvent;
using test::hostRequests;
namespace id = editor::id;

const char* const kKeyswitches =
    "KEYSWITCH \"Register\", 0, 25, 24, 25, 0, 0, \"Flute\", \"Reed\"\n"
    "TEMPERAMENTCC 134\n"
    "PEDAL 64\n"
    "LAYER\n"
    "OUT = SIN(6.2831853 * FREQ * TIME) * 0.2\n";

class Editor : public ::testing::Test {
protected:
    test::EditorHarness h;
    TessarineEditor& editor() { return h.editor(); }
    std::string& text(int control) { return h.view->texts[control]; }
    int value(int control) { return h.view->values.count(control) ? h.view->values[control] : -999; }
    std::string_view mainLog() { return h.plugin->log.main.view(); }
};

// A host on a machine without a display still loads and plays the plug-in; only opening the
// editor fails, and cleanly.
TEST_F(Editor, WithoutADisplayTheEditorDoesNotOpenAndThePluginPlays) {
    EXPECT_TRUE(TessarineEditor::canOpenWindow());
    EXPECT_NE(h.plugin->getAeffect()->flags & vst::effFlagsHasEditor, 0);
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    ASSERT_TRUE(h.load(h.write("sine.txt", kKeyswitches)));
    // What a host passes: the id of its X11 window.
    vst::VstIntPtr window = 0x400001;
    EXPECT_EQ(h.plugin->dispatcher(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(window), 0.0f), 0);
    EXPECT_FALSE(editor().isOpen());
    h.plugin->dispatcher(vst::effEditIdle, 0, 0, nullptr, 0.0f);
    h.plugin->dispatcher(vst::effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_GT(h.play({{0x90, 60, 100}}), 0.01f);
    if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
}

TEST_F(Editor, FirstIdleCompilesSettingsWhenNothingIsLoaded) {
    ASSERT_TRUE(h.openEditor());
    EXPECT_EQ(h.view->shows, 1);
    EXPECT_EQ(h.view->layout.find(id::kTemperamentCombo)->items.size(), 2u);
    EXPECT_NE(mainLog().find("Ready.\r\n"), std::string_view::npos);
    editor().idle();
    // Settings.ini's temperament library is in the combo, and a file without DEBUG runs without
    // a log while its window shows.
    EXPECT_EQ(h.view->layout.find(id::kTemperamentCombo)->items.size(), 16u);
    EXPECT_EQ(h.view->layout.find(id::kTemperamentCombo)->items[2], "Just");
    EXPECT_EQ(h.plugin->log.debugLevel, -1);
    EXPECT_FALSE(h.view->layout.panes);
    EXPECT_EQ(h.plugin->instrumentPath, "?");
    EXPECT_EQ(text(id::kCurrentFile), "Current file: (none)");
    const int shows = h.view->shows;
    editor().idle();
    EXPECT_EQ(h.view->shows, shows);  // the load ran once
}

TEST_F(Editor, FirstIdleRestoresWhenTheHostSetParametersFirst) {
    h.plugin->restoreFlag = 1;
    ASSERT_TRUE(h.openEditor());
    editor().idle();
    // A restore keeps the log it had ("Ready." from the open).
    EXPECT_NE(mainLog().find("Ready.\r\n"), std::string_view::npos);
}

TEST_F(Editor, AnInstrumentLoadedBeforeOpeningIsShownAtOnce) {
    const std::string path = h.write("switches.txt", kKeyswitches);
    ASSERT_TRUE(h.load(path));
    ASSERT_TRUE(h.openEditor());
    EXPECT_EQ(text(id::kCurrentFile), "Current file: " + path);
    EXPECT_EQ(text(id::keyswitchCaption(0)), "Register");
    EXPECT_EQ(value(id::keyswitchCombo(0)), 1);  // initial key 25: "Reed"
    const int shows = h.view->shows;
    editor().idle();
    EXPECT_EQ(h.view->shows, shows);  // nothing to load
}

TEST_F(Editor, IdleShowsSoundingVoicesPedalTempoAndMetreAndOnlyWhatChanged) {
    ASSERT_TRUE(h.load(h.write("switches.txt", kKeyswitches)));
    ASSERT_TRUE(h.openEditor());
    editor().idle();
    EXPECT_EQ(text(id::kPoly), "Poly: 0");
    h.play({{0x90, 60, 100}, {0x90, 64, 100}});
    editor().idle();
    EXPECT_EQ(text(id::kPoly), "Poly: 2");
    h.play({{0xB0, 64, 127}});
    editor().idle();
    EXPECT_EQ(text(id::kPoly), "Poly: 2+P");

    h.plugin->engine.transport.tempo = 98.5f;
    h.plugin->engine.transport.numerator = 3.0f;
    h.plugin->engine.transport.denominator = 8.0f;
    editor().idle();
    EXPECT_EQ(text(id::kTempo), "98.50 BPM");
    EXPECT_EQ(text(id::kTimeSignature), "3 / 8");

    const int calls = h.view->setTextCalls + h.view->setValueCalls;
    editor().idle();
    EXPECT_EQ(h.view->setTextCalls + h.view->setValueCalls, calls);
}

TEST_F(Editor, LogPanesShowTheLogOnlyFromLevelOne) {
    ASSERT_TRUE(h.load(h.write("debug.txt", "DEBUG 1\nLAYER\nOUT = 0\n")));
    ASSERT_TRUE(h.openEditor());
    ASSERT_TRUE(h.view->layout.panes);
    editor().idle();
    EXPECT_EQ(text(id::kLogPane), mainLog());
    EXPECT_EQ(text(id::kProgramPane), h.plugin->log.program.view());
    EXPECT_NE(text(id::kProgramPane).find("OUT = 0"), std::string::npos);
    EXPECT_EQ(h.plugin->log.changed, 0);
    const int calls = h.view->setTextCalls;
    editor().idle();
    EXPECT_EQ(h.view->setTextCalls, calls);
    h.plugin->appendLog(Log::kMain, "news\r\n");
    editor().idle();
    EXPECT_TRUE(text(id::kLogPane).ends_with("news\r\n"));

    h.event(ControlEvent::Kind::Clicked, id::kLogClear);
    EXPECT_EQ(text(id::kLogPane), "");
    EXPECT_EQ(h.plugin->log.main.size(), 0u);
    EXPECT_FALSE(text(id::kProgramPane).empty());
}

TEST_F(Editor, AnInstrumentWithoutDebugRunsWithoutALogWhileTheWindowShows) {
    ASSERT_TRUE(h.openEditor());
    h.plugin->selectInstrument(h.write("quiet.txt", "LAYER\nOUT = 0\n"));
    editor().idle();
    EXPECT_EQ(h.plugin->log.debugLevel, -1);
    EXPECT_FALSE(h.view->layout.panes);
    h.plugin->appendLog(Log::kMain, "dropped\r\n");
    EXPECT_EQ(mainLog().find("dropped"), std::string_view::npos);
}

TEST_F(Editor, CombosFollowKeyswitchKeysAndProgramChanges) {
    ASSERT_TRUE(h.load(h.write("switches.txt", kKeyswitches)));
    ASSERT_TRUE(h.openEditor());
    h.play({{0x90, 24, 100}});
    editor().idle();
    EXPECT_EQ(value(id::keyswitchCombo(0)), 0);
    h.play({{0xC0, 3, 0}});  // TEMPERAMENTCC 134: programs choose temperaments
    editor().idle();
    EXPECT_EQ(value(id::kTemperamentCombo), 3);
}

TEST_F(Editor, ComboChoicesReachThePlugin) {
    ASSERT_TRUE(h.load(h.write("switches.txt", kKeyswitches)));
    ASSERT_TRUE(h.openEditor());
    h.event(ControlEvent::Kind::SelectionChanged, id::keyswitchCombo(0), 0);
    EXPECT_EQ(h.plugin->engine.controllers.keyswitch(24), 1);
    EXPECT_EQ(h.plugin->engine.controllers.keyswitch(25), 0);
    EXPECT_EQ(value(id::keyswitchCombo(0)), 0);
    h.event(ControlEvent::Kind::SelectionChanged, id::kTemperamentCombo, 4);
    EXPECT_EQ(h.plugin->notes.temperament(), 4);
    EXPECT_EQ(value(id::kTemperamentCombo), 4);
}

TEST_F(Editor, ReloadCompilesTheChangedFileAndRebuildsTheControls) {
    const std::string path = h.write("switches.txt", kKeyswitches);
    ASSERT_TRUE(h.load(path));
    ASSERT_TRUE(h.openEditor());
    test::writeFile(path, std::string("KEYSWITCH \"Mute\", 0, 30, 30, 31, 0, 0\n") + kKeyswitches);
    const int shows = h.view->shows;
    h.event(ControlEvent::Kind::Clicked, id::kReload);
    EXPECT_EQ(h.plugin->compiler->instrument().keyswitches.count, 2);
    h.deliverRebuild();
    EXPECT_GE(h.view->shows, shows + 2);  // laid out smaller, then at the full size
    EXPECT_EQ(text(id::keyswitchCaption(0)), "Mute");
    EXPECT_EQ(text(id::keyswitchCaption(1)), "Register");
    EXPECT_EQ(h.view->layout.width, 800);
    EXPECT_EQ(text(id::kCurrentFile), "Current file: " + path);
}

TEST_F(Editor, BrowseCancelledKeepsTheInstrumentAndChosenLoadsIt) {
    const std::string first = h.write("first.txt", std::string("DEBUG 1\n") + kKeyswitches);
    const std::string second = h.write("second.txt", "DEBUG 1\nKEYSWITCH \"Other\", 0, 30, 30, 31, 0, 0\n");
    ASSERT_TRUE(h.load(first));
    ASSERT_TRUE(h.openEditor());
    h.view->fileAnswers = {std::nullopt};
    h.event(ControlEvent::Kind::Clicked, id::kBrowse);
    EXPECT_EQ(h.plugin->instrumentPath, first);
    EXPECT_EQ(h.view->dialogFolder, h.plugin->userFolder);
    const std::size_t asked = mainLog().find("Please select an input file...\r\n");
    ASSERT_NE(asked, std::string_view::npos);
    EXPECT_NE(mainLog().find("User cancelled the operation...\r\n", asked), std::string_view::npos);
    EXPECT_EQ(h.plugin->compiler->instrument().keyswitches.count, 1);

    // A click on the current file's name opens the same dialog.
    h.view->fileAnswers = {second};
    h.event(ControlEvent::Kind::Clicked, id::kCurrentFile);
    EXPECT_EQ(h.plugin->instrumentPath, second);
    h.deliverRebuild();
    EXPECT_EQ(text(id::keyswitchCaption(0)), "Other");
}

TEST_F(Editor, TheWindowSizeFollowsTheHostAndGrowsToFit) {
    // Twenty stacked sliders beside the panes need more than 400 pixels.
    ASSERT_TRUE(h.load(h.write("debug.txt", "DEBUG 1\n")));
    vst::ERect* rect = nullptr;
    ASSERT_TRUE(editor().getRect(&rect));
    EXPECT_EQ(rect->right, 800);
    EXPECT_EQ(rect->bottom, 516);
    ASSERT_TRUE(h.openEditor());
    EXPECT_EQ(hostRequests.sizeWindowCalls, 1);
    EXPECT_EQ(hostRequests.requestedWidth, 800);
    EXPECT_EQ(hostRequests.requestedHeight, 516);

    // The host makes the window larger: the editor lays out for it and asks for a redraw.
    h.view->parentWidth = 1200;
    h.view->parentHeight = 700;
    const int updates = hostRequests.updateDisplayCalls;
    editor().idle();
    EXPECT_EQ(h.view->layout.width, 1200);
    EXPECT_EQ(h.view->layout.height, 700);
    EXPECT_EQ(hostRequests.updateDisplayCalls, updates + 1);
    EXPECT_EQ(editor().getRect(&rect) ? rect->right : 0, 1200);

    // Resize goes back to the instrument's size.
    h.event(ControlEvent::Kind::Clicked, id::kResize);
    h.deliverRebuild();
    EXPECT_EQ(h.view->layout.width, 800);
    EXPECT_EQ(h.view->layout.height, 516);
}

TEST_F(Editor, ALoadFromTheHostRebuildsAnOpenEditor) {
    ASSERT_TRUE(h.load(h.write("switches.txt", kKeyswitches)));
    ASSERT_TRUE(h.openEditor());
    std::string other = h.write("other.txt", "KEYSWITCH \"Other\", 0, 30, 30, 31, 0, 0\n");
    h.plugin->dispatcher(vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, other.data(), 0.0f);
    EXPECT_EQ(h.view->rebuildRequests, 1);
    editor().idle();
    EXPECT_EQ(text(id::keyswitchCaption(0)), "Other");
    editor().close();
    EXPECT_FALSE(h.view->open);
    editor().idle();  // nothing happens after close
}

// A plug-in whose parameters answer, so that the sliders have something to show.
class ParameterPlugin : public Tessarine {
public:
    using Tessarine::Tessarine;
    void setParameter(vst::VstInt32 index, float value) override { values[index] = value; }
    float getParameter(vst::VstInt32 index) override { return values[index]; }
    void getParameterName(vst::VstInt32 index, char* text) override { std::snprintf(text, 9, "Par%d", index); }
    void getParameterDisplay(vst::VstInt32 index, char* text) override {
        std::snprintf(text, 16, "%.2f", static_cast<double>(values[index]));
    }
    void getParameterLabel(vst::VstInt32, char* text) override { std::strcpy(text, "dB"); }
    float values[128] = {};
};

TEST_F(Editor, SlidersShowTheParametersAndFollowTheirChanges) {
    auto* plugin = new ParameterPlugin(&test::recordingHost, 1, 20, 800, 400);
    h.plugin.reset(plugin);
    plugin->values[3] = 0.25f;
    plugin->values[4] = 0.33339f;
    ASSERT_TRUE(h.openEditor());
    editor().idle();  // the first load (Settings.ini) hands the values to the host again
    EXPECT_EQ(value(id::slider(3)), 2500);
    EXPECT_EQ(value(id::slider(4)), 3333);  // truncated
    EXPECT_EQ(text(id::sliderCaption(3)), "Par3 0.25 dB");

    h.event(ControlEvent::Kind::SliderMoved, id::slider(3), 10000);
    EXPECT_FLOAT_EQ(plugin->values[3], 1.0f);
    EXPECT_EQ(hostRequests.lastIndex, 3);
    EXPECT_FLOAT_EQ(hostRequests.lastValue, 1.0f);
    EXPECT_EQ(text(id::sliderCaption(3)), "Par3 1.00 dB");

    // The host automates a parameter: the slider and caption follow at the next idle.
    plugin->setParameter(5, 0.75f);
    editor().idle();
    EXPECT_EQ(value(id::slider(5)), 7500);
    EXPECT_EQ(text(id::sliderCaption(5)), "Par5 0.75 dB");
}

TEST_F(Editor, SamplePanelControlsRebuildTheirSlot) {
    std::filesystem::copy_file(std::string(TESSARINE_SOURCE_DIR) + "/examples/samples/tone.wav",
                               h.dir.file("tone.wav"));
    ASSERT_TRUE(h.load(h.write("panel.txt",
                               "SAMPLE 2, \"tone.wav\", 0, 60, 1, 0\n"
                               "SAMPLEUI 2, 20, 160, \"Tone\"\nLAYER\nOUT = 0\n")));
    ASSERT_TRUE(h.openEditor());
    const int end = id::panelPart(0, id::kPanelFieldFirst + 2);
    EXPECT_EQ(text(id::panelPart(0, id::kPanelFile)), "Sample file: tone.wav");
    EXPECT_EQ(text(id::panelPart(0, id::kPanelFieldFirst)), "60.000000");
    EXPECT_EQ(value(id::panelPart(0, id::kPanelType)), 0);
    const std::string fileEnd = text(end);

    h.event(ControlEvent::Kind::TextCommitted, end, 0, "8000");
    EXPECT_EQ((*h.plugin->samples)[2].fileEnd, 8000);
    EXPECT_EQ(text(end), "8000");
    // Text that is no number is replaced by the value in force.
    h.event(ControlEvent::Kind::TextCommitted, end, 0, "soon");
    EXPECT_EQ(text(end), "8000");

    h.event(ControlEvent::Kind::SelectionChanged, id::panelPart(0, id::kPanelType), 4);
    EXPECT_EQ((*h.plugin->samples)[2].looped, 0);
    EXPECT_EQ(value(id::panelPart(0, id::kPanelType)), 4);
    h.event(ControlEvent::Kind::SelectionChanged, id::panelPart(0, id::kPanelNormalisation), 3);
    EXPECT_EQ((*h.plugin->samples)[2].normalisation, 3);

    std::filesystem::copy_file(h.dir.file("tone.wav"), h.dir.file("other.wav"));
    h.view->fileAnswers = {h.dir.file("other.wav")};
    h.event(ControlEvent::Kind::Clicked, id::panelPart(0, id::kPanelBrowse));
    EXPECT_EQ((*h.plugin->samples)[2].fileName, h.dir.file("other.wav"));
    EXPECT_EQ(text(id::panelPart(0, id::kPanelFile)), "Sample file: " + h.dir.file("other.wav"));
    EXPECT_NE(fileEnd, "8000");
}

}  // namespace
}  // namespace tess
