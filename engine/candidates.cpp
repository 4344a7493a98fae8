// The candidate list: distinct words in the order of discovery, and its index.
#include "engine/candidates.h"
#include "platform/platform.h"

CandidateNode* CandidateList = nullptr;
CandidateIndex gCandidateIndex;

namespace {

void BeepTwice(std::uint32_t type) {
    gPlatform.messageBeep(type);
    gPlatform.messageBeep(type);
}

} // namespace

// A list that somehow holds a word twice indexes the first of them.
void RebuildCandidateIndex() {
    std::memset(&gCandidateIndex, 0, sizeof gCandidateIndex);
    gCandidateIndex.head = CandidateList;
    for (CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode) {
        const auto* word = reinterpret_cast<const unsigned char*>(node->word);
        const std::uint32_t hash = HashPaddedWord(word);
        std::size_t at = hash & (kIndexSlots - 1);
        bool listed = false;
        for (; gCandidateIndex.slots[at].node != nullptr; at = (at + 1) & (kIndexSlots - 1)) {
            const auto* other =
                reinterpret_cast<const unsigned char*>(gCandidateIndex.slots[at].node->word);
            listed = listed || SamePaddedWord(other, word);
        }
        if (!listed && gCandidateIndex.count < kMaxMenuItems) {
            gCandidateIndex.slots[at] = {node, hash};
        }
        gCandidateIndex.tail = node;
        ++gCandidateIndex.count;
    }
}

bool AppendCandidate(const PaddedWord& word, IndexSlot& slot, std::uint32_t hash) {
    if (CandidateListFull()) return false;
    auto* node = static_cast<CandidateNode*>(gPlatform.allocate(sizeof(CandidateNode)));
    if (node == nullptr) {
        BeepTwice(kBeepHand);
        return true;
    }
    std::memcpy(node->word, word.bytes, sizeof node->word);
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

// The one-word entry: checks length and prefix, pads the word and offers it.
void AddCandidate(const char* word, const char* prefix) {
    const std::size_t prefixLength = PrefixLength(prefix);
    const std::size_t length = strnlen(word, kMaxWordLength + 1);
    if (length <= prefixLength || length > kMaxWordLength) return;
    if (std::memcmp(word, prefix, prefixLength) != 0) return;
    SyncCandidateIndex();
    PaddedWord padded = {};
    std::memcpy(padded.bytes, word, length);
    OfferCandidate(padded);
}
