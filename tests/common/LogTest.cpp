#include <gtest/gtest.h>

#include <string>

#include "common/Log.h"

namespace tess {
namespace {

TEST(Log, BelowLevelZeroNothingIsKept) {
    Log log;
    log.debugLevel = -1;
    log.changed = 0;
    log.append(Log::kMain, "error\r\n");
    log.append(Log::kProgram, "x = 1\r\n");
    log.appendf(Log::kMain, "value %d\r\n", 3);
    EXPECT_EQ(log.main.view(), "");
    EXPECT_EQ(log.program.view(), "");
    EXPECT_EQ(log.changed, 0);
}

TEST(Log, PanesCollectSeparatelyAndMarkChanged) {
    Log log;
    log.changed = 0;
    log.append(Log::kMain, "a\r\n");
    log.appendf(Log::kProgram, "Line %d, file %s\r\n", 7, "x.txt");
    EXPECT_EQ(log.main.view(), "a\r\n");
    EXPECT_EQ(log.program.view(), "Line 7, file x.txt\r\n");
    EXPECT_EQ(log.changed, 1);
    log.clear();
    EXPECT_EQ(log.main.size(), 0u);
    EXPECT_STREQ(log.program.c_str(), "");
}

TEST(LogText, OverflowDropsTheOldestTextAndStaysWithinCapacity) {
    LogText text;
    const std::string line(1000, 'a');
    const std::string first = "FIRST LINE\r\n";
    text.append(first);
    for (int i = 0; i < 600; ++i) text.append(line + std::to_string(i) + "\r\n");
    EXPECT_LT(text.size(), LogText::kCapacity);
    EXPECT_EQ(text.c_str()[text.size()], '\0');
    // The newest line survives whole, the first one is gone.
    const std::string newest = line + "599\r\n";
    EXPECT_EQ(text.view().substr(text.size() - newest.size()), newest);
    EXPECT_EQ(text.view().find("FIRST LINE"), std::string_view::npos);
}

TEST(LogText, OneTextLargerThanTheCapacityKeepsItsNewestPart) {
    LogText text;
    std::string huge(LogText::kCapacity + 100, 'x');
    huge.back() = 'E';
    text.append("old\r\n");
    text.append(huge);
    EXPECT_EQ(text.size(), LogText::kCapacity - 1);
    EXPECT_EQ(text.view().back(), 'E');
    EXPECT_EQ(text.view().front(), 'x');
}

TEST(LogText, AFullLogMakesRoomForManyMessagesAtOnce) {
    LogText text;
    const std::string chunk(LogText::kCapacity - 1, 'y');
    text.append(chunk);
    EXPECT_EQ(text.size(), LogText::kCapacity - 1);  // an append that exactly fills is kept
    text.append("z");
    EXPECT_EQ(text.view().back(), 'z');
    EXPECT_LE(text.size(), LogText::kCapacity - 1);
    EXPECT_GE(text.size(), LogText::kCapacity * 3 / 4 - 1);
    // The room made is used by the following messages without dropping anything more.
    const std::size_t before = text.size();
    for (int i = 0; i < 1000; ++i) text.append("w");
    EXPECT_EQ(text.size(), before + 1000);
}

}  // namespace
}  // namespace tess
