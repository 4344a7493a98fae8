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

inline constexpr std::size_t kIndexSlots = 512; // a power of two, over three times kMaxMenuItems

// A word and its zero padding, as a node's word field holds it.
struct PaddedWord {
    alignas(16) unsigned char bytes[kMaxWordLength + 1];
};

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

// Makes the index describe CandidateList again when a request or start-up replaced the head.
void SyncCandidateIndex();

// Links a node for word at the list's tail and into slot; a failed allocation costs the
// word and two beeps. Returns false once the list is full.
bool AppendCandidate(const PaddedWord& word, IndexSlot& slot, std::uint32_t hash);

// Reads 4 bytes at p, whatever their alignment.
inline std::uint32_t Load32(const unsigned char* p) {
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// A hash of the 32 padded bytes: the eight 4-byte groups, each times its own odd factor
// (independent multiplies), then mixed so that the low bits depend on all of them.
inline std::uint32_t HashPaddedWord(const unsigned char* padded) {
    constexpr std::uint32_t kFactors[8] = {0x9E3779B1u, 0x85EBCA77u, 0xC2B2AE3Du, 0x27D4EB2Fu,
                                           0x165667B1u, 0xD3A2646Du, 0xFD7046C5u, 0xB55A4F09u};
    std::uint32_t hash = 0;
    for (int k = 0; k < 8; ++k)
        hash += Load32(padded + 4 * k) * kFactors[k];
    hash ^= hash >> 15;
    hash *= 0x2C1B3C6Du;
    return hash ^ (hash >> 12);
}

// True when the two 32-byte padded words are equal.
inline bool SamePaddedWord(const unsigned char* a, const unsigned char* b) {
    std::uint32_t differ = 0;
    for (int k = 0; k < 8; ++k)
        differ |= Load32(a + 4 * k) ^ Load32(b + 4 * k);
    return differ == 0;
}

// Lists word unless it is listed already. The caller has checked that it starts with the
// prefix and is longer, and synced the index. Returns false once the list is full.
inline bool OfferCandidate(const PaddedWord& word) {
    const std::uint32_t hash = HashPaddedWord(word.bytes);
    std::size_t at = hash & (kIndexSlots - 1);
    for (;;) {
        IndexSlot& slot = gCandidateIndex.slots[at];
        if (slot.node == nullptr) return AppendCandidate(word, slot, hash);
        if (slot.hash == hash &&
            SamePaddedWord(reinterpret_cast<const unsigned char*>(slot.node->word), word.bytes)) {
            return true;
        }
        at = (at + 1) & (kIndexSlots - 1);
    }
}

// True once the list holds every word the menu can show.
inline bool CandidateListFull() {
    return gCandidateIndex.count >= kMaxMenuItems;
}
