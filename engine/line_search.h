// The line search: every word start of a line that carries the prefix, handed to the list.
//
// Three paths find the same words: a plain one that looks at one byte at a time, and two
// that classify 32 bytes at a time, with SSE2 and with AVX2. The harvest prepares the search once
// per request and runs it on each line; the path is picked once, by what the processor offers.
#pragma once

#include "engine/candidates.h"
#include "engine/engine.h"

#include <cstddef>
#include <cstdint>

struct LineSearch;

// A search path: offers to the candidate list every word that starts with the prefix at
// a word start within text[0, length), stopping at a zero byte or once the list is full.
// The caller guarantees a zero byte at text[length] and kLinePadding readable bytes from
// there, of any value, which saves copying the line's last bytes.
using LineSearchPath = void (*)(const LineSearch& search, const unsigned char* text,
                                std::size_t length);

// What a prefix byte met in its other case asks of the rest of the word (bits of
// LineSearch::caseRule): a typed small letter, small; a capital after the first letter of a
// prefix typed without small letters, capital.
inline constexpr unsigned char kRestSmall = 1;
inline constexpr unsigned char kRestCapital = 2;

// What one request searches for, prepared once.
struct LineSearch {
    alignas(16) unsigned char prefix[kPrefixSize]; // the prefix, zero-padded
    // The prefix with each letter in its other case when case is ignored, else the prefix
    // again: a word byte matches when it equals either.
    alignas(16) unsigned char other[kPrefixSize];
    // 0xFF on each prefix byte among the first 32, else 0: the vector paths put the typed
    // prefix over a word met in another case with it.
    alignas(16) unsigned char prefixKeep[32];
    unsigned char caseRule[kPrefixSize]; // per prefix byte: kRestSmall, kRestCapital or 0
    unsigned char firstBytes[256];       // 1 for the prefix's first byte and its other case
    std::uint32_t length;                // of the prefix, 1 to 64
    std::uint32_t prefixBits;            // bit k set for each prefix byte k among the first 32
    std::uint32_t smallBits;             // bit k: caseRule[k] is kRestSmall (k < 32)
    std::uint32_t capitalBits;           // bit k: caseRule[k] is kRestCapital (k < 32)
    // The word rules at the request: word characters and a taken word's bytes, and the
    // user's own characters (null when there is none; see WordTablesFor).
    const std::uint8_t* word;
    const std::uint8_t* taken;
    const std::uint8_t* own;
    bool needsOtherThanOwn; // the prefix is the user's characters only: a word needs another
#if LEXAMUND_HAVE_SSE2_PATH
    // The request's word characters and word bytes as AVX2 classifies them with the user's
    // own: per low nibble l (in both halves), bit h set when the byte 0xhl is one, for h from
    // 2 to 7; bits 0 and 1 stand for the bytes from 0x80 (see kHighNibbleRows).
    alignas(16) unsigned char wordNibbles[32];
    alignas(16) unsigned char takenNibbles[32];
#endif
    bool numbers;        // the Numbers setting at the request
    bool foldCase;       // the IgnoreCase setting at the request
    bool nearestFirst;   // the NearestFirst setting: a line's words go right to left
    bool possible;       // false when no word can qualify: the paths search nothing
    LineSearchPath path; // the path in force at the request, compiled for its settings
};

// Fills search from a prefix buffer, the current settings and the path in force (picking
// the fastest at the first search). No word
// can qualify for a prefix holding a byte that cannot be part of a word; for one of 63
// bytes or more the length test refuses every word.
void PrepareLineSearch(LineSearch& search, const char* prefix);

// Bytes after a padded line's text, its terminator first: enough for every read the search
// makes from a position inside the text (63 past its last byte).
inline constexpr std::size_t kLinePadding = 64;

// The three paths. Each serves any settings, choosing at every call the search compiled for
// them; PrepareLineSearch puts that search itself in LineSearch::path.
void SearchLinePlain(const LineSearch& search, const unsigned char* text, std::size_t length);
#if LEXAMUND_HAVE_SSE2_PATH
void SearchLineSse2(const LineSearch& search, const unsigned char* text, std::size_t length);
void SearchLineAvx2(const LineSearch& search, const unsigned char* text, std::size_t length);
#endif

// ---- Words as the search hands them on ----

// One line's words, held back under NearestFirst so that they are offered right to left.
// Every byte of a line copy may start a word (a digit is no word character without Numbers,
// so a prefix's first letter may follow one), so a line copy holds at most kLineCopySize
// of them; past that (a longer line than a copy is searched only by tests) they are dropped.
inline constexpr std::size_t kMaxLineWords = kLineCopySize;
struct LineWords {
    PaddedWord words[kMaxLineWords];
    std::size_t count;
};
extern LineWords gLineWords;

// Blocks with a word start met in another case, which the vector paths take apart under
// IgnoreCase; a block whose starts are all as typed costs what it would with case mattering.
// Counted for the tests in the sanitized build alone, where they hold that: the count costs
// a request 0.24 % more instructions (mixed-latin+case), which the product does not pay.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kCountMixedCaseBlocks = true;
#else
inline constexpr bool kCountMixedCaseBlocks = false;
#endif
inline std::uint32_t gMixedCaseBlocks = 0;

// Offers the held words, the line's last first, and empties the hold; returns false once
// the list is full.
bool OfferLineWords();

// Lists a word that the index does not list yet, found missing at slot: or under
// NearestFirst holds it back, for the line's words to go to the list right to left. Returns
// false once the list is full.
bool ListOrHold(const LineSearch& search, const PaddedWord& word, IndexSlot& slot,
                std::uint32_t hash);

#if LEXAMUND_HAVE_SSE2_PATH
// Hands on the short word whose 32 padded bytes are low and high, unless it is listed
// already, as ListOrHold does. Returns false once the list is full.
LEXAMUND_SSE2 inline bool OfferWord(const LineSearch& search, __m128i low, __m128i high) {
    const std::uint32_t hash = HashPaddedWord(low, high);
    IndexSlot& slot = ProbeIndex(hash, low, high);
    if (slot.node != nullptr) return true;
    if (search.nearestFirst) { // held here, as a short word's 32 bytes
        if (gLineWords.count == kMaxLineWords) return true;
        auto* held = reinterpret_cast<__m128i*>(gLineWords.words[gLineWords.count++].bytes);
        _mm_store_si128(held, low);
        _mm_store_si128(held + 1, high);
        return true;
    }
    PaddedWord word;
    _mm_store_si128(reinterpret_cast<__m128i*>(word.bytes), low);
    _mm_store_si128(reinterpret_cast<__m128i*>(word.bytes + 16), high);
    return AppendCandidate(word, slot, hash);
}
#endif

// The path in force; null until the first search picks one, within the environment's cap.
// Tests set it to run a given path, and the benchmarks to one that searches nothing.
extern LineSearchPath gLineSearchPath;

// Runs the request's path on one line (padded as a path needs it), with the index synced
// with the list, unless the list is full: every offer would be refused.
inline void SearchLine(const LineSearch& search, const unsigned char* text, std::size_t length) {
    SyncCandidateIndex();
    if (CandidateListFull()) return;
    search.path(search, text, length);
}
