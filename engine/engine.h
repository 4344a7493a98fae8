// The completion engine: request, word rules, harvest, menu and insertion.
#pragma once

#include "engine/word_rules.h" // IsWordChar, ExtractPrefix, PrefixLength, kPrefixSize

#include <cstddef>
#include <cstdint>

// ---- Fixed bounds ----

inline constexpr int kLineCopySize = 1024; // bytes of a line that take part in a request
inline constexpr int kMaxWordLength = 63;  // characters of a candidate word; longer ones are cut
// Characters of a short word: it fits 32 bytes with its terminator, as the searches carry
// most words; a longer one takes a path of its own and a node with room for 64.
inline constexpr int kMaxShortWordLength = 31;
inline constexpr int kScanLinesAbove = 2000; // lines above the cursor's line that are scanned
// Lines above the cursor's line read in all under AllAbove, the window's among them.
inline constexpr int kScanLinesAboveAll = 100000;
inline constexpr int kMaxMenuItems = 150;
inline constexpr int kMaxVisibleRows = 22;
inline constexpr int kHotKeyItems = 15; // items 1 to f carry a hot key
inline constexpr int kBottomTextSize = 64;

// ---- Process-wide state ----

// The options; any non-zero value counts as on.
struct CompletionSettings {
    std::uint32_t space;
    std::uint32_t menu1;
    std::uint32_t sound;
    std::uint32_t numbers;
    std::uint32_t ignoreCase;   // words match whatever their case; the rest takes the typed case
    std::uint32_t nearestFirst; // words nearest the cursor come first
    std::uint32_t allAbove;     // a list the window leaves short is filled from further up
};
extern CompletionSettings gSettings;

// One harvested word: 2 to 63 characters, zero-terminated and zero-padded. The node of a
// short word (up to 31 characters) is allocated with only the first 32 bytes of word, so
// word is read up to its terminator and no further.
struct CandidateNode {
    CandidateNode* nextNode;
    char word[kMaxWordLength + 1];
};

// Distinct candidate words in order of discovery; null between requests.
extern CandidateNode* CandidateList;

// Cursor position inside the editor window, stored by every request for menu placement.
extern std::int32_t gCursorColumnOffset;
extern std::int32_t gCursorRowOffset;

// Non-zero exactly while the plug-in has the host insert text and redraw.
extern std::int32_t gReentryGuard;

// ---- Completion ----

// Runs one qualified request: harvest, then menu and insertion. lineText is the
// converted copy of the cursor's line; cursorColumn is 1 to kLineCopySize, as the request
// checked.
void CompleteWord(const char* lineText, std::int32_t cursorLine, std::int32_t cursorColumn);

// First stage: fills CandidateList from the scan window (under AllAbove, while the list has
// room, from the lines above it too) and restores cursor and window; cursorColumn as for
// CompleteWord. The line search itself is in line_search.h.
void HarvestCandidates(const char* prefix, std::int32_t cursorLine, std::int32_t cursorColumn);

// Appends to CandidateList every word of a zero-terminated line (its first kLineCopySize
// bytes, as the harvest copies a line) that starts with prefix at a word start, is longer
// than it and is not listed yet, in the order the settings ask for. Words that could never
// be shown (past the menu's item limit) are not kept. A failed allocation costs the word and
// two beeps.
void HarvestLine(const char* lineText, const char* prefix);

// Second stage: beep, or menu (or single candidate), insertion, redraw, release.
void OfferCandidates(const char* prefix);

// Releases every node from CandidateList on; leaves the head itself alone.
void FreeCandidates();

// Formats a printf-style text with one integer into out (size bytes, always terminated),
// as printf would with count converted to the conversion's type, cut to size - 1 bytes.
// Honours the first %d, %i, %o, %u, %x or %X with any flags, width, precision and length
// modifier (hh h l ll j z t L), and %%; any other % sequence (%s, %*d, a second conversion)
// is copied as text. A null format gives an empty text.
void FormatCount(char* out, std::size_t size, const char* format, std::int32_t count);
