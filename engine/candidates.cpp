// The candidate list: distinct words in the order of discovery, and its index.
#include "engine/candidates.h"
#include "platform/platform.h"

#include <cstddef>

CandidateNode* CandidateList = nullptr;
CandidateIndex gCandidateIndex;

namespace {

void BeepTwice(std::uint32_t type) {
    gPlatform.messageBeep(type);
    gPlatform.messageBeep(type);
}

} // namespace

// Every slot free, no node listed; the head is null, as the emptied list's is.
void ResetCandidateIndex() {
    std::memset(&gCandidateIndex, 0, sizeof gCandidateIndex);
}

bool OfferLongCandidate(const PaddedWord& word) {
    const std::uint32_t hash = HashLongWord(word.bytes);
    IndexSlot& slot = ProbeLongIndex(hash, word.bytes);
    return slot.node != nullptr || AppendCandidate(word, slot, hash);
}

bool AppendCandidate(const PaddedWord& word, IndexSlot& slot, std::uint32_t hash) {
    if (CandidateListFull()) return false;
    const bool isLong = IsLongWord(word.bytes);
    auto* node = static_cast<CandidateNode*>(gPlatform.allocate(
        offsetof(CandidateNode, word) + (isLong ? sizeof word.bytes : kShortPaddedSize)));
    if (node == nullptr) {
        BeepTwice(kBeepHand);
        return true;
    }
    if (isLong) { // sizes the compiler sees, so that the copies are a few stores
        std::memcpy(node->word, word.bytes, sizeof word.bytes);
    } else {
        std::memcpy(node->word, word.bytes, kShortPaddedSize);
    }
    node->nextNode = nullptr;
    if (CandidateList == nullptr) {
        CandidateList = node;
    } else {
        gCandidateIndex.tail->nextNode = node;
    }
    gCandidateIndex.head = CandidateList;
    gCandidateIndex.tail = node;
    slot = {node, hash};
    return ++gCandidateIndex.count < kMaxMenuItems;
}
