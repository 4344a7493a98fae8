// The candidate harvest: the scan window, each line fetched, converted and searched.
#include "engine/engine.h"
#include "engine/line_search.h"
#include "host/host.h"

#include <cstring>

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

// Visits the cursor's line and up to 2000 lines above it, top down, moving the host's
// cursor to each; then puts cursor and window back as they were.
void HarvestCandidates(const char* prefix, std::int32_t cursorLine, std::int32_t cursorColumn) {
    CandidateList = nullptr;
    LineSearch search;
    PrepareLineSearch(search, prefix);
    const std::int64_t first = cursorLine > kScanLinesAbove ? cursorLine - kScanLinesAbove : 0;
    EditorStateRecord state = {};
    EditorCommand(kEditorGetState, &state);
    const std::int32_t savedTop = state.windowTopLine;
    const std::int32_t savedLeft = state.windowLeftColumn;

    // The line, its terminator and the zero padding that lets the search read ahead.
    alignas(16) char copy[kLineCopySize + 1 + kLinePadding];
    for (std::int64_t number = first; number <= cursorLine; ++number) {
        SetPosition(static_cast<std::int32_t>(number), -1, -1, -1);
        const bool ownLine = number == cursorLine && cursorColumn < kLineCopySize;
        const std::size_t length = FetchLine(copy, ownLine ? cursorColumn : -1);
        ConversionRecord conversion = {copy, static_cast<std::int32_t>(length)};
        EditorCommand(kEditorConvertText, &conversion);
        std::memset(copy + length, 0, kLinePadding);
        SearchLine(search, reinterpret_cast<const unsigned char*>(copy), length, true);
    }
    SetPosition(cursorLine, cursorColumn, savedTop, savedLeft);
}
