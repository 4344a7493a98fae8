// The word rules: which bytes make words, where a word starts, and the prefix at the cursor.
//
// The request, the harvest and the line search all take their rules from here: the
// byte tables for code that looks at one byte at a time, and the same classes computed
// on 16 bytes at once for the vector line search.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
// SSE2 and AVX2 code in a build whose baseline may lack them (i686 lacks both, x86-64
// AVX2): callers check the processor before they run it.
#define LEXAMUND_SSE2 __attribute__((target("sse2")))
#define LEXAMUND_AVX2 __attribute__((target("avx2")))
#define LEXAMUND_HAVE_SSE2_PATH 1
#else
#define LEXAMUND_HAVE_SSE2_PATH 0
#endif

// ---- Byte classes ----

namespace word_tables {

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

} // namespace word_tables

inline constexpr std::array<std::uint8_t, 256> kWordTableOff = word_tables::MakeWordTable(false);
inline constexpr std::array<std::uint8_t, 256> kWordTableOn = word_tables::MakeWordTable(true);
inline constexpr std::array<std::uint8_t, 256> kExtractionTable =
    word_tables::MakeExtractionTable();

// The word-character table for a Numbers setting.
inline const std::uint8_t* WordCharTable(bool numbers) {
    return numbers ? kWordTableOn.data() : kWordTableOff.data();
}

// 1 when the byte (low 8 bits) is a word character: letters, bytes 0x80 and up, and,
// with Numbers on, digits and the underscore.
int IsWordChar(unsigned byte);

// 1 when the byte may be part of a taken word: a-z, A-Z, 0-9 and the code page 866
// Cyrillic letters 0x80-0xAF and 0xE0-0xEF. Numbers does not change it.
int IsExtractionChar(unsigned byte);

// ---- The prefix ----

// Copies into dest (size bytes, zero-filled by the caller) the run of word characters
// that ends at text[column - 1]; at most size bytes, no terminator added.
// Needs column >= 1 and a word character at text[column - 1].
void ExtractPrefix(const char* text, std::int32_t column, char* dest, std::size_t size);

// Length of the prefix in its 32-byte buffer: up to the first zero, or the whole buffer.
std::size_t PrefixLength(const char* prefix);

// ---- The same classes, 16 or 32 bytes at a time ----
//
// Each returns a mask with bit k set when byte k of v is in the class. The range tests
// add a bias that moves the range to the bottom of the signed byte range, so that one
// signed comparison decides it.

#if LEXAMUND_HAVE_SSE2_PATH

// A byte in every lane. The value is hidden from the optimiser, which would otherwise
// rebuild the constant from an immediate at every use instead of keeping it at hand.
template <std::uint8_t kByte> LEXAMUND_SSE2 inline __m128i Splat16() {
    __m128i v = _mm_set1_epi8(static_cast<char>(kByte));
    __asm__("" : "+x"(v));
    return v;
}
template <std::uint8_t kByte> LEXAMUND_AVX2 inline __m256i Splat32() {
    __m256i v = _mm256_set1_epi8(static_cast<char>(kByte));
    __asm__("" : "+x"(v));
    return v;
}

// Bytes b with kLo <= b <= kLo + kSpan - 1 (kSpan at most 127), as a byte mask.
template <unsigned kLo, unsigned kSpan> LEXAMUND_SSE2 inline __m128i InByteRange(__m128i v) {
    const __m128i biased = _mm_add_epi8(v, Splat16<static_cast<std::uint8_t>(0x80u - kLo)>());
    return _mm_cmplt_epi8(biased, Splat16<static_cast<std::uint8_t>(0x80u + kSpan)>());
}

// Letters: b | 0x20 folds the capitals onto a-z; bytes from 0x80 never land there.
LEXAMUND_SSE2 inline __m128i LetterBytes(__m128i v) {
    return InByteRange<'a', 26>(_mm_or_si128(v, Splat16<0x20>()));
}

// Word characters, as IsWordChar with the given Numbers setting.
LEXAMUND_SSE2 inline unsigned WordCharMask(__m128i v, bool numbers) {
    __m128i word = LetterBytes(v);
    if (numbers) {
        word = _mm_or_si128(word, InByteRange<'0', 10>(v));
        word = _mm_or_si128(word, _mm_cmpeq_epi8(v, Splat16<'_'>()));
    }
    // Bytes from 0x80 are word characters: their sign bits join the mask as they are.
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(word, v)));
}

// Bytes of a taken word, as IsExtractionChar.
LEXAMUND_SSE2 inline unsigned ExtractionMask(__m128i v) {
    __m128i taken = _mm_or_si128(LetterBytes(v), InByteRange<'0', 10>(v));
    taken = _mm_or_si128(taken, InByteRange<0x80, 0x30>(v));
    taken = _mm_or_si128(taken, InByteRange<0xE0, 0x10>(v));
    return static_cast<unsigned>(_mm_movemask_epi8(taken));
}

// The same, 32 bytes at a time.
template <unsigned kLo, unsigned kSpan> LEXAMUND_AVX2 inline __m256i InByteRange(__m256i v) {
    const __m256i biased = _mm256_add_epi8(v, Splat32<static_cast<std::uint8_t>(0x80u - kLo)>());
    return _mm256_cmpgt_epi8(Splat32<static_cast<std::uint8_t>(0x80u + kSpan)>(), biased);
}

LEXAMUND_AVX2 inline __m256i LetterBytes(__m256i v) {
    return InByteRange<'a', 26>(_mm256_or_si256(v, Splat32<0x20>()));
}

LEXAMUND_AVX2 inline std::uint32_t WordCharMask(__m256i v, bool numbers) {
    __m256i word = LetterBytes(v);
    if (numbers) {
        word = _mm256_or_si256(word, InByteRange<'0', 10>(v));
        word = _mm256_or_si256(word, _mm256_cmpeq_epi8(v, Splat32<'_'>()));
    }
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(word, v)));
}

LEXAMUND_AVX2 inline std::uint32_t ExtractionMask(__m256i v) {
    __m256i taken = _mm256_or_si256(LetterBytes(v), InByteRange<'0', 10>(v));
    taken = _mm256_or_si256(taken, InByteRange<0x80, 0x30>(v));
    taken = _mm256_or_si256(taken, InByteRange<0xE0, 0x10>(v));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(taken));
}

#endif
