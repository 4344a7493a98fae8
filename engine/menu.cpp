// The candidate menu: labels, placement, the choice, the insertion and the release.
#include "engine/engine.h"
#include "host/host.h"
#include "platform/platform.h"

#include <cstdio>
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
    const std::size_t wordLength = strnlen(word, kMaxWordLength);
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

// Beside the cursor when it fits an 80 by 24 screen, else left of it or pulled up.
MenuPlace PlaceMenu(std::size_t widest, int count) {
    const std::int64_t columnOffset = gCursorColumnOffset;
    const std::int64_t rowOffset = gCursorRowOffset;
    const auto wide = static_cast<std::int64_t>(widest);
    const std::int64_t rows = count < kMaxVisibleRows ? count : kMaxVisibleRows;
    MenuPlace place = {Wrap(columnOffset + 2), Wrap(rowOffset + 2)};
    if (Wrap(columnOffset + wide + 6) > kScreenColumns) place.x = Wrap(columnOffset - wide - 8);
    if (Wrap(rowOffset + rows + 4) > kScreenRows) place.y = Wrap(kMaxVisibleRows - rows);
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

// ---- Bottom text ----

namespace {

// Appends c to out unless only the terminator's room is left.
void Put(char* out, std::size_t size, std::size_t& used, char c) {
    if (used + 1 < size) out[used++] = c;
}

// One integer conversion as written: flags, width, conversion character.
struct Conversion {
    bool flags[5]; // in the order of kFlagChars
    int width;
    char type;       // 0 when the text ended
    const char* end; // the conversion character
};
constexpr const char* kFlagChars = "-+ #0";

// Reads the flags and width after a '%'. The width is capped: nothing wider fits anyway.
Conversion ReadConversion(const char* p) {
    Conversion conversion = {};
    for (const char* f; *p != 0 && (f = std::strchr(kFlagChars, *p)) != nullptr; ++p) {
        conversion.flags[f - kFlagChars] = true;
    }
    for (; *p >= '0' && *p <= '9'; ++p) {
        conversion.width = conversion.width * 10 + (*p - '0');
        if (conversion.width > kBottomTextSize) conversion.width = kBottomTextSize;
    }
    conversion.type = *p;
    conversion.end = p;
    return conversion;
}

// Renders count as the conversion asks, through a printf format built here, with '#'
// kept for %x only (where it is defined).
void RenderCount(const Conversion& conversion, std::int32_t count, char* number, std::size_t size) {
    char spec[16];
    std::size_t used = 0;
    spec[used++] = '%';
    for (int i = 0; i < 5; ++i) {
        if (conversion.flags[i] && (kFlagChars[i] != '#' || conversion.type == 'x')) {
            spec[used++] = kFlagChars[i];
        }
    }
    if (conversion.width > 0) {
        used += static_cast<std::size_t>(std::snprintf(spec + used, 4, "%d", conversion.width));
    }
    spec[used++] = conversion.type;
    spec[used] = 0;
    if (conversion.type == 'd' || conversion.type == 'i') {
        std::snprintf(number, size, spec, static_cast<int>(count));
    } else {
        std::snprintf(number, size, spec, static_cast<unsigned>(count));
    }
}

} // namespace

void FormatCount(char* out, std::size_t size, const char* format, std::int32_t count) {
    if (size == 0) return;
    std::size_t used = 0;
    bool converted = false;
    for (const char* p = format == nullptr ? "" : format; *p != 0;) {
        if (p[0] == '%' && p[1] == '%') {
            Put(out, size, used, '%');
            p += 2;
            continue;
        }
        if (p[0] != '%' || converted) {
            Put(out, size, used, *p++);
            continue;
        }
        const Conversion conversion = ReadConversion(p + 1);
        if (conversion.type == 0 || std::strchr("diux", conversion.type) == nullptr) {
            Put(out, size, used, *p++);
            continue;
        }
        char number[2 * kBottomTextSize];
        RenderCount(conversion, count, number, sizeof number);
        for (const char* n = number; *n != 0; ++n)
            Put(out, size, used, *n);
        converted = true;
        p = conversion.end + 1;
    }
    out[used] = 0;
}
