// The bottom text of the menu: one integer into a translator's format, within the buffer.
#include "engine/engine.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr std::size_t kGuard = 16;

// Formats into a buffer of `size` bytes followed by guard bytes, and checks the guard.
std::string Format(const char* format, std::int32_t count, std::size_t size = kBottomTextSize) {
    char buffer[std::size_t{kBottomTextSize} * 2 + kGuard];
    std::memset(buffer, '#', sizeof buffer);
    FormatCount(buffer, size, format, count);
    EXPECT_EQ(std::string(buffer + size, kGuard), std::string(kGuard, '#'))
        << "written past " << size << " bytes for \"" << (format ? format : "(null)") << "\"";
    if (size == 0) return {};
    EXPECT_NE(std::memchr(buffer, 0, size), nullptr) << "not terminated";
    return std::string(buffer, strnlen(buffer, size));
}

// What the C library writes for format (one integer conversion with the given length
// modifier and conversion character), the count converted to the conversion's type as
// printf converts its argument, cut to the bottom text's 63 bytes.
std::string Printf(const std::string& format, const std::string& length, char type,
                   std::int32_t count) {
    char text[kBottomTextSize];
    const char* f = format.c_str();
    const auto u = static_cast<std::uint32_t>(count);
    if (type == 'd' || type == 'i') {
        if (length == "hh") std::snprintf(text, sizeof text, f, static_cast<signed char>(count));
        if (length == "h") std::snprintf(text, sizeof text, f, static_cast<short>(count));
        if (length.empty()) std::snprintf(text, sizeof text, f, static_cast<int>(count));
        if (length == "l") std::snprintf(text, sizeof text, f, static_cast<long>(count));
        if (length == "ll" || length == "L") {
            std::snprintf(text, sizeof text, f, static_cast<long long>(count));
        }
        if (length == "j") std::snprintf(text, sizeof text, f, static_cast<std::intmax_t>(count));
        if (length == "z") {
            std::snprintf(text, sizeof text, f,
                          static_cast<std::make_signed_t<std::size_t>>(count));
        }
        if (length == "t") std::snprintf(text, sizeof text, f, static_cast<std::ptrdiff_t>(count));
        return text;
    }
    if (length == "hh") std::snprintf(text, sizeof text, f, static_cast<unsigned char>(count));
    if (length == "h") std::snprintf(text, sizeof text, f, static_cast<unsigned short>(count));
    if (length.empty()) std::snprintf(text, sizeof text, f, static_cast<unsigned>(u));
    if (length == "l") std::snprintf(text, sizeof text, f, static_cast<unsigned long>(u));
    if (length == "ll" || length == "L") {
        std::snprintf(text, sizeof text, f, static_cast<unsigned long long>(u));
    }
    if (length == "j") std::snprintf(text, sizeof text, f, static_cast<std::uintmax_t>(u));
    if (length == "z") std::snprintf(text, sizeof text, f, static_cast<std::size_t>(u));
    if (length == "t") {
        std::snprintf(text, sizeof text, f, static_cast<std::make_unsigned_t<std::ptrdiff_t>>(u));
    }
    return text;
}

const std::vector<std::int32_t> kCounts = {0, 1, 150, -1, INT32_MIN, INT32_MAX};
const std::vector<std::string> kLengths = {"", "hh", "h", "l", "ll", "j", "z", "t", "L"};
constexpr const char* kConversions = "diouxX";

// Every subset of the five flags, each written in a fixed order.
std::vector<std::string> FlagSets() {
    std::vector<std::string> sets;
    for (unsigned mask = 0; mask < 32; ++mask) {
        std::string flags;
        for (unsigned bit = 0; bit < 5; ++bit) {
            if ((mask & (1u << bit)) != 0) flags += "-+ #0"[bit];
        }
        sets.push_back(flags);
    }
    return sets;
}

// Compares FormatCount with the C library for format around every length, conversion and
// count; returns the number of formats compared.
int CompareWithPrintf(const std::string& before, const std::string& spec,
                      const std::string& after) {
    int compared = 0;
    for (const std::string& length : kLengths) {
        for (const char* type = kConversions; *type != 0; ++type) {
            std::string format = before;
            format.append("%").append(spec).append(length).append(1, *type).append(after);
            for (const std::int32_t count : kCounts) {
                const std::string expected = Printf(format, length, *type, count);
                const std::string actual = Format(format.c_str(), count);
                if (actual != expected) {
                    ADD_FAILURE() << format << " with " << count << ": \"" << actual
                                  << "\", the C library writes \"" << expected << "\"";
                    return compared;
                }
                ++compared;
            }
        }
    }
    return compared;
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

TEST(FormatCount, EveryIntegerConversionWithPrecisionAndLength) {
    EXPECT_EQ(Format("%X", 150), "96");
    EXPECT_EQ(Format("%#o", 150), "0226");
    EXPECT_EQ(Format("%8.5d|", 150), "   00150|");
    EXPECT_EQ(Format("%65d", 150), std::string(62, ' ') + "1");
    EXPECT_EQ(Format("%ld items", 150), "150 items");
    EXPECT_EQ(Format("%hhd", 150), "-106");
    EXPECT_EQ(Format("%.0d", 0), "");
    EXPECT_EQ(Format("%+.3i", 150), "+150");
    EXPECT_EQ(Format("%-5x|", 150), "96   |");
    EXPECT_EQ(Format("%#.0o %#x %#X", 0), "0 %#x %#X");
    EXPECT_EQ(Format("%#llX", -1), "0XFFFFFFFF") << "the count is never read as a wider type";
    EXPECT_EQ(Format("%lu", -1), "4294967295");
    EXPECT_EQ(Format("%hu %hd", 65537), "1 %hd");
    EXPECT_EQ(Format("%zd", INT32_MIN), "-2147483648");
}

TEST(FormatCount, MatchesTheCLibraryOverEveryFlagWidthPrecisionAndLength) {
    const std::vector<std::string> widths = {"", "1", "4", "11", "62", "63", "64", "70"};
    const std::vector<std::string> precisions = {"", ".", ".0", ".1", ".3", ".11", ".12", ".66"};
    int compared = 0;
    for (const std::string& flags : FlagSets()) {
        for (const std::string& width : widths) {
            for (const std::string& precision : precisions) {
                const std::string spec = std::string(flags).append(width).append(precision);
                compared += CompareWithPrintf("", spec, "|");
                compared += CompareWithPrintf("n=", spec, "");
                if (HasFailure()) return;
            }
        }
    }
    EXPECT_EQ(compared, 32 * 8 * 8 * 9 * 6 * 6 * 2);
}

// A flag counts once however often it is written, and in any order.
TEST(FormatCount, RepeatedAndReorderedFlags) {
    for (const std::string spec : {"--8", "++8", "  8", "##8", "008", "0-8", "0+ 8", "#0+-0 8"}) {
        CompareWithPrintf("", spec, "|");
        if (HasFailure()) return;
    }
}

TEST(FormatCount, HugeWidthsAndPrecisionsAreCutNotShortened) {
    const std::string lead(40, 'w');
    for (const std::string spec :
         {"99999", "-99999", "099999", ".99999", "-#8.99999", "+99999.70"}) {
        CompareWithPrintf("", spec, "");
        CompareWithPrintf(lead, spec, "");
        if (HasFailure()) return;
    }
    EXPECT_EQ(Format("%-.99999999999d|", 7), std::string(63, '0'));
    EXPECT_EQ(Format("%-99999999999d|", 7), "7" + std::string(62, ' '));
    EXPECT_EQ(Format("%-123456789012345678901234567890.1d|", 7), "7" + std::string(62, ' '));
    EXPECT_EQ(Format("%.123456789012345678901234567890d|", 7), std::string(63, '0'));
}

TEST(FormatCount, OnlyTheFirstConversionIsHonoured) {
    EXPECT_EQ(Format("%d%d", 1), "1%d");
    EXPECT_EQ(Format("%x %u %i %d", 16), "10 %u %i %d");
    EXPECT_EQ(Format("100%% of %d, 50%%", 8), "100% of 8, 50%");
}

TEST(FormatCount, OtherSequencesAreCopiedAsText) {
    EXPECT_EQ(Format("%s%s%n%p", 3), "%s%s%n%p");
    EXPECT_EQ(Format("%n%d", 3), "%n3");
    EXPECT_EQ(Format("%*d %.*d %-*x %hhhd %lh %Ls %q %", 3), "%*d %.*d %-*x %hhhd %lh %Ls %q %");
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
