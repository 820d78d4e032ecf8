// The PNG writer of the screenshots: signature, chunk CRCs, header fields and the stored
// image data read back through the zlib framing.
#include <gtest/gtest.h>

#include <cstdint>

#include "tessarine/PngFile.h"

namespace tess::tool {
namespace {

std::uint32_t big(const std::vector<unsigned char>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

TEST(PngFile, Crc32OfTheStandardCheckText) {
    const std::string text = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const unsigned char*>(text.data()), text.size()), 0xCBF43926u);
}

TEST(PngFile, ChunksCarryValidCrcsAndTheRowsAreStoredWithFilterZero) {
    struct Case {
        int width, height;
    };
    // The second image needs more than one stored block of 65535 bytes.
    for (const Case c : {Case{3, 2}, Case{200, 120}}) {
        std::vector<unsigned char> rgb(static_cast<std::size_t>(c.width * c.height * 3));
        for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 7);
        const std::vector<unsigned char> png = encodePng(c.width, c.height, rgb);
        ASSERT_EQ(std::vector<unsigned char>(png.begin(), png.begin() + 8),
                  (std::vector<unsigned char>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
        std::size_t at = 8;
        std::vector<std::string> types;
        std::vector<unsigned char> idat;
        while (at + 12 <= png.size()) {
            const std::uint32_t length = big(png, at);
            const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                   png.begin() + static_cast<std::ptrdiff_t>(at + 8));
            ASSERT_LE(at + 12 + length, png.size());
            EXPECT_EQ(big(png, at + 8 + length), crc32(&png[at + 4], length + 4)) << type;
            if (type == "IHDR") {
                EXPECT_EQ(big(png, at + 8), static_cast<std::uint32_t>(c.width));
                EXPECT_EQ(big(png, at + 12), static_cast<std::uint32_t>(c.height));
                EXPECT_EQ(png[at + 16], 8);  // bit depth
                EXPECT_EQ(png[at + 17], 2);  // RGB
            }
            if (type == "IDAT")
                idat.assign(png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                            png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
            types.push_back(type);
            at += 12 + length;
        }
        EXPECT_EQ(at, png.size());
        EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
        // Undo the zlib framing: stored blocks with their length and its complement.
        ASSERT_GE(idat.size(), 6u);
        EXPECT_EQ((idat[0] * 256 + idat[1]) % 31, 0);
        std::vector<unsigned char> raw;
        std::size_t pos = 2;
        bool last = false;
        while (!last && pos + 5 <= idat.size()) {
            last = idat[pos] & 1;
            const unsigned size = idat[pos + 1] | (idat[pos + 2] << 8);
            const unsigned complement = idat[pos + 3] | (idat[pos + 4] << 8);
            EXPECT_EQ(size ^ 0xFFFFu, complement);
            raw.insert(raw.end(), idat.begin() + static_cast<std::ptrdiff_t>(pos + 5),
                       idat.begin() + static_cast<std::ptrdiff_t>(pos + 5 + size));
            pos += 5 + size;
        }
        EXPECT_TRUE(last);
        EXPECT_EQ(pos + 4, idat.size());  // the Adler-32 follows
        const std::size_t stride = static_cast<std::size_t>(c.width) * 3;
        ASSERT_EQ(raw.size(), (stride + 1) * static_cast<std::size_t>(c.height));
        for (int y = 0; y < c.height; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * (stride + 1);
            EXPECT_EQ(raw[row], 0);
            EXPECT_TRUE(std::equal(
                raw.begin() + static_cast<std::ptrdiff_t>(row + 1),
                raw.begin() + static_cast<std::ptrdiff_t>(row + 1 + stride),
                rgb.begin() + static_cast<std::ptrdiff_t>(stride * static_cast<std::size_t>(y))));
        }
        std::uint32_t a = 1, b = 0;
        for (unsigned char byte : raw) {
            a = (a + byte) % 65521;
            b = (b + a) % 65521;
        }
        EXPECT_EQ(big(idat, pos), (b << 16) | a);
    }
}

}  // namespace
}  // namespace tess::tool
