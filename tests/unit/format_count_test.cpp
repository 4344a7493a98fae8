// The bottom text of the menu: one integer into a translator's format, within the buffer.
#include "engine/engine.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr std::size_t kGuard = 16;

// Formats into a buffer of `size` bytes followed by guard bytes, and checks the guard.
std::string Format(const char* format, std::int32_t count, std::size_t size = kBottomTextSize) {
    char buffer[kBottomTextSize * 2 + kGuard];
    std::memset(buffer, '#', sizeof buffer);
    FormatCount(buffer, size, format, count);
    EXPECT_EQ(std::string(buffer + size, kGuard), std::string(kGuard, '#'))
        << "written past " << size << " bytes for \"" << (format ? format : "(null)") << "\"";
    if (size == 0) return {};
    EXPECT_NE(std::memchr(buffer, 0, size), nullptr) << "not terminated";
    return std::string(buffer, strnlen(buffer, size));
}

TEST(FormatCount, IntegerConversionsWithFlagsAndWidth) {
    EXPECT_EQ(Format("%d words", 150), "150 words");
    EXPECT_EQ(Format("%i", -5), "-5");
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%x", -1), "ffffffff");
    EXPECT_EQ(Format("%x", 255), "ff");
    EXPECT_EQ(Format("%#x", 255), "0xff");
    EXPECT_EQ(Format("%#d", 7), "7"); // '#' means nothing for %d
    EXPECT_EQ(Format("%-5d|", 42), "42   |");
    EXPECT_EQ(Format("%05d", 42), "00042");
    EXPECT_EQ(Format("%+d % d", 42), "+42 % d");
    EXPECT_EQ(Format("% d", 42), " 42");
    EXPECT_EQ(Format("%5d%%", 1), "    1%");
    EXPECT_EQ(Format("%%d %d", 3), "%d 3");
}

TEST(FormatCount, OnlyTheFirstConversionIsHonoured) {
    EXPECT_EQ(Format("%d%d", 1), "1%d");
    EXPECT_EQ(Format("%x %u %i %d", 16), "10 %u %i %d");
    EXPECT_EQ(Format("100%% of %d, 50%%", 8), "100% of 8, 50%");
}

TEST(FormatCount, OtherSequencesAreCopiedAsText) {
    EXPECT_EQ(Format("%s%s%n%p", 3), "%s%s%n%p");
    EXPECT_EQ(Format("%n%d", 3), "%n3");
    EXPECT_EQ(Format("%ld %hd %lld %.2d %*d", 3), "%ld %hd %lld %.2d %*d");
    EXPECT_EQ(Format("%-5s|%5c", 3), "%-5s|%5c");
    EXPECT_EQ(Format("end %", 3), "end %");
    EXPECT_EQ(Format("%-", 3), "%-");
    EXPECT_EQ(Format("%12", 3), "%12");
    EXPECT_EQ(Format("\xE1\xE2 %d", 3), "\xE1\xE2 3");
}

TEST(FormatCount, NullOrEmptyFormatGivesEmptyText) {
    EXPECT_EQ(Format(nullptr, 3), "");
    EXPECT_EQ(Format("", 3), "");
}

TEST(FormatCount, LongResultsAreCutToTheBuffer) {
    EXPECT_EQ(Format("%99999d", 7).size(), kBottomTextSize - 1);
    EXPECT_EQ(Format("%2147483647d", 7).size(), kBottomTextSize - 1);
    EXPECT_EQ(Format("%-99999d", 7).substr(0, 2), "7 ");
    const std::string text(100, 'x');
    EXPECT_EQ(Format((text + "%d").c_str(), 7), text.substr(0, kBottomTextSize - 1));
    EXPECT_EQ(Format("%d words", 150, 5), "150 ");
    EXPECT_EQ(Format("%d words", 150, 1), "");
    EXPECT_EQ(Format("%40d", -2147483647 - 1, 20), std::string(19, ' '));
    Format("%d", 1, 0); // nothing written at all
}

} // namespace
