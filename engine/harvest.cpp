// The candidate harvest: the scan window, each line fetched, converted and searched.
#include "engine/engine.h"
#include "engine/line_search.h"
#include "host/host.h"

#include <cstring>

namespace {

// Fetches at most limit (1 to kLineCopySize) bytes of the cursor's line into copy, which
// has room for them and a terminator; returns the length. A null text counts as empty.
std::size_t FetchLine(char* copy, std::size_t limit) {
    LineRecord line = {};
    line.lineNumber = -1;
    EditorCommand(kEditorGetLine, &line);
    const char* text = line.lineText == nullptr ? "" : line.lineText;
    const std::size_t length = strnlen(text, limit);
    std::memcpy(copy, text, length);
    copy[length] = 0;
    return length;
}

void SetPosition(std::int32_t line, std::int32_t column, std::int32_t top, std::int32_t left) {
    PositionRecord position = {line, column, -1, top, left, -1};
    EditorCommand(kEditorSetPosition, &position);
}

// Fetches line number (the request's own cut at the cursor), has the host convert it, and
// searches it; copy has room for a whole line copy, its terminator and the padding. Inlined
// in the harvest's loops: it runs for every line.
__attribute__((always_inline)) inline void VisitLine(const LineSearch& search, char* copy,
                                                     std::int64_t number, std::int32_t cursorLine,
                                                     std::int32_t cursorColumn) {
    SetPosition(static_cast<std::int32_t>(number), -1, -1, -1);
    // The request's own line ends at the cursor (a column of 1 to 1024).
    const std::size_t length = FetchLine(
        copy, number == cursorLine ? static_cast<std::size_t>(cursorColumn) : kLineCopySize);
    ConversionRecord conversion = {copy, static_cast<std::int32_t>(length)};
    EditorCommand(kEditorConvertText, &conversion);
    SearchLine(search, reinterpret_cast<const unsigned char*>(copy), length);
}

// Visits the lines from `from` up to `to` (none when to > from), nearest first, while the
// list has room; a full list needs no more lines fetched.
void VisitUpward(const LineSearch& search, char* copy, std::int64_t from, std::int64_t to,
                 std::int32_t cursorLine, std::int32_t cursorColumn) {
    for (std::int64_t number = from; number >= to && !CandidateListFull(); --number)
        VisitLine(search, copy, number, cursorLine, cursorColumn);
}

// The first line of a reach of `above` lines above the cursor's line; line 0 at the most.
std::int64_t TopLine(std::int32_t cursorLine, std::int32_t above) {
    return cursorLine > above ? cursorLine - above : 0;
}

} // namespace

// Visits the cursor's line and up to 2000 lines above it, moving the host's cursor to each:
// top down, or under NearestFirst from the cursor's line up until the list is full. Under
// AllAbove a list still short goes on upward from the line above the window until it is
// full, line 0 is read or 100,000 lines above the cursor's line are. Then puts cursor and
// window back as they were.
void HarvestCandidates(const char* prefix, std::int32_t cursorLine, std::int32_t cursorColumn) {
    LineSearch search;
    PrepareLineSearch(search, prefix);
    const std::int64_t first = TopLine(cursorLine, kScanLinesAbove);
    const std::int64_t furthest =
        gSettings.allAbove != 0 ? TopLine(cursorLine, kScanLinesAboveAll) : first;
    EditorStateRecord state = {};
    EditorCommand(kEditorGetState, &state);
    const std::int32_t savedTop = state.windowTopLine;
    const std::int32_t savedLeft = state.windowLeftColumn;

    // The line, its terminator and the room that lets the search read ahead.
    alignas(16) char copy[kLineCopySize + 1 + kLinePadding];
    if (search.nearestFirst) {
        VisitUpward(search, copy, cursorLine, furthest, cursorLine, cursorColumn);
    } else {
        for (std::int64_t number = first; number <= cursorLine; ++number)
            VisitLine(search, copy, number, cursorLine, cursorColumn);
        VisitUpward(search, copy, first - 1, furthest, cursorLine, cursorColumn);
    }
    SetPosition(cursorLine, cursorColumn, savedTop, savedLeft);
}
