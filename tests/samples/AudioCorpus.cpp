#include "samples/AudioCorpus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "support/TestSupport.h"

namespace tess::test {

int tool(const std::string& command, std::string* log) {
    std::string output;
    const int status = runCommand(command, &output);
    if (log != nullptr) *log = command + "\n" + output;
    return status;
}

std::string quote(const std::string& path) {
    return "'" + path + "'";
}

std::vector<float> soxDecode(const std::string& path) {
    // sox's float32 output rounds its 32-bit samples to 25 bits first; its float64 output is
    // exact, and one rounding to float32 then gives the correctly rounded value.
    const std::string out = path + ".decoded.f64";
    std::string log;
    EXPECT_EQ(tool("sox -D " + quote(path) + " -t f64 " + quote(out), &log), 0) << log;
    const std::string bytes = readFile(out);
    std::vector<double> wide(bytes.size() / sizeof(double));
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(double));
    return std::vector<float>(wide.begin(), wide.end());
}

std::string rawIntegers(const std::vector<std::int64_t>& values, int bytesPerSample) {
    std::string raw;
    for (std::int64_t v : values) {
        const auto u = static_cast<std::uint64_t>(v);
        for (int b = 0; b < bytesPerSample; ++b) raw.push_back(static_cast<char>(u >> (8 * b)));
    }
    return raw;
}

std::string rawFloats(const std::vector<float>& values) {
    std::string raw(values.size() * sizeof(float), '\0');
    std::memcpy(raw.data(), values.data(), raw.size());
    return raw;
}

std::string rawDoubles(const std::vector<double>& values) {
    std::string raw(values.size() * sizeof(double), '\0');
    std::memcpy(raw.data(), values.data(), raw.size());
    return raw;
}

void putLE16(std::string& s, std::size_t at, std::uint32_t v) {
    s.at(at) = static_cast<char>(v);
    s.at(at + 1) = static_cast<char>(v >> 8);
}
void putLE32(std::string& s, std::size_t at, std::uint32_t v) {
    putLE16(s, at, v & 0xFFFF);
    putLE16(s, at + 2, v >> 16);
}
void putBE16(std::string& s, std::size_t at, std::uint32_t v) {
    s.at(at) = static_cast<char>(v >> 8);
    s.at(at + 1) = static_cast<char>(v);
}
void putBE32(std::string& s, std::size_t at, std::uint32_t v) {
    putBE16(s, at, v >> 16);
    putBE16(s, at + 2, v & 0xFFFF);
}
std::uint32_t getLE32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = (v << 8) | static_cast<unsigned char>(s.at(at + b));
    return v;
}
std::uint32_t getBE32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int b = 0; b < 4; ++b) v = (v << 8) | static_cast<unsigned char>(s.at(at + b));
    return v;
}

int Container::find(const std::string& id) const {
    for (std::size_t i = 0; i < chunks.size(); ++i)
        if (chunks[i].id == id) return static_cast<int>(i);
    return -1;
}

std::string Container::ids() const {
    std::string result;
    for (const Chunk& c : chunks) result += (result.empty() ? "" : "|") + c.id;
    return result;
}

Chunk& Container::at(const std::string& id) {
    const int i = find(id);
    if (i < 0) throw std::runtime_error("no chunk " + id);
    return chunks[static_cast<std::size_t>(i)];
}

Container parseContainer(const std::string& bytes) {
    Container c;
    EXPECT_GE(bytes.size(), 12u);
    if (bytes.size() < 12) return c;
    c.aiff = bytes.compare(0, 4, "FORM") == 0;
    c.formType = bytes.substr(8, 4);
    std::size_t p = 12;
    while (p + 8 <= bytes.size()) {
        const std::uint32_t size = c.aiff ? getBE32(bytes, p + 4) : getLE32(bytes, p + 4);
        EXPECT_LE(p + 8 + size, bytes.size()) << "chunk at " << p;
        c.chunks.push_back({bytes.substr(p, 4), bytes.substr(p + 8, size)});
        p += 8 + size + (size & 1u);
    }
    return c;
}

std::string buildContainer(const Container& c) {
    std::string out = (c.aiff ? "FORM" : "RIFF") + std::string(4, '\0') + c.formType;
    for (const Chunk& chunk : c.chunks) {
        std::string header = chunk.id + std::string(4, '\0');
        const auto size = static_cast<std::uint32_t>(chunk.body.size());
        c.aiff ? putBE32(header, 4, size) : putLE32(header, 4, size);
        out += header + chunk.body;
        if (size & 1u) out.push_back('\0');
    }
    const auto formSize = static_cast<std::uint32_t>(out.size() - 8);
    c.aiff ? putBE32(out, 4, formSize) : putLE32(out, 4, formSize);
    return out;
}

}  // namespace tess::test
