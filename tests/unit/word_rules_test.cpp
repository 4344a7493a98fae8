// The word-character rule and the prefix taken left of the cursor.
#include "engine/engine.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

class WordRules : public ::testing::Test {
  protected:
    void TearDown() override {
        SetOwnWordChars("", 0);
        UseWordRules(false);
    }

    // The prefix ExtractPrefix takes from line at column, read as its buffer holds it.
    std::string Prefix(const std::string& line, std::int32_t column) {
        char buffer[kPrefixSize + 8];
        std::memset(buffer, 0, kPrefixSize);
        std::memset(buffer + kPrefixSize, '#', 8);
        ExtractPrefix(line.c_str(), column, buffer, kPrefixSize);
        EXPECT_EQ(std::string(buffer + kPrefixSize, 8), "########") << "written past size";
        return std::string(buffer, strnlen(buffer, kPrefixSize));
    }
};

// ---- IsWordChar ----

TEST_F(WordRules, EveryByteWithNumbersOffAndOn) {
    for (const std::uint32_t numbers : {0u, 1u, 7u}) {
        UseWordRules(numbers != 0);
        for (unsigned b = 0; b < 256; ++b) {
            const bool letter = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
            const bool extra = (b >= '0' && b <= '9') || b == '_';
            const int expected = letter || b >= 0x80 || (numbers != 0 && extra) ? 1 : 0;
            EXPECT_EQ(IsWordChar(b), expected) << "byte " << b << ", numbers " << numbers;
        }
    }
}

// Letters, digits and the code page 866 Cyrillic letters 0x80-0xAF and 0xE0-0xF7; not
// 0xB0-0xDF or 0xF8-0xFF; with Numbers, '_' too.
TEST_F(WordRules, WordBytesAreLettersDigitsAndMostCyrillic) {
    for (const std::uint32_t numbers : {0u, 1u}) {
        UseWordRules(numbers != 0);
        for (unsigned b = 0; b < 256; ++b) {
            const bool ascii = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                               (b >= '0' && b <= '9') || (numbers != 0 && b == '_');
            const bool cyrillic = (b >= 0x80 && b <= 0xAF) || (b >= 0xE0 && b <= 0xF7);
            EXPECT_EQ(IsExtractionChar(b), ascii || cyrillic ? 1 : 0) << "byte " << b;
            EXPECT_EQ(IsExtractionChar(b + 0x100), IsExtractionChar(b));
        }
    }
}

TEST_F(WordRules, OnlyTheLowEightBitsCount) {
    UseWordRules(false);
    EXPECT_EQ(IsWordChar(0x141), 1); // 'A'
    EXPECT_EQ(IsWordChar(0x120), 0); // blank
    EXPECT_EQ(IsWordChar(0xFFFFFF80u), 1);
    EXPECT_EQ(IsWordChar(0xFFFFFF00u), 0);
    EXPECT_EQ(IsWordChar(static_cast<unsigned>(static_cast<signed char>('\xE0'))), 1);
}

// ---- ExtractPrefix ----

TEST_F(WordRules, PrefixIsTheRunEndingAtTheColumn) {
    UseWordRules(false);
    EXPECT_EQ(Prefix("foo bar", 7), "bar");
    EXPECT_EQ(Prefix("foo bar", 6), "ba");
    EXPECT_EQ(Prefix("abc", 3), "abc");
    EXPECT_EQ(Prefix("abc", 1), "a");
    EXPECT_EQ(Prefix("x.abcd", 4), "ab");
    EXPECT_EQ(Prefix("_ab", 3), "ab");
    EXPECT_EQ(Prefix("a1b", 3), "b");
    EXPECT_EQ(Prefix("\xE0\xB0z", 3), "\xE0\xB0z");
    EXPECT_EQ(Prefix(" \xF1", 2), "\xF1");
}

TEST_F(WordRules, NumbersLengthensThePrefix) {
    UseWordRules(true);
    EXPECT_EQ(Prefix("_ab", 3), "_ab");
    EXPECT_EQ(Prefix("a1", 2), "a1");
    EXPECT_EQ(Prefix("x-9_z", 5), "9_z");
    EXPECT_EQ(Prefix("12", 2), "12");
}

// The user's own characters are word characters and word bytes under either Numbers setting,
// so the prefix runs through them; '_' among them counts with Numbers off too.
TEST_F(WordRules, OwnCharactersJoinTheWordsAndThePrefix) {
    SetOwnWordChars("-:_", 3);
    for (const bool numbers : {false, true}) {
        UseWordRules(numbers);
        for (unsigned b = 0; b < 256; ++b) {
            const bool own = b == '-' || b == ':' || b == '_';
            EXPECT_EQ(IsWordChar(b), WordCharTable(numbers)[b] != 0 || own ? 1 : 0) << b;
            EXPECT_EQ(IsExtractionChar(b), TakenTable(numbers)[b] != 0 || own ? 1 : 0) << b;
        }
        EXPECT_EQ(Prefix("x --ver", 7), "--ver");
        EXPECT_EQ(Prefix("{background-c", 13), "background-c");
        EXPECT_EQ(Prefix("Foo::B", 6), "Foo::B");
        EXPECT_EQ(Prefix("a.my_v", 6), "my_v");
    }
}

TEST_F(WordRules, LongRunFillsTheBufferWithItsFirst64Bytes) {
    UseWordRules(false);
    std::string run;
    for (int i = 0; i < 70; ++i)
        run += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Prefix(" " + run, 71), run.substr(0, 64));
    EXPECT_EQ(Prefix(run, 64), run.substr(0, 64));
    EXPECT_EQ(Prefix(run, 63), run.substr(0, 63));
}

TEST_F(WordRules, SmallerBufferTakesTheRunsFirstBytes) {
    char buffer[8] = {};
    ExtractPrefix("xx abcdef", 9, buffer, 4);
    EXPECT_EQ(std::string(buffer, 8), std::string("abcd\0\0\0\0", 8));
}

} // namespace
