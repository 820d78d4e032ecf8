// The editor's "SF2 bulk import": the bank chosen in the file dialog is imported on a worker
// thread into the per-user folder's "Imported" while the plug-in keeps playing, its processing
// log and progress lines appear in the import pane at idle, and "OK" brings the editor back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "editor/EditorHarness.h"
#include "sf2import/BankBuilder.h"

namespace tess {
namespace {

using editor::ControlEvent;
namespace id = editor::id;

const char* const kSine = "DEBUG 1\nLAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.2\n";

class SoundFontButton : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.load(h.write("sine.txt", kSine)));
        ASSERT_TRUE(h.openEditor());
        h.editor().idle();
    }
    std::string& text(int control) { return h.view->texts[control]; }
    bool shows(int control) { return h.view->layout.find(control) != nullptr; }
    void click(int control) { h.event(ControlEvent::Kind::Clicked, control); }
    // Idles as a host does until the import's button says "OK" (at most ten seconds).
    bool idleUntilDone() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            h.editor().idle();
            if (text(id::kImportButton) == editor::texts::kImportDone) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    std::string imported(const std::string& name) { return h.home.file("Imported/" + name); }

    test::EditorHarness h;
};

TEST_F(SoundFontButton, ImportsTheChosenBankWhileThePluginPlays) {
    const std::string bank = h.dir.file("lead.sf2");
    test::writeFile(bank, test::layout(test::simpleBank(400).tree()));
    h.view->fileAnswers.push_back(bank);
    EXPECT_GT(h.play({{0x90, 69, 100}}), 0.05f);

    click(id::kSoundFontImport);
    // Only the import's controls exist, and the dialog offered SoundFont banks first.
    EXPECT_TRUE(shows(id::kImportPane));
    EXPECT_FALSE(shows(id::kReload));
    EXPECT_FALSE(shows(id::slider(0)));
    ASSERT_FALSE(h.view->dialogTypes.empty());
    EXPECT_EQ(h.view->dialogTypes[0].patterns, "*.sf2");
    EXPECT_EQ(h.view->dialogFolder, h.plugin->userFolder);
    // The note goes on sounding: the plug-in is not suspended for the import.
    EXPECT_GT(h.play({}), 0.05f);
    ASSERT_TRUE(idleUntilDone()) << text(id::kImportPane);
    EXPECT_GT(h.play({}), 0.05f);

    const std::string& log = text(id::kImportPane);
    const std::size_t chosen =
        log.find("Please select a soundfont 2.x file...\r\nUser selected file " + bank);
    const std::size_t checked =
        log.find("*** THE FILE IS OK. PROCEEDING WITH THE PRESETS PROCESSING... ***");
    const std::size_t progress = log.find("Preset 1 of 1: Lead\r\n");
    const std::size_t end = log.rfind("Process terminated.\r\n");
    ASSERT_NE(chosen, std::string::npos) << log;
    ASSERT_NE(checked, std::string::npos) << log;
    ASSERT_NE(progress, std::string::npos) << log;
    ASSERT_NE(end, std::string::npos) << log;
    EXPECT_LT(chosen, checked);
    EXPECT_LT(checked, progress);
    EXPECT_LT(progress, end);
    EXPECT_EQ(end + std::string("Process terminated.\r\n").size(), log.size());
    const std::string instrument = imported("0001_Lead/Instrument.txt");
    EXPECT_TRUE(std::filesystem::is_regular_file(instrument));

    // Clicking the button while it said "Processing..." would have done nothing; "OK" brings
    // the editor back, and the imported instrument loads through Browse.
    click(id::kImportButton);
    EXPECT_TRUE(shows(id::kReload));
    EXPECT_FALSE(shows(id::kImportPane));
    EXPECT_NE(h.plugin->log.main.view().find("SoundFont import: 1 presets written to "),
              std::string_view::npos);
    h.view->fileAnswers.push_back(instrument);
    click(id::kBrowse);
    EXPECT_EQ(h.plugin->instrumentPath, instrument);
    EXPECT_EQ(h.view->dialogTypes[0].patterns, "*.txt");
}

TEST_F(SoundFontButton, CancelledOrRefusedImportsEndWithOkAndWriteNothing) {
    const std::string wave = h.dir.file("tone.wav");
    std::filesystem::copy_file(std::string(TESSARINE_SOURCE_DIR) + "/examples/samples/tone.wav",
                               wave);
    struct Case {
        const char* name;
        std::optional<std::string> answer;
        const char* expected;
    };
    const Case cases[] = {
        {"cancelled", std::nullopt,
         "Please select a soundfont 2.x file...\r\nUser cancelled the operation...\r\nProcess "
         "terminated.\r\n"},
        {"a WAV file", wave, "other Microsoft RIFF file"},
        {"a missing file", h.dir.file("missing.sf2"), "Can't open file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.view->fileAnswers.push_back(c.answer);
        click(id::kSoundFontImport);
        ASSERT_TRUE(idleUntilDone());
        const std::string& log = text(id::kImportPane);
        EXPECT_NE(log.find(c.expected), std::string::npos) << log;
        EXPECT_EQ(log.substr(log.size() - 21), "Process terminated.\r\n");
        EXPECT_FALSE(std::filesystem::exists(imported("0001_Lead")));
        click(id::kImportButton);
        EXPECT_TRUE(shows(id::kReload));
    }
    EXPECT_EQ(h.plugin->log.main.view().find("SoundFont import:"), std::string_view::npos);
}

TEST_F(SoundFontButton, AnImportShowsAgainWhenTheEditorReopens) {
    h.view->fileAnswers.push_back(std::nullopt);
    click(id::kSoundFontImport);
    h.editor().close();
    ASSERT_TRUE(h.openEditor());
    EXPECT_TRUE(shows(id::kImportPane));
    EXPECT_EQ(text(id::kImportButton), "OK");
    EXPECT_NE(text(id::kImportPane).find("User cancelled the operation"), std::string::npos);
    click(id::kImportButton);
    EXPECT_TRUE(shows(id::kReload));
}

}  // namespace
}  // namespace tess
