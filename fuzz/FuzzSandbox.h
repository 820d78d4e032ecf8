// What the fuzz targets share: one private folder per process under the system's temporary
// folder, which is the per-user folder, so that every relative path an input names (INCLUDE,
// SAMPLE, a saved instrument path) is found inside it. The working directory stays as it is:
// libFuzzer reads the corpus through relative paths. libFuzzer ends a run without running exit
// handlers, so fuzz/run.sh points TMPDIR at a folder of its own and removes it after each run.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace tess::fuzz {

namespace fs = std::filesystem;

inline const fs::path& sandbox() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "tessarine-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        const fs::path made(pattern);
        setenv("TESSARINE_HOME", made.c_str(), 1);
        return made;
    }();
    return folder;
}

inline void writeFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// A short tone in place of the examples' sample: 16-bit mono at 22050 Hz, 2048 frames of a
// decaying 262 Hz sine. Inputs load their samples again on every run, and the sample's length
// only repeats the same work: the layout, loops and crossfades are all there in 2048 frames.
inline void writeShortTone(const fs::path& path) {
    constexpr std::uint32_t kFrames = 2048, kRate = 22050, kDataBytes = 2 * kFrames;
    std::uint8_t wav[44 + kDataBytes] = {};
    const auto put32 = [&wav](std::size_t at, std::uint32_t v) {
        for (int b = 0; b < 4; ++b) wav[at + b] = static_cast<std::uint8_t>(v >> (8 * b));
    };
    const auto put16 = [&wav](std::size_t at, std::uint32_t v) {
        for (int b = 0; b < 2; ++b) wav[at + b] = static_cast<std::uint8_t>(v >> (8 * b));
    };
    std::memcpy(wav, "RIFF", 4);
    put32(4, 36 + kDataBytes);
    std::memcpy(wav + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);  // PCM
    put16(22, 1);  // mono
    put32(24, kRate);
    put32(28, 2 * kRate);
    put16(32, 2);
    put16(34, 16);
    std::memcpy(wav + 36, "data", 4);
    put32(40, kDataBytes);
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double value = 16000.0 * std::exp(-3.0 * t) * std::sin(2.0 * 3.141592653589793 * 262.0 * t);
        put16(44 + 2 * i, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    }
    writeFile(path, wav, sizeof wav);
}

// The examples (instrument files, their MIDI files and samples) inside the sandbox, with the
// short tone in place of their sample.
inline void copyExamples() {
    std::error_code ignored;
    fs::copy(fs::path(TESSARINE_SOURCE_DIR) / "examples", sandbox() / "examples",
             fs::copy_options::recursive | fs::copy_options::skip_existing, ignored);
    writeShortTone(sandbox() / "examples/samples/tone.wav");
}

// Stops the run with a message: libFuzzer keeps the input that led here.
[[noreturn]] inline void fail(const std::string& message) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", message.c_str());
    std::abort();
}

}  // namespace tess::fuzz
