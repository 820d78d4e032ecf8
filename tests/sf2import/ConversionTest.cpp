// What a conversion writes: the WAV files read back by our own reader, file names, and the
// instrument lines whose arithmetic decides how the preset sounds.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "samples/AudioFileReader.h"
#include "sf2import/ImportSupport.h"
#include "sf2import/SafeName.h"
#include "tessarine/Check.h"

namespace tess::test {
namespace {

std::vector<float> readWav(const std::string& path, AudioFileInfo& info) {
    std::vector<float> samples;
    EXPECT_TRUE(readAudioFile(path, 0, -1, samples, &info)) << path;
    return samples;
}

std::vector<std::int16_t> ramp(int n, int scale) {
    std::vector<std::int16_t> p;
    for (int k = 0; k < n; ++k) p.push_back(static_cast<std::int16_t>((k + 1) * scale));
    return p;
}

TEST(Conversion, MonoFileHoldsTheSampleAndTheBanksGuardPoints) {
    SfBank bank = simpleBank();
    bank.samples[0].points = ramp(100, 3);
    bank.samples[0].guard = std::vector<std::int16_t>(46, 7);
    TempDir dir;
    ASSERT_TRUE(importBytes(dir, layout(bank.tree())).summary.succeeded);
    AudioFileInfo info;
    const std::vector<float> v = readWav(dir.file("out/0001_Lead/samples/Sine.wav"), info);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.bits, 16);
    EXPECT_EQ(info.formatTag, 1);
    EXPECT_EQ(info.sampleRate, 44100.0f);
    ASSERT_EQ(v.size(), 146u);
    for (int k = 0; k < 100; ++k) EXPECT_EQ(v[k], (k + 1) * 3 / 32768.0f) << k;
    for (int k = 100; k < 146; ++k) EXPECT_EQ(v[k], 7 / 32768.0f) << k;
}

TEST(Conversion, ShortGuardsArePaddedWithSilence) {
    // Sample 0 is followed by only 20 points before sample 1 starts; sample 1 by only 10 before
    // the sample data ends. Neither file may carry the other sample's points.
    SfBank bank = simpleBank();
    bank.samples[0].points = ramp(100, 3);
    bank.samples[0].guard = std::vector<std::int16_t>(20, 5);
    SfSample second = bank.samples[0];
    second.name = "Last";
    second.points = std::vector<std::int16_t>(50, 1000);
    second.guard = std::vector<std::int16_t>(10, 9);
    second.loopEnd = 40;
    bank.samples.push_back(second);
    bank.instruments[0].zones = {SfZone{{{43, rangeAmount(0, 59)}, {53, 0}}, {}},
                                 SfZone{{{43, rangeAmount(60, 127)}, {53, 1}}, {}}};
    TempDir dir;
    ASSERT_TRUE(importBytes(dir, layout(bank.tree())).summary.succeeded);
    AudioFileInfo info;
    const std::vector<float> first = readWav(dir.file("out/0001_Lead/samples/Sine.wav"), info);
    ASSERT_EQ(first.size(), 146u);
    for (int k = 100; k < 120; ++k) EXPECT_EQ(first[k], 5 / 32768.0f) << k;
    for (int k = 120; k < 146; ++k) EXPECT_EQ(first[k], 0.0f) << k;
    const std::vector<float> last = readWav(dir.file("out/0001_Lead/samples/Last.wav"), info);
    ASSERT_EQ(last.size(), 96u);
    for (int k = 50; k < 60; ++k) EXPECT_EQ(last[k], 9 / 32768.0f) << k;
    for (int k = 60; k < 96; ++k) EXPECT_EQ(last[k], 0.0f) << k;
}

TEST(Conversion, LinkedStereoPairPutsTheLeftSampleFirst) {
    SfBank bank = simpleBank();
    SfSample left = bank.samples[0];
    left.name = "PadL";
    left.type = 4;
    left.link = 1;
    left.points = ramp(60, 2);
    SfSample right = left;
    right.name = "PadR";
    right.type = 2;
    right.link = 0;
    right.points = ramp(60, -5);
    bank.samples = {left, right};
    // The zone names the right sample: its file still has the left sample in channel 1.
    bank.instruments[0].zones = {SfZone{{{53, 1}}, {}}};
    TempDir dir;
    ASSERT_TRUE(importBytes(dir, layout(bank.tree())).summary.succeeded);
    AudioFileInfo info;
    const std::vector<float> v = readWav(dir.file("out/0001_Lead/samples/PadR.wav"), info);
    EXPECT_EQ(info.channels, 2);
    ASSERT_EQ(v.size(), 2u * 106u);
    for (int k = 0; k < 60; ++k) {
        EXPECT_EQ(v[2 * k], (k + 1) * 2 / 32768.0f) << k;
        EXPECT_EQ(v[2 * k + 1], (k + 1) * -5 / 32768.0f) << k;
    }
    const std::string text = readFile(dir.file("out/0001_Lead/Instrument.txt"));
    EXPECT_NE(text.find("OUT = RIGHT(OUT)\r\n"), std::string::npos) << text;
}

TEST(Conversion, TwentyFourBitBanksGiveFloatFiles) {
    SfBank bank = simpleBank();
    bank.samples[0].points = ramp(100, -300);
    bank.with24Bit = true;
    TempDir dir;
    ASSERT_TRUE(importBytes(dir, layout(bank.tree())).summary.succeeded);
    AudioFileInfo info;
    const std::vector<float> v = readWav(dir.file("out/0001_Lead/samples/Sine.wav"), info);
    EXPECT_EQ(info.formatTag, 3);
    EXPECT_EQ(info.bits, 32);
    ASSERT_EQ(v.size(), 146u);
    for (int k = 0; k < 100; ++k) {
        const int low = (k * 7) & 0xFF;
        EXPECT_EQ(v[k], static_cast<float>((k + 1) * -300 * 256 + low) / 8388608.0f) << k;
    }
}

TEST(Conversion, NamesAreSafeOnBothFileSystems) {
    const std::pair<const char*, const char*> cases[] = {
        {"Piano 1", "Piano_1"},
        {"a/b\\c:d*e?f", "a_b_c_d_e_f"},
        {"Str \"q\" <x>|", "Str__q___x__"},
        {"CON", "_CON"},
        {"com3.x", "_com3.x"},
        {"", "unnamed"},
        {"Pad.", "Pad_"},
        {".hidden", "_hidden"},
        {"Caf\xe9", "Caf_"},
        {"Tab\there", "Tab_here"},
        {"Bass   ", "Bass"},
        {"(Orch) #1,2%", "_Orch___1_2_"},
    };
    for (const auto& [name, safe] : cases) EXPECT_EQ(sf2::safeFileName(name), safe) << name;
}

// Preset and sample names that would climb out of the output folder, or name a folder of
// their own, become plain names inside it: the import writes nothing anywhere else.
TEST(Conversion, NamesThatWouldLeaveTheOutputFolderStayInside) {
    SfBank bank = simpleBank();
    bank.samples[0].name = "../../../sample";
    bank.presets[0].name = "../../escape";
    for (const char* name : {"/tmp/absolute", "..", "C:\\Windows\\x", "."}) {
        SfOwner preset = bank.presets[0];
        preset.name = name;
        preset.preset = static_cast<std::uint16_t>(bank.presets.size());
        bank.presets.push_back(preset);
    }
    TempDir dir;
    ASSERT_TRUE(importBytes(dir, layout(bank.tree())).summary.succeeded);

    std::istringstream tree(listTree(dir.path()));
    int presetFolders = 0;
    for (std::string line; std::getline(tree, line);) {
        EXPECT_TRUE(line == "bank.sf2" || line == "out" || line.rfind("out/", 0) == 0) << line;
        std::istringstream parts(line);
        for (std::string part; std::getline(parts, part, '/');)
            EXPECT_TRUE(part != ".." && part != "." && !part.empty()) << line;
        if (line.rfind("out/", 0) == 0 && line.find('/', 4) == std::string::npos) ++presetFolders;
        if (line.size() > 15 && line.compare(line.size() - 15, 15, "/Instrument.txt") == 0) {
            const std::string text = readFile(dir.file(line));
            EXPECT_NE(text.find("\"samples\\_._.._.._sample.wav\""), std::string::npos) << text;
        }
    }
    EXPECT_EQ(presetFolders, 5);
}

TEST(Conversion, SamplesWhoseNamesCollideKeepTheirOwnFiles) {
    SfBank bank = simpleBank();
    SfSample other = bank.samples[0];
    other.name = "sine";
    other.points = ramp(100, 9);
    bank.samples.push_back(other);
    bank.instruments[0].zones = {SfZone{{{43, rangeAmount(0, 59)}, {53, 0}}, {}},
                                 SfZone{{{43, rangeAmount(60, 127)}, {53, 1}}, {}}};
    TempDir dir;
    ASSERT_TRUE(importBytes(dir, layout(bank.tree())).summary.succeeded);
    EXPECT_EQ(listTree(dir.file("out/0001_Lead/samples")), "Sine.wav\nsine_1.wav\n");
    const std::string text = readFile(dir.file("out/0001_Lead/Instrument.txt"));
    EXPECT_NE(text.find("SAMPLE 201,\"samples\\sine_1.wav\""), std::string::npos) << text;
}

// The lines a zone's generators become.
TEST(Conversion, GeneratorsBecomeTheirLines) {
    ScopedUserFolder home;
    SfBank bank = simpleBank();
    bank.samples[0].correction = 10;
    bank.samples[0].pitch = 62;
    bank.presets[0].zones = {SfZone{{{43, rangeAmount(40, 80)}, {34, 1200}, {41, 0}}, {}}};
    bank.instruments[0].zones = {SfZone{{{43, rangeAmount(60, 100)},
                                         {44, rangeAmount(10, 90)},
                                         {57, 5},
                                         {47, 64},
                                         {51, word(-2)},
                                         {52, 30},
                                         {58, 60},
                                         {48, 100},
                                         {17, word(-500)},
                                         {53, 0}},
                                        {}}};
    TempDir dir;
    const ImportRun run = importBytes(dir, layout(bank.tree()));
    ASSERT_TRUE(run.summary.succeeded) << run.log;
    const std::string path = dir.file("out/0001_Lead/Instrument.txt");
    const std::string text = readFile(path);
    const char* expected[] = {
        // the correction is applied on playback: the file sounds at its speed 0.1 below 62
        "SAMPLE 200,\"samples\\Sine.wav\",0,61.900000,1,0,0,146,1e10,10,90,5,5,5\r\n",
        "MIDICC 7,100\r\nMIDICC 10,64\r\nMIDICC 11,127\r\n",
        "ONNOTEON 60,80,10,90\r\n",  // preset and instrument key ranges intersect
        "GROUP 5\r\nOFFGROUP 5,0.4031\r\n",
        "VELTRACK 0\r\n",  // a fixed velocity takes over from the velocity curve
        // the preset's +1200 attack is added to the default -12000 timecents: 2^-9 s
        "GAINENV 1,0.0010000,-0.0019531,0.0010000,-0.0010000,1.0000000,0.0010000\r\n",
        // -2 semitones + 30 cents, and the root key 60 two below the sample's 62
        "DETUNE = 0.30\r\n",
        "IATT = 4.0\r\n",  // 100 cB scaled by 0.4
        "PANDIR = -50.0 + MOD2(MCC2(10), 1, -10, -2, 100.0000000, -2)\r\n",
    };
    for (const char* line : expected)
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    std::ostringstream out, err;
    EXPECT_EQ(tool::runCheck(path, 0, out, err), 0) << out.str();
}

// The reference scales the keyboard about the zone's root: scale tuning 50 with root key 57 and
// a +20 cent correction keeps the file's own speed at 56.8 and moves half a semitone a key.
TEST(Conversion, ScaleTuningPivotsOnTheZonesRoot) {
    SfBank bank = simpleBank();
    bank.samples[0].pitch = 69;
    bank.samples[0].correction = 20;
    bank.instruments[0].zones = {SfZone{{{56, 50}, {58, 57}, {52, 5}, {53, 0}}, {}}};
    TempDir dir;
    ASSERT_TRUE(importBytes(dir, layout(bank.tree())).summary.succeeded);
    const std::string text = readFile(dir.file("out/0001_Lead/Instrument.txt"));
    // BASEF is the file's own frequency: its centre 68.8 (69 less the correction).
    for (const char* line :
         {"KEYTRACK 0.50\r\n", "KEYCENTER 56.80\r\n", "BASEF 434.9462\r\n", "DETUNE = 0.05\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

}  // namespace
}  // namespace tess::test
