// The saved-state block: where each field lies, byte order, the path's limits, and copies of
// host chunks of any size.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "state/StateChunk.h"

namespace tess {
namespace {

std::uint32_t le32At(const StateChunk& chunk, std::size_t offset) {
    const std::uint8_t* p = chunk.data() + offset;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint64_t le64At(const StateChunk& chunk, std::size_t offset) {
    return le32At(chunk, offset) | std::uint64_t(le32At(chunk, offset + 4)) << 32;
}

TEST(StateChunk, FieldsLieAtTheirOffsetsLittleEndian) {
    StateChunk chunk;
    chunk.setParameter(0, 1.0f);
    chunk.setParameter(127, 0.5f);
    chunk.setKeyswitchState(0, 1);
    chunk.setKeyswitchState(127, -2);
    chunk.setTemperament(0x01020304);
    chunk.setKeyswitchCount(3);
    EXPECT_EQ(le32At(chunk, 512), 0x3F800000u);
    EXPECT_EQ(le32At(chunk, 512 + 4 * 127), 0x3F000000u);
    EXPECT_EQ(le32At(chunk, 1024), 1u);
    EXPECT_EQ(le32At(chunk, 1024 + 4 * 127), 0xFFFFFFFEu);
    EXPECT_EQ(chunk.data()[1536], 0x04);
    EXPECT_EQ(le32At(chunk, 1540), 3u);
    EXPECT_EQ(chunk.parameter(127), 0.5f);
    EXPECT_EQ(chunk.keyswitchState(127), -2);
    EXPECT_EQ(chunk.temperament(), 0x01020304);
    // Out of range indices read 0 and write nothing.
    chunk.setParameter(128, 9.0f);
    chunk.setKeyswitchState(-1, 9);
    EXPECT_EQ(chunk.parameter(128), 0.0f);
    EXPECT_EQ(chunk.keyswitchState(128), 0);
    EXPECT_EQ(le32At(chunk, 1024), 1u);
}

TEST(StateChunk, APanelRecordKeepsItsRealStartAndEndAtOffsets520And528) {
    StateChunk chunk;
    SamplePanelRecord record;
    record.valid = 1;
    std::snprintf(record.fileName, sizeof record.fileName, "%s", "drums/loop.wav");
    record.start = 48000;
    record.end = 96000;
    record.loopStart = 100;
    record.loopEnd = 4000;
    record.release = SampleSlot::kNoRelease;
    record.centreNote = 60.5f;
    record.direction = 2;
    record.looped = 0;
    record.crossfades[0] = 7;
    record.crossfades[1] = 8;
    record.crossfades[2] = 9;
    record.normalisation = 3;
    record.slot = 8191;
    chunk.setPanelRecord(31, record);
    const std::size_t base = 1544 + 592 * 31;
    EXPECT_EQ(base + 592, StateChunk::kSize);
    EXPECT_EQ(chunk.data()[base], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(chunk.data() + base + 1)), "drums/loop.wav");
    EXPECT_EQ(le64At(chunk, base + 520), 48000u);
    EXPECT_EQ(le64At(chunk, base + 528), 96000u);
    EXPECT_EQ(le64At(chunk, base + 552), 10000000000u);
    EXPECT_EQ(le32At(chunk, base + 560), 0x42720000u);  // 60.5f
    EXPECT_EQ(le32At(chunk, base + 564), 2u);
    EXPECT_EQ(le32At(chunk, base + 580), 9u);
    EXPECT_EQ(le32At(chunk, base + 584), 3u);
    EXPECT_EQ(le32At(chunk, base + 588), 8191u);

    const SamplePanelRecord back = chunk.panelRecord(31);
    EXPECT_STREQ(back.fileName, "drums/loop.wav");
    EXPECT_EQ(back.start, 48000);
    EXPECT_EQ(back.end, 96000);
    EXPECT_EQ(back.loopEnd, 4000);
    EXPECT_EQ(back.centreNote, 60.5f);
    EXPECT_EQ(back.crossfades[1], 8);
    EXPECT_EQ(back.slot, 8191);
    EXPECT_EQ(chunk.panelRecord(32).valid, 0);
    EXPECT_EQ(chunk.panelRecord(-1).valid, 0);
}

TEST(StateChunk, APathIsCutTo511CharactersAndTheRestOfItsFieldStays) {
    StateChunk chunk;
    std::memset(chunk.data(), 'z', 512);
    chunk.setPath(std::string(600, 'p'));
    EXPECT_EQ(chunk.path(), std::string(511, 'p'));
    EXPECT_EQ(chunk.data()[511], 0);
    chunk.setPath("/short.txt");
    EXPECT_EQ(chunk.path(), "/short.txt");
    EXPECT_EQ(chunk.data()[10], 0);
    EXPECT_EQ(chunk.data()[11], 'p');  // bytes after the terminator are left as they were
}

TEST(StateChunk, APathWithoutTerminatorReadsItsFirst511Bytes) {
    StateChunk chunk;
    std::vector<std::uint8_t> host(StateChunk::kSize, 'a');
    chunk.copyFrom(host.data(), static_cast<std::int64_t>(host.size()));
    EXPECT_EQ(chunk.path(), std::string(511, 'a'));
    // A panel record's name field without a terminator likewise.
    EXPECT_EQ(std::string(chunk.panelRecord(0).fileName), std::string(511, 'a'));
}

TEST(StateChunk, CopiesOfHostChunksStayInsideTheBlock) {
    StateChunk chunk;
    std::memset(chunk.data(), 7, StateChunk::kSize);
    std::vector<std::uint8_t> host(30000, 1);
    const struct {
        const void* data;
        std::int64_t size;
        std::size_t copied;
    } cases[] = {
        {nullptr, 500, 0}, {host.data(), 0, 0}, {host.data(), -5, 0}, {host.data(), 1024, 1024},
        {host.data(), 30000, StateChunk::kSize},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(chunk.copyFrom(c.data, c.size), c.copied);
    }
    StateChunk shorter;
    std::memset(shorter.data(), 7, StateChunk::kSize);
    shorter.copyFrom(host.data(), 1024);
    EXPECT_EQ(shorter.data()[1023], 1);
    EXPECT_EQ(shorter.data()[1024], 7);  // what the host did not give keeps its content
}

}  // namespace
}  // namespace tess
