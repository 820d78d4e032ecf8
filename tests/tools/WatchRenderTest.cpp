// `tessarine render --watch` as an instrument author uses it: the render plays in real time
// while the instrument file is saved, and the new sound is heard in the output file.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

#include "support/TestSupport.h"
#include "tessarine/WavFile.h"
#include "tools/SmfBuilder.h"

namespace tess::tool {
namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;

// The first frame from which the left channel holds `level` for a block.
std::int64_t firstFrameAt(const std::vector<float>& left, float level) {
    for (std::size_t i = 0; i + kBlock <= left.size(); ++i) {
        bool held = true;
        for (std::size_t k = i; k < i + kBlock && held; k += 8) held = std::fabs(left[k] - level) < 1e-4f;
        if (held) return static_cast<std::int64_t>(i);
    }
    return -1;
}

TEST(WatchRender, ASavedInstrumentIsHeardWithinASecondWithoutASilentGap) {
    test::ScopedUserFolder home;
    const std::string instrument = home.file("live.txt");
    const std::string midi = home.file("wheel.mid");
    const std::string output = home.file("out.wav");
    test::writeFile(instrument, "MIDICC 1, 20\nPOST\nOUT = 0.25 + MCC(1) / 1000\n");
    test::SmfTrack track;
    track.event(0, {0xB0, 1, 100}).end();  // the player moves the mod wheel at once
    test::writeFile(midi, test::smf(0, 480, {track}));

    std::string printed;
    int status = -1;
    std::thread render([&] {
        status = test::runCommand("'" TESSARINE_TOOL_PATH "' render --watch --seconds 2.5 --block 512 --instrument '" +
                                      instrument + "' --midi '" + midi + "' -o '" + output + "'",
                                  &printed);
    });
    // Once the render has played a while, the file is saved in two writes.
    const auto started = std::chrono::steady_clock::now();
    const auto framesWritten = [&output] {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(output, error);
        return error ? std::int64_t{0} : static_cast<std::int64_t>(size / 8);  // 8 bytes a stereo frame
    };
    while (framesWritten() < kRate / 2 && std::chrono::steady_clock::now() - started < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    test::writeFile(instrument, "");
    const std::int64_t savedAt = framesWritten();
    test::writeFile(instrument, "MIDICC 1, 20\nPOST\nOUT = 0.5 + MCC(1) / 1000\n");
    render.join();
    ASSERT_EQ(status, 0) << printed;

    WavAudio audio;
    std::string message;
    ASSERT_TRUE(readWavFile(output, audio, message)) << message;
    const std::int64_t before = firstFrameAt(audio.left, 0.35f);  // the first sound with the mod wheel moved
    ASSERT_GE(before, 0) << printed;
    EXPECT_LT(before, savedAt);
    const std::int64_t heard = firstFrameAt(audio.left, 0.6f);  // the new sound, the mod wheel kept
    ASSERT_GT(heard, 0) << printed;
    EXPECT_LT(heard - savedAt, kRate) << "saved at frame " << savedAt;
    // The longest run of silence the tool reports is at most one block.
    long long longest = 0;
    const std::size_t at = printed.find("Longest silence: ");
    if (at != std::string::npos) longest = std::stoll(printed.substr(at + 17));
    EXPECT_LE(longest, kBlock) << printed;
}

}  // namespace
}  // namespace tess::tool
