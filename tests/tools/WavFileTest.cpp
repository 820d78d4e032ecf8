// The WAV writer and reader, checked byte by byte and against sox as an independent reader and
// writer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "tessarine/WavFile.h"

namespace tess::tool {
namespace {

std::uint32_t le32(const std::string& bytes, std::size_t at) {
    return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 | std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
}
std::uint32_t le16(const std::string& bytes, std::size_t at) {
    return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8;
}

std::string writeStereo(const std::string& path, int rate, WavEncoding encoding, const std::vector<float>& left,
                        const std::vector<float>& right) {
    WavWriter writer;
    std::string error;
    EXPECT_TRUE(writer.open(path, rate, encoding, error)) << error;
    // Two calls, to prove the sizes add up across blocks.
    const std::size_t half = left.size() / 2;
    EXPECT_TRUE(writer.write(left.data(), right.data(), half, error)) << error;
    EXPECT_TRUE(writer.write(left.data() + half, right.data() + half, left.size() - half, error)) << error;
    EXPECT_TRUE(writer.close(error)) << error;
    return test::readFile(path);
}

// Frequency from the number of upward zero crossings over whole periods.
double zeroCrossingFrequency(const std::vector<float>& samples, int rate) {
    int first = -1, last = -1, crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            if (first < 0) first = int(i);
            last = int(i);
            ++crossings;
        }
    }
    return crossings > 1 ? double(crossings - 1) * rate / double(last - first) : 0.0;
}

float peakOf(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

struct HeaderField {
    std::size_t offset;
    int bytes;  // 2 or 4, or 0 for a four-character tag
    std::uint32_t value;
    const char* tag;
};

TEST(WavFileTest, HeadersCarryTheFieldsOfEachEncoding) {
    test::TempDir dir;
    const std::vector<float> left = {0.0f, 0.25f, -0.5f}, right = {1.0f, -1.0f, 0.5f};
    struct Case {
        WavEncoding encoding;
        std::size_t fileSize;
        std::vector<HeaderField> fields;
    };
    const std::vector<Case> cases = {
        {WavEncoding::Float32, 58 + 24,
         {{0, 0, 0, "RIFF"}, {4, 4, 58 + 24 - 8, nullptr}, {8, 0, 0, "WAVE"}, {12, 0, 0, "fmt "}, {16, 4, 18, nullptr},
          {20, 2, 3, nullptr},  {22, 2, 2, nullptr}, {24, 4, 48000, nullptr}, {28, 4, 48000 * 8, nullptr},
          {32, 2, 8, nullptr},  {34, 2, 32, nullptr}, {36, 2, 0, nullptr}, {38, 0, 0, "fact"}, {42, 4, 4, nullptr},
          {46, 4, 3, nullptr},  {50, 0, 0, "data"}, {54, 4, 24, nullptr}}},
        {WavEncoding::Pcm16, 44 + 12,
         {{0, 0, 0, "RIFF"}, {4, 4, 44 + 12 - 8, nullptr}, {8, 0, 0, "WAVE"}, {12, 0, 0, "fmt "}, {16, 4, 16, nullptr},
          {20, 2, 1, nullptr},  {22, 2, 2, nullptr}, {24, 4, 48000, nullptr}, {28, 4, 48000 * 4, nullptr},
          {32, 2, 4, nullptr},  {34, 2, 16, nullptr}, {36, 0, 0, "data"}, {40, 4, 12, nullptr}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding == WavEncoding::Float32 ? "float" : "pcm16");
        const std::string bytes = writeStereo(dir.file("h.wav"), 48000, c.encoding, left, right);
        ASSERT_EQ(bytes.size(), c.fileSize);
        for (const HeaderField& field : c.fields) {
            SCOPED_TRACE("offset " + std::to_string(field.offset));
            if (field.tag != nullptr)
                EXPECT_EQ(bytes.substr(field.offset, 4), field.tag);
            else
                EXPECT_EQ(field.bytes == 2 ? le16(bytes, field.offset) : le32(bytes, field.offset), field.value);
        }
    }
    // Samples are interleaved left, right: the float file's second frame is 0.25, -1.0.
    const std::string floats = writeStereo(dir.file("f.wav"), 48000, WavEncoding::Float32, left, right);
    float value;
    std::memcpy(&value, floats.data() + 58 + 8, 4);
    EXPECT_EQ(value, 0.25f);
    std::memcpy(&value, floats.data() + 58 + 12, 4);
    EXPECT_EQ(value, -1.0f);
}

TEST(WavFileTest, FloatToPcm16RoundsAndClips) {
    struct Case {
        float in;
        int out;
    };
    const std::vector<Case> cases = {
        {0.0f, 0},           {0.5f, 16384},        {-0.5f, -16384},       {1.0f, 32767},        {-1.0f, -32768},
        {1.5f, 32767},       {-7.0f, -32768},      {3.0f / 65536, 2},     {-3.0f / 65536, -2},  {0.4f / 32768, 0},
        {0.6f / 32768, 1},   {32766.6f / 32768, 32767}, {std::nanf(""), 0}, {INFINITY, 32767},  {-INFINITY, -32768},
    };
    for (const Case& c : cases) EXPECT_EQ(floatToPcm16(c.in), c.out) << "input " << c.in;
}

TEST(WavFileTest, WrittenFilesReadBackExactlyOrWithinOneStep) {
    test::TempDir dir;
    std::vector<float> left, right;
    for (int i = 0; i < 1001; ++i) {
        left.push_back(std::sin(i * 0.05f) * 0.9f);
        right.push_back(std::cos(i * 0.021f) * -0.3f);
    }
    struct Case {
        WavEncoding encoding;
        float tolerance;
    };
    for (const Case c : {Case{WavEncoding::Float32, 0.0f}, Case{WavEncoding::Pcm16, 0.5f / 32768}}) {
        writeStereo(dir.file("r.wav"), 22050, c.encoding, left, right);
        WavAudio audio;
        std::string error;
        ASSERT_TRUE(readWavFile(dir.file("r.wav"), audio, error)) << error;
        EXPECT_EQ(audio.sampleRate, 22050);
        EXPECT_EQ(audio.channels, 2);
        EXPECT_FALSE(audio.truncated);
        ASSERT_EQ(audio.left.size(), left.size());
        for (std::size_t i = 0; i < left.size(); ++i) {
            ASSERT_NEAR(audio.left[i], left[i], c.tolerance) << i;
            ASSERT_NEAR(audio.right[i], right[i], c.tolerance) << i;
        }
    }
}

TEST(WavSoxTest, SoxReadsOurFilesWithTheirFormatLengthAndLevel) {
    test::TempDir dir;
    const int rate = 32000;
    std::vector<float> left(rate), right(rate);
    for (int i = 0; i < rate; ++i) {
        left[std::size_t(i)] = 0.5f * std::sin(2.0 * M_PI * 1000.0 * i / rate);
        right[std::size_t(i)] = 0.25f * std::sin(2.0 * M_PI * 500.0 * i / rate);
    }
    struct Case {
        WavEncoding encoding;
        const char* soxEncoding;
    };
    for (const Case c : {Case{WavEncoding::Float32, "32-bit Floating Point PCM"}, Case{WavEncoding::Pcm16, "16-bit Signed Integer PCM"}}) {
        SCOPED_TRACE(c.soxEncoding);
        const std::string path = dir.file("sox.wav");
        writeStereo(path, rate, c.encoding, left, right);
        std::string info;
        ASSERT_EQ(test::runCommand("sox --i '" + path + "'", &info), 0) << info;
        EXPECT_NE(info.find("Channels       : 2"), std::string::npos) << info;
        EXPECT_NE(info.find("Sample Rate    : 32000"), std::string::npos) << info;
        EXPECT_NE(info.find("= 32000 samples"), std::string::npos) << info;
        EXPECT_NE(info.find(c.soxEncoding), std::string::npos) << info;
        for (const auto& [channel, peak, frequency] : {std::tuple{1, 0.5, 1000.0}, std::tuple{2, 0.25, 500.0}}) {
            std::string stat;
            ASSERT_EQ(test::runCommand("sox '" + path + "' -n remix " + std::to_string(channel) + " stat", &stat), 0) << stat;
            double maximum = 0.0, rough = 0.0;
            ASSERT_EQ(std::sscanf(stat.c_str() + stat.find("Maximum amplitude:"), "Maximum amplitude: %lf", &maximum), 1);
            ASSERT_EQ(std::sscanf(stat.c_str() + stat.find("Rough   frequency:"), "Rough   frequency: %lf", &rough), 1);
            EXPECT_NEAR(maximum, peak, 1e-3) << "channel " << channel;
            EXPECT_NEAR(rough, frequency, frequency * 0.02) << "channel " << channel;
        }
    }
}

TEST(WavSoxTest, OurReaderReadsEveryEncodingSoxWrites) {
    test::TempDir dir;
    struct Case {
        const char* soxArguments;  // output format options
        int channels, bits;
        bool isFloat;
        float tolerance;
    };
    const std::vector<Case> cases = {
        {"-b 8 -e unsigned-integer", 1, 8, false, 2.0f / 128},
        {"-b 16 -e signed-integer", 1, 16, false, 2.0f / 32768},
        {"-b 24 -e signed-integer", 1, 24, false, 1e-5f},
        {"-b 32 -e signed-integer", 1, 32, false, 1e-6f},
        {"-b 32 -e floating-point", 1, 32, true, 1e-6f},
        {"-b 64 -e floating-point", 1, 64, true, 1e-6f},
        {"-b 16 -e signed-integer", 2, 16, false, 2.0f / 32768},
        {"-b 24 -e signed-integer", 2, 24, false, 1e-5f},
        {"-b 32 -e floating-point", 2, 32, true, 1e-6f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.soxArguments) + ", " + std::to_string(c.channels) + " channels");
        const std::string path = dir.file("in.wav");
        // A 441 Hz sine at half scale; a stereo file has an 882 Hz sine at quarter scale on the right.
        const std::string synth = c.channels == 1 ? "synth 0.5 sine 441 vol 0.5"
                                                  : "synth 0.5 sine 441 sine 882 remix 1v0.5 2v0.25";
        std::string output;
        ASSERT_EQ(test::runCommand("sox -D -n -r 22050 -c " + std::to_string(c.channels) + " " + c.soxArguments + " '" +
                                       path + "' " + synth,
                                   &output),
                  0)
            << output;
        WavAudio audio;
        std::string error;
        ASSERT_TRUE(readWavFile(path, audio, error)) << error;
        EXPECT_EQ(audio.sampleRate, 22050);
        EXPECT_EQ(audio.channels, c.channels);
        EXPECT_EQ(audio.bitsPerSample, c.bits);
        EXPECT_EQ(audio.isFloat, c.isFloat);
        ASSERT_EQ(audio.left.size(), 11025u);
        EXPECT_NEAR(peakOf(audio.left), 0.5f, 0.002f + c.tolerance);
        EXPECT_NEAR(zeroCrossingFrequency(audio.left, 22050), 441.0, 1.0);
        if (c.channels == 1) {
            EXPECT_EQ(audio.left, audio.right);  // mono feeds both channels
        } else {
            EXPECT_NEAR(peakOf(audio.right), 0.25f, 0.002f + c.tolerance);
            EXPECT_NEAR(zeroCrossingFrequency(audio.right, 22050), 882.0, 2.0);
        }
    }
}

TEST(WavFileTest, MalformedFilesAreRefusedOrCutShortWithoutReadingPastTheEnd) {
    test::TempDir dir;
    const std::vector<float> left(100, 0.5f), right(100, -0.5f);
    const std::string good = writeStereo(dir.file("g.wav"), 8000, WavEncoding::Pcm16, left, right);

    // Every truncation either fails or gives only the whole frames present, marked as cut short.
    for (std::size_t length = 0; length < good.size(); ++length) {
        std::vector<unsigned char> cut(good.begin(), good.begin() + std::ptrdiff_t(length));
        WavAudio audio;
        std::string error;
        if (parseWav(cut.data(), cut.size(), audio, error)) {
            EXPECT_TRUE(audio.truncated) << length;
            EXPECT_EQ(audio.left.size(), (length - 44) / 4) << length;
        } else {
            EXPECT_FALSE(error.empty());
        }
    }

    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    std::string adpcm = good;
    adpcm[20] = 2;  // format tag 2
    std::string noData = good.substr(0, 36);
    std::string zeroChannels = good;
    zeroChannels[22] = 0;
    std::string dataFirst = good.substr(0, 12) + good.substr(36);
    const std::vector<Case> cases = {
        {"not RIFF", "RIFX" + good.substr(4), "not a RIFF/WAVE file"},
        {"unsupported encoding", adpcm, "unsupported sample format (format tag 2"},
        {"no data chunk", noData, "no data chunk"},
        {"no channels", zeroChannels, "unsupported channel count 0"},
        {"data before format", dataFirst, "no format chunk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WavAudio audio;
        std::string error;
        EXPECT_FALSE(parseWav(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), audio, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    WavAudio audio;
    std::string error;
    EXPECT_FALSE(readWavFile(dir.file("absent.wav"), audio, error));
    EXPECT_EQ(error.rfind(dir.file("absent.wav") + ": ", 0), 0u) << error;
}

}  // namespace
}  // namespace tess::tool
