#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "compiler/InstrumentCompiler.h"
#include "plugin/CreateInstance.h"
#include "plugin/Tessarine.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

int automateCalls = 0;

vst::VstIntPtr countingHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*, float) {
    if (opcode == vst::audioMasterAutomate) ++automateCalls;
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

class LoadDriver : public ::testing::Test {
protected:
    void SetUp() override {
        automateCalls = 0;
        plugin.reset(createEffectInstance(&countingHost));
        test::writeFile(home.file("tone.txt"), "DEBUG 2\nPOST\nOUT = 0.25\n");
    }
    std::string postOut() const { return std::to_string(plugin->engine.voices.post().operationCount); }

    test::ScopedUserFolder home;
    std::unique_ptr<Tessarine> plugin;
};

TEST_F(LoadDriver, LoadingTheLoadedFileAgainInModeOneCompilesNothing) {
    const std::string file = home.file("tone.txt");
    EXPECT_TRUE(plugin->loadInstrument(file, 1));
    const std::string log(plugin->log.main.view());
    EXPECT_NE(log.find("**** Opening file \"" + file + "\"...\r\n"), std::string::npos);
    EXPECT_EQ(automateCalls, 3 * 20);  // 0, 1 and the value for each of the 20 parameters
    plugin->log.append(Log::kMain, "marker\r\n");
    EXPECT_FALSE(plugin->loadInstrument(file, 1));
    EXPECT_EQ(plugin->log.main.view(), log + "marker\r\n");
    // Case does not make a different file.
    std::string upper = file;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    plugin->loadInstrument(upper, 1);
    EXPECT_EQ(plugin->log.main.view(), log + "marker\r\n");
}

TEST_F(LoadDriver, ModeMinusOneAppendsModeOneStartsAnEmptyLog) {
    const std::string file = home.file("tone.txt");
    plugin->loadInstrument(file, 1);
    const std::string first(plugin->log.main.view());
    plugin->loadInstrument(file, -1);
    const std::string second(plugin->log.main.view());
    EXPECT_EQ(second.substr(0, first.size()), first);
    EXPECT_GT(second.size(), first.size());
    plugin->instrumentPath = "?";
    plugin->loadInstrument(file, 1);
    EXPECT_EQ(plugin->log.main.view(), first);
}

TEST_F(LoadDriver, ANameFoundOnlyInThePerUserFolderIsLoadedAndKeptAsWritten) {
    EXPECT_TRUE(plugin->selectInstrument("tone.txt"));
    EXPECT_EQ(plugin->instrumentPath, "tone.txt");
    EXPECT_EQ(plugin->instrumentFileName, "tone.txt");
    EXPECT_EQ(plugin->instrumentFolder, home.path());
    EXPECT_EQ(plugin->engine.voices.post().operationCount, 1);
    char name[64];
    plugin->getProgramName(name);
    EXPECT_STREQ(name, "tone.txt");
}

TEST_F(LoadDriver, AQuestionMarkCompilesSettingsAlone) {
    test::writeFile(home.file("Settings.ini"), "POST\nOUT = 0.5\n");
    plugin->selectInstrument("?");
    EXPECT_EQ(plugin->instrumentPath, "?");
    EXPECT_EQ(plugin->engine.voices.post().operationCount, 1);
    EXPECT_EQ(plugin->log.main.view(), "");  // Settings.ini compiles quietly
}

TEST_F(LoadDriver, AQuestionMarkKeepsTheStoredFileNameAndFolder) {
    vst::AEffect* effect = plugin->getAeffect();
    std::string file = home.file("tone.txt");
    ASSERT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, file.data(), 0), 1);
    std::string none = "?";
    effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, none.data(), 0);
    EXPECT_EQ(plugin->engine.voices.post().operationCount, 0);  // Settings.ini alone
    EXPECT_EQ(plugin->instrumentPath, "?");
    EXPECT_EQ(plugin->instrumentFileName, "tone.txt");
    EXPECT_EQ(plugin->instrumentFolder, home.path());
    char name[64] = {};
    effect->dispatcher(effect, vst::effGetProgramName, 0, 0, name, 0);
    EXPECT_STREQ(name, "tone.txt");
}

TEST_F(LoadDriver, AMissingFileIsReportedAndTheLoadAnswersFalse) {
    EXPECT_FALSE(plugin->selectInstrument(home.file("nothing.txt")));
    EXPECT_NE(plugin->log.main.view().find("**************** ERROR: file \"" + home.file("nothing.txt") +
                                           "\" does not exist or can not open for reading. Skipping file...\r\n"),
              std::string::npos);
}

TEST_F(LoadDriver, TheDefaultSettingsCompileWithoutErrors) {
    plugin->selectInstrument(home.file("tone.txt"));
    const std::string log(plugin->log.main.view());
    EXPECT_EQ(log.find("************"), std::string::npos) << log;
    // Settings.ini chose the Kaiser kernel of 4096 points with 7 zero crossings.
    const compiler::QualitySettings& quality = plugin->compiler->instrument().common.quality;
    EXPECT_EQ(quality.tableSize, 4096);
    EXPECT_EQ(quality.zeroCrossings, 7);
    EXPECT_EQ(quality.windowType, 6);
}

TEST_F(LoadDriver, SamplesAreFoundBesideTheInstrumentAndTheKernelFollowsQuality) {
    test::TempDir elsewhere;
    std::string out;
    ASSERT_EQ(test::runCommand("sox -n -r 44100 -c 1 -b 16 '" + elsewhere.file("tone.wav") + "' synth 0.1 sine 440", &out), 0) << out;
    test::writeFile(elsewhere.file("sampled.txt"),
                    "QUALITY 1024, 3, 0, 1\nSAMPLE 5, \"tone.wav\"\nLAYER\nOUT = OSC0(5)\n");
    plugin->selectInstrument(elsewhere.file("sampled.txt"));
    EXPECT_EQ(plugin->log.main.view().find("ERROR"), std::string::npos) << plugin->log.main.view();
    EXPECT_EQ((*plugin->samples)[5].frames, 4410);
    EXPECT_EQ(plugin->engine.kernel.halfWidth(), 3);
    EXPECT_EQ(plugin->engine.kernel.size(), 1024);
    // The next load starts from empty slots and the default kernel.
    plugin->selectInstrument(home.file("tone.txt"));
    EXPECT_EQ((*plugin->samples)[5].frames, 0);
    EXPECT_EQ(plugin->engine.kernel.halfWidth(), 7);
}

TEST_F(LoadDriver, LastTextIsGoneAfterALoadAndItsLinesEndEveryLayer) {
    test::writeFile(home.file("last.txt"), "LAST OUT = OUT + 0.125\nLAYER\nOUT = 0.25\nLAYER\nOUT = 0.5\n");
    plugin->selectInstrument(home.file("last.txt"));
    EXPECT_FALSE(std::filesystem::exists(home.file("LAST.txt")));
    EXPECT_EQ(plugin->compiler->instrument().layerCount, 2);
    EXPECT_EQ(plugin->compiler->instrument().layers[1].operationCount(), 2);
}

TEST_F(LoadDriver, TheVendorRequestLoadsAFileThroughTheVstInterface) {
    vst::AEffect* effect = plugin->getAeffect();
    std::string file = home.file("tone.txt");
    EXPECT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, file.data(), 0), 1);
    EXPECT_EQ(plugin->engine.voices.post().operationCount, 1);
    std::string missing = home.file("missing.txt");
    EXPECT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, missing.data(), 0), 0);
    EXPECT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, 1234, 0, file.data(), 0), 0);
    // A folder is not an instrument file, even where the system would open it.
    std::string folder = home.path();
    EXPECT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, folder.data(), 0), 0);
    EXPECT_NE(plugin->log.main.view().find("**************** ERROR: file \"" + folder +
                                           "\" does not exist or can not open for reading. Skipping file...\r\n"),
              std::string::npos)
        << plugin->log.main.view();
}

// A host renders on its audio thread while the user reloads the instrument on another: the
// callbacks must never see a half-built instrument (run under the sanitizers to prove it).
TEST_F(LoadDriver, ReloadingWhileTheAudioThreadRendersIsSafe) {
    test::writeFile(home.file("busy.txt"),
                    "POST\nOUT = OUT * 0.5 + SIN(TIME * 2000) * 0.1\n"
                    "LAYER\nx = SIN(6.2831853 * FREQ * TIME)\nOUT = x * 0.1\n"
                    "LAYER\nOUT = SAT(RND(1)) * 0.01\n");
    plugin->setSampleRate(44100.0f);
    plugin->resume();
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        std::vector<float> in(256, 0.0f), left(256), right(256);
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {left.data(), right.data()};
        vst::VstMidiEvent note{};
        note.type = vst::kVstMidiType;
        note.byteSize = sizeof note;
        struct {
            vst::VstInt32 numEvents;
            vst::VstIntPtr reserved;
            vst::VstEvent* events[1];
        } list{1, 0, {reinterpret_cast<vst::VstEvent*>(&note)}};
        while (!stop.load()) {
            plugin->processEvents(reinterpret_cast<vst::VstEvents*>(&list));
            {
                // Start a voice the way a note does, but only when no load is running.
                AudioThreadGuard::AudioScope scope(plugin->audioGuard);
                if (scope && plugin->compiler->instrument().layerCount > 0)
                    plugin->engine.startVoice(plugin->compiler->instrument(), blocks % 2, 60, 100,
                                              plugin->engine.sampleClock);
            }
            plugin->processReplacing(inputs, outputs, 256);
            for (float v : left) ASSERT_TRUE(std::isfinite(v));
            ++blocks;
        }
    });
    for (int i = 0; i < 200; ++i) {
        plugin->selectInstrument(home.file(i % 3 == 2 ? "tone.txt" : "busy.txt"));
    }
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 0);
    EXPECT_EQ(plugin->compiler->instrument().layerCount, 2);
}

}  // namespace
}  // namespace tess
