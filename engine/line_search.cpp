// The line search, one byte at a time and 32 bytes at a time, and the choice between them.
#include "engine/line_search.h"
#include "engine/candidates.h"
#include "engine/word_rules.h"
#include "platform/platform.h"

#include <cstring>

#if LEXAMUND_HAVE_SSE2_PATH
#include <cpuid.h>
#endif

LineSearchPath gLineSearchPath = nullptr;
LineWords gLineWords;

namespace {

constexpr std::uint32_t kSimdValueSize = 8; // the longest value taken, with room to spare

// Whether value is word in ASCII, ignoring case.
bool SameWord(const char* value, const char* word) {
    for (; *word != 0; ++value, ++word) {
        const char lower = *value >= 'A' && *value <= 'Z' ? static_cast<char>(*value + 32) : *value;
        if (lower != *word) return false;
    }
    return *value == 0;
}

// The cap that the environment variable sets, read through the platform table: "avx2",
// "sse2" or "none" in any case. Unset or empty (Windows keeps no empty variable) is Any; any
// other value is None, the safe reading of a diagnostic switch. A value too long for the
// buffer is not copied, so it reads as empty text, which is None too.
SimdCap SimdCapFromEnvironment() {
    char value[kSimdValueSize] = {};
    if (gPlatform.getEnvironmentVariable(kSimdVariable, value, kSimdValueSize) == 0) {
        return SimdCap::Any;
    }
    if (SameWord(value, "avx2")) return SimdCap::Avx2;
    if (SameWord(value, "sse2")) return SimdCap::Sse2;
    return SimdCap::None;
}

// The case rule's masks, for a prefix of length bytes: smallBits marks its small letters;
// capitalBits its capitals after the first letter, when it has no small letter at all.
void PrepareCaseRule(LineSearch& search) {
    std::uint32_t smalls = 0;
    std::uint32_t capitals = 0;
    bool letterSeen = false;
    for (std::uint32_t k = 0; k < search.length; ++k) {
        const unsigned char byte = search.prefix[k];
        if (kCapitalLetter[byte] != byte) smalls |= 1u << k;
        if (kSmallLetter[byte] != byte && letterSeen) capitals |= 1u << k;
        letterSeen = letterSeen || OtherCase(byte) != byte;
    }
    search.smallBits = smalls;
    search.capitalBits = smalls == 0 ? capitals : 0;
}

} // namespace

void PrepareLineSearch(LineSearch& search, const char* prefix) {
    std::memset(&search, 0, sizeof search); // an empty prefix then searches for nothing
    const std::size_t length = PrefixLength(prefix);
    std::memcpy(search.prefix, prefix, length);
    search.length = static_cast<std::uint32_t>(length);
    search.prefixBits = static_cast<std::uint32_t>((std::uint64_t{1} << length) - 1);
    search.numbers = gSettings.numbers != 0;
    search.foldCase = gSettings.ignoreCase != 0;
    search.nearestFirst = gSettings.nearestFirst != 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = search.prefix[i];
        search.other[i] = search.foldCase ? OtherCase(byte) : byte;
    }
    PrepareCaseRule(search);
    if (gLineSearchPath == nullptr) {
        gLineSearchPath = FastestLineSearchPath(SimdCapFromEnvironment());
    }
    search.path = gLineSearchPath;
    search.possible = true;
    for (std::size_t i = 0; i < length; ++i) {
        if (kExtractionTable[search.prefix[i]] == 0) search.possible = false;
    }
}

bool OfferInTypedCase(const LineSearch& search, const unsigned char* word, std::size_t length,
                      std::uint32_t differ) {
    for (std::uint32_t rest = differ; rest != 0; rest &= rest - 1) {
        const unsigned k = static_cast<unsigned>(__builtin_ctz(rest));
        if (word[k] != search.other[k]) return true;
    }
    // A capital met for a typed small letter makes the rest small; else, in a prefix typed
    // in capitals, a small letter met for a capital after the first makes it capital.
    const std::uint8_t* rule = (differ & search.smallBits) != 0     ? kSmallLetter.data()
                               : (differ & search.capitalBits) != 0 ? kCapitalLetter.data()
                                                                    : nullptr;
    PaddedWord text = {};
    std::memcpy(text.bytes, search.prefix, search.length);
    for (std::size_t k = search.length; k < length; ++k)
        text.bytes[k] = rule == nullptr ? word[k] : rule[word[k]];
    return OfferWord(search, text);
}

bool OfferLineWords() {
    while (gLineWords.count != 0) {
        if (!OfferCandidate(gLineWords.words[--gLineWords.count])) return false;
    }
    return true;
}

namespace {

// Offers the word at text[at] when it starts with the prefix (in either case, when case is
// ignored) and is longer: the run of word bytes there, cut to 31. Returns false once the
// list is full.
bool TakeWordPlain(const LineSearch& search, const unsigned char* text, std::size_t length,
                   std::size_t at) {
    if (length - at <= search.length) return true;
    const unsigned char* start = text + at;
    std::uint32_t differ = 0;
    for (std::size_t k = 0; k < search.length; ++k) { // the prefix, whose bytes are all word bytes
        if (start[k] == search.prefix[k]) continue;
        if (start[k] != search.other[k]) return true;
        differ |= 1u << k;
    }
    const std::size_t room = length - at < kMaxWordLength ? length - at : kMaxWordLength;
    std::size_t end = search.length;
    while (end < room && kExtractionTable[start[end]] != 0)
        ++end;
    if (end == search.length) return true;
    if (differ != 0) return OfferInTypedCase(search, start, end, differ);
    PaddedWord word = {};
    std::memcpy(word.bytes, start, end);
    return OfferWord(search, word);
}

} // namespace

// One byte at a time: a byte equal to the prefix's first (in either case, when case is
// ignored) after a byte that is no word character (or at the line's start) is a word start.
void SearchLinePlain(const LineSearch& search, const unsigned char* text, std::size_t length) {
    if (!search.possible) return;
    const std::uint8_t* word = WordCharTable(search.numbers);
    const unsigned char first = search.prefix[0];
    const unsigned char firstOther = search.other[0];
    std::uint8_t before = 0;
    for (std::size_t at = 0; at < length; ++at) {
        const unsigned char byte = text[at];
        if (byte == 0) return;
        if ((byte == first || byte == firstOther) && before == 0 &&
            !TakeWordPlain(search, text, length, at)) {
            return;
        }
        before = word[byte];
    }
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
    LEXAMUND_SSE2 static std::uint32_t Equal(Block a, Block b) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a.low, b.low))) |
               static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a.high, b.high))) << 16;
    }
    // Bit k: byte k equals the byte of b or of c.
    LEXAMUND_SSE2 static std::uint32_t EqualEither(Block a, Block b, Block c) {
        const __m128i low =
            _mm_or_si128(_mm_cmpeq_epi8(a.low, b.low), _mm_cmpeq_epi8(a.low, c.low));
        const __m128i high =
            _mm_or_si128(_mm_cmpeq_epi8(a.high, b.high), _mm_cmpeq_epi8(a.high, c.high));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
               static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16;
    }
    LEXAMUND_SSE2 static bool AnyZero(Block a) {
        const __m128i least = _mm_min_epu8(a.low, a.high);
        return _mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0;
    }
    LEXAMUND_SSE2 static std::uint32_t Zeros(Block a) { return Equal(a, Splat(0)); }
    template <bool kNumbers> LEXAMUND_SSE2 static ByteMasks Classify(Block a, const Classes& c) {
        const ByteMasks low = ClassifyBytes(a.low, kNumbers, c);
        const ByteMasks high = ClassifyBytes(a.high, kNumbers, c);
        return {low.word | high.word << 16, low.taken | high.taken << 16};
    }
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
    LEXAMUND_AVX2 static std::uint32_t Equal(Block a, Block b) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)));
    }
    LEXAMUND_AVX2 static std::uint32_t EqualEither(Block a, Block b, Block c) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpeq_epi8(a, b), _mm256_cmpeq_epi8(a, c))));
    }
    LEXAMUND_AVX2 static std::uint32_t Zeros(Block a) { return Equal(a, Splat(0)); }
    LEXAMUND_AVX2 static bool AnyZero(Block a) { return Zeros(a) != 0; }
    template <bool kNumbers> LEXAMUND_AVX2 static ByteMasks Classify(Block a, const Classes& c) {
        return ClassifyBytes(a, kNumbers, c);
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
    sse2::SearchLineWith(search, text, length);
}

LEXAMUND_AVX2 void SearchLineAvx2(const LineSearch& search, const unsigned char* text,
                                  std::size_t length) {
    avx2::SearchLineWith(search, text, length);
}

namespace {

constexpr std::uint32_t kHighestLeafWithAvx2 = 7;
constexpr std::uint32_t kXcr0SseAndAvx = 6; // bits 1 and 2: the system saves XMM and YMM

// Every processor the DLL runs on (a Pentium Pro or later) has cpuid, and answers any leaf.
void Cpuid(std::uint32_t leaf, std::uint32_t registers[4]) {
    __cpuid_count(leaf, 0, registers[0], registers[1], registers[2], registers[3]);
}

// Kept out of line: the one place where the DLL reads XCR0, which the release checks allow.
__attribute__((noinline)) std::uint32_t ReadXcr0() {
    std::uint32_t low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return low;
}

} // namespace

const ProcessorInstructions kProcessorInstructions = {Cpuid, ReadXcr0};

ProcessorReport ReadProcessorReport(const ProcessorInstructions& processor) {
    ProcessorReport report = {};
    std::uint32_t registers[4];
    processor.cpuid(0, registers);
    report.highestLeaf = registers[0];
    processor.cpuid(1, registers);
    report.leaf1Ecx = registers[2];
    report.leaf1Edx = registers[3];
    processor.cpuid(kHighestLeafWithAvx2, registers);
    report.leaf7Ebx = registers[1];
    if ((report.leaf1Ecx & bit_OSXSAVE) != 0) report.xcr0 = processor.readXcr0();
    return report;
}

LineSearchPath ChooseLineSearchPath(const ProcessorReport& report, SimdCap cap) {
    const bool avx2 = report.highestLeaf >= kHighestLeafWithAvx2 &&
                      (report.leaf1Ecx & bit_AVX) != 0 && (report.leaf7Ebx & bit_AVX2) != 0 &&
                      (report.xcr0 & kXcr0SseAndAvx) == kXcr0SseAndAvx;
    if (cap >= SimdCap::Avx2 && avx2) return SearchLineAvx2;
    if (cap >= SimdCap::Sse2 && (report.leaf1Edx & bit_SSE2) != 0) return SearchLineSse2;
    return SearchLinePlain;
}

#endif

LineSearchPath FastestLineSearchPath(SimdCap cap) {
#if LEXAMUND_HAVE_SSE2_PATH
    return ChooseLineSearchPath(ReadProcessorReport(kProcessorInstructions), cap);
#else
    (void)cap;
    return SearchLinePlain;
#endif
}

void HarvestLine(const char* lineText, const char* prefix) {
    LineSearch search;
    PrepareLineSearch(search, prefix);
    alignas(16) unsigned char copy[kLineCopySize + kLinePadding] = {};
    const std::size_t length = strnlen(lineText, kLineCopySize);
    std::memcpy(copy, lineText, length);
    SearchLine(search, copy, length);
}
