// What the fuzz targets share: one private folder per process under the system's temporary
// folder, which is the per-user folder, so that every relative path an input names (INCLUDE,
// SAMPLE, a saved instrument path) is found inside it. The working directory stays as it is:
// libFuzzer reads the corpus through relative paths. libFuzzer ends a run without running exit
// handlers, so fuzz/run.sh points TMPDIR at a folder of its own and removes it after each run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// The examples (instrument files, their MIDI files and samples) inside the sandbox.
inline void copyExamples() {
    std::error_code ignored;
    fs::copy(fs::path(TESSARINE_SOURCE_DIR) / "examples", sandbox() / "examples",
             fs::copy_options::recursive | fs::copy_options::skip_existing, ignored);
}

// Stops the run with a message: libFuzzer keeps the input that led here.
[[noreturn]] inline void fail(const std::string& message) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", message.c_str());
    std::abort();
}

}  // namespace tess::fuzz
