// Whole-file reading for the tool's small input files (MIDI files, WAV inputs).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tess::tool {

// Files above this size are refused rather than read into memory.
constexpr std::size_t kMaxInputFileBytes = std::size_t(1) << 30;

// Reads the whole file. On failure `error` names the file and the reason.
bool readFileBytes(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);

}  // namespace tess::tool
