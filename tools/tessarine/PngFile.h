// Writing an 8-bit RGB image as a PNG file. The image data is stored in uncompressed deflate
// blocks, which every PNG reader accepts; screenshots are small enough not to need more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tess::tool {

// `rgb` holds width x height pixels, three bytes each, row by row from the top.
std::vector<unsigned char> encodePng(int width, int height, const std::vector<unsigned char>& rgb);
bool writePng(const std::string& path, int width, int height,
              const std::vector<unsigned char>& rgb);

std::uint32_t crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace tess::tool
