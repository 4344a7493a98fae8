// The candidate menu: labels, placement, the choice, the insertion and the release.
#include "engine/engine.h"
#include "host/host.h"
#include "platform/platform.h"

#include <cstring>

namespace {

constexpr std::int32_t kScreenColumns = 80;
constexpr std::int32_t kScreenRows = 24;
constexpr std::int32_t kMenuFlags = 2;

// Signed 32-bit arithmetic that wraps instead of overflowing, as the host's would.
std::int32_t Wrap(std::int64_t value) {
    return static_cast<std::int32_t>(value);
}

// Bytes before the word in the label of item k: "&1 " for hot-key items, else "  ".
std::size_t LeadIn(int k) {
    return k < kHotKeyItems ? 3 : 2;
}

// Writes the label of item k for word into item; returns its length.
std::size_t BuildLabel(MenuItemRecord& item, int k, const char* word) {
    char* text = item.itemText;
    std::size_t length = 0;
    if (k < kHotKeyItems) {
        text[length++] = '&';
        text[length++] = "0123456789abcdef"[k + 1];
        text[length++] = ' ';
    } else {
        text[length++] = ' ';
        text[length++] = ' ';
    }
    const std::size_t wordLength = strnlen(word, kMaxWordLength + 1);
    std::memcpy(text + length, word, wordLength);
    length += wordLength;
    if (gSettings.space != 0) text[length++] = ' ';
    text[length] = 0;
    item.state[0] = item.state[1] = item.state[2] = 0;
    return length;
}

struct MenuPlace {
    std::int32_t x;
    std::int32_t y;
};

// The widest label a word of up to 31 characters makes ('&', digit, blank, the word and
// Space's blank): a menu that wide is placed as computed, even left of the screen.
constexpr std::size_t kShortWordLabel = 3 + kMaxShortWordLength + 1;

// Beside the cursor when it fits an 80 by 24 screen, else left of it or pulled up. A menu
// wider than any short word's makes starts no further left than the screen's edge.
MenuPlace PlaceMenu(std::size_t widest, int count) {
    const std::int64_t columnOffset = gCursorColumnOffset;
    const std::int64_t rowOffset = gCursorRowOffset;
    const auto wide = static_cast<std::int64_t>(widest);
    const std::int64_t rows = count < kMaxVisibleRows ? count : kMaxVisibleRows;
    MenuPlace place = {Wrap(columnOffset + 2), Wrap(rowOffset + 2)};
    if (Wrap(columnOffset + wide + 6) > kScreenColumns) place.x = Wrap(columnOffset - wide - 8);
    if (Wrap(rowOffset + rows + 4) > kScreenRows) place.y = Wrap(kMaxVisibleRows - rows);
    if (widest > kShortWordLabel && place.x < 0) place.x = 0;
    return place;
}

// Shows the menu and returns the chosen index, or -1 for none (also for a result the
// host should not have given).
int ShowCandidateMenu(const MenuItemRecord* items, int count, MenuPlace place) {
    char bottom[kBottomTextSize];
    FormatCount(bottom, sizeof bottom, MessageText(kMsgMenuBottom), count);
    const char* title = MessageText(kMsgMenuTitle);
    if (gStartup.showMenu == nullptr) return -1;
    const std::int32_t choice =
        gStartup.showMenu(static_cast<std::int32_t>(gStartup.moduleNumber), place.x, place.y,
                          kMaxVisibleRows, kMenuFlags, title, bottom, 0, 0, 0, items, count);
    return choice >= 0 && choice < count ? choice : -1;
}

// Inserts the label's text after the lead-in and the prefix, then redraws; events the
// host hands over meanwhile are passed on.
void InsertRemainder(MenuItemRecord& item, int k, std::size_t prefixLength) {
    gReentryGuard = 1;
    EditorCommand(kEditorInsertText, item.itemText + LeadIn(k) + prefixLength);
    EditorCommand(kEditorRedraw, nullptr);
    gReentryGuard = 0;
}

} // namespace

void OfferCandidates(const char* prefix) {
    if (CandidateList == nullptr) {
        if (gSettings.sound != 0) gPlatform.messageBeep(kBeepAsterisk);
        return;
    }
    MenuItemRecord items[kMaxMenuItems];
    int count = 0;
    std::size_t widest = 0;
    for (const CandidateNode* node = CandidateList; node != nullptr && count < kMaxMenuItems;
         node = node->nextNode) {
        const std::size_t length = BuildLabel(items[count], count, node->word);
        if (length > widest) widest = length;
        ++count;
    }
    const MenuPlace place = PlaceMenu(widest, count);
    const int choice =
        count == 1 && gSettings.menu1 == 0 ? 0 : ShowCandidateMenu(items, count, place);
    if (choice >= 0) InsertRemainder(items[choice], choice, PrefixLength(prefix));
    FreeCandidates();
    CandidateList = nullptr;
}

void FreeCandidates() {
    CandidateNode* node = CandidateList;
    while (node != nullptr) {
        CandidateNode* next = node->nextNode;
        gPlatform.release(node);
        node = next;
    }
}
