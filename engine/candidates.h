// The candidate list's index: answers "is this word listed yet?" in a few nanoseconds.
//
// The list keeps its order of discovery; beside it an open-addressing hash table of the
// listed words remembers the tail, so that testing and adding a word cost the same
// however long the list is. Words travel here as 32 zero-padded bytes (as a node holds
// them), so that hashing and comparing need no length and no loop over characters.
// The list never grows past the words the menu can show: a later word could never be
// offered, so keeping it would only cost time and memory.
#pragma once

#include "engine/engine.h"

#include <cstdint>
#include <cstring>

inline constexpr int kIndexBits = 9;
inline constexpr std::size_t kIndexSlots = std::size_t{1} << kIndexBits; // over 3 x kMaxMenuItems

// A word and its zero padding, as a node's word field holds it: a short word (up to 31
// characters) in its first 32 bytes, whose last is then zero and the rest unused; a long
// one in all 64.
struct PaddedWord {
    alignas(16) unsigned char bytes[kMaxWordLength + 1];
};
inline constexpr std::size_t kShortPaddedSize = kMaxShortWordLength + 1;

// True for a long word's padded bytes: its 32nd byte is a character, not the terminator.
inline bool IsLongWord(const unsigned char* padded) {
    return padded[kMaxShortWordLength] != 0;
}

struct IndexSlot {
    const CandidateNode* node; // null: free
    std::uint32_t hash;
};

struct CandidateIndex {
    const CandidateNode* head; // the list head this index describes
    CandidateNode* tail;
    int count;
    IndexSlot slots[kIndexSlots];
};
extern CandidateIndex gCandidateIndex;

// Empties the index.
void ResetCandidateIndex();

// Makes the index describe CandidateList again after start-up or a request emptied the list:
// the list only grows through the index, and is otherwise only ever replaced by null.
inline void SyncCandidateIndex() {
    if (gCandidateIndex.head != CandidateList) ResetCandidateIndex();
}

// Links a node for word (short or long: its node has room for it alone) at the list's tail
// and into slot; a failed allocation costs the word and two beeps. Returns false once the
// list is full.
bool AppendCandidate(const PaddedWord& word, IndexSlot& slot, std::uint32_t hash);

// Reads 8 bytes at p, whatever their alignment.
inline std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Factors of the hash: odd, with mixed bits, each 1 modulo 4.
inline constexpr std::uint32_t kHashLowFactor = 0x9E3779B1u;
inline constexpr std::uint32_t kHashHighFactor = 0xC2B2AE35u;
// The factor that mixes a long word's first half before its second joins it.
inline constexpr std::uint64_t kHashLongFactor = 0x9E3779B97F4A7C15u;

// The hash of a word's four 8-byte groups folded by xor (a word of up to 8 bytes keeps all
// its bits): each 32-bit half of the fold times its own factor, modulo 2^32, and summed.
// Each product is a bijection of its half whose top bits depend on every bit of it, so the
// home slot is taken from the top bits (HomeSlot): words that differ in one byte alone,
// wherever it is, spread over the table. The factors' sum is twice an odd number, so the
// same bit flipped in both halves (a letter's case at bytes k and k + 4) never cancels
// below bit 31.
inline std::uint32_t HashFold(std::uint64_t fold) {
    return static_cast<std::uint32_t>(fold) * kHashLowFactor +
           static_cast<std::uint32_t>(fold >> 32) * kHashHighFactor;
}

// The hash of a short word's 32 padded bytes.
inline std::uint32_t HashPaddedWord(const unsigned char* padded) {
    return HashFold(Load64(padded) ^ Load64(padded + 8) ^ Load64(padded + 16) ^
                    Load64(padded + 24));
}

// The hash of a long word's 64 padded bytes: each half folded as a short word's, the first
// half's fold multiplied before the second's joins it, so that a byte at the end of one
// half and one at the start of the other land apart. A long word never equals a short one,
// so the two hashes need not agree.
inline std::uint32_t HashLongWord(const unsigned char* padded) {
    std::uint64_t halves[2];
    for (int half = 0; half < 2; ++half) {
        const unsigned char* p = padded + half * kShortPaddedSize;
        halves[half] = Load64(p) ^ Load64(p + 8) ^ Load64(p + 16) ^ Load64(p + 24);
    }
    return HashFold(halves[0] * kHashLongFactor ^ halves[1]);
}

// The slot a word with this hash is looked for first: the hash's top kIndexBits bits.
inline std::size_t HomeSlot(std::uint32_t hash) {
    return hash >> (32 - kIndexBits);
}

// True when the two 32-byte padded words are equal.
inline bool SamePaddedWord(const unsigned char* a, const unsigned char* b) {
    std::uint64_t differ = 0;
    for (int k = 0; k < 32; k += 8)
        differ |= Load64(a + k) ^ Load64(b + k);
    return differ == 0;
}

// The slot that lists the short word with this hash and these 32 padded bytes, or the free
// slot where it would go: the probe from its home slot on.
inline IndexSlot& ProbeIndex(std::uint32_t hash, const unsigned char* padded) {
    std::size_t at = HomeSlot(hash);
    for (;;) {
        IndexSlot& slot = gCandidateIndex.slots[at];
        if (slot.node == nullptr) return slot;
        if (slot.hash == hash &&
            SamePaddedWord(reinterpret_cast<const unsigned char*>(slot.node->word), padded)) {
            return slot;
        }
        at = (at + 1) & (kIndexSlots - 1);
    }
}

// ProbeIndex for a long word's 64 padded bytes. A node whose first 32 bytes equal them
// holds a long word too, so its second 32 bytes are there to compare.
inline IndexSlot& ProbeLongIndex(std::uint32_t hash, const unsigned char* padded) {
    std::size_t at = HomeSlot(hash);
    for (;;) {
        IndexSlot& slot = gCandidateIndex.slots[at];
        if (slot.node == nullptr) return slot;
        const auto* listed = reinterpret_cast<const unsigned char*>(slot.node->word);
        if (slot.hash == hash && SamePaddedWord(listed, padded) &&
            SamePaddedWord(listed + kShortPaddedSize, padded + kShortPaddedSize)) {
            return slot;
        }
        at = (at + 1) & (kIndexSlots - 1);
    }
}

// Lists the short word unless it is listed already. The caller has checked that it starts
// with the prefix and is longer, and synced the index. Returns false once the list is full.
inline bool OfferShortCandidate(const PaddedWord& word) {
    const std::uint32_t hash = HashPaddedWord(word.bytes);
    IndexSlot& slot = ProbeIndex(hash, word.bytes);
    return slot.node != nullptr || AppendCandidate(word, slot, hash);
}

// OfferShortCandidate for a long word.
bool OfferLongCandidate(const PaddedWord& word);

// OfferShortCandidate for a word of either length.
inline bool OfferCandidate(const PaddedWord& word) {
    return IsLongWord(word.bytes) ? OfferLongCandidate(word) : OfferShortCandidate(word);
}

#if LEXAMUND_HAVE_SSE2_PATH

// HashPaddedWord of the short word whose 32 padded bytes are low and high.
LEXAMUND_SSE2 inline std::uint32_t HashPaddedWord(__m128i low, __m128i high) {
    const __m128i halves = _mm_xor_si128(low, high);
    const __m128i fold = _mm_xor_si128(halves, _mm_srli_si128(halves, 8));
    // The fold's two 32-bit halves into lanes 0 and 2, each times its factor.
    const __m128i spread = _mm_shuffle_epi32(fold, _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i factors =
        _mm_set_epi32(0, static_cast<int>(kHashHighFactor), 0, static_cast<int>(kHashLowFactor));
    const __m128i products = _mm_mul_epu32(spread, factors);
    const __m128i sum = _mm_add_epi32(products, _mm_srli_si128(products, 8));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(sum));
}

// True when node holds the short word whose 32 padded bytes are low and high.
LEXAMUND_SSE2 inline bool SamePaddedWord(const CandidateNode* node, __m128i low, __m128i high) {
    const auto* listed = reinterpret_cast<const __m128i*>(node->word);
    const __m128i same = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(listed), low),
                                       _mm_cmpeq_epi8(_mm_loadu_si128(listed + 1), high));
    return _mm_movemask_epi8(same) == 0xFFFF;
}

// ProbeIndex for the word whose 32 padded bytes are low and high.
LEXAMUND_SSE2 inline IndexSlot& ProbeIndex(std::uint32_t hash, __m128i low, __m128i high) {
    std::size_t at = HomeSlot(hash);
    for (;;) {
        IndexSlot& slot = gCandidateIndex.slots[at];
        if (slot.node == nullptr) return slot;
        if (slot.hash == hash && SamePaddedWord(slot.node, low, high)) return slot;
        at = (at + 1) & (kIndexSlots - 1);
    }
}

#endif

// True once the list holds every word the menu can show.
inline bool CandidateListFull() {
    return gCandidateIndex.count >= kMaxMenuItems;
}
