#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "samples/SampleDirective.h"
#include "samples/SampleFiles.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using test::ramp;
using test::writeFloatWav;

class SampleDirective : public ::testing::Test {
protected:
    void SetUp() override {
        compiler = std::make_unique<compiler::InstrumentCompiler>(log, user.path());
        installSampleDirective(*compiler, *bank, context);
        ASSERT_TRUE(writeFloatWav(dir.file("ramp.wav"), ramp(4000)));
    }

    // Compiles the lines as an instrument file in `dir`; returns the log.
    std::string compile(const std::string& lines, int debug = 0) {
        log.clear();
        log.debugLevel = debug;
        test::writeFile(dir.file("instrument.txt"), (debug > 0 ? "DEBUG " + std::to_string(debug) + "\n" : "") + lines);
        compiler->reset();
        compiler->compileFile(0, dir.file("instrument.txt"));
        return std::string(log.main.view());
    }

    Log log;
    test::TempDir dir;
    test::TempDir user;
    std::unique_ptr<SampleBank> bank = std::make_unique<SampleBank>();
    SampleContext context;
    std::unique_ptr<compiler::InstrumentCompiler> compiler;
};

TEST_F(SampleDirective, RejectedLinesNameTheirFaultAndLeaveTheSlot) {
    compile("SAMPLE 1, 2\n");
    ASSERT_EQ((*bank)[1].kind, SampleSlot::kAdditive);
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"SAMPLE 8192, 1", "<slot_number> must be between 0 and 8191..."},
        {"SAMPLE -1, 1", "<slot_number> must be between 0 and 8191..."},
        {"SAMPLE 1, 13", "<numeric_code> must be 0 to 12..."},
        {"SAMPLE 1, 1, 2, 0.5", "Harmonic #2, incomplete specification..."},
        {"SAMPLE 1, 1, 2, 0.5, 2, 0, 3", "Harmonic #3, incomplete specification..."},
        {"SAMPLE 1, 1, 13, 0.5, 2, 0", "Harmonic #2, <harmonic_numeric_code> must be 0 to 12..."},
        {"SAMPLE 1, 1, 2, 0, 2, 0", "Harmonic #2, <harmonic_amplitude> must be ]0, 1000]..."},
        {"SAMPLE 1, 1, 2, 1001, 2, 0", "Harmonic #2, <harmonic_amplitude> must be ]0, 1000]..."},
        {"SAMPLE 1, 1, 2, 1, 0, 0", "Harmonic #2, <harmonic_frequency> must be ]0, 1000]..."},
        {"SAMPLE 1, 1, 2, 1, 2, 1", "Harmonic #2, <harmonic_phase> must be [0, 1[, that means [0, 2*PI[..."},
        {"SAMPLE 1, 1, 2, 1, 2, x", "Parameter 6 MUST be valid numeric constant..."},
        {"SAMPLE 1, \"ramp.wav\", 5", "<normalization_mode> must be 0, 1, 2, 3 or 4..."},
        {"SAMPLE 1, \"ramp.wav\", 0, 128.5", "<center_note> should be between 0.0 and 128.0..."},
        {"SAMPLE 1, \"ramp.wav\", 0, 60, 2", "<looped> must be 0 or 1..."},
        {"SAMPLE 1, \"ramp.wav\", 0, 60, 1, 4", "<direction> must be 0, 1, 2 or 3..."},
        {"SAMPLE 1, \"ramp.wav\", abc", "Parameter 3 MUST be valid numeric constant..."},
        {"SAMPLE 1, \"ramp.wav\", \"1\"", "Parameter 3 MUST be numeric constant..."},
        {"SAMPLE \"1\", 1", "Parameter 1 MUST be numeric constant..."},
        {"SAMPLE 1, \"ramp.wav\", 0, 69, 1, 0, 0, 0, 0, 0, 0, 5, 5, 5, 5",
         "Maximum number of 14 parameters for sampled data exceeded..."},
        {"SAMPLE 1, \"\", 0", "Filename MUST be a string of length between 1 and 256 characters..."},
        {"SAMPLE 1, 1 (2)", "Parenthesis not allowed..."},
        {"SAMPLE 1, \"missing.wav\"", "File \"missing.wav\" not found..."},
    };
    for (const auto& c : cases) {
        const std::string text = compile(std::string(c.line) + "\n");
        EXPECT_NE(text.find(std::string("ERROR: SAMPLE. ") + c.message + "\r\n" + c.line + "\r\n"), std::string::npos)
            << c.line << "\n" << text;
        EXPECT_EQ((*bank)[1].kind, SampleSlot::kAdditive) << c.line;
        EXPECT_EQ((*bank)[1].codes[0], 2) << c.line;
    }
    std::string harmonics = "SAMPLE 1, 1";
    for (int k = 0; k < 32; ++k) harmonics += ", 1, 0.5, 2, 0";
    EXPECT_NE(compile(harmonics + "\n").find("ERROR: SAMPLE. Maximum number of 31+1 harmonics exceeded..."),
              std::string::npos);
    EXPECT_NE(compile("LAYER\nSAMPLE 1, 1\n").find("ERROR: SAMPLE only in COMMON section...\r\nSAMPLE 1, 1"),
              std::string::npos);
    EXPECT_EQ((*bank)[1].codes[0], 2);
}

TEST_F(SampleDirective, AdditiveSlotsHoldTheirHarmonics) {
    std::string longest = "SAMPLE 9, 0";
    for (int k = 0; k < 31; ++k) longest += ", 3, 0.5, " + std::to_string(k + 2) + ", 0.5";
    const std::string text = compile("SAMPLE 0, 1\nSAMPLE 5, 1, 2, 0.5, 2, 0.25\n" + longest + "\n", 3);
    const SampleSlot& one = (*bank)[0];
    EXPECT_EQ(one.kind, SampleSlot::kAdditive);
    EXPECT_EQ(one.harmonicCount, 1);
    EXPECT_EQ(one.codes[0], 1);
    EXPECT_EQ(one.amplitudes[0], 1.0f);
    EXPECT_EQ(one.ratios[0], 1.0f);
    const SampleSlot& two = (*bank)[5];
    EXPECT_EQ(two.harmonicCount, 2);
    EXPECT_EQ(two.codes[1], 2);
    EXPECT_EQ(two.amplitudes[1], 0.5f);
    EXPECT_EQ(two.ratios[1], 2.0f);
    EXPECT_NEAR(two.phases[1], 3.14159265f / 2.0f, 1e-6f);  // a quarter turn
    EXPECT_EQ((*bank)[9].harmonicCount, 32);
    EXPECT_EQ((*bank)[9].ratios[31], 32.0f);
    EXPECT_NE(text.find("SAMPLE #5. 1+1 harmonics.\r\nHarmonic 1: t 1, a 1.0000, f 1.0000, p 0.0000\r\n"
                        "Harmonic 2: t 2, a 0.5000, f 2.0000, p 0.2500\r\nSAMPLE #5 correctly created.\r\n"),
              std::string::npos)
        << text;
}

TEST_F(SampleDirective, DeleteFreesTheSlot) {
    const std::string text = compile("SAMPLE 3, \"ramp.wav\"\nSAMPLE 3\n", 2);
    EXPECT_FALSE((*bank)[3].playable());
    EXPECT_FALSE((*bank)[3].hasSamples());
    EXPECT_NE(text.find("SAMPLE #3 is to be deleted.\r\nSAMPLE #3 correctly deleted.\r\n"), std::string::npos);
    // Loading over samples warns first, whatever the debug level.
    const std::string again = compile("SAMPLE 3, \"ramp.wav\"\nSAMPLE 3, \"ramp.wav\", 0, 60\n");
    EXPECT_NE(again.find("Warning: SAMPLE slot have samples. Deleting it...\r\n"), std::string::npos);
    EXPECT_EQ((*bank)[3].centreNote, 60.0f);
}

// Each case loads the 4000-frame ramp (value i / 8192 at frame i) with one set of positions.
TEST_F(SampleDirective, PositionsFollowTheLoadRules) {
    const struct {
        const char* params;
        std::int32_t frames;      // prepared frames
        float firstValue;         // frame 0 of the prepared data, as a file frame
        std::int32_t loopStart;   // markers, relative to the start read
        std::int32_t loopEnd;
        std::uint8_t flags;
        std::int64_t release;
    } cases[] = {
        {"", 4000, 0, 5, 3995, 0, SampleSlot::kNoRelease},                     // defaults
        {", 0, 69, 1, 0, 100, 0", 3900, 100, 5, 3895, 0, SampleSlot::kNoRelease},  // end 0: to the end
        {", 0, 69, 1, 0, 0, -1000", 3000, 0, 5, 2995, 0, SampleSlot::kNoRelease},  // 1000 before the end
        {", 0, 69, 1, 0, 500, 200", 300, 200, 5, 295, 0, SampleSlot::kNoRelease},  // swapped
        {", 0, 69, 1, 0, -300, 1300", 1000, 300, 5, 995, 0, SampleSlot::kNoRelease},  // |start|
        {", 0, 69, 1, 0, 5000", 4000, 0, 5, 3995, 0, SampleSlot::kNoRelease},         // start past the file
        // Loop points too close to the start, to each other and to the end.
        {", 0, 69, 0, 0, 100, 1100, 1e10, 101, 102", 1000, 100, 5, 10, SampleSlot::kLoops, SampleSlot::kNoRelease},
        {", 0, 69, 0, 0, 100, 1100, 1e10, 600, 1098", 1000, 100, 500, 995, SampleSlot::kLoops, SampleSlot::kNoRelease},
        {", 0, 69, 0, 0, 100, 1100, 1e10, 900, 300", 1000, 100, 200, 800, SampleSlot::kLoops, SampleSlot::kNoRelease},
        // Release: inside, below the start, beyond the end, counted back from the end.
        {", 0, 69, 1, 0, 100, 1100, 700", 1000, 100, 5, 995, SampleSlot::kHasRelease, 600},
        {", 0, 69, 1, 0, 100, 1100, 50", 1000, 100, 5, 995, SampleSlot::kHasRelease, 0},
        {", 0, 69, 1, 0, 100, 1100, 1200", 1000, 100, 5, 995, 0, SampleSlot::kNoRelease},
        {", 0, 69, 1, 0, 100, 1100, -100", 1000, 100, 5, 995, SampleSlot::kHasRelease, 900},
    };
    for (const auto& c : cases) {
        const std::string line = std::string("SAMPLE 2, \"ramp.wav\"") + c.params;
        const std::string text = compile(line + "\n");
        const SampleSlot& s = (*bank)[2];
        ASSERT_EQ(s.kind, SampleSlot::kSampled) << line << "\n" << text;
        EXPECT_EQ(s.frames, c.frames) << line;
        EXPECT_EQ(s.left.front(), c.firstValue / 8192.0f) << line;
        EXPECT_EQ(s.left.back(), (c.firstValue + static_cast<float>(c.frames) - 1.0f) / 8192.0f) << line;
        EXPECT_EQ(s.markers.lastIndex, c.frames - 1) << line;
        EXPECT_EQ(s.markers.loopStart, c.loopStart) << line;
        EXPECT_EQ(s.markers.loopEnd, c.loopEnd) << line;
        EXPECT_EQ(s.markers.loopLength, c.loopEnd - c.loopStart) << line;
        EXPECT_EQ(s.loopFlags, c.flags) << line;
        EXPECT_EQ(s.releasePoint, c.release) << line;
        if ((c.flags & SampleSlot::kHasRelease) != 0) {
            EXPECT_EQ(s.markers.releaseStart, c.release) << line;
        }
        EXPECT_EQ(s.fileRate, 44100.0f);
        compile("SAMPLE 2\n");
    }
}

TEST_F(SampleDirective, AnEndCountedBackPastTheFileLeavesNothingToPlay) {
    compile("SAMPLE 2, \"ramp.wav\", 0, 60\n");
    const std::string text = compile("SAMPLE 2, \"ramp.wav\", 0, 69, 1, 0, 0, -9000\n");
    EXPECT_NE(text.find("ERROR: SAMPLE. Unknown error processing file \"ramp.wav\"...\r\n"), std::string::npos) << text;
    EXPECT_EQ((*bank)[2].centreNote, 60.0f);
    EXPECT_EQ((*bank)[2].frames, 4000);
}

TEST_F(SampleDirective, FilesAreFoundBesideTheInstrumentAndInTheUserFolder) {
    ASSERT_TRUE(writeFloatWav(user.file("mine.wav"), ramp(100)));
    context.instrumentFolder = "";
    compile("SAMPLE 1, \"ramp.wav\"\nSAMPLE 2, \"mine.wav\"\nSAMPLE 3, \"" + dir.file("ramp.wav") + "\"\n");
    EXPECT_EQ((*bank)[1].frames, 4000);  // beside the instrument file
    EXPECT_EQ((*bank)[2].frames, 100);   // in the per-user folder
    EXPECT_EQ((*bank)[3].frames, 4000);  // the name as written
    // Either separator names a sub-folder.
    test::runCommand("mkdir -p '" + dir.file("sub") + "' && cp '" + dir.file("ramp.wav") + "' '" + dir.file("sub") + "/'",
                     nullptr);
    compile("SAMPLE 4, \"sub\\ramp.wav\"\nSAMPLE 5, \"sub/ramp.wav\"\n");
    EXPECT_EQ((*bank)[4].frames, 4000);
    EXPECT_EQ((*bank)[5].frames, 4000);
}

TEST_F(SampleDirective, MalformedFilesAreRefusedAndLeaveTheSlot) {
    compile("SAMPLE 7, \"ramp.wav\", 0, 60\n");
    test::writeFile(dir.file("text.wav"), "this is not audio at all");
    const std::string wav = test::readFile(dir.file("ramp.wav"));
    test::writeFile(dir.file("cut.wav"), wav.substr(0, 30));  // cut inside the format chunk
    ASSERT_EQ(test::runCommand("sox -n -c 3 -r 8000 '" + dir.file("three.wav") + "' synth 0.01 sine 100", nullptr), 0);
    for (const char* name : {"text.wav", "cut.wav", "three.wav"}) {
        const std::string text = compile(std::string("SAMPLE 7, \"") + name + "\"\n");
        EXPECT_NE(text.find(std::string("ERROR: SAMPLE. File \"") + name +
                            "\": invalid audio file. Only mono or stereo PCM WAV (8/16/24/32/F32/F64) and AIF "
                            "(8/16/24/32) supported...\r\n"),
                  std::string::npos)
            << name << "\n" << text;
        EXPECT_EQ((*bank)[7].frames, 4000) << name;
        EXPECT_EQ((*bank)[7].centreNote, 60.0f) << name;
    }
}

TEST_F(SampleDirective, AnUnfinishedRecordingPlaysWhatItHolds) {
    const std::string wav = test::readFile(dir.file("ramp.wav"));
    const std::size_t data = wav.find("data");
    ASSERT_NE(data, std::string::npos);
    std::string open = wav;  // the sample chunk's size never written: 4 GB
    for (int k = 4; k < 8; ++k) open[data + static_cast<std::size_t>(k)] = '\xff';
    test::writeFile(dir.file("open.wav"), open);
    test::writeFile(dir.file("half.wav"), wav.substr(0, data + 8 + 4 * 1000 + 3));  // 1000 frames and a piece
    const std::string text = compile("SAMPLE 1, \"open.wav\"\nSAMPLE 2, \"half.wav\"\n");
    EXPECT_EQ(text.find("ERROR"), std::string::npos) << text;
    EXPECT_EQ((*bank)[1].frames, 4000);
    EXPECT_EQ((*bank)[2].frames, 1000);
}

TEST_F(SampleDirective, PanelLoadRecordsWhatItLoaded) {
    context.instrumentFolder = dir.path();
    SampleRequest r;
    r.fileName = "ramp.wav";
    r.start = 100;
    r.end = 1100;
    r.loopStart = 300;
    r.loopEnd = 900;
    r.release = 700;
    r.looped = 3;
    r.direction = 0;
    r.centreNote = 57.5f;
    r.crossfades = {7, 8, 9};
    r.normalisation = 1;
    SamplePanelRecord record;
    ASSERT_TRUE(loadPanelSample(*bank, 12, r, context, log, record));
    EXPECT_EQ(record.valid, 1);
    EXPECT_STREQ(record.fileName, "ramp.wav");
    // Start and end are the frames read from the file; loop and release count from the start.
    EXPECT_EQ(record.start, 100);
    EXPECT_EQ(record.end, 1100);
    EXPECT_EQ(record.loopStart, 200);
    EXPECT_EQ(record.loopEnd, 800);
    EXPECT_EQ(record.release, 600);
    EXPECT_EQ(record.centreNote, 57.5f);
    EXPECT_EQ(record.looped, 3);
    EXPECT_EQ(record.crossfades[2], 9);
    EXPECT_EQ(record.normalisation, 1);
    EXPECT_EQ(record.slot, 12);
    EXPECT_EQ((*bank)[12].looped, 3);
    EXPECT_EQ((*bank)[12].loopFlags, SampleSlot::kLoops | SampleSlot::kHasRelease);
    EXPECT_FLOAT_EQ((*bank)[12].left.back(), 1.0f);  // normalised by its peak

    // The record asks for the same load again: same frames of the file, same slot data.
    const SampleRequest again = panelRequest(record);
    EXPECT_EQ(again.start, 100);
    EXPECT_EQ(again.end, 1100);
    EXPECT_EQ(again.loopStart, 300);
    EXPECT_EQ(again.loopEnd, 900);
    EXPECT_EQ(again.release, 700);
    const std::vector<float> first = (*bank)[12].left;
    (*bank)[12].clear();
    SamplePanelRecord reloaded;
    ASSERT_TRUE(loadPanelSample(*bank, 12, again, context, log, reloaded));
    EXPECT_EQ((*bank)[12].left, first);
    EXPECT_EQ(reloaded.start, record.start);
    EXPECT_EQ(reloaded.end, record.end);
    EXPECT_EQ(reloaded.loopStart, record.loopStart);
    EXPECT_EQ(reloaded.release, record.release);

    log.clear();
    r.fileName = "nowhere.wav";
    SamplePanelRecord untouched = record;
    EXPECT_FALSE(loadPanelSample(*bank, 12, r, context, log, untouched));
    EXPECT_EQ(std::string(log.main.view()), "************ ERROR: SAMPLEUI. File \"nowhere.wav\" not found...\r\n");
    EXPECT_EQ(untouched.end, 1100);
    test::writeFile(dir.file("bad.wav"), "RIFF....WAVEjunk");
    r.fileName = "bad.wav";
    log.clear();
    EXPECT_FALSE(loadPanelSample(*bank, 12, r, context, log, untouched));
    EXPECT_EQ(std::string(log.main.view()),
              "************ ERROR: SAMPLEUI. File \"bad.wav\": invalid audio file. Only mono or stereo PCM WAV "
              "(8/16/24/32/F32/F64) and AIF (8/16/24/32) supported...\r\n");
    EXPECT_EQ((*bank)[12].frames, 1000);
}

}  // namespace
}  // namespace tess
