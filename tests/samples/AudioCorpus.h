// Test files for the audio file reader. Sample data always comes from third-party writers
// (sox, libsndfile's sndfile-convert and sndfile-metadata-set); the chunk editing here only
// moves, adds or patches container fields around that data, the way other writers lay files out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tess::test {

// Runs sox (or another tool) and returns its exit code; output goes to *log.
int tool(const std::string& command, std::string* log = nullptr);

std::string quote(const std::string& path);

// Every sample of `path` as float32, decoded by sox (exact for integer PCM of any depth; float
// files go through sox's 32-bit integer samples and are exact only for coarse values).
std::vector<float> soxDecode(const std::string& path);

// Raw little-endian bytes of integer samples `bytesPerSample` wide (1 to 4).
std::string rawIntegers(const std::vector<std::int64_t>& values, int bytesPerSample);
std::string rawFloats(const std::vector<float>& values);
std::string rawDoubles(const std::vector<double>& values);

// A RIFF/WAVE or FORM/AIFF file split into its top-level chunks.
struct Chunk {
    std::string id;
    std::string body;
};

struct Container {
    bool aiff = false;
    std::string formType;  // "WAVE" or "AIFF"
    std::vector<Chunk> chunks;

    int find(const std::string& id) const;  // index or -1
    std::string ids() const;                // "fmt |fact|data" style, for checking a layout
    Chunk& at(const std::string& id);       // the chunk, which must exist
};

// Parses a file (chunk sizes honour the pad byte); fails the test on a malformed file.
Container parseContainer(const std::string& bytes);
// Writes the file again with correct sizes and a pad byte after every odd-sized body.
std::string buildContainer(const Container& container);

// Field patching in a byte string.
void putLE16(std::string& s, std::size_t at, std::uint32_t v);
void putLE32(std::string& s, std::size_t at, std::uint32_t v);
void putBE16(std::string& s, std::size_t at, std::uint32_t v);
void putBE32(std::string& s, std::size_t at, std::uint32_t v);
std::uint32_t getLE32(const std::string& s, std::size_t at);
std::uint32_t getBE32(const std::string& s, std::size_t at);

}  // namespace tess::test
