// The Standard MIDI File reader and the tempo map that turns ticks into sample positions.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "tessarine/MidiFile.h"
#include "tessarine/TempoMap.h"
#include "tools/SmfBuilder.h"

namespace tess::tool {
namespace {

using test::SmfTrack;
using test::smf;

struct Expected {
    std::int64_t tick;
    int status, data1, data2;
};

bool parse(const std::string& bytes, MidiFile& file, std::string& error) {
    return parseMidi(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), file, error);
}

void expectMessages(const MidiFile& file, const std::vector<Expected>& expected) {
    ASSERT_EQ(file.messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("message " + std::to_string(i));
        EXPECT_EQ(file.messages[i].tick, expected[i].tick);
        EXPECT_EQ(file.messages[i].status, expected[i].status);
        EXPECT_EQ(file.messages[i].data1, expected[i].data1);
        EXPECT_EQ(file.messages[i].data2, expected[i].data2);
    }
}

struct ParseCase {
    const char* name;
    std::string bytes;
    std::vector<Expected> messages;
};

TEST(MidiFileTest, ChannelMessagesAreReadWithRunningStatusAndSkippedSystemEvents) {
    const std::vector<ParseCase> cases = {
        {"running status for note on and note off by velocity 0",
         smf(0, 96, {SmfTrack().event(0, {0x90, 60, 100}).event(10, {64, 90}).event(10, {60, 0}).event(0, {64, 0}).end()}),
         {{0, 0x90, 60, 100}, {10, 0x90, 64, 90}, {20, 0x90, 60, 0}, {20, 0x90, 64, 0}}},
        {"two-byte messages under running status",
         smf(0, 96, {SmfTrack().event(0, {0xC3, 5}).event(1, {6}).event(1, {0xD3, 70}).event(1, {71}).end()}),
         {{0, 0xC3, 5, 0}, {1, 0xC3, 6, 0}, {2, 0xD3, 70, 0}, {3, 0xD3, 71, 0}}},
        {"every channel message kind",
         smf(0, 96, {SmfTrack()
                          .event(0, {0x81, 60, 64})
                          .event(0, {0x92, 61, 1})
                          .event(0, {0xA3, 62, 2})
                          .event(0, {0xB4, 7, 3})
                          .event(0, {0xC5, 4})
                          .event(0, {0xD6, 5})
                          .event(0, {0xEF, 0x00, 0x40})
                          .end()}),
         {{0, 0x81, 60, 64}, {0, 0x92, 61, 1}, {0, 0xA3, 62, 2}, {0, 0xB4, 7, 3}, {0, 0xC5, 4, 0}, {0, 0xD6, 5, 0},
          {0, 0xEF, 0x00, 0x40}}},
        {"sysex, escaped bytes and meta events are skipped; running status carries over them",
         smf(0, 96, {SmfTrack()
                          .event(0, {0x90, 60, 100})
                          .event(5, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})
                          .event(5, {0xFF, 0x01, 0x03, 'a', 'b', 'c'})
                          .event(5, {0xF7, 0x02, 0xF8, 0xFA})
                          .event(5, {60, 0})
                          .end()}),
         {{0, 0x90, 60, 100}, {20, 0x90, 60, 0}}},
        {"a multi-byte delta time",
         smf(0, 96, {SmfTrack().event(0x0FFFFFFF, {0x90, 1, 2}).end()}), {{0x0FFFFFFF, 0x90, 1, 2}}},
        {"events after the end of track are ignored",
         smf(0, 96, {SmfTrack().event(0, {0x90, 60, 1}).end().event(0, {0x90, 61, 1})}), {{0, 0x90, 60, 1}}},
        {"a track without an end-of-track event ends with its chunk",
         smf(0, 96, {SmfTrack().event(3, {0x90, 60, 1})}), {{3, 0x90, 60, 1}}},
        {"unknown chunks between tracks are skipped",
         test::smfHeader(1, 2, 96) + test::chunk("MTrk", SmfTrack().event(1, {0x90, 1, 1}).end().bytes()) +
             test::chunk("XFIH", {1, 2, 3}) + test::chunk("MTrk", SmfTrack().event(2, {0x90, 2, 2}).end().bytes()),
         {{1, 0x90, 1, 1}, {2, 0x90, 2, 2}}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        MidiFile file;
        std::string error;
        ASSERT_TRUE(parse(c.bytes, file, error)) << error;
        expectMessages(file, c.messages);
    }
}

TEST(MidiFileTest, FormatOneTracksMergeInTimeOrderKeepingTrackOrderAtEqualTicks) {
    const std::string bytes = smf(1, 480,
                                  {SmfTrack().tempo(0, 400000).timeSignature(0, 3, 2).tempo(960, 300000).end(100),
                                   SmfTrack().event(0, {0x90, 60, 1}).event(480, {0x80, 60, 0}).event(480, {0x90, 62, 3}).end(),
                                   SmfTrack().event(0, {0x91, 70, 2}).event(240, {0x81, 70, 0}).event(720, {0x91, 72, 4}).end(2000)});
    MidiFile file;
    std::string error;
    ASSERT_TRUE(parse(bytes, file, error)) << error;
    EXPECT_EQ(file.format, 1);
    EXPECT_EQ(file.trackCount, 3);
    EXPECT_EQ(file.ticksPerQuarter, 480);
    expectMessages(file, {{0, 0x90, 60, 1}, {0, 0x91, 70, 2}, {240, 0x81, 70, 0}, {480, 0x80, 60, 0},
                          {960, 0x90, 62, 3}, {960, 0x91, 72, 4}});
    ASSERT_EQ(file.tempos.size(), 2u);
    EXPECT_EQ(file.tempos[0].tick, 0);
    EXPECT_EQ(file.tempos[0].microsPerQuarter, 400000u);
    EXPECT_EQ(file.tempos[1].tick, 960);
    EXPECT_EQ(file.tempos[1].microsPerQuarter, 300000u);
    ASSERT_EQ(file.timeSignatures.size(), 1u);
    EXPECT_EQ(file.timeSignatures[0].numerator, 3);
    EXPECT_EQ(file.timeSignatures[0].denominator, 4);
    EXPECT_EQ(file.lengthTicks, 2960);  // the third track's end of track: 960 + 2000
}

struct RejectCase {
    const char* name;
    std::string bytes;
    const char* message;  // part of the expected error text
};

TEST(MidiFileTest, MalformedAndUnsupportedFilesAreRefusedWithAReason) {
    const std::string goodTrack = test::chunk("MTrk", SmfTrack().event(0, {0x90, 60, 1}).end().bytes());
    const std::vector<RejectCase> cases = {
        {"empty", "", "not a Standard MIDI File"},
        {"RIFF instead of MThd", "RIFF\0\0\0\0WAVEfmt ", "not a Standard MIDI File"},
        {"format 2", test::smfHeader(2, 1, 96) + goodTrack, "format 2"},
        {"format 7", test::smfHeader(7, 1, 96) + goodTrack, "unknown format 7"},
        {"SMPTE division", test::smfHeader(0, 1, 0xE728) + goodTrack, "SMPTE"},
        {"division 0", test::smfHeader(0, 1, 0) + goodTrack, "division of 0"},
        {"no tracks declared", test::smfHeader(0, 0, 96), "no tracks"},
        {"header shorter than 6", std::string("MThd\0\0\0\x04\0\0\0\x01\0\x60", 14) + goodTrack, "shorter than 6"},
        {"header longer than the file", std::string("MThd\x7F\0\0\0\0\0\0\x01\0\x60", 14), "runs past the end"},
        {"fewer tracks than declared", test::smfHeader(1, 2, 96) + goodTrack, "after 1 of 2 tracks"},
        {"track chunk larger than the file", test::smfHeader(0, 1, 96) + "MTrk" + std::string("\x7F\xFF\xFF\xFF\x00\x90", 6),
         "claims 2147483647 bytes"},
        {"meta length past the track",
         smf(0, 96, {SmfTrack().event(0, {0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 'x'})}), "meta event of 268435455 bytes"},
        {"sysex length past the track", smf(0, 96, {SmfTrack().event(0, {0xF0, 0x40, 1, 2})}), "system exclusive of 64 bytes"},
        {"delta time of five bytes", smf(0, 96, {SmfTrack().raw({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1})}),
         "longer than four bytes"},
        {"data byte without any status", smf(0, 96, {SmfTrack().event(0, {0x40, 0x40}).end()}), "without a status"},
        {"system real-time byte in a track", smf(0, 96, {SmfTrack().event(0, {0xF8}).end()}), "0xF8 is not allowed"},
        {"data byte above 0x7F", smf(0, 96, {SmfTrack().event(0, {0x90, 0x80, 0x10}).end()}), "above 0x7F"},
        {"message cut by the track's end", smf(0, 96, {SmfTrack().event(0, {0x90, 60})}), "ends inside a 0x90 message"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(c.name);
        MidiFile file;
        std::string error;
        EXPECT_FALSE(parse(c.bytes, file, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

std::string richFile() {
    return smf(1, 480,
               {SmfTrack().tempo(0, 500000).timeSignature(0, 4, 2).event(0, {0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'}).end(1920),
                SmfTrack()
                    .event(0, {0xC0, 1})
                    .event(0, {0xB0, 7, 100})
                    .event(0, {0x90, 60, 100})
                    .event(0x3FFF, {0xF0, 0x03, 0x01, 0x02, 0xF7})
                    .event(1, {62, 90})
                    .event(2, {0xE0, 0, 64})
                    .end()});
}

TEST(MidiFileTest, EveryTruncationIsRefusedAndNeverReadsPastTheEnd) {
    const std::string full = richFile();
    MidiFile file;
    std::string error;
    ASSERT_TRUE(parse(full, file, error)) << error;
    for (std::size_t length = 0; length < full.size(); ++length) {
        // A copy of exactly `length` bytes, so that a sanitizer sees any read beyond it.
        std::vector<unsigned char> cut(full.begin(), full.begin() + std::ptrdiff_t(length));
        error.clear();
        EXPECT_FALSE(parseMidi(cut.data(), cut.size(), file, error)) << "length " << length;
        EXPECT_FALSE(error.empty()) << "length " << length;
    }
}

TEST(MidiFileTest, CorruptedBytesNeverCrashTheReader) {
    const std::string full = richFile();
    std::mt19937 random(20240611);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> bytes(full.begin(), full.end());
        const int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; ++i) bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
        MidiFile file;
        std::string error;
        if (parseMidi(bytes.data(), bytes.size(), file, error)) {
            ++accepted;
            for (const MidiMessage& message : file.messages) {
                EXPECT_GE(message.status, 0x80);
                EXPECT_LT(message.status, 0xF0);
                EXPECT_LT(message.data1, 0x80);
                EXPECT_LT(message.data2, 0x80);
            }
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_GT(accepted, 0);  // the check above saw parsed files, not only refusals
}

struct TickCase {
    const char* name;
    int rate;
    int ticksPerQuarter;
    std::vector<TempoEvent> tempos;
    std::int64_t tick;
    std::int64_t sample;
};

TEST(MidiTempoMapTest, TicksBecomeExactSamplePositionsThroughTempoChanges) {
    std::vector<TempoEvent> alternating;
    for (int k = 0; k < 1000; ++k) alternating.push_back({k, k % 2 == 0 ? 333333u : 400001u});
    const std::vector<TickCase> cases = {
        {"default 120 BPM, one quarter", 44100, 480, {}, 480, 22050},
        {"before a tempo change", 44100, 480, {{0, 500000}, {960, 250000}, {1920, 400000}}, 960, 44100},
        {"inside the 240 BPM segment", 44100, 480, {{0, 500000}, {960, 250000}, {1920, 400000}}, 1440, 55125},
        {"inside the 150 BPM segment", 44100, 480, {{0, 500000}, {960, 250000}, {1920, 400000}}, 2000, 69090},
        {"rounded down (153.12 samples)", 44100, 96, {{0, 333333}}, 1, 153},
        {"rounded up (1071.87 samples)", 44100, 96, {{0, 333333}}, 7, 1072},
        {"exactly half a sample rounds up (220.5)", 44100, 1, {{0, 5000}}, 1, 221},
        {"exactly half a sample rounds up (661.5)", 44100, 1, {{0, 5000}}, 3, 662},
        {"exactly half, where floating point gives 7717.4999 (7717.5)", 44100, 1, {{0, 25000}}, 7, 7718},
        {"a thousand tempo changes accumulate exactly (168437.65)", 44100, 96, alternating, 1000, 168438},
        {"48 kHz, one tick", 48000, 480, {}, 1, 50},
        {"a later tempo event at the same tick wins", 44100, 480, {{0, 1000000}, {0, 250000}}, 480, 11025},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TempoMap map(c.rate, c.ticksPerQuarter, 120.0, c.tempos, {});
        EXPECT_EQ(map.sampleAtTick(c.tick), c.sample);
    }
}

TEST(MidiTempoMapTest, TransportPositionFollowsTempoAndTimeSignature) {
    // 120 BPM, 3/4 from the start; at quarter 6 (bar 3) 6/8 and 60 BPM.
    const TempoMap map(48000, 480, 120.0, {{2880, 1000000}}, {{0, 3, 4}, {2880, 6, 8}});
    struct Case {
        std::int64_t sample;
        double ppq, bpm, barStart;
        int numerator, denominator;
    };
    const std::vector<Case> cases = {
        {0, 0.0, 120.0, 0.0, 3, 4},
        {24000, 1.0, 120.0, 0.0, 3, 4},
        {72000, 3.0, 120.0, 3.0, 3, 4},        // second bar begins at quarter 3
        {143999, 5.9999583, 120.0, 3.0, 3, 4},
        {144000, 6.0, 60.0, 6.0, 6, 8},       // three seconds: tempo and metre change together
        {192000, 7.0, 60.0, 6.0, 6, 8},
        {336000, 10.0, 60.0, 9.0, 6, 8},      // a 6/8 bar lasts three quarters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("sample " + std::to_string(c.sample));
        const TransportPosition position = map.positionAtSample(c.sample);
        EXPECT_NEAR(position.ppq, c.ppq, 1e-5);
        EXPECT_DOUBLE_EQ(position.bpm, c.bpm);
        EXPECT_NEAR(position.barStartPpq, c.barStart, 1e-9);
        EXPECT_EQ(position.numerator, c.numerator);
        EXPECT_EQ(position.denominator, c.denominator);
    }
}

}  // namespace
}  // namespace tess::tool
