// The candidate harvest: scan window, line search, and the list of distinct words.
#include "engine/engine.h"
#include "engine/tables.h"
#include "host/host.h"
#include "platform/platform.h"

#include <cstring>

CandidateNode* CandidateList = nullptr;

// ---- Candidate index ----
//
// The list keeps its order of discovery; beside it a small hash index answers "is this
// word listed yet?" and remembers the tail, so that adding a word costs the same however
// long the list is. The list never grows past the words the menu can show: a later word
// could never be offered, so keeping it would only cost time and memory.

namespace {

constexpr std::size_t kIndexSlots = 512; // a power of two, over three times kMaxMenuItems

struct CandidateIndex {
    const CandidateNode* head; // the list head this index describes
    CandidateNode* tail;
    int count;
    CandidateNode* slots[kIndexSlots];
};
CandidateIndex gIndex;

std::uint32_t HashWord(const char* word) {
    std::uint32_t hash = 2166136261u;
    for (int i = 0; i <= kMaxWordLength && word[i] != 0; ++i) {
        hash = (hash ^ static_cast<unsigned char>(word[i])) * 16777619u;
    }
    return hash;
}

// The slot that holds word (32 zero-padded bytes), or the empty slot where it belongs.
CandidateNode** FindSlot(const char* padded) {
    std::size_t slot = HashWord(padded) & (kIndexSlots - 1);
    while (gIndex.slots[slot] != nullptr &&
           std::memcmp(gIndex.slots[slot]->word, padded, sizeof gIndex.slots[slot]->word) != 0) {
        slot = (slot + 1) & (kIndexSlots - 1);
    }
    return &gIndex.slots[slot];
}

// Rebuilds the index when the list is not the one it describes (a new request emptied
// it, or start-up reset the head).
void SyncIndex() {
    if (gIndex.head == CandidateList) return;
    std::memset(&gIndex, 0, sizeof gIndex);
    gIndex.head = CandidateList;
    for (CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode) {
        CandidateNode** slot = FindSlot(node->word);
        if (*slot == nullptr && gIndex.count < kMaxMenuItems) *slot = node;
        gIndex.tail = node;
        ++gIndex.count;
    }
}

void BeepTwice(std::uint32_t type) {
    gPlatform.messageBeep(type);
    gPlatform.messageBeep(type);
}

} // namespace

void AddCandidate(const char* word, const char* prefix) {
    const std::size_t prefixLength = PrefixLength(prefix);
    const std::size_t length = strnlen(word, kMaxWordLength + 1);
    if (length <= prefixLength || length > kMaxWordLength) return;
    if (std::memcmp(word, prefix, prefixLength) != 0) return;
    SyncIndex();
    if (gIndex.count >= kMaxMenuItems) return;

    char padded[kMaxWordLength + 1] = {};
    std::memcpy(padded, word, length);
    CandidateNode** slot = FindSlot(padded);
    if (*slot != nullptr) return;

    auto* node = static_cast<CandidateNode*>(gPlatform.allocate(sizeof(CandidateNode)));
    if (node == nullptr) {
        BeepTwice(kBeepHand);
        return;
    }
    std::memcpy(node->word, padded, sizeof node->word);
    node->nextNode = nullptr;
    if (CandidateList == nullptr) {
        CandidateList = node;
    } else {
        gIndex.tail->nextNode = node;
    }
    gIndex.head = CandidateList;
    gIndex.tail = node;
    ++gIndex.count;
    *slot = node;
}

// ---- Line search ----

namespace {

// Takes the word at a word start: the run of extraction bytes, cut to 31.
void TakeWord(const unsigned char* at, const char* prefix, std::size_t prefixLength) {
    char word[kMaxWordLength + 1];
    std::size_t length = 0;
    while (length < kMaxWordLength && kExtractionTable[at[length]] != 0) {
        word[length] = static_cast<char>(at[length]);
        ++length;
    }
    word[length] = 0;
    if (length > prefixLength) AddCandidate(word, prefix);
}

// True once the list holds every word the menu can show.
bool ListIsFull() {
    SyncIndex();
    return gIndex.count >= kMaxMenuItems;
}

} // namespace

// Visits every occurrence of the prefix that starts a word (at the line start, or after a
// byte that is no word character). An occurrence inside a run of word characters is
// skipped together with the rest of that run, which can hold no word start either.
void HarvestLine(const char* lineText, const char* prefix) {
    const std::size_t prefixLength = PrefixLength(prefix);
    if (prefixLength == 0 || prefixLength >= kMaxWordLength || ListIsFull()) return;
    const std::uint8_t* word = WordCharTable(gSettings.numbers != 0);
    const auto* text = reinterpret_cast<const unsigned char*>(lineText);
    const std::size_t length = std::strlen(lineText);
    if (length < prefixLength) return;
    const std::size_t lastStart = length - prefixLength;

    std::size_t pos = 0;
    while (pos <= lastStart) {
        const void* hit = std::memchr(text + pos, prefix[0], lastStart + 1 - pos);
        if (hit == nullptr) return;
        const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - text);
        if (at != 0 && word[text[at - 1]] != 0) {
            std::size_t end = at;
            while (end < length && word[text[end]] != 0)
                ++end;
            pos = end + 1;
            continue;
        }
        if (std::memcmp(text + at + 1, prefix + 1, prefixLength - 1) == 0) {
            TakeWord(text + at, prefix, prefixLength);
        }
        pos = at + 1;
    }
}

// ---- Scan window ----

namespace {

// Fetches the cursor's line into copy (kLineCopySize + 1 bytes), cut at cutColumn when
// that lies inside it; returns the length. A null text counts as an empty line.
std::size_t FetchLine(char* copy, std::int64_t cutColumn) {
    LineRecord line = {};
    line.lineNumber = -1;
    EditorCommand(kEditorGetLine, &line);
    std::size_t length = line.lineText == nullptr ? 0 : strnlen(line.lineText, kLineCopySize);
    if (length != 0) std::memcpy(copy, line.lineText, length);
    if (cutColumn >= 0 && static_cast<std::size_t>(cutColumn) < length) {
        length = static_cast<std::size_t>(cutColumn);
    }
    copy[length] = 0;
    return length;
}

void SetPosition(std::int32_t line, std::int32_t column, std::int32_t top, std::int32_t left) {
    PositionRecord position = {line, column, -1, top, left, -1};
    EditorCommand(kEditorSetPosition, &position);
}

} // namespace

void HarvestCandidates(const char* prefix, std::int32_t cursorLine, std::int32_t cursorColumn) {
    CandidateList = nullptr;
    const std::int64_t first = cursorLine > kScanLinesAbove ? cursorLine - kScanLinesAbove : 0;
    EditorStateRecord state = {};
    EditorCommand(kEditorGetState, &state);
    const std::int32_t savedTop = state.windowTopLine;
    const std::int32_t savedLeft = state.windowLeftColumn;

    char copy[kLineCopySize + 1];
    for (std::int64_t number = first; number <= cursorLine; ++number) {
        SetPosition(static_cast<std::int32_t>(number), -1, -1, -1);
        const bool ownLine = number == cursorLine && cursorColumn < kLineCopySize;
        const std::size_t length = FetchLine(copy, ownLine ? cursorColumn : -1);
        ConversionRecord conversion = {copy, static_cast<std::int32_t>(length)};
        EditorCommand(kEditorConvertText, &conversion);
        HarvestLine(copy, prefix);
    }
    SetPosition(cursorLine, cursorColumn, savedTop, savedLeft);
}
