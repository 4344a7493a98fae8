// The completion request: the key filter, the cursor's line, and the completion driver.
#include "engine/engine.h"
#include "host/host.h"

#include <cstring>

CompletionSettings gSettings = {0, 0, 1, 0, 0, 0, 0};
std::int32_t gCursorColumnOffset = 0;
std::int32_t gCursorRowOffset = 0;
std::int32_t gReentryGuard = 0;

namespace {

// 1 for a key-down Space with either Ctrl key held; Shift, Alt and lock keys don't matter.
int IsCompletionKey(const InputRecord* record) {
    if (record->EventType != kKeyEvent) return 0;
    const KeyEventRecord& key = record->Event.KeyEvent;
    if (key.bKeyDown == 0) return 0;
    if (key.wVirtualKeyCode != kVkSpace) return 0;
    return (key.dwControlKeyState & (kLeftCtrlPressed | kRightCtrlPressed)) != 0;
}

// Copies at most kLineCopySize bytes of the host's line and zero-fills the rest of the
// copy, which has one byte more for the terminator. A null text counts as empty.
std::size_t CopyLine(const char* text, char* copy) {
    std::size_t length = text == nullptr ? 0 : strnlen(text, kLineCopySize);
    std::memcpy(copy, text == nullptr ? "" : text, length);
    std::memset(copy + length, 0, kLineCopySize + 1 - length);
    return length;
}

} // namespace

// Returns 1 when the event was a completion request (whatever its outcome), else 0.
extern "C" std::int32_t HOSTENTRY ProcessEditorInput(const InputRecord* record) {
    if (gReentryGuard != 0) return 0;
    if (record == nullptr || gStartup.editorCommand == nullptr) return 0;
    if (!IsCompletionKey(record)) return 0;
    UseWordRules(gSettings.numbers != 0);

    EditorStateRecord state = {};
    EditorCommand(kEditorGetState, &state);
    // 32-bit arithmetic that wraps, as the host's does, for whatever the host reports.
    gCursorColumnOffset =
        static_cast<std::int32_t>(std::int64_t{state.cursorColumn} - state.windowLeftColumn);
    gCursorRowOffset =
        static_cast<std::int32_t>(std::int64_t{state.cursorLine} - state.windowTopLine - 2);
    // A column outside 1..1024 has no word character left of it inside the copy.
    if (state.cursorColumn <= 0 || state.cursorColumn > kLineCopySize) return 0;

    LineRecord line = {};
    line.lineNumber = -1;
    EditorCommand(kEditorGetLine, &line);
    char copy[kLineCopySize + 1];
    ConversionRecord conversion = {copy, static_cast<std::int32_t>(CopyLine(line.lineText, copy))};
    EditorCommand(kEditorConvertText, &conversion);

    if (!IsWordChar(static_cast<unsigned char>(copy[state.cursorColumn - 1]))) return 0;
    CompleteWord(copy, state.cursorLine, state.cursorColumn);
    return 1;
}

void CompleteWord(const char* lineText, std::int32_t cursorLine, std::int32_t cursorColumn) {
    char prefix[kPrefixSize] = {};
    ExtractPrefix(lineText, cursorColumn, prefix, sizeof prefix);
    HarvestCandidates(prefix, cursorLine, cursorColumn);
    OfferCandidates(prefix);
}
