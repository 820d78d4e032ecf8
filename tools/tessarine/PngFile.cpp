#include "tessarine/PngFile.h"

#include <algorithm>
#include <fstream>

namespace tess::tool {

std::uint32_t crc32(const unsigned char* data, std::size_t size, std::uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

namespace {

void putBig(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void chunk(std::vector<unsigned char>& out, const char* type,
           const std::vector<unsigned char>& body) {
    putBig(out, static_cast<std::uint32_t>(body.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    putBig(out, crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<unsigned char> encodePng(int width, int height, const std::vector<unsigned char>& rgb) {
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    putBig(header, static_cast<std::uint32_t>(width));
    putBig(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
    chunk(png, "IHDR", header);

    // Each row: filter type 0, then its pixels.
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    std::vector<unsigned char> raw;
    raw.reserve((stride + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const auto row =
            rgb.begin() + static_cast<std::ptrdiff_t>(stride * static_cast<std::size_t>(y));
        raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(stride));
    }
    // zlib stream of stored blocks of at most 65535 bytes, then the Adler-32 of the data.
    std::vector<unsigned char> data = {0x78, 0x01};
    std::size_t done = 0;
    do {
        const std::size_t size = std::min<std::size_t>(65535, raw.size() - done);
        const bool last = done + size == raw.size();
        data.push_back(last ? 1 : 0);
        data.push_back(static_cast<unsigned char>(size & 0xFF));
        data.push_back(static_cast<unsigned char>(size >> 8));
        data.push_back(static_cast<unsigned char>(~size & 0xFF));
        data.push_back(static_cast<unsigned char>((~size >> 8) & 0xFF));
        data.insert(data.end(), raw.begin() + static_cast<std::ptrdiff_t>(done),
                    raw.begin() + static_cast<std::ptrdiff_t>(done + size));
        done += size;
    } while (done < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBig(data, (b << 16) | a);
    chunk(png, "IDAT", data);
    chunk(png, "IEND", {});
    return png;
}

bool writePng(const std::string& path, int width, int height,
              const std::vector<unsigned char>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<std::size_t>(width) * height * 3)
        return false;
    const std::vector<unsigned char> png = encodePng(width, height, rgb);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

}  // namespace tess::tool
