// The line search, one byte at a time and 16 bytes at a time, and the choice between them.
#include "engine/line_search.h"
#include "engine/candidates.h"
#include "engine/word_rules.h"

#include <cstring>

#if defined(__i386__)
#include <cpuid.h>
#endif

LineSearchPath gLineSearchPath = nullptr;

void PrepareLineSearch(LineSearch& search, const char* prefix) {
    std::memset(&search, 0, sizeof search);
    const std::size_t length = PrefixLength(prefix);
    std::memcpy(search.prefix, prefix, length);
    search.length = static_cast<std::uint32_t>(length);
    search.prefixBits = length >= 32 ? ~0u : (1u << length) - 1;
    search.numbers = gSettings.numbers != 0;
    search.possible = length >= 1 && length < kMaxWordLength;
    for (std::size_t i = 0; i < length; ++i) {
        if (kExtractionTable[search.prefix[i]] == 0) search.possible = false;
    }
}

namespace {

// Offers the word at text[at] when it starts with the prefix and is longer: the run of
// word bytes there, cut to 31. Returns false once the list is full.
bool TakeWordPlain(const LineSearch& search, const unsigned char* text, std::size_t length,
                   std::size_t at) {
    if (length - at <= search.length) return true;
    if (std::memcmp(text + at, search.prefix, search.length) != 0) return true;
    const std::size_t room = length - at < kMaxWordLength ? length - at : kMaxWordLength;
    std::size_t end = search.length;
    while (end < room && kExtractionTable[text[at + end]] != 0)
        ++end;
    if (end == search.length) return true;
    PaddedWord word = {};
    std::memcpy(word.bytes, text + at, end);
    return OfferCandidate(word);
}

// Searches text[from, length) one byte at a time; before tells whether the byte before
// text[from] is a word character (nothing before the line counts as none).
void SearchBytes(const LineSearch& search, const unsigned char* text, std::size_t length,
                 std::size_t from, std::uint8_t before) {
    const std::uint8_t* word = WordCharTable(search.numbers);
    const unsigned char first = search.prefix[0];
    for (std::size_t at = from; at < length; ++at) {
        const unsigned char byte = text[at];
        if (byte == 0) return;
        if (byte == first && before == 0 && !TakeWordPlain(search, text, length, at)) return;
        before = word[byte];
    }
}

} // namespace

void SearchLinePlain(const LineSearch& search, const unsigned char* text, std::size_t length,
                     bool /*padded*/) {
    if (search.possible) SearchBytes(search, text, length, 0, 0);
}

#if LEXAMUND_HAVE_SSE2_PATH

namespace {

constexpr std::size_t kChunk = 16;

// 16 bytes of 0xFF then 32 zeros: 16 bytes loaded from kKeep + 16 - n keep the first n.
alignas(16) constexpr unsigned char kKeep[3 * kChunk] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

LEXAMUND_SSE2 inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

LEXAMUND_SSE2 inline unsigned Equal(__m128i a, __m128i b) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
}

// The first n (0 to 16) of the 16 bytes at p, the rest zero.
LEXAMUND_SSE2 inline __m128i FirstBytes(const unsigned char* p, unsigned n) {
    return _mm_and_si128(Load(p), Load(kKeep + kChunk - n));
}

// Offers the word of run word bytes at at (cut to 31) when its first bytes are the
// prefix and it is longer; reads the 32 bytes from at.
LEXAMUND_SSE2 bool OfferRun(const LineSearch& search, const unsigned char* at, unsigned run) {
    if (search.length > 1) { // a one-byte prefix matched already, as the start's byte
        unsigned same = Equal(Load(at), Load(search.prefix));
        if (search.length > kChunk)
            same |= Equal(Load(at + kChunk), Load(search.prefix + kChunk)) << 16;
        if ((same & search.prefixBits) != search.prefixBits) return true;
    }
    const unsigned length = run < kMaxWordLength ? run : kMaxWordLength;
    if (length <= search.length) return true;
    if (length <= kChunk) return OfferCandidate(FirstBytes(at, length), _mm_setzero_si128());
    return OfferCandidate(Load(at), FirstBytes(at + kChunk, length - kChunk));
}

// The scan goes by blocks of two chunks. A block's scan reads 64 bytes from its start:
// the block and the longest word that starts in it.
constexpr std::size_t kBlock = 2 * kChunk;
constexpr std::size_t kBlockReach = 4 * kChunk;

// Word-byte bits of the bytes from a block's start, classified as far as runs need them.
struct WordBytes {
    const unsigned char* block;
    std::uint64_t bits; // bit k: block[k] may be part of a word
    unsigned known;     // bytes classified: 48 or 64
};

// The run of word bytes at block[k], counted up to 31 (all that a word keeps).
LEXAMUND_SSE2 inline unsigned RunAt(WordBytes& bytes, unsigned k) {
    auto ones = static_cast<std::uint32_t>(bytes.bits >> k);
    unsigned run = __builtin_ctz(~ones | 0x80000000u);
    if (k + run < bytes.known || run >= kMaxWordLength) return run;
    // Only a long word late in the block reaches past the first 48 bytes.
    bytes.bits |= std::uint64_t{ExtractionMask(Load(bytes.block + 3 * kChunk))} << 48;
    bytes.known = kBlockReach;
    ones = static_cast<std::uint32_t>(bytes.bits >> k);
    return __builtin_ctz(~ones | 0x80000000u);
}

// The word-byte bits of the 48 bytes at block, reusing those of the block before when
// this one follows it (its last 16 bytes are this block's first).
struct WordBytesCache {
    const unsigned char* next = nullptr; // the block whose first 16 bytes are known
    std::uint32_t nextBits = 0;
};

LEXAMUND_SSE2 inline WordBytes ClassifyBlock(WordBytesCache& cache, const unsigned char* block) {
    const std::uint32_t head = cache.next == block ? cache.nextBits : ExtractionMask(Load(block));
    const std::uint32_t middle = ExtractionMask(Load(block + kChunk));
    const std::uint32_t third = ExtractionMask(Load(block + kBlock));
    cache.next = block + kBlock;
    cache.nextBits = third;
    return {block, head | middle << 16 | std::uint64_t{third} << 32, 3 * kChunk};
}

// Takes the words at the word starts of a block (bit k: a start at block[k]).
LEXAMUND_SSE2 inline bool TakeWordsAt(const LineSearch& search, WordBytes word,
                                      std::uint32_t starts) {
    for (; starts != 0; starts &= starts - 1) {
        const unsigned k = __builtin_ctz(starts);
        if (!OfferRun(search, word.block + k, RunAt(word, k))) return false;
    }
    return true;
}

// A block with word starts, as the first pass over a stretch of the line finds it.
struct BlockStarts {
    std::uint32_t pos;
    std::uint32_t starts; // bit k: a word start at pos + k
};

// Blocks in one stretch: the first pass finds the starts of a whole stretch without a
// branch per block, the second takes their words.
constexpr std::size_t kStretchBlocks = kLineCopySize / kBlock;

// The state carried from block to block.
struct BlockScan {
    std::uint32_t before = 0; // 1 when the byte before the block is a word character
    bool ended = false;       // the text ended at a zero byte
};

// First pass: the word starts of the blocks at text[from], text[from + 32], ... before to
// (at most a stretch), listed in found; returns how many. A zero byte ends the text.
template <bool kNumbers>
LEXAMUND_SSE2 std::size_t FindStarts(const LineSearch& search, const unsigned char* text,
                                     std::size_t from, std::size_t to, BlockScan& scan,
                                     BlockStarts* found) {
    const __m128i first = _mm_set1_epi8(static_cast<char>(search.prefix[0]));
    const __m128i zero = _mm_setzero_si128();
    std::uint32_t before = scan.before;
    std::size_t count = 0;
    for (std::size_t pos = from; pos < to; pos += kBlock) {
        const __m128i low = Load(text + pos);
        const __m128i high = Load(text + pos + kChunk);
        const std::uint32_t hits = Equal(low, first) | Equal(high, first) << 16;
        const std::uint32_t word = WordCharMask(low, kNumbers) | WordCharMask(high, kNumbers) << 16;
        std::uint32_t starts = hits & ~(word << 1 | before);
        before = word >> (kBlock - 1);
        const bool ended = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(low, high), zero)) != 0;
        if (ended) { // the text ends at the first zero
            const std::uint32_t zeros = Equal(low, zero) | Equal(high, zero) << 16;
            starts &= (zeros & (0u - zeros)) - 1;
        }
        found[count] = {static_cast<std::uint32_t>(pos), starts};
        count += starts != 0 ? 1 : 0;
        if (ended) {
            scan.ended = true;
            break;
        }
    }
    scan.before = before;
    return count;
}

// Searches the blocks at text[from], text[from + 32], ... before to, for one Numbers
// setting; 64 bytes must be readable from each. Returns false when the text ended at a
// zero byte or the list filled.
template <bool kNumbers>
LEXAMUND_SSE2 bool SearchBlocks(const LineSearch& search, const unsigned char* text,
                                std::size_t from, std::size_t to, BlockScan& scan) {
    BlockStarts found[kStretchBlocks];
    WordBytesCache cache;
    for (std::size_t stretch = from; stretch < to; stretch += kStretchBlocks * kBlock) {
        const std::size_t end =
            to - stretch > kStretchBlocks * kBlock ? stretch + kStretchBlocks * kBlock : to;
        const std::size_t count = FindStarts<kNumbers>(search, text, stretch, end, scan, found);
        for (std::size_t i = 0; i < count; ++i) {
            const WordBytes word = ClassifyBlock(cache, text + found[i].pos);
            if (!TakeWordsAt(search, word, found[i].starts)) return false;
        }
        if (scan.ended) return false;
    }
    return true;
}

// The line by blocks: first where 64 bytes are readable in place, then the last bytes
// from a zero-padded copy (the padding reads as the end of the text).
template <bool kNumbers>
LEXAMUND_SSE2 void SearchLineBlocks(const LineSearch& search, const unsigned char* text,
                                    std::size_t length, bool padded) {
    BlockScan scan;
    if (padded) {
        SearchBlocks<kNumbers>(search, text, 0, length, scan);
        return;
    }
    const std::size_t inPlace =
        length < kBlockReach ? 0 : (length - kBlockReach) / kBlock * kBlock + kBlock;
    if (!SearchBlocks<kNumbers>(search, text, 0, inPlace, scan)) return;
    alignas(16) unsigned char tail[2 * kBlockReach] = {};
    const std::size_t rest = length - inPlace; // fewer than 64
    std::memcpy(tail, text + inPlace, rest);
    SearchBlocks<kNumbers>(search, tail, 0, rest, scan);
}

} // namespace

// Classifies 32 bytes at once; the word-byte classes are computed only where a start may be.
LEXAMUND_SSE2 void SearchLineSse2(const LineSearch& search, const unsigned char* text,
                                  std::size_t length, bool padded) {
    if (!search.possible) return;
    if (search.numbers) {
        SearchLineBlocks<true>(search, text, length, padded);
    } else {
        SearchLineBlocks<false>(search, text, length, padded);
    }
}

#endif

LineSearchPath FastestLineSearchPath() {
#if defined(__x86_64__)
    return SearchLineSse2;
#elif defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0) {
        return SearchLineSse2;
    }
    return SearchLinePlain;
#else
    return SearchLinePlain;
#endif
}

void SearchLine(const LineSearch& search, const unsigned char* text, std::size_t length,
                bool padded) {
    if (gLineSearchPath == nullptr) gLineSearchPath = FastestLineSearchPath();
    SyncCandidateIndex();
    if (CandidateListFull()) return;
    gLineSearchPath(search, text, length, padded);
}

void HarvestLine(const char* lineText, const char* prefix) {
    LineSearch search;
    PrepareLineSearch(search, prefix);
    SearchLine(search, reinterpret_cast<const unsigned char*>(lineText), std::strlen(lineText),
               false);
}
