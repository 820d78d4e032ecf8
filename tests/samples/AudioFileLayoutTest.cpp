// Chunk layouts written by different tools: the format chunk anywhere before the samples,
// foreign chunks before and after, odd-sized chunks with their pad byte, the SSND offset.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "samples/AudioCorpus.h"
#include "samples/AudioFileReader.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using test::Chunk;
using test::Container;
using test::quote;
using test::tool;

// One 16-bit stereo signal written by sox as WAV and as AIFF; every layout below carries it.
class Layouts : public ::testing::Test {
protected:
    void SetUp() override {
        std::string log;
        ASSERT_EQ(
            tool("sox -D -r 32000 -c 2 -n -b 16 " + quote(wav_) + " synth 0.02 sine 440 sine 1000",
                 &log),
            0)
            << log;
        ASSERT_EQ(tool("sox -D " + quote(wav_) + " " + quote(aiff_), &log), 0) << log;
        ASSERT_EQ(tool("sox -D " + quote(wav_) + " -e floating-point " + quote(wavFloat_), &log), 0)
            << log;
        expected_ = test::soxDecode(wav_);
        ASSERT_EQ(expected_.size(), 1280u);
    }

    // Reads `path` completely and compares it with the signal.
    void expectSignal(const std::string& path, float rate = 32000.0f) {
        const auto query = queryAudioFile(path);
        ASSERT_TRUE(query.has_value());
        EXPECT_EQ(query->count, 1280);
        EXPECT_EQ(query->channels, 2);
        EXPECT_EQ(query->sampleRate, rate);
        std::vector<float> samples;
        ASSERT_TRUE(readAudioFile(path, 0, -1, samples));
        EXPECT_EQ(samples, expected_);
    }

    test::TempDir dir_;
    std::string wav_ = dir_.file("base.wav");
    std::string aiff_ = dir_.file("base.aiff");
    std::string wavFloat_ = dir_.file("base-float.wav");
    std::vector<float> expected_;
};

std::string lowEndian32(std::uint32_t v) {
    std::string s(4, '\0');
    test::putLE32(s, 0, v);
    return s;
}

// A LIST/INFO chunk with a comment, as Windows and many editors write one.
std::string listInfo(const std::string& comment) {
    std::string text = comment + '\0';
    std::string body = "INFOICMT" + lowEndian32(static_cast<std::uint32_t>(text.size())) + text;
    if (text.size() & 1u) body.push_back('\0');
    return body;
}

// A Broadcast WAV description chunk (602 bytes of fixed fields, description first).
std::string bext(const std::string& description) {
    std::string body(602, '\0');
    body.replace(0, description.size(), description);
    return body;
}

TEST_F(Layouts, EditedWaveLayouts) {
    struct Case {
        const char* name;
        std::function<void(Container&)> edit;
        const char* ids;
    };
    const auto insert = [](std::size_t at, Chunk chunk) {
        return [at, chunk](Container& c) {
            c.chunks.insert(c.chunks.begin() + static_cast<std::ptrdiff_t>(at), chunk);
        };
    };
    const Case cases[] = {
        {"JUNK before fmt", insert(0, {"JUNK", std::string(28, '\0')}), "JUNK|fmt |data"},
        {"bext before fmt", insert(0, {"bext", bext("Tessarine")}), "bext|fmt |data"},
        {"JUNK and bext before fmt",
         [](Container& c) {
             c.chunks.insert(c.chunks.begin(),
                             {{"JUNK", std::string(52, '\0')}, {"bext", bext("take 1")}});
         },
         "JUNK|bext|fmt |data"},
        {"LIST between fmt and data", insert(1, {"LIST", listInfo("hello")}), "fmt |LIST|data"},
        {"odd chunk before data", insert(1, {"odd ", "abc"}), "fmt |odd |data"},
        {"odd chunk before fmt", insert(0, {"JUNK", "x"}), "JUNK|fmt |data"},
        {"odd chunks everywhere",
         [](Container& c) {
             c.chunks.insert(c.chunks.begin() + 1, {"LIST", listInfo("abcdef")});
             c.chunks.insert(c.chunks.begin() + 1, {"zzzz", "12345"});
             c.chunks.insert(c.chunks.begin(), {"JUNK", "1"});
         },
         "JUNK|fmt |zzzz|LIST|data"},
        {"fmt of 18 bytes on PCM", [](Container& c) { c.at("fmt ").body += std::string(2, '\0'); },
         "fmt |data"},
        {"second fmt after the first is skipped",
         [](Container& c) {
             std::string other = c.at("fmt ").body;
             test::putLE16(other, 2, 1);  // would say mono
             c.chunks.insert(c.chunks.begin() + 1, {"fmt ", other});
         },
         "fmt |fmt |data"},
        {"chunk after data",
         [](Container& c) {
             c.chunks.push_back({"LIST", listInfo("end")});
         },
         "fmt |data|LIST"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Container file = test::parseContainer(test::readFile(wav_));
        ASSERT_EQ(file.ids(), "fmt |data");
        c.edit(file);
        const std::string path = dir_.file("edited.wav");
        test::writeFile(path, test::buildContainer(file));
        EXPECT_EQ(test::parseContainer(test::readFile(path)).ids(), c.ids);
        expectSignal(path);
    }
}

TEST_F(Layouts, EditedAiffLayouts) {
    // MARK: one marker (id 1, position 0, name "A"); INST: base note, detune, ranges, gain, loops.
    const std::string mark = std::string("\0\1\0\1\0\0\0\0\1A", 10);
    const std::string inst = std::string("\x3C\0\0\x7F\0\x7F\0\0", 8) + std::string(12, '\0');
    struct Case {
        const char* name;
        std::function<void(Container&)> edit;
        const char* ids;
    };
    const Case cases[] = {
        {"as sox writes it", [](Container&) {}, "COMT|COMM|SSND"},
        {"MARK and INST before COMM",
         [&](Container& c) {
             c.chunks.insert(c.chunks.begin(), {{"MARK", mark}, {"INST", inst}});
         },
         "MARK|INST|COMT|COMM|SSND"},
        {"COMM first", [](Container& c) { c.chunks.erase(c.chunks.begin()); }, "COMM|SSND"},
        {"odd NAME before COMM",
         [](Container& c) {
             c.chunks.insert(c.chunks.begin(), {"NAME", "Tessa"});
         },
         "NAME|COMT|COMM|SSND"},
        {"odd ANNO between COMM and SSND",
         [](Container& c) {
             c.chunks.insert(c.chunks.begin() + 2, {"ANNO", "abc"});
         },
         "COMT|COMM|ANNO|SSND"},
        {"SSND offset honoured",
         [](Container& c) {
             std::string& body = c.at("SSND").body;
             std::string fields = body.substr(0, 8);
             test::putBE32(fields, 0, 6);
             body = fields + std::string(6, '\x7F') + body.substr(8);
         },
         "COMT|COMM|SSND"},
        {"COMM longer than 18 bytes", [](Container& c) { c.at("COMM").body += "xyz"; },
         "COMT|COMM|SSND"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Container file = test::parseContainer(test::readFile(aiff_));
        ASSERT_EQ(file.ids(), "COMT|COMM|SSND");
        c.edit(file);
        const std::string path = dir_.file("edited.aiff");
        test::writeFile(path, test::buildContainer(file));
        EXPECT_EQ(test::parseContainer(test::readFile(path)).ids(), c.ids);
        expectSignal(path);
    }
}

// Layouts produced by libsndfile's tools.
TEST_F(Layouts, LibsndfileLayouts) {
    struct Case {
        const char* name;
        std::string command;  // {in} and {out} are replaced
        const char* out;
        const char* ids;
    };
    const Case cases[] = {
        {"bext between fmt and data",
         "sndfile-metadata-set --bext-description Tessarine {in} {out}", "bext.wav",
         "fmt |bext|data"},
        {"LIST after data",
         "sndfile-metadata-set --str-comment odd --str-title Tessarine {in} {out}", "list.wav",
         "fmt |data|LIST"},
        // From the float copy: libsndfile rescales integer input on its way to float.
        {"fact and PEAK before data", "sndfile-convert -float32 {float} {out}", "peak.wav",
         "fmt |fact|PEAK|data"},
        {"24-bit AIFF", "sndfile-convert -pcm24 {in} {out}", "sf.aiff", "COMM|SSND"},
        {"8-bit AIFF", "sndfile-convert -pcms8 {in} {out}", "sf8.aiff", "COMM|SSND"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir_.file(c.out);
        std::string command = c.command;
        if (command.find("{in}") != std::string::npos)
            command.replace(command.find("{in}"), 4, quote(wav_));
        else
            command.replace(command.find("{float}"), 7, quote(wavFloat_));
        command.replace(command.find("{out}"), 5, quote(out));
        std::string log;
        ASSERT_EQ(tool(command, &log), 0) << log;
        EXPECT_EQ(test::parseContainer(test::readFile(out)).ids(), c.ids);
        if (std::string(c.out) == "sf8.aiff") {
            // 8 bits keep only the top byte of each 16-bit sample: compare with sox's decoding.
            std::vector<float> samples;
            ASSERT_TRUE(readAudioFile(out, 0, -1, samples));
            EXPECT_EQ(samples, test::soxDecode(out));
        } else {
            expectSignal(out);
        }
    }
}

TEST_F(Layouts, PartialFrameAtTheEndIsNotCounted) {
    for (int extra : {1, 2, 3}) {
        SCOPED_TRACE(extra);
        Container file = test::parseContainer(test::readFile(wav_));
        file.at("data").body += std::string(static_cast<std::size_t>(extra), '\x55');
        const std::string path = dir_.file("partial.wav");
        test::writeFile(path, test::buildContainer(file));
        expectSignal(path);
    }
}

TEST_F(Layouts, EmptySampleChunkQueriesAsZeroAndReadsNothing) {
    for (const bool aiff : {false, true}) {
        SCOPED_TRACE(aiff ? "aiff" : "wav");
        Container file = test::parseContainer(test::readFile(aiff ? aiff_ : wav_));
        std::string& body = file.at(aiff ? "SSND" : "data").body;
        body.resize(aiff ? 8 : 0);
        const std::string path = dir_.file(aiff ? "empty.aiff" : "empty.wav");
        test::writeFile(path, test::buildContainer(file));
        const auto info = queryAudioFile(path);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->count, 0);
        EXPECT_EQ(info->channels, 2);
        std::vector<float> samples;
        EXPECT_FALSE(readAudioFile(path, 0, -1, samples));
        EXPECT_TRUE(samples.empty());
    }
}

}  // namespace
}  // namespace tess
