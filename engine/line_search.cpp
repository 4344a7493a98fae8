// The line search, one byte at a time and 32 bytes at a time (processor_choice.cpp picks one).
#include "engine/line_search.h"
#include "engine/candidates.h"
#include "engine/processor_choice.h"
#include "engine/word_rules.h"

#include <cstring>

LineSearchPath gLineSearchPath = nullptr;
LineWords gLineWords;

namespace {

// The case rule of each prefix byte, and its masks for the vector paths: a small letter asks
// for a small rest; a capital after the first letter, in a prefix with no small letter at
// all, for a capital rest. Also whether every byte can be part of a word, and whether the
// prefix is made of the user's own characters only.
void PrepareCaseRule(LineSearch& search) {
    bool anySmall = false;
    bool letterSeen = false;
    const std::uint8_t* taken = search.taken;
    search.possible = true;
    search.needsOtherThanOwn = search.own != nullptr;
    for (std::uint32_t k = 0; k < search.length; ++k) {
        const unsigned char byte = search.prefix[k];
        const bool small = kCapitalLetter[byte] != byte;
        const bool capital = kSmallLetter[byte] != byte;
        search.caseRule[k] = small ? kRestSmall : capital && letterSeen ? kRestCapital : 0;
        search.other[k] = search.foldCase ? OtherCase(byte) : byte;
        anySmall = anySmall || small;
        letterSeen = letterSeen || small || capital;
        if (taken[byte] == 0) search.possible = false;
        if (search.own != nullptr && search.own[byte] == 0) search.needsOtherThanOwn = false;
    }
    for (std::uint32_t k = 0; k < search.length && k < 32; ++k) {
        if (anySmall && search.caseRule[k] == kRestCapital) search.caseRule[k] = 0;
        if (search.caseRule[k] == kRestSmall) search.smallBits |= 1u << k;
        if (search.caseRule[k] == kRestCapital) search.capitalBits |= 1u << k;
    }
    for (std::uint32_t k = 32; anySmall && k < search.length; ++k) {
        if (search.caseRule[k] == kRestCapital) search.caseRule[k] = 0;
    }
}

#if LEXAMUND_HAVE_SSE2_PATH
// The bit that stands for each high nibble in LineSearch::wordNibbles and takenNibbles: bit h
// for the rows 2 to 7 of ASCII (no byte below 0x20 is ever a word byte); for the bytes from
// 0x80, bit 0 for the rows whose bytes are all word bytes (0x80-0xAF, 0xE0-0xEF) and bit 1 for
// 0xF0-0xFF, of which 0xF0-0xF7 are. Every byte from 0x80 is a word character: AVX2 takes
// that from the byte's sign.
alignas(32) constexpr unsigned char kHighNibbleRows[32] = {
    0, 0, 4, 8, 16, 32, 64, 128, 1, 1, 1, 0, 0, 0, 1, 2,
    0, 0, 4, 8, 16, 32, 64, 128, 1, 1, 1, 0, 0, 0, 1, 2};
#endif

#if LEXAMUND_HAVE_SSE2_PATH
// A byte table as AVX2 classifies by it: entry l holds the bit of row h (kHighNibbleRows) for
// each byte 0xhl in the table.
constexpr std::array<unsigned char, 16> MakeNibbles(const std::array<std::uint8_t, 256>& table) {
    std::array<unsigned char, 16> nibbles{};
    for (unsigned b = 0; b < 256; ++b) {
        if (table[b] != 0) nibbles[b & 0x0F] |= kHighNibbleRows[b >> 4];
    }
    return nibbles;
}
// Without the user's characters, for Numbers off and on.
constexpr std::array<unsigned char, 16> kWordNibbles[2] = {MakeNibbles(kWordTableOff),
                                                           MakeNibbles(kWordTableOn)};
constexpr std::array<unsigned char, 16> kTakenNibbles[2] = {MakeNibbles(kTakenTableOff),
                                                            MakeNibbles(kTakenTableOn)};
#endif

// The request's tables, the user's characters in them, as AVX2 classifies with them
// (LineSearch::wordNibbles and takenNibbles): the tables for its Numbers, and the user's
// characters (all printable ASCII) added.
void PrepareNibbles(LineSearch& search) {
#if LEXAMUND_HAVE_SSE2_PATH
    unsigned char word[16], taken[16];
    std::memcpy(word, kWordNibbles[search.numbers ? 1 : 0].data(), 16);
    std::memcpy(taken, kTakenNibbles[search.numbers ? 1 : 0].data(), 16);
    for (unsigned b = 0x21; b < 0x7F; ++b) {
        if (search.own[b] == 0) continue;
        word[b & 0x0F] |= kHighNibbleRows[b >> 4];
        taken[b & 0x0F] |= kHighNibbleRows[b >> 4];
    }
    for (unsigned half = 0; half < 32; half += 16) {
        std::memcpy(search.wordNibbles + half, word, 16);
        std::memcpy(search.takenNibbles + half, taken, 16);
    }
#else
    (void)search;
#endif
}

// The search compiled for the request's settings on the given path, or a path of the
// tests' or the benchmarks' own as it is.
LineSearchPath SpecializedPath(LineSearchPath path, const LineSearch& search);

} // namespace

void PrepareLineSearch(LineSearch& search, const char* prefix) {
    std::memset(&search, 0, sizeof search); // an empty prefix then searches for nothing
    const std::size_t length = PrefixLength(prefix);
    std::memcpy(search.prefix, prefix, length);
    search.length = static_cast<std::uint32_t>(length);
    search.prefixBits = length < 32 ? (1u << length) - 1 : ~0u;
    std::memset(search.prefixKeep, 0xFF, length < 32 ? length : 32);
    search.numbers = gSettings.numbers != 0;
    const WordTables tables = WordTablesFor(search.numbers);
    search.word = tables.word;
    search.taken = tables.taken;
    search.own = tables.own;
    search.foldCase = gSettings.ignoreCase != 0;
    search.nearestFirst = gSettings.nearestFirst != 0;
    PrepareCaseRule(search);
    if (search.own != nullptr) PrepareNibbles(search);
    search.firstBytes[search.prefix[0]] = 1;
    search.firstBytes[search.other[0]] = 1;
    if (gLineSearchPath == nullptr) {
        gLineSearchPath = ChosenLineSearchPath();
    }
    search.path = SpecializedPath(gLineSearchPath, search);
    SyncCandidateIndex(); // the harvest asks whether the list is full before a line's search
}

bool ListOrHold(const LineSearch& search, const PaddedWord& word, IndexSlot& slot,
                std::uint32_t hash) {
    if (!search.nearestFirst) return AppendCandidate(word, slot, hash);
    if (gLineWords.count == kMaxLineWords) return true; // only on lines longer than a copy
    unsigned char* held = gLineWords.words[gLineWords.count++].bytes;
    if (IsLongWord(word.bytes)) {
        std::memcpy(held, word.bytes, sizeof word.bytes);
    } else {
        std::memcpy(held, word.bytes, kShortPaddedSize);
    }
    return true;
}

bool OfferLineWords() {
    while (gLineWords.count != 0) {
        if (!OfferCandidate(gLineWords.words[--gLineWords.count])) return false;
    }
    return true;
}

namespace {

// The case the rest of a word met in another case is written in, from what the prefix bytes
// that differ from the typed ones ask for: small when any asks for it, else capital when any
// asks for that, else as found. The vector paths and TakeWordAt both choose by it.
enum class RestCase { AsFound, Small, Capital };
inline RestCase ChooseRestCase(bool small, bool capital) {
    return small ? RestCase::Small : capital ? RestCase::Capital : RestCase::AsFound;
}

// Hands on a long taken word of length bytes (32 to 63) in its padded buffer, whose bytes
// from length on are not yet zero, unless it is listed already (ListOrHold). Returns false
// once the list is full.
bool OfferLongWord(const LineSearch& search, PaddedWord& word, std::size_t length) {
    std::memset(word.bytes + length, 0, sizeof word.bytes - length);
    const std::uint32_t hash = HashLongWord(word.bytes);
    IndexSlot& slot = ProbeLongIndex(hash, word.bytes);
    return slot.node != nullptr || ListOrHold(search, word, slot, hash);
}

// Hands on a short taken word in its padded buffer, unless it is listed already
// (ListOrHold). Returns false once the list is full.
inline bool OfferShortWord(const LineSearch& search, const PaddedWord& word) {
    const std::uint32_t hash = HashPaddedWord(word.bytes);
    IndexSlot& slot = ProbeIndex(hash, word.bytes);
    return slot.node != nullptr || ListOrHold(search, word, slot, hash);
}

// Whether a word of length bytes holds a byte past the prefix that is not one of the user's
// own characters: a word of those alone (`-----`) is none.
bool HoldsOtherThanOwn(const LineSearch& search, const PaddedWord& word, std::size_t length) {
    for (std::size_t k = search.length; k < length; ++k) {
        if (search.own[word.bytes[k]] == 0) return true;
    }
    return false;
}

// Hands on a taken word of length bytes (more than the prefix's), of either length; under a
// prefix of the user's characters only, when it holds another byte.
inline bool OfferTakenWord(const LineSearch& search, PaddedWord& word, std::size_t length) {
    if (search.needsOtherThanOwn && !HoldsOtherThanOwn(search, word, length)) return true;
    if (length > static_cast<std::size_t>(kMaxShortWordLength)) {
        return OfferLongWord(search, word, length);
    }
    return OfferShortWord(search, word);
}

// Takes the rest of a word whose first end bytes (31 or more) are in word: its word bytes
// up to room, cut to kMaxWordLength, as they are. Returns false once the list is full.
__attribute__((noinline)) bool TakeLongRest(const LineSearch& search, PaddedWord& word,
                                            const unsigned char* start, std::size_t end,
                                            std::size_t room) {
    const std::uint8_t* taken = search.taken;
    if (room > static_cast<std::size_t>(kMaxWordLength)) room = kMaxWordLength;
    std::size_t stop = end; // found first and copied after: byte stores would alias the table
    while (stop < room && taken[start[stop]] != 0)
        ++stop;
    std::memcpy(word.bytes + end, start + end, stop - end);
    // Not longer than the prefix: only a prefix of 63 bytes or more, which no word can follow.
    return stop <= search.length || OfferTakenWord(search, word, stop);
}

// Copies the word bytes from word.bytes[end] on, up to room, in the case rest asks for;
// returns where the word ends.
std::size_t TakeRestInCase(PaddedWord& word, const unsigned char* start, std::size_t end,
                           std::size_t room, const std::uint8_t* taken, RestCase rest) {
    const std::uint8_t* recase = rest == RestCase::Small     ? kSmallLetter.data()
                                 : rest == RestCase::Capital ? kCapitalLetter.data()
                                                             : nullptr;
    for (; end < room && taken[start[end]] != 0; ++end)
        word.bytes[end] = recase == nullptr ? start[end] : recase[start[end]];
    return end;
}

// Takes the word at start, which differs from the typed prefix, when each byte that differs
// is the typed one's other case and the word is longer: its text is the typed prefix and the
// rest in the case the case rule asks for. Returns false once the list is full.
__attribute__((noinline)) bool TakeWordInCase(const LineSearch& search, const unsigned char* start,
                                              std::size_t room) {
    PaddedWord word;
    std::memset(word.bytes, 0, kShortPaddedSize);
    unsigned rule = 0;
    std::size_t end = 0;
    for (; end < search.length; ++end) {
        if (start[end] != search.prefix[end]) {
            if (start[end] != search.other[end]) return true;
            rule |= search.caseRule[end];
        }
        word.bytes[end] = search.prefix[end];
    }
    if (room > static_cast<std::size_t>(kMaxWordLength)) room = kMaxWordLength;
    const RestCase rest = ChooseRestCase((rule & kRestSmall) != 0, (rule & kRestCapital) != 0);
    end = TakeRestInCase(word, start, end, room, search.taken, rest);
    return end == search.length || OfferTakenWord(search, word, end);
}

// Takes the word at start when it starts with the prefix (in either case under kFold) and
// is longer: the run of word bytes there, at most room, cut to kMaxWordLength, given the
// typed prefix and the rest in the case the case rule asks for; taken is the request's
// table (with the user's characters, theirs). Under kOwn, for a prefix of the user's
// characters alone, a word of them alone is refused. The plain path takes every word so. Returns
// false once the list is full.
template <bool kFold, bool kOwn>
bool TakeWordAt(const LineSearch& search, const unsigned char* start, std::size_t room,
                const std::uint8_t* taken) {
    if (room <= search.length) return true;
    PaddedWord word;
    std::memset(word.bytes, 0, kShortPaddedSize);
    std::size_t end = 0;
    for (; end < search.length; ++end) { // the prefix, whose bytes are all word bytes
        if (start[end] != search.prefix[end]) {
            return !kFold || TakeWordInCase(search, start, room);
        }
        word.bytes[end] = search.prefix[end];
    }
    // A short word ends within its first 31 bytes; a run that fills them goes on as a long
    // one, so that a short word pays nothing for the long ones.
    const std::size_t shortRoom = room < kMaxShortWordLength ? room : kMaxShortWordLength;
    for (;; ++end) {
        if (end >= shortRoom) {
            if (room > shortRoom && taken[start[end]] != 0) {
                return TakeLongRest(search, word, start, end, room);
            }
            break;
        }
        if (taken[start[end]] == 0) break;
        word.bytes[end] = start[end];
    }
    if (end == search.length) return true;
    return kOwn ? OfferTakenWord(search, word, end) : OfferShortWord(search, word);
}

// TakeWordAt for a vector path's word whose first 32 bytes are word bytes, under any
// settings (the line's terminator bounds it).
__attribute__((noinline, cold)) bool TakeLongWord(const LineSearch& search,
                                                  const unsigned char* start) {
    for (std::size_t k = 0; k < search.length; ++k) {
        if (start[k] != search.prefix[k]) {
            return !search.foldCase || TakeWordInCase(search, start, kMaxWordLength);
        }
    }
    PaddedWord word;
    std::memcpy(word.bytes, start, kShortPaddedSize); // all word bytes, the typed prefix first
    return TakeLongRest(search, word, start, kShortPaddedSize, kMaxWordLength);
}

// One byte at a time: a byte equal to the prefix's first (under kFold, either of its cases:
// LineSearch::firstBytes) after a byte that is no word character (or at the line's start) is
// a word start. word and taken are the request's tables; kOwn as for TakeWordAt.
template <bool kFold, bool kOwn>
__attribute__((noinline)) void ScanPlain(const LineSearch& search, const unsigned char* text,
                                         std::size_t length, const std::uint8_t* word,
                                         const std::uint8_t* taken) {
    const unsigned char first = search.prefix[0];
    std::uint8_t before = 0;
    for (std::size_t at = 0; at < length; ++at) {
        const unsigned char byte = text[at];
        if (byte == 0) return;
        if ((kFold ? search.firstBytes[byte] != 0 : byte == first) && before == 0 &&
            !TakeWordAt<kFold, kOwn>(search, text + at, length - at, taken)) {
            return;
        }
        before = word[byte];
    }
}

// The plain search for one set of settings.
template <bool kNumbers, bool kFold>
void SearchPlainWith(const LineSearch& search, const unsigned char* text, std::size_t length) {
    ScanPlain<kFold, false>(search, text, length, WordCharTable(kNumbers), TakenTable(kNumbers));
}

// The plain search with the user's characters: their tables, for either Numbers setting.
template <bool kFold>
void SearchPlainWithOwn(const LineSearch& search, const unsigned char* text, std::size_t length) {
    ScanPlain<kFold, false>(search, text, length, search.word, search.taken);
}
template <bool kNumbers, bool kFold>
constexpr LineSearchPath kPlainWithOwn = SearchPlainWithOwn<kFold>;

// The plain search for a prefix of the user's characters alone, for every setting: those have
// no case, and each word is checked for another byte.
void SearchPlainOwnOnly(const LineSearch& search, const unsigned char* text, std::size_t length) {
    ScanPlain<false, true>(search, text, length, search.word, search.taken);
}

// A search under NearestFirst: the line's words are held back, then offered right to left.
template <LineSearchPath kSearch>
void HoldingLineWords(const LineSearch& search, const unsigned char* text, std::size_t length) {
    gLineWords.count = 0;
    kSearch(search, text, length);
    OfferLineWords();
}

// The sixteen searches of a path, in the order OptionIndex numbers them: one per setting of
// Numbers, IgnoreCase and NearestFirst, then as many with the user's own characters;
// NearestFirst changes only what a new word does.
#define LEXAMUND_OPTION_PATHS(search, withOwn)                                                     \
    {                                                                                              \
        search<false, false>, HoldingLineWords<search<false, false>>, search<false, true>,         \
            HoldingLineWords<search<false, true>>, search<true, false>,                            \
            HoldingLineWords<search<true, false>>, search<true, true>,                             \
            HoldingLineWords<search<true, true>>, withOwn<false, false>,                           \
            HoldingLineWords<withOwn<false, false>>, withOwn<false, true>,                         \
            HoldingLineWords<withOwn<false, true>>, withOwn<true, false>,                          \
            HoldingLineWords<withOwn<true, false>>, withOwn<true, true>,                           \
            HoldingLineWords<withOwn<true, true>>                                                  \
    }
constexpr std::size_t kOptionSets = 16;

std::size_t OptionIndex(const LineSearch& search) {
    return (search.own != nullptr ? 8u : 0u) | (search.numbers ? 4u : 0u) |
           (search.foldCase ? 2u : 0u) | (search.nearestFirst ? 1u : 0u);
}

constexpr LineSearchPath kPlainPaths[kOptionSets] =
    LEXAMUND_OPTION_PATHS(SearchPlainWith, kPlainWithOwn);

// The plain search compiled for the request's settings.
LineSearchPath PlainPath(const LineSearch& search) {
    if (!search.needsOtherThanOwn) return kPlainPaths[OptionIndex(search)];
    return search.nearestFirst ? HoldingLineWords<SearchPlainOwnOnly> : SearchPlainOwnOnly;
}

// For a prefix that no word can carry.
void SearchNothing(const LineSearch&, const unsigned char*, std::size_t) {}

} // namespace

void SearchLinePlain(const LineSearch& search, const unsigned char* text, std::size_t length) {
    if (search.possible) PlainPath(search)(search, text, length);
}

#if LEXAMUND_HAVE_SSE2_PATH

namespace {

// A block as two SSE2 registers.
struct Sse2Lanes {
    struct Block {
        __m128i low, high;
    };
    using Classes = ByteClasses16;
    LEXAMUND_SSE2 static Classes LoadClasses() { return LoadByteClasses16(); }
    LEXAMUND_SSE2 static Block Load(const unsigned char* p) {
        return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16))};
    }
    LEXAMUND_SSE2 static Block Splat(unsigned char byte) {
        const __m128i all = _mm_set1_epi8(static_cast<char>(byte));
        return {all, all};
    }
    // 0xFF where a byte of a equals that of b.
    LEXAMUND_SSE2 static Block Same(Block a, Block b) {
        return {_mm_cmpeq_epi8(a.low, b.low), _mm_cmpeq_epi8(a.high, b.high)};
    }
    LEXAMUND_SSE2 static Block And(Block a, Block b) {
        return {_mm_and_si128(a.low, b.low), _mm_and_si128(a.high, b.high)};
    }
    LEXAMUND_SSE2 static Block Or(Block a, Block b) {
        return {_mm_or_si128(a.low, b.low), _mm_or_si128(a.high, b.high)};
    }
    // Bit k: the top bit of byte k.
    LEXAMUND_SSE2 static std::uint32_t Bits(Block a) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(a.low)) |
               static_cast<std::uint32_t>(_mm_movemask_epi8(a.high)) << 16;
    }
    LEXAMUND_SSE2 static std::uint32_t Equal(Block a, Block b) { return Bits(Same(a, b)); }
    LEXAMUND_SSE2 static bool AnyZero(Block a) {
        const __m128i least = _mm_min_epu8(a.low, a.high);
        return _mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0;
    }
    LEXAMUND_SSE2 static std::uint32_t Zeros(Block a) { return Equal(a, Splat(0)); }
    LEXAMUND_SSE2 static ByteMasks Classify(Block a, bool numbers, const Classes& c) {
        const ByteMasks low = ClassifyBytes(a.low, numbers, c);
        const ByteMasks high = ClassifyBytes(a.high, numbers, c);
        return {low.word | high.word << 16, low.taken | high.taken << 16};
    }
    // The user's characters are not among SSE2's classes: the second pass looks them up at
    // each start. So ClassifyOwn is never called.
    static constexpr bool kClassifiesOwn = false;
    struct OwnClasses {};
    LEXAMUND_SSE2 static OwnClasses LoadOwnClasses(const LineSearch&) { return {}; }
    static ByteMasks ClassifyOwn(Block a, const OwnClasses& c);
};

// A block as one AVX2 register.
struct Avx2Lanes {
    using Block = __m256i;
    using Classes = ByteClasses32;
    LEXAMUND_AVX2 static Classes LoadClasses() { return LoadByteClasses32(); }
    LEXAMUND_AVX2 static Block Load(const unsigned char* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    LEXAMUND_AVX2 static Block Splat(unsigned char byte) {
        return _mm256_set1_epi8(static_cast<char>(byte));
    }
    LEXAMUND_AVX2 static Block Same(Block a, Block b) { return _mm256_cmpeq_epi8(a, b); }
    LEXAMUND_AVX2 static Block And(Block a, Block b) { return _mm256_and_si256(a, b); }
    LEXAMUND_AVX2 static Block Or(Block a, Block b) { return _mm256_or_si256(a, b); }
    LEXAMUND_AVX2 static std::uint32_t Bits(Block a) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
    }
    LEXAMUND_AVX2 static std::uint32_t Equal(Block a, Block b) { return Bits(Same(a, b)); }
    LEXAMUND_AVX2 static std::uint32_t Zeros(Block a) { return Equal(a, Splat(0)); }
    LEXAMUND_AVX2 static bool AnyZero(Block a) { return Zeros(a) != 0; }
    LEXAMUND_AVX2 static ByteMasks Classify(Block a, bool numbers, const Classes& c) {
        return ClassifyBytes(a, numbers, c);
    }
    // With the user's characters, the request's classes by a table per nibble
    // (LineSearch::wordNibbles and takenNibbles, kHighNibbleRows).
    static constexpr bool kClassifiesOwn = true;
    struct OwnClasses {
        Block nibble, rows, word, taken, sign;
    };
    LEXAMUND_AVX2 static OwnClasses LoadOwnClasses(const LineSearch& search) {
        const auto* word = reinterpret_cast<const __m256i*>(search.wordNibbles);
        const auto* taken = reinterpret_cast<const __m256i*>(search.takenNibbles);
        return {Splat(0x0F), Load(kHighNibbleRows), _mm256_loadu_si256(word),
                _mm256_loadu_si256(taken), Splat(0x7F)};
    }
    LEXAMUND_AVX2 static ByteMasks ClassifyOwn(Block a, const OwnClasses& c) {
        const __m256i low = _mm256_and_si256(a, c.nibble);
        const __m256i high = _mm256_and_si256(_mm256_srli_epi16(a, 4), c.nibble);
        const __m256i rows = _mm256_shuffle_epi8(c.rows, high);
        const __m256i word = _mm256_and_si256(_mm256_shuffle_epi8(c.word, low), rows);
        const __m256i taken = _mm256_and_si256(_mm256_shuffle_epi8(c.taken, low), rows);
        // A byte whose bits meet is in the class: adding 0x7F, saturating, sets its sign.
        // Bytes from 0x80 are word characters: their signs join the mask as they are.
        return {Bits(_mm256_or_si256(_mm256_adds_epu8(word, c.sign), a)),
                Bits(_mm256_adds_epu8(taken, c.sign))};
    }
};

namespace sse2 {
using Lanes = Sse2Lanes;
#define LEXAMUND_LANES_TARGET LEXAMUND_SSE2
#include "engine/line_search_blocks.inc"
#undef LEXAMUND_LANES_TARGET
} // namespace sse2

namespace avx2 {
using Lanes = Avx2Lanes;
#define LEXAMUND_LANES_TARGET LEXAMUND_AVX2
#include "engine/line_search_blocks.inc"
#undef LEXAMUND_LANES_TARGET
} // namespace avx2

} // namespace

LEXAMUND_SSE2 void SearchLineSse2(const LineSearch& search, const unsigned char* text,
                                  std::size_t length) {
    if (search.needsOtherThanOwn) return SearchLinePlain(search, text, length);
    if (search.possible) sse2::kPaths[OptionIndex(search)](search, text, length);
}

LEXAMUND_AVX2 void SearchLineAvx2(const LineSearch& search, const unsigned char* text,
                                  std::size_t length) {
    if (search.needsOtherThanOwn) return SearchLinePlain(search, text, length);
    if (search.possible) avx2::kPaths[OptionIndex(search)](search, text, length);
}

#endif

namespace {

LineSearchPath SpecializedPath(LineSearchPath path, const LineSearch& search) {
    if (!search.possible) return SearchNothing;
    if (path == SearchLinePlain || search.needsOtherThanOwn) return PlainPath(search);
#if LEXAMUND_HAVE_SSE2_PATH
    if (path == SearchLineSse2) return sse2::kPaths[OptionIndex(search)];
    if (path == SearchLineAvx2) return avx2::kPaths[OptionIndex(search)];
#endif
    return path;
}

} // namespace

void HarvestLine(const char* lineText, const char* prefix) {
    LineSearch search;
    PrepareLineSearch(search, prefix);
    alignas(16) unsigned char copy[kLineCopySize + kLinePadding] = {};
    const std::size_t length = strnlen(lineText, kLineCopySize);
    std::memcpy(copy, lineText, length);
    SearchLine(search, copy, length);
}
