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

// Bytes of a taken word: letters, digits, the code page 866 Cyrillic letters 0x80-0xAF and
// 0xE0-0xF7 (Ё ё Є є Ї ї Ў ў among them); with numbers, '_' too, so that an identifier is
// taken whole.
constexpr std::array<std::uint8_t, 256> MakeExtractionTable(bool numbers) {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        const bool cyrillic = (b >= 0x80 && b <= 0xAF) || (b >= 0xE0 && b <= 0xF7);
        table[b] = IsLetter(b) || IsDigit(b) || cyrillic || (numbers && b == '_') ? 1 : 0;
    }
    return table;
}

// The letters that have a case, in code page 866 after the host's conversion: A-Z with a-z,
// 0x80-0x8F with 0xA0-0xAF, 0x90-0x9F with 0xE0-0xEF, and the pairs Ё ё, Є є, Ї ї, Ў ў
// (0xF0-0xF7, the capital even). Gives a small letter's distance to its capital (0 for
// every other byte).
constexpr unsigned CapitalOffset(unsigned b) {
    if (b >= 'a' && b <= 'z') return 'a' - 'A';
    if (b >= 0xA0 && b <= 0xAF) return 0xA0 - 0x80;
    if (b >= 0xE0 && b <= 0xEF) return 0xE0 - 0x90;
    if (b >= 0xF0 && b <= 0xF7 && (b & 1) != 0) return 1;
    return 0;
}

// Each byte's small letter (toSmall) or capital (!toSmall); a byte without case is its own.
constexpr std::array<std::uint8_t, 256> MakeCaseTable(bool toSmall) {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = static_cast<std::uint8_t>(b);
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned offset = CapitalOffset(b);
        if (offset == 0) continue;
        if (toSmall) {
            table[b - offset] = static_cast<std::uint8_t>(b);
        } else {
            table[b] = static_cast<std::uint8_t>(b - offset);
        }
    }
    return table;
}

} // namespace word_tables

// Case: the small letter and the capital of each byte (a byte without case is its own).
inline constexpr std::array<std::uint8_t, 256> kSmallLetter = word_tables::MakeCaseTable(true);
inline constexpr std::array<std::uint8_t, 256> kCapitalLetter = word_tables::MakeCaseTable(false);

// The byte in the other case: a small letter's capital, a capital's small letter, else itself.
inline constexpr unsigned char OtherCase(unsigned char b) {
    return kSmallLetter[b] != b ? kSmallLetter[b] : kCapitalLetter[b];
}

inline constexpr std::array<std::uint8_t, 256> kWordTableOff = word_tables::MakeWordTable(false);
inline constexpr std::array<std::uint8_t, 256> kWordTableOn = word_tables::MakeWordTable(true);
inline constexpr std::array<std::uint8_t, 256> kTakenTableOff =
    word_tables::MakeExtractionTable(false);
inline constexpr std::array<std::uint8_t, 256> kTakenTableOn =
    word_tables::MakeExtractionTable(true);

// The word-character table for a Numbers setting, without the user's own characters.
inline const std::uint8_t* WordCharTable(bool numbers) {
    return numbers ? kWordTableOn.data() : kWordTableOff.data();
}

// The table of a taken word's bytes for a Numbers setting, without the user's own characters.
inline const std::uint8_t* TakenTable(bool numbers) {
    return numbers ? kTakenTableOn.data() : kTakenTableOff.data();
}

// ---- The user's own word characters ----
//
// Up to kMaxOwnWordChars characters that the user counts as word characters wherever the
// rules ask, read once at start-up. Each is then a word character and a byte of a taken word,
// so that `background-color` or `Foo::Bar` is one word and its prefix is typed as one.

inline constexpr std::size_t kMaxOwnWordChars = 16;

// Whether a byte may be one of the user's characters: printable ASCII that is neither a
// letter nor a digit, less '&', which marks a hot key in the host's menus.
constexpr bool MayBeOwnWordChar(unsigned b) {
    return b > ' ' && b < 0x7F && !word_tables::IsLetter(b) && !word_tables::IsDigit(b) && b != '&';
}

// Takes the user's characters from text (size bytes, up to its first zero if it has one):
// those MayBeOwnWordChar allows, each once, the first kMaxOwnWordChars; every other byte is
// skipped. Replaces the set in force; an empty text empties it.
void SetOwnWordChars(const char* text, std::size_t size);

// The tables of the rules for one Numbers setting with the user's characters added.
struct WordTables {
    const std::uint8_t* word;  // 1 for a word character
    const std::uint8_t* taken; // 1 for a byte of a taken word
    // 1 for the user's characters that the setting does not make word characters already;
    // null when there is none, and then word and taken are the constant tables above.
    const std::uint8_t* own;
};
WordTables WordTablesFor(bool numbers);

// Puts the rules for a Numbers setting in force for IsWordChar, IsExtractionChar and
// ExtractPrefix. Each request calls it first, with the setting it runs under.
void UseWordRules(bool numbers);

// 1 when the byte (low 8 bits) is a word character under the rules in force: letters, bytes
// 0x80 and up, with Numbers on digits and the underscore, and the user's characters.
int IsWordChar(unsigned byte);

// 1 when the byte (low 8 bits) may be part of a taken word under the rules in force: a-z,
// A-Z, 0-9, the code page 866 Cyrillic letters 0x80-0xAF and 0xE0-0xF7, with Numbers on the
// underscore, and the user's characters.
int IsExtractionChar(unsigned byte);

// ---- The prefix ----

inline constexpr int kPrefixSize = 64; // prefix buffer; a full buffer has no terminator

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

// The bytes of the range tests' constants, each repeated 32 times, in the order of the
// fields of ByteClasses16 and ByteClasses32 below.
inline constexpr std::uint8_t kClassBytes[] = {0x20, 0x80 - 'a',  0x80 + 26, 0x80 - '0', 0x80 + 10,
                                               '_',  0x80 + 0x30, 0xA0,      0x80 + 0x18};
inline constexpr std::size_t kClassCount = sizeof kClassBytes;

constexpr std::array<std::uint8_t, 32 * kClassCount> MakeClassTable() {
    std::array<std::uint8_t, 32 * kClassCount> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = kClassBytes[i / 32];
    return table;
}
alignas(32) inline constexpr auto kClassTable = MakeClassTable();

// The table's address, hidden from the optimiser: it would otherwise rebuild each
// constant from an immediate at every use, or hold it in a register that must then be
// saved around every call. Loops load the constants once, before they start.
inline const std::uint8_t* ClassTable() {
    const std::uint8_t* table = kClassTable.data();
    __asm__("" : "+r"(table));
    return table;
}

// The constants of the range tests, one set per vector width. Each range [lo, lo + span)
// is tested as v + (0x80 - lo) < 0x80 + span in signed bytes: the bias moves the range
// to the bottom of the signed range, so that one comparison decides it.
#define LEXAMUND_CLASS_FIELDS(V)                                                                   \
    V caseFold;                /* 0x20: b | 0x20 folds A-Z onto a-z */                             \
    V letterBias, letterLimit; /* a-z */                                                           \
    V digitBias, digitLimit;   /* 0-9 */                                                           \
    V underscore;              /* _ */                                                             \
    V upperLimit;              /* 0x80-0xAF: no bias, the range is at the bottom already */        \
    V lowerBias, lowerLimit;   /* 0xE0-0xF7: bias 0x80 - 0xE0, that is 0xA0 */
struct ByteClasses16 {
    LEXAMUND_CLASS_FIELDS(__m128i)
};
struct ByteClasses32 {
    LEXAMUND_CLASS_FIELDS(__m256i)
};
#undef LEXAMUND_CLASS_FIELDS
static_assert(sizeof(ByteClasses16) == kClassCount * 16, "one field per entry of kClassBytes");
static_assert(sizeof(ByteClasses32) == kClassCount * 32, "one field per entry of kClassBytes");

#define LEXAMUND_CLASS_CONSTANTS(load, t)                                                          \
    {                                                                                              \
        (load)(t), (load)((t) + 32), (load)((t) + 64), (load)((t) + 96), (load)((t) + 128),        \
            (load)((t) + 160), (load)((t) + 192), (load)((t) + 224), (load)((t) + 256)             \
    }

LEXAMUND_SSE2 inline __m128i LoadVector16(const std::uint8_t* p) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}
LEXAMUND_AVX2 inline __m256i LoadVector32(const std::uint8_t* p) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

LEXAMUND_SSE2 inline ByteClasses16 LoadByteClasses16() {
    const std::uint8_t* table = ClassTable();
    return LEXAMUND_CLASS_CONSTANTS(LoadVector16, table);
}
LEXAMUND_AVX2 inline ByteClasses32 LoadByteClasses32() {
    const std::uint8_t* table = ClassTable();
    return LEXAMUND_CLASS_CONSTANTS(LoadVector32, table);
}
#undef LEXAMUND_CLASS_CONSTANTS

// The recasing constants of the vector paths, each byte repeated 16 times: a set per
// direction, to capital ([0]) and to small ([1]). The letters that move lie in three
// ranges, tested as above: A-Z or a-z (near), 0x80-0x8F or 0xA0-0xAF (near, no bias
// needed for 0x80), 0x90-0x9F or 0xE0-0xEF (far); and the pairs in 0xF0-0xF7, whose
// capital is even (masked with 0xF9, a capital reads 0xF0, a small letter 0xF1). Each
// class adds its signed distance.
constexpr std::uint8_t RangeBias(unsigned lo) {
    return static_cast<std::uint8_t>(0x80 - lo);
}
inline constexpr std::size_t kRecaseCount = 9;
inline constexpr std::uint8_t kRecaseBytes[2][kRecaseCount] = {
    {RangeBias('a'), 0x80 + 26, RangeBias(0xA0), RangeBias(0xE0), 0x80 + 16, 0xF9, 0xF1, 0xE0,
     0xB0},
    {RangeBias('A'), 0x80 + 26, RangeBias(0x80), RangeBias(0x90), 0x80 + 16, 0xF9, 0xF0, 0x20,
     0x50}};
// The pair's distance: a pair's mask is 0xFF, so it is added as +1 (masked) or -1 (as is).
inline constexpr std::uint8_t kRecasePairStep[2] = {0xFF, 0x01};

inline constexpr std::size_t kRecaseRows = kRecaseCount + 1; // the pair's step last
inline constexpr std::size_t kRecaseSetSize = kRecaseRows * 16;

constexpr std::array<std::uint8_t, 2 * kRecaseSetSize> MakeRecaseTable() {
    std::array<std::uint8_t, 2 * kRecaseSetSize> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::size_t set = i / kRecaseSetSize;
        const std::size_t row = i / 16 % kRecaseRows;
        table[i] = row < kRecaseCount ? kRecaseBytes[set][row] : kRecasePairStep[set];
    }
    return table;
}
alignas(16) inline constexpr auto kRecaseTable = MakeRecaseTable();

// The rows of one direction's set, hidden from the optimiser as ClassTable's are: the
// recasing then reads each constant as an operand in memory.
inline const std::uint8_t* RecaseRows(bool toSmall) {
    const std::uint8_t* rows = kRecaseTable.data() + (toSmall ? kRecaseSetSize : 0);
    __asm__("" : "+r"(rows));
    return rows;
}

// The word-character mask (IsWordChar with the given Numbers setting) and the word-byte
// mask (IsExtractionChar, likewise) of 16 or 32 bytes: bit k for byte k. The two share the
// letter, digit and underscore tests.
struct ByteMasks {
    std::uint32_t word;
    std::uint32_t taken;
};

LEXAMUND_SSE2 inline ByteMasks ClassifyBytes(__m128i v, bool numbers, const ByteClasses16& c) {
    const __m128i folded = _mm_add_epi8(_mm_or_si128(v, c.caseFold), c.letterBias);
    const __m128i letters = _mm_cmplt_epi8(folded, c.letterLimit);
    const __m128i digits = _mm_cmplt_epi8(_mm_add_epi8(v, c.digitBias), c.digitLimit);
    __m128i taken = _mm_or_si128(letters, digits);
    if (numbers) taken = _mm_or_si128(taken, _mm_cmpeq_epi8(v, c.underscore));
    const __m128i word = numbers ? taken : letters;
    taken = _mm_or_si128(taken, _mm_cmplt_epi8(v, c.upperLimit));
    taken = _mm_or_si128(taken, _mm_cmplt_epi8(_mm_add_epi8(v, c.lowerBias), c.lowerLimit));
    // Bytes from 0x80 are word characters: their sign bits join the mask as they are.
    return {static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(word, v))),
            static_cast<std::uint32_t>(_mm_movemask_epi8(taken))};
}

LEXAMUND_AVX2 inline ByteMasks ClassifyBytes(__m256i v, bool numbers, const ByteClasses32& c) {
    const __m256i folded = _mm256_add_epi8(_mm256_or_si256(v, c.caseFold), c.letterBias);
    const __m256i letters = _mm256_cmpgt_epi8(c.letterLimit, folded);
    const __m256i digits = _mm256_cmpgt_epi8(c.digitLimit, _mm256_add_epi8(v, c.digitBias));
    __m256i taken = _mm256_or_si256(letters, digits);
    if (numbers) taken = _mm256_or_si256(taken, _mm256_cmpeq_epi8(v, c.underscore));
    const __m256i word = numbers ? taken : letters;
    taken = _mm256_or_si256(taken, _mm256_cmpgt_epi8(c.upperLimit, v));
    taken =
        _mm256_or_si256(taken, _mm256_cmpgt_epi8(c.lowerLimit, _mm256_add_epi8(v, c.lowerBias)));
    return {static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(word, v))),
            static_cast<std::uint32_t>(_mm256_movemask_epi8(taken))};
}

#endif
