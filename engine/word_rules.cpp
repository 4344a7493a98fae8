// The word rules for one byte at a time, and the prefix at the cursor.
#include "engine/word_rules.h"
#include "engine/engine.h"

#include <cstring>

int IsWordChar(unsigned byte) {
    return WordCharTable(gSettings.numbers != 0)[byte & 0xFFu];
}

int IsExtractionChar(unsigned byte) {
    return TakenTable(gSettings.numbers != 0)[byte & 0xFFu];
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
