// Byte-class tables behind the word rules, built at compile time.
#pragma once

#include <array>
#include <cstdint>

namespace tables {

constexpr bool IsLetter(unsigned b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}
constexpr bool IsDigit(unsigned b) {
    return b >= '0' && b <= '9';
}

// Word characters: letters and every byte from 0x80; with numbers, digits and '_' too.
constexpr std::array<std::uint8_t, 256> MakeWordTable(bool numbers) {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        const bool word = IsLetter(b) || b >= 0x80 || (numbers && (IsDigit(b) || b == '_'));
        table[b] = word ? 1 : 0;
    }
    return table;
}

// Bytes of a taken word: letters, digits, and the code page 866 Cyrillic letters
// 0x80-0xAF and 0xE0-0xEF.
constexpr std::array<std::uint8_t, 256> MakeExtractionTable() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        const bool cyrillic = (b >= 0x80 && b <= 0xAF) || (b >= 0xE0 && b <= 0xEF);
        table[b] = IsLetter(b) || IsDigit(b) || cyrillic ? 1 : 0;
    }
    return table;
}

} // namespace tables

inline constexpr std::array<std::uint8_t, 256> kWordTableOff = tables::MakeWordTable(false);
inline constexpr std::array<std::uint8_t, 256> kWordTableOn = tables::MakeWordTable(true);
inline constexpr std::array<std::uint8_t, 256> kExtractionTable = tables::MakeExtractionTable();

// The word-character table for the current Numbers setting.
inline const std::uint8_t* WordCharTable(bool numbers) {
    return numbers ? kWordTableOn.data() : kWordTableOff.data();
}
