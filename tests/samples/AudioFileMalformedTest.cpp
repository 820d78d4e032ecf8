// Damaged, foreign and hostile files: every one must be refused (or read correctly) without a
// crash, a hang, a huge allocation or a read out of bounds. Run under the sanitizers too.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "samples/AudioCorpus.h"
#include "samples/AudioFileReader.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using test::Container;
using test::quote;
using test::tool;

void expectRefused(const std::string& path, const std::string& what) {
    EXPECT_FALSE(queryAudioFile(path).has_value()) << what;
    std::vector<float> samples = {7.0f};
    AudioFileInfo info;
    info.bits = -1;
    EXPECT_FALSE(readAudioFile(path, 0, -1, samples, &info)) << what;
    EXPECT_FALSE(readAudioFile(path, 0, 2, samples, &info)) << what;
    EXPECT_EQ(samples, std::vector<float>{7.0f}) << what;
    EXPECT_EQ(info.bits, -1) << what;
}

class Malformed : public ::testing::Test {
protected:
    void SetUp() override {
        std::string log;
        // Plain 16-bit stereo WAV: "fmt " body at 20 (tag 20, channels 22, rate 24, align 32,
        // bits 34), "data" size at 40, samples from 44.
        ASSERT_EQ(
            tool("sox -D -r 8000 -c 2 -n -b 16 " + quote(wav_) + " synth 0.01 sine 440", &log), 0)
            << log;
        // WAVE_FORMAT_EXTENSIBLE 24-bit: cbSize at 36, sub-format GUID at 44..59.
        ASSERT_EQ(
            tool("sox -D -r 8000 -c 2 -n -b 24 " + quote(wavx_) + " synth 0.01 sine 440", &log), 0)
            << log;
        ASSERT_EQ(
            tool("sox -D -r 8000 -c 2 -n -b 32 " + quote(aiff_) + " synth 0.01 sine 440", &log), 0)
            << log;
        ASSERT_EQ(test::readFile(wav_).substr(36, 4), "data");
        ASSERT_EQ(test::readFile(wavx_).substr(20, 2), std::string("\xFE\xFF", 2));
        ASSERT_EQ(test::parseContainer(test::readFile(aiff_)).ids(), "COMT|COMM|SSND");
        for (const std::string& path : {wav_, wavx_, aiff_})
            ASSERT_TRUE(queryAudioFile(path).has_value()) << path;  // the controls read
    }

    test::TempDir dir_;
    std::string wav_ = dir_.file("base.wav");
    std::string wavx_ = dir_.file("basex.wav");
    std::string aiff_ = dir_.file("base.aiff");
};

TEST_F(Malformed, PatchedWaveHeaders) {
    using test::putLE16;
    using test::putLE32;
    struct Case {
        const char* name;
        bool extensible;
        std::function<void(std::string&)> patch;
    };
    const Case cases[] = {
        {"empty file", false, [](std::string& s) { s.clear(); }},
        {"only RIFF", false, [](std::string& s) { s.resize(4); }},
        {"big-endian RIFX", false, [](std::string& s) { s.replace(0, 4, "RIFX"); }},
        {"RF64", false, [](std::string& s) { s.replace(0, 4, "RF64"); }},
        {"form type AVI", false, [](std::string& s) { s.replace(8, 4, "AVI "); }},
        {"tag 0", false, [](std::string& s) { putLE16(s, 20, 0); }},
        {"tag 2 (ADPCM) on PCM data", false, [](std::string& s) { putLE16(s, 20, 2); }},
        {"extensible tag in a 16-byte fmt", false, [](std::string& s) { putLE16(s, 20, 0xFFFE); }},
        {"zero channels", false, [](std::string& s) { putLE16(s, 22, 0), putLE16(s, 32, 0); }},
        {"bits 0", false, [](std::string& s) { putLE16(s, 34, 0), putLE16(s, 32, 0); }},
        {"bits 12", false, [](std::string& s) { putLE16(s, 34, 12); }},
        {"bits 17", false, [](std::string& s) { putLE16(s, 34, 17); }},
        {"sample rate 0", false, [](std::string& s) { putLE32(s, 24, 0); }},
        {"fmt size 14", false, [](std::string& s) { putLE32(s, 16, 14); }},
        {"fmt size 0xFFFFFFF0", false, [](std::string& s) { putLE32(s, 16, 0xFFFFFFF0u); }},
        {"chunk of size 0xFFFFFFF0 before data", false,
         [](std::string& s) { s.insert(36, std::string("LIST\xF0\xFF\xFF\xFF", 8)); }},
        {"no data chunk", false, [](std::string& s) { s.replace(36, 4, "dat "); }},
        {"data before fmt", false,
         [](std::string& s) { s = s.substr(0, 12) + s.substr(36) + s.substr(12, 24); }},
        {"no fmt chunk", false, [](std::string& s) { s.erase(12, 24); }},
        {"extensible: sub-format A-law", true, [](std::string& s) { putLE32(s, 44, 6); }},
        {"extensible: sub-format 0xFFFE", true, [](std::string& s) { putLE32(s, 44, 0xFFFE); }},
        {"extensible: foreign GUID", true, [](std::string& s) { s[52] = '\x81'; }},
        {"extensible: cbSize 0", true, [](std::string& s) { putLE16(s, 36, 0); }},
        {"extensible: fmt of 24 bytes", true,
         [](std::string& s) {
             putLE32(s, 16, 24);
             s.erase(44, 16);
         }},
        {"extensible: zero channels", true,
         [](std::string& s) { putLE16(s, 22, 0), putLE16(s, 32, 0); }},
    };
    for (const Case& c : cases) {
        std::string bytes = test::readFile(c.extensible ? wavx_ : wav_);
        c.patch(bytes);
        const std::string path = dir_.file("patched.wav");
        test::writeFile(path, bytes);
        expectRefused(path, c.name);
    }
}

TEST_F(Malformed, PatchedAiffHeaders) {
    using test::putBE16;
    using test::putBE32;
    struct Case {
        const char* name;
        std::function<void(Container&)> patch;
    };
    // COMM body: channels 0, frames 2, bits 6, rate 8..17 (exponent 8, mantissa 10).
    const Case cases[] = {
        {"AIFC form", [](Container& c) { c.formType = "AIFC"; }},
        {"64 bits", [](Container& c) { putBE16(c.at("COMM").body, 6, 64); }},
        {"zero channels", [](Container& c) { putBE16(c.at("COMM").body, 0, 0); }},
        {"bits 0", [](Container& c) { putBE16(c.at("COMM").body, 6, 0); }},
        {"bits 12", [](Container& c) { putBE16(c.at("COMM").body, 6, 12); }},
        {"rate 0", [](Container& c) { c.at("COMM").body.replace(8, 10, std::string(10, '\0')); }},
        {"rate below 1 Hz", [](Container& c) { putBE16(c.at("COMM").body, 8, 16382); }},
        {"rate infinite", [](Container& c) { putBE16(c.at("COMM").body, 8, 0x7FFF); }},
        {"rate negative", [](Container& c) { c.at("COMM").body[8] |= '\x80'; }},
        {"rate of 2^32 Hz", [](Container& c) { putBE16(c.at("COMM").body, 8, 16383 + 32); }},
        {"COMM of 16 bytes", [](Container& c) { c.at("COMM").body.resize(16); }},
        {"SSND offset past its end",
         [](Container& c) {
             std::string& body = c.at("SSND").body;
             putBE32(body, 0, static_cast<std::uint32_t>(body.size() - 7));
         }},
        {"SSND offset 0xFFFFFFFF",
         [](Container& c) { putBE32(c.at("SSND").body, 0, 0xFFFFFFFFu); }},
        {"SSND of 4 bytes", [](Container& c) { c.at("SSND").body.resize(4); }},
        {"SSND before COMM", [](Container& c) { std::swap(c.chunks[1], c.chunks[2]); }},
        {"no SSND", [](Container& c) { c.chunks.pop_back(); }},
        {"no COMM", [](Container& c) { c.chunks.erase(c.chunks.begin() + 1); }},
    };
    for (const Case& c : cases) {
        Container file = test::parseContainer(test::readFile(aiff_));
        c.patch(file);
        const std::string path = dir_.file("patched.aiff");
        test::writeFile(path, test::buildContainer(file));
        expectRefused(path, c.name);
    }
    // A size field that no rebuilt container can carry: patched in the bytes.
    std::string bytes = test::readFile(aiff_);
    test::putBE32(bytes, 16, 0xFFFFFFF0u);  // the COMT chunk that comes first
    test::writeFile(dir_.file("size.aiff"), bytes);
    expectRefused(dir_.file("size.aiff"), "COMT size 0xFFFFFFF0");
}

// Encodings sox writes that are not read here.
TEST_F(Malformed, ForeignEncodingsFromSox) {
    const char* args[] = {"-t wav -e ms-adpcm",
                          "-t wav -e ima-adpcm",
                          "-t wav -e a-law",
                          "-t wav -e u-law",
                          "-t wav -e gsm-full-rate",
                          "-t aifc -e signed -b 16",
                          "-t aifc -e floating-point -b 32"};
    for (const char* a : args) {
        const std::string path = dir_.file("foreign");
        std::string log;
        ASSERT_EQ(tool("sox -D " + quote(wav_) + " " + a + " " + quote(path), &log), 0) << log;
        expectRefused(path, a);
    }
}

// Fields that misstate only what the reader works out itself: the frame size (block align),
// the format tag of a depth whose encoding is fixed, and a sample chunk longer than the file
// (an unfinished recording). Each file is read in full.
TEST_F(Malformed, HeadersThatMisstateWhatTheReaderWorksOutAreRead) {
    using test::putBE32;
    using test::putLE16;
    using test::putLE32;
    const std::string f64 = dir_.file("f64.wav");
    std::string log;
    ASSERT_EQ(tool("sox -D -r 8000 -c 2 -n -e floating-point -b 64 " + quote(f64) + " synth 0.01 sine 440", &log), 0)
        << log;
    std::vector<float> f64Samples;
    ASSERT_TRUE(readAudioFile(f64, 0, -1, f64Samples));
    ASSERT_EQ(test::readFile(f64).substr(20, 2), std::string("\x03\0", 2));  // a plain float tag
    const std::size_t ssnd = test::readFile(aiff_).find("SSND");
    ASSERT_NE(ssnd, std::string::npos);
    struct Case {
        const char* name;
        std::string source;
        std::function<void(std::string&)> patch;
        std::vector<float> expected;
    };
    const std::vector<float> pcm = test::soxDecode(wav_);
    const std::vector<float> aiff = test::soxDecode(aiff_);
    const Case cases[] = {
        {"block align 0", wav_, [](std::string& s) { putLE16(s, 32, 0); }, pcm},
        {"block align 3", wav_, [](std::string& s) { putLE16(s, 32, 3); }, pcm},
        {"block align 8", wav_, [](std::string& s) { putLE16(s, 32, 8); }, pcm},
        {"tag 3 with 16 bits", wav_, [](std::string& s) { putLE16(s, 20, 3); }, pcm},
        {"tag 1 with 64 bits", f64, [](std::string& s) { putLE16(s, 20, 1); }, f64Samples},
        {"data one byte longer than the file", wav_,
         [](std::string& s) { putLE32(s, 40, test::getLE32(s, 40) + 1); }, pcm},
        {"data size 0xFFFFFFF0", wav_, [](std::string& s) { putLE32(s, 40, 0xFFFFFFF0u); }, pcm},
        {"data size 0xFFFFFFFF", wav_, [](std::string& s) { putLE32(s, 40, 0xFFFFFFFFu); }, pcm},
        {"SSND one byte longer than the file", aiff_,
         [ssnd](std::string& s) { putBE32(s, ssnd + 4, test::getBE32(s, ssnd + 4) + 1); }, aiff},
        {"SSND size 0xFFFFFFFF", aiff_, [ssnd](std::string& s) { putBE32(s, ssnd + 4, 0xFFFFFFFFu); }, aiff},
    };
    for (const Case& c : cases) {
        std::string bytes = test::readFile(c.source);
        c.patch(bytes);
        const std::string path = dir_.file("patched");
        test::writeFile(path, bytes);
        const auto info = queryAudioFile(path);
        ASSERT_TRUE(info.has_value()) << c.name;
        EXPECT_EQ(info->count, static_cast<std::int64_t>(c.expected.size())) << c.name;
        std::vector<float> samples;
        EXPECT_TRUE(readAudioFile(path, 0, -1, samples)) << c.name;
        EXPECT_EQ(samples, c.expected) << c.name;
    }
}

// A file cut in its header is refused. A file cut in its samples holds fewer frames than its
// header says; those it holds are read (the last, partly written frame is dropped).
TEST_F(Malformed, TruncatedFilesReadTheFramesTheyHold) {
    std::mt19937 random(20240611);
    for (const std::string& source : {wav_, wavx_, aiff_}) {
        const std::string good = test::readFile(source);
        const AudioFileInfo whole = *queryAudioFile(source);
        const std::vector<float> all = test::soxDecode(source);
        const bool aiff = good.substr(0, 4) == "FORM";
        const std::size_t firstSample = aiff ? good.find("SSND") + 16 : good.find("data") + 8;
        const std::size_t frameBytes = static_cast<std::size_t>(whole.channels * whole.bits / 8);
        std::vector<std::size_t> cuts;
        for (std::size_t cut = 0; cut < firstSample + 2 * frameBytes + 1; ++cut) cuts.push_back(cut);
        std::uniform_int_distribution<std::size_t> inData(firstSample, good.size() - 1);
        for (int i = 0; i < 40; ++i) cuts.push_back(inData(random));
        cuts.push_back(good.size() - 1);
        for (std::size_t cut : cuts) {
            const std::string what = source + " cut at " + std::to_string(cut);
            const std::string path = dir_.file("cut");
            test::writeFile(path, good.substr(0, cut));
            if (cut < firstSample) {
                expectRefused(path, what);
                continue;
            }
            const std::size_t frames = (cut - firstSample) / frameBytes;
            const auto info = queryAudioFile(path);
            ASSERT_TRUE(info.has_value()) << what;
            EXPECT_EQ(info->count, static_cast<std::int64_t>(frames * static_cast<std::size_t>(whole.channels))) << what;
            std::vector<float> samples;
            EXPECT_EQ(readAudioFile(path, 0, -1, samples), frames > 0) << what;  // nothing to read fails
            if (frames > 0) {
                EXPECT_EQ(samples, std::vector<float>(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(info->count)))
                    << what;
            }
        }
        test::writeFile(dir_.file("whole"), good);  // the control
        std::vector<float> samples;
        EXPECT_TRUE(readAudioFile(dir_.file("whole"), 0, -1, samples)) << source;
        EXPECT_EQ(samples, all) << source;
    }
}

// Random damage to the first bytes: whatever the reader makes of a file, what it claims must
// hold. The query and the read agree, the samples lie inside the file, and a read delivers
// exactly the samples asked for.
TEST_F(Malformed, RandomHeaderDamageKeepsTheReaderConsistent) {
    std::mt19937 random(77);
    int accepted = 0;
    int refused = 0;
    for (const std::string& source : {wav_, wavx_, aiff_}) {
        const std::string good = test::readFile(source);
        for (int round = 0; round < 600; ++round) {
            std::string bytes = good;
            const int hits = 1 + static_cast<int>(random() % 3);
            for (int h = 0; h < hits; ++h) {
                const std::size_t at = random() % 80;
                bytes[at] = static_cast<char>(random() % 4 == 0 ? 0xFF : random() & 0xFF);
            }
            const std::string path = dir_.file("damaged");
            test::writeFile(path, bytes);
            const auto info = queryAudioFile(path);
            std::vector<float> samples;
            const bool read = readAudioFile(path, 0, -1, samples);
            if (!info) {
                EXPECT_FALSE(read);
                ++refused;
                continue;
            }
            ++accepted;
            EXPECT_GE(info->channels, 1);
            EXPECT_GE(info->sampleRate, 1.0f);
            EXPECT_LE(info->count * (info->bits / 8), static_cast<std::int64_t>(bytes.size()));
            EXPECT_EQ(info->count % info->channels, 0);
            EXPECT_EQ(read, info->count > 0);
            if (read) {
                EXPECT_EQ(static_cast<std::int64_t>(samples.size()), info->count);
            }
        }
    }
    // Both outcomes must have occurred, or the damage did not exercise the reader.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 100);
}

}  // namespace
}  // namespace tess
