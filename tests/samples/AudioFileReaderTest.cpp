#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "samples/AudioCorpus.h"
#include "samples/AudioFileReader.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using test::quote;
using test::tool;

// Reads the whole file and checks the header query agrees with the read.
std::vector<float> readAll(const std::string& path, AudioFileInfo* info = nullptr) {
    std::vector<float> samples;
    AudioFileInfo read;
    EXPECT_TRUE(readAudioFile(path, 0, -1, samples, &read)) << path;
    const auto query = queryAudioFile(path);
    EXPECT_TRUE(query.has_value()) << path;
    if (query) {
        EXPECT_EQ(query->count, static_cast<std::int64_t>(samples.size())) << path;
        EXPECT_EQ(query->count, read.count) << path;
    }
    if (info != nullptr) *info = read;
    return samples;
}

void expectSameSamples(const std::vector<float>& actual, const std::vector<float>& expected,
                       const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    int reported = 0;
    for (std::size_t i = 0; i < actual.size() && reported < 5; ++i)
        if (!(actual[i] == expected[i])) {
            ADD_FAILURE() << what << ": sample " << i << " is " << actual[i] << ", expected "
                          << expected[i];
            ++reported;
        }
}

// --- exact values from known sample data -----------------------------------------------------

// Raw sample values are written by the test and wrapped into WAV or AIFF by sox (or turned
// into WAVE_FORMAT_EXTENSIBLE float by sndfile-convert); the reader must give back exactly the
// scaled values.
struct ValueCase {
    const char* name;
    const char* rawArgs;  // how sox reads the raw data
    const char* outArgs;  // sox output options
    const char* extension;
    std::string raw;
    std::vector<float> expected;
    int bits;
    int formatTag;
    const char* fmtLayout;  // for WAV: expected "fmt " chunk size, checked on the file
};

const std::vector<float> kFloatValues = {0.0f,     -1.0f,           0.5f,       -0.25f, 0.75f,
                                         0x1p-20f, -0x1.fffffep-1f, 0x1.234p-2f};

constexpr double k2p15 = 32768.0, k2p23 = 8388608.0, k2p31 = 2147483648.0;

std::vector<float> scaled(const std::vector<std::int64_t>& values, double scale) {
    std::vector<float> out;
    for (std::int64_t v : values) out.push_back(static_cast<float>(static_cast<double>(v) / scale));
    return out;
}

std::vector<ValueCase> valueCases() {
    const std::vector<std::int64_t> u8 = {128, 0, 255, 1, 127, 129, 64, 192};
    const std::vector<std::int64_t> s8 = {0, -128, 127, 1, -1, 64, -64, 100};
    const std::vector<std::int64_t> s16 = {0, -32768, 32767, 1, -1, 12345, -23456, 256};
    const std::vector<std::int64_t> s24 = {0, -8388608, 8388607, 1, -1, 1234567, -7654321, 65536};
    const std::vector<std::int64_t> s32 = {0,
                                           std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max(),
                                           1,
                                           -1,
                                           123456789,
                                           -987654321,
                                           65536};
    // Float data passes through sox's 32-bit integer samples, and its float32 output keeps 25
    // bits of them: these values survive that exactly. The doubles carry more precision than a
    // float holds.
    const std::vector<float> f32 = kFloatValues;
    const std::vector<double> f64 = {
        0.0,     -1.0,   0.5 + 0x1p-31,       -0.25 - 0x1p-30, 715827883.0 / k2p31,
        0x1p-20, -0.125, 2145336164.0 / k2p31};
    std::vector<float> f64Expected;
    for (double d : f64) f64Expected.push_back(static_cast<float>(d));

    return {
        {"wav u8",
         "-e unsigned -b 8",
         "-e unsigned -b 8",
         "wav",
         test::rawIntegers(u8, 1),
         {0.0f, -1.0f, 127.0f / 128, -127.0f / 128, -1.0f / 128, 1.0f / 128, -0.5f, 0.5f},
         8,
         1,
         "16"},
        {"wav s16", "-e signed -b 16", "-e signed -b 16", "wav", test::rawIntegers(s16, 2),
         scaled(s16, k2p15), 16, 1, "16"},
        {"wav s24 extensible",
         "-e signed -b 24",
         "-e signed -b 24",
         "wav",
         test::rawIntegers(s24, 3),
         {0.0f, -1.0f, 1.0f - 0x1p-23f, 0x1p-23f, -0x1p-23f, 1234567 / 8388608.0f,
          -7654321 / 8388608.0f, 0.0078125f},
         24,
         1,
         "40"},
        {"wav s24 plain", "-e signed -b 24", "-t wavpcm -e signed -b 24", "wav",
         test::rawIntegers(s24, 3), scaled(s24, k2p23), 24, 1, "16"},
        {"wav s32 extensible", "-e signed -b 32", "-e signed -b 32", "wav",
         test::rawIntegers(s32, 4), scaled(s32, k2p31), 32, 1, "40"},
        {"wav f32", "-e floating-point -b 32", "-e floating-point -b 32", "wav",
         test::rawFloats(f32), f32, 32, 3, "18"},
        {"wav f64", "-e floating-point -b 64", "-e floating-point -b 64", "wav",
         test::rawDoubles(f64), f64Expected, 64, 3, "18"},
        {"aiff s8", "-e signed -b 8", "-e signed -b 8", "aiff", test::rawIntegers(s8, 1),
         scaled(s8, 128.0), 8, 1, ""},
        {"aiff s16", "-e signed -b 16", "-e signed -b 16", "aiff", test::rawIntegers(s16, 2),
         scaled(s16, k2p15), 16, 1, ""},
        {"aiff s24", "-e signed -b 24", "-e signed -b 24", "aiff", test::rawIntegers(s24, 3),
         scaled(s24, k2p23), 24, 1, ""},
        {"aiff s32", "-e signed -b 32", "-e signed -b 32", "aiff", test::rawIntegers(s32, 4),
         scaled(s32, k2p31), 32, 1, ""},
    };
}

TEST(AudioFileReader, KnownValuesOfEveryEncoding) {
    test::TempDir dir;
    for (const ValueCase& c : valueCases()) {
        SCOPED_TRACE(c.name);
        const std::string raw = dir.file("in.raw");
        const std::string out = dir.file(std::string("out.") + c.extension);
        test::writeFile(raw, c.raw);
        std::string log;
        ASSERT_EQ(tool("sox -D -t raw -r 22050 -c 2 -L " + std::string(c.rawArgs) + " " +
                           quote(raw) + " " + c.outArgs + " " + quote(out),
                       &log),
                  0)
            << log;
        if (*c.fmtLayout != '\0') {
            test::Container file = test::parseContainer(test::readFile(out));
            EXPECT_EQ(std::to_string(file.at("fmt ").body.size()), c.fmtLayout);
        }
        AudioFileInfo info;
        const std::vector<float> samples = readAll(out, &info);
        expectSameSamples(samples, c.expected, c.name);
        EXPECT_EQ(info.sampleRate, 22050.0f);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.count, 8);
        EXPECT_EQ(info.bits, c.bits);
        EXPECT_EQ(info.formatTag, c.formatTag);
    }
}

// libsndfile writes float WAV files in WAVE_FORMAT_EXTENSIBLE form (with a PEAK chunk) when
// asked for .wavex; values outside -1 .. +1 are kept as they are.
TEST(AudioFileReader, ExtensibleFloatFromLibsndfile) {
    test::TempDir dir;
    const std::vector<float> f32 = kFloatValues;
    test::writeFile(dir.file("in.raw"), test::rawFloats(f32));
    std::string log;
    ASSERT_EQ(tool("sox -D -t raw -r 48000 -c 1 -L -e floating-point -b 32 " +
                       quote(dir.file("in.raw")) + " " + quote(dir.file("plain.wav")),
                   &log),
              0)
        << log;
    for (const char* encoding : {"-float32", "-float64"}) {
        SCOPED_TRACE(encoding);
        const std::string out = dir.file("x.wavex");
        ASSERT_EQ(tool(std::string("sndfile-convert ") + encoding + " " +
                           quote(dir.file("plain.wav")) + " " + quote(out),
                       &log),
                  0)
            << log;
        const std::string bytes = test::readFile(out);
        test::Container file = test::parseContainer(bytes);
        ASSERT_EQ(file.at("fmt ").body.size(), 40u);
        ASSERT_EQ(test::getLE32(bytes, 20) & 0xFFFF, 0xFFFEu);
        AudioFileInfo info;
        expectSameSamples(readAll(out, &info), f32, encoding);
        EXPECT_EQ(info.formatTag, 3);
        EXPECT_EQ(info.bits, std::string(encoding) == "-float32" ? 32 : 64);
        EXPECT_EQ(info.sampleRate, 48000.0f);
    }
}

// --- real signals against sox's own decoding -------------------------------------------------

TEST(AudioFileReader, SynthesisedSignalsMatchSoxSampleBySample) {
    struct Case {
        const char* args;
        const char* extension;
        int channels;
    };
    const Case cases[] = {
        {"-b 8", "wav", 2},  {"-b 16", "wav", 2},  {"-b 24", "wav", 2},  {"-b 32", "wav", 2},
        {"-b 8", "aiff", 2}, {"-b 16", "aiff", 2}, {"-b 24", "aiff", 2}, {"-b 32", "aiff", 2},
        {"-b 16", "wav", 1}, {"-b 24", "aiff", 1}, {"-b 16", "wav", 3},  {"-b 24", "aiff", 3},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        const std::string name =
            std::string(c.args) + " " + c.extension + " x" + std::to_string(c.channels);
        SCOPED_TRACE(name);
        const std::string out = dir.file(std::string("sig.") + c.extension);
        std::string log;
        ASSERT_EQ(tool("sox -D -r 44100 -c " + std::to_string(c.channels) + " -n " + c.args + " " +
                           quote(out) + " synth 0.05 sine 440 sine 1234.5 square 97",
                       &log),
                  0)
            << log;
        AudioFileInfo info;
        const std::vector<float> samples = readAll(out, &info);
        expectSameSamples(samples, test::soxDecode(out), name);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.count, 2205 * c.channels);
        EXPECT_EQ(info.sampleRate, 44100.0f);
    }
}

// The WAV files Debian's alsa-utils ships (16-bit mono, 48 kHz).
TEST(AudioFileReader, AlsaUtilsSoundsMatchSox) {
    const char* names[] = {"Front_Center", "Front_Left", "Front_Right", "Noise",     "Rear_Center",
                           "Rear_Left",    "Rear_Right", "Side_Left",   "Side_Right"};
    for (const char* name : names) {
        const std::string path = std::string("/usr/share/sounds/alsa/") + name + ".wav";
        SCOPED_TRACE(path);
        AudioFileInfo info;
        const std::vector<float> samples = readAll(path, &info);
        EXPECT_EQ(info.sampleRate, 48000.0f);
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(info.bits, 16);
        EXPECT_GT(info.count, 40000);
        std::string log;
        test::TempDir dir;
        ASSERT_EQ(tool("sox -D " + quote(path) + " -t f32 " + quote(dir.file("a.f32")), &log), 0)
            << log;
        const std::string bytes = test::readFile(dir.file("a.f32"));
        std::vector<float> expected(bytes.size() / 4);
        std::memcpy(expected.data(), bytes.data(), expected.size() * 4);
        expectSameSamples(samples, expected, name);
    }
}

// --- header query and ranges ----------------------------------------------------------------

TEST(AudioFileReader, HeaderQueryOfThousandFrameStereoFile) {
    test::TempDir dir;
    const std::string path = dir.file("q.wav");
    std::string log;
    ASSERT_EQ(tool("sox -r 44100 -c 2 -n -b 16 " + quote(path) + " synth 1000s sine 440", &log), 0)
        << log;
    const auto info = queryAudioFile(path);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->count, 2000);
    EXPECT_EQ(info->channels, 2);
    EXPECT_EQ(info->sampleRate, 44100.0f);
    EXPECT_EQ(info->bits, 16);
    EXPECT_EQ(info->formatTag, 1);
    EXPECT_FALSE(queryAudioFile(dir.file("missing.wav")).has_value());
    EXPECT_FALSE(queryAudioFile(dir.path()).has_value());  // a folder
}

TEST(AudioFileReader, RangedReads) {
    // 1000 stereo frames whose sample i holds 13 * i - 13000 (16-bit).
    std::vector<std::int64_t> values;
    for (int i = 0; i < 2000; ++i) values.push_back(13 * i - 13000);
    test::TempDir dir;
    test::writeFile(dir.file("in.raw"), test::rawIntegers(values, 2));
    for (const char* extension : {"wav", "aiff"}) {
        const std::string path = dir.file(std::string("r.") + extension);
        std::string log;
        ASSERT_EQ(tool("sox -D -t raw -r 8000 -c 2 -L -e signed -b 16 " +
                           quote(dir.file("in.raw")) + " " + quote(path),
                       &log),
                  0)
            << log;
        struct Case {
            std::int64_t start, end;
            bool ok;
            std::int64_t first, count;
        };
        const Case cases[] = {
            {0, -1, true, 0, 2000},     {0, 2000, true, 0, 2000},  {0, 5000, true, 0, 2000},
            {200, 400, true, 200, 200}, {1998, -7, true, 1998, 2}, {10, 11, true, 10, 1},
            {0, 1, true, 0, 1},         {200, 100, false, 0, 0},   {2000, -1, false, 0, 0},
            {3000, 100, false, 0, 0},   {0, 0, false, 0, 0},       {-1, 100, false, 0, 0},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(extension) + " start " + std::to_string(c.start) + " end " +
                         std::to_string(c.end));
            std::vector<float> samples = {42.0f};
            AudioFileInfo info;
            info.channels = -5;
            ASSERT_EQ(readAudioFile(path, c.start, c.end, samples, &info), c.ok);
            if (!c.ok) {
                EXPECT_EQ(samples, std::vector<float>{42.0f});  // left as it was
                EXPECT_EQ(info.channels, -5);
                continue;
            }
            ASSERT_EQ(static_cast<std::int64_t>(samples.size()), c.count);
            for (std::int64_t k = 0; k < c.count; ++k)
                ASSERT_EQ(samples[static_cast<std::size_t>(k)],
                          static_cast<float>(13 * (c.first + k) - 13000) / 32768.0f)
                    << "sample " << c.first + k;
            EXPECT_EQ(info.count, 2000);
            EXPECT_EQ(info.channels, 2);
        }
    }
}

TEST(AudioFileReader, PathsMayUseEitherSeparator) {
    test::TempDir dir;
    std::string log;
    ASSERT_EQ(tool("mkdir -p " + quote(dir.file("sub")) + " && sox -r 8000 -c 1 -n -b 16 " +
                       quote(dir.file("sub/t.wav")) + " synth 100s sine 440",
                   &log),
              0)
        << log;
    const std::string backslashed = dir.path() + "\\sub\\t.wav";
    const auto info = queryAudioFile(backslashed);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->count, 100);
    std::vector<float> samples;
    ASSERT_TRUE(readAudioFile(backslashed, 0, -1, samples));
    expectSameSamples(samples, test::soxDecode(dir.file("sub/t.wav")), "backslashed path");
}

// --- sample rates --------------------------------------------------------------------------

TEST(AudioFileReader, AiffRatesAreTruncatedToWholeHertz) {
    struct Case {
        const char* rate;
        float expected;
    };
    const Case cases[] = {{"44100", 44100.0f},   {"48000", 48000.0f},   {"8000", 8000.0f},
                          {"96000", 96000.0f},   {"192000", 192000.0f}, {"11025.7", 11025.0f},
                          {"22050.5", 22050.0f}, {"100.25", 100.0f}};
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::string path = dir.file("rate.aiff");
        std::string log;
        ASSERT_EQ(tool(std::string("sox -r ") + c.rate + " -c 1 -n -b 16 " + quote(path) +
                           " synth 0.7 sine 3",
                       &log),
                  0)
            << log;
        std::string stored;
        ASSERT_EQ(tool("soxi -r " + quote(path), &stored), 0) << stored;
        EXPECT_NE(stored.find(c.rate), std::string::npos) << "sox stored " << stored;
        const auto info = queryAudioFile(path);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->sampleRate, c.expected);
    }
}

}  // namespace
}  // namespace tess
