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

void SearchLinePlain(const LineSearch& search, const unsigned char* text, std::size_t length) {
    if (search.possible) SearchBytes(search, text, length, 0, 0);
}

#if LEXAMUND_HAVE_SSE2_PATH

namespace {

constexpr std::size_t kChunk = 16;
constexpr std::size_t kWordWindow = 2 * kChunk; // bytes read at a word start

LEXAMUND_SSE2 inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

LEXAMUND_SSE2 inline unsigned Equal(__m128i a, __m128i b) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
}

// TakeWordPlain for a word start with 32 readable bytes from at: the prefix test, the run
// of word bytes and the zero padding, each on 16 bytes at once.
LEXAMUND_SSE2 bool TakeWordSse2(const LineSearch& search, const unsigned char* at) {
    const __m128i low = Load(at);
    const __m128i high = Load(at + kChunk);
    const unsigned same =
        Equal(low, Load(search.prefix)) | Equal(high, Load(search.prefix + kChunk)) << 16;
    if ((same & search.prefixBits) != search.prefixBits) return true;
    unsigned taken = ExtractionMask(low);
    if (taken == 0xFFFFu) taken |= ExtractionMask(high) << 16;
    const unsigned run = ~taken == 0 ? kWordWindow : __builtin_ctz(~taken);
    const unsigned length = run < kMaxWordLength ? run : kMaxWordLength;
    if (length <= search.length) return true;
    const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i limit = _mm_set1_epi8(static_cast<char>(length));
    const __m128i highLimit = _mm_sub_epi8(limit, _mm_set1_epi8(kChunk));
    PaddedWord word;
    auto* out = reinterpret_cast<__m128i*>(word.bytes);
    _mm_store_si128(out, _mm_and_si128(low, _mm_cmplt_epi8(index, limit)));
    _mm_store_si128(out + 1, _mm_and_si128(high, _mm_cmplt_epi8(index, highLimit)));
    return OfferCandidate(word);
}

// Takes the words at the word starts of one chunk (bit k: a start at pos + k).
LEXAMUND_SSE2 bool TakeWordsAt(const LineSearch& search, const unsigned char* text,
                               std::size_t length, std::size_t pos, unsigned starts) {
    for (; starts != 0; starts &= starts - 1) {
        const std::size_t at = pos + __builtin_ctz(starts);
        const bool room = at + kWordWindow <= length;
        if (!(room ? TakeWordSse2(search, text + at) : TakeWordPlain(search, text, length, at))) {
            return false;
        }
    }
    return true;
}

} // namespace

// Per chunk: the bytes equal to the prefix's first byte, less those that follow a word
// character, are the word starts. A chunk without that byte (or a zero) costs one
// comparison; the word-character classes are computed only where it occurs.
LEXAMUND_SSE2 void SearchLineSse2(const LineSearch& search, const unsigned char* text,
                                  std::size_t length) {
    if (!search.possible) return;
    const std::uint8_t* wordTable = WordCharTable(search.numbers);
    const __m128i first = _mm_set1_epi8(static_cast<char>(search.prefix[0]));
    const __m128i zero = _mm_setzero_si128();
    unsigned before = 0; // 1 when the byte before the chunk is a word character
    std::size_t pos = 0;
    for (; pos + kChunk <= length; pos += kChunk) {
        const __m128i bytes = Load(text + pos);
        const unsigned hits = Equal(bytes, first);
        const unsigned zeros = Equal(bytes, zero);
        if ((hits | zeros) == 0) {
            before = wordTable[text[pos + kChunk - 1]];
            continue;
        }
        const unsigned word = WordCharMask(bytes, search.numbers);
        unsigned starts = hits & ~(word << 1 | before);
        before = word >> (kChunk - 1);
        if (zeros != 0) { // the text ends at the first zero
            const unsigned end = __builtin_ctz(zeros);
            TakeWordsAt(search, text, pos + end, pos, starts & ((1u << end) - 1));
            return;
        }
        if (!TakeWordsAt(search, text, length, pos, starts)) return;
    }
    SearchBytes(search, text, length, pos, static_cast<std::uint8_t>(before));
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

void SearchLine(const LineSearch& search, const unsigned char* text, std::size_t length) {
    if (gLineSearchPath == nullptr) gLineSearchPath = FastestLineSearchPath();
    SyncCandidateIndex();
    if (CandidateListFull()) return;
    gLineSearchPath(search, text, length);
}

void HarvestLine(const char* lineText, const char* prefix) {
    LineSearch search;
    PrepareLineSearch(search, prefix);
    SearchLine(search, reinterpret_cast<const unsigned char*>(lineText), std::strlen(lineText));
}
