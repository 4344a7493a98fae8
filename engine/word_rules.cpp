// The word rules for one byte at a time, the user's own word characters, and the prefix at
// the cursor. The rules know no engine state: the Numbers setting comes from each request
// (UseWordRules), the user's characters from start-up (SetOwnWordChars).
#include "engine/word_rules.h"

#include <cstring>

namespace {

// The tables with the user's characters added, per Numbers setting (0 off, 1 on).
struct OwnWordRules {
    std::uint8_t word[2][256];
    std::uint8_t taken[2][256];
    std::uint8_t own[2][256]; // the characters the setting does not count already
    bool any[2];              // own holds at least one
};
OwnWordRules gOwnRules;

const std::uint8_t* gWordInForce = kWordTableOff.data();
const std::uint8_t* gTakenInForce = kTakenTableOff.data();

// Adds one character to the tables of both settings.
void AddOwnWordChar(unsigned char c) {
    for (int numbers = 0; numbers < 2; ++numbers) {
        if (WordCharTable(numbers != 0)[c] != 0) continue; // '_' with Numbers on
        gOwnRules.word[numbers][c] = 1;
        gOwnRules.taken[numbers][c] = 1;
        gOwnRules.own[numbers][c] = 1;
        gOwnRules.any[numbers] = true;
    }
}

} // namespace

void SetOwnWordChars(const char* text, std::size_t size) {
    for (int numbers = 0; numbers < 2; ++numbers) {
        std::memcpy(gOwnRules.word[numbers], WordCharTable(numbers != 0), 256);
        std::memcpy(gOwnRules.taken[numbers], TakenTable(numbers != 0), 256);
        std::memset(gOwnRules.own[numbers], 0, 256);
        gOwnRules.any[numbers] = false;
    }
    bool seen[256] = {};
    std::size_t taken = 0;
    for (std::size_t i = 0; i < size && text[i] != 0 && taken < kMaxOwnWordChars; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!MayBeOwnWordChar(c) || seen[c]) continue;
        seen[c] = true;
        ++taken;
        AddOwnWordChar(c);
    }
}

WordTables WordTablesFor(bool numbers) {
    const int n = numbers ? 1 : 0;
    if (!gOwnRules.any[n]) return {WordCharTable(numbers), TakenTable(numbers), nullptr};
    return {gOwnRules.word[n], gOwnRules.taken[n], gOwnRules.own[n]};
}

void UseWordRules(bool numbers) {
    const WordTables tables = WordTablesFor(numbers);
    gWordInForce = tables.word;
    gTakenInForce = tables.taken;
}

int IsWordChar(unsigned byte) {
    return gWordInForce[byte & 0xFFu];
}

int IsExtractionChar(unsigned byte) {
    return gTakenInForce[byte & 0xFFu];
}

// Walks left from the cursor over word characters; a run that reaches the line's first
// byte starts there.
void ExtractPrefix(const char* text, std::int32_t column, char* dest, std::size_t size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::int32_t i = column - 1;
    while (IsWordChar(bytes[i]) && i != 0)
        --i;
    const std::int32_t start = IsWordChar(bytes[i]) ? i : i + 1;
    const auto length = static_cast<std::size_t>(column - start);
    std::memcpy(dest, text + start, length < size ? length : size);
}

std::size_t PrefixLength(const char* prefix) {
    const void* zero = std::memchr(prefix, 0, kPrefixSize);
    return zero == nullptr ? kPrefixSize
                           : static_cast<std::size_t>(static_cast<const char*>(zero) - prefix);
}
