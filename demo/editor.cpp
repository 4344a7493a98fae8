// The editor: file in and out, drawing the window, and the editing keys.
#include "demo/demo.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr int kTabWidth = 4;
constexpr int kChromeRows = 3; // title line, status line and key bar

int TextRows() {
    return std::max(gScreen.height - kChromeRows, 1);
}

std::string& CursorLine(TestHost* host) {
    host->cursorLine = std::clamp(host->cursorLine, 0, static_cast<int>(host->lines.size()) - 1);
    return host->lines[static_cast<std::size_t>(host->cursorLine)];
}

// Keeps the cursor column inside its line before an edit or a move.
int ClampedColumn(TestHost* host) {
    const auto length = static_cast<int>(CursorLine(host).size());
    host->cursorColumn = std::clamp(host->cursorColumn, 0, length);
    return host->cursorColumn;
}

// A byte of the file as the screen shows it (code page 866).
unsigned char Shown(unsigned char byte, CharTable table) {
    if (byte == '\t') return ' ';
    if (byte < 0x20) return '.';
    return table == CharTable::Win1251 ? Win1251ToOem(byte) : byte;
}

// Scrolls the window so that the cursor is inside it.
void FollowCursor(TestHost* host) {
    const int rows = TextRows();
    host->windowTopLine =
        std::clamp(host->windowTopLine, host->cursorLine - rows + 1, host->cursorLine);
    host->windowLeftColumn = std::clamp(host->windowLeftColumn,
                                        host->cursorColumn - gScreen.width + 1, host->cursorColumn);
    host->windowTopLine = std::max(host->windowTopLine, 0);
    host->windowLeftColumn = std::max(host->windowLeftColumn, 0);
}

void DrawText(const TestHost& host) {
    for (int row = 0; row < TextRows(); ++row) {
        const auto index = static_cast<std::size_t>(host.windowTopLine + row);
        ScreenFill(0, 1 + row, gScreen.width, 1, kAttrText);
        if (index >= host.lines.size()) continue;
        const std::string& line = host.lines[index];
        std::string shown;
        for (std::size_t i = static_cast<std::size_t>(host.windowLeftColumn);
             i < line.size() && shown.size() < static_cast<std::size_t>(gScreen.width); ++i) {
            shown += static_cast<char>(Shown(static_cast<unsigned char>(line[i]), host.table));
        }
        ScreenPut(0, 1 + row, shown, kAttrText);
    }
}

void DrawStatus(const TestHost& host, const Document& doc) {
    const int row = gScreen.height - 2;
    char status[128];
    std::snprintf(status, sizeof status, " Line %d/%d  Col %d  %s", host.cursorLine + 1,
                  static_cast<int>(host.lines.size()), host.cursorColumn + 1,
                  host.table == CharTable::Win1251 ? "Windows-1251" : "OEM 866");
    ScreenFill(0, row, gScreen.width, 1, kAttrBar);
    ScreenPut(0, row, status, kAttrBar);
    if (!doc.note.empty()) {
        ScreenPut(std::max(gScreen.width - static_cast<int>(doc.note.size()) - 1, 40), row,
                  doc.note, kAttrBar);
    }
}

void DrawKeyBar() {
    static const char* const kKeys[][2] = {
        {"1", "Help"}, {"2", "Save"}, {"10", "Quit"}, {"11", "Plug-ins"}, {"", "Ctrl+Space"}};
    const int row = gScreen.height - 1;
    ScreenFill(0, row, gScreen.width, 1, kAttrKeyNumber);
    int x = 0;
    for (const auto& key : kKeys) {
        ScreenPut(x, row, key[0], kAttrKeyNumber);
        x += static_cast<int>(std::string(key[0]).size());
        const std::string caption = std::string(key[1]) + (key[0][0] == 0 ? " complete" : "");
        ScreenPut(x, row, caption, kAttrBar);
        x += static_cast<int>(caption.size()) + 1;
    }
}

// ---- Editing ----

void InsertByte(TestHost* host, Document* doc, unsigned char consoleByte) {
    const int column = ClampedColumn(host);
    const unsigned char byte =
        host->table == CharTable::Win1251 ? OemToWin1251(consoleByte) : consoleByte;
    CursorLine(host).insert(static_cast<std::size_t>(column), 1, static_cast<char>(byte));
    ++host->cursorColumn;
    doc->dirty = true;
}

void SplitLine(TestHost* host, Document* doc) {
    const auto column = static_cast<std::size_t>(ClampedColumn(host));
    std::string rest = CursorLine(host).substr(column);
    CursorLine(host).erase(column);
    host->lines.insert(host->lines.begin() + host->cursorLine + 1, rest);
    ++host->cursorLine;
    host->cursorColumn = 0;
    doc->dirty = true;
}

// Joins the line after the cursor's line onto it.
void JoinNext(TestHost* host, Document* doc) {
    const auto next = static_cast<std::size_t>(host->cursorLine + 1);
    if (next >= host->lines.size()) return;
    CursorLine(host) += host->lines[next];
    host->lines.erase(host->lines.begin() + static_cast<std::ptrdiff_t>(next));
    doc->dirty = true;
}

void Backspace(TestHost* host, Document* doc) {
    const int column = ClampedColumn(host);
    if (column > 0) {
        CursorLine(host).erase(static_cast<std::size_t>(column - 1), 1);
        --host->cursorColumn;
        doc->dirty = true;
    } else if (host->cursorLine > 0) {
        --host->cursorLine;
        host->cursorColumn = static_cast<int>(CursorLine(host).size());
        JoinNext(host, doc);
    }
}

void Delete(TestHost* host, Document* doc) {
    const int column = ClampedColumn(host);
    if (column < static_cast<int>(CursorLine(host).size())) {
        CursorLine(host).erase(static_cast<std::size_t>(column), 1);
        doc->dirty = true;
    } else {
        JoinNext(host, doc);
    }
}

// Moves to line (clamped), keeping the column inside the line.
void GoToLine(TestHost* host, int line) {
    host->cursorLine = std::clamp(line, 0, static_cast<int>(host->lines.size()) - 1);
    ClampedColumn(host);
}

void MoveHorizontally(TestHost* host, int step) {
    const int column = ClampedColumn(host) + step;
    const auto length = static_cast<int>(CursorLine(host).size());
    const int last = static_cast<int>(host->lines.size()) - 1;
    if (column < 0 && host->cursorLine > 0) {
        GoToLine(host, host->cursorLine - 1);
        host->cursorColumn = static_cast<int>(CursorLine(host).size());
    } else if (column > length && host->cursorLine < last) {
        GoToLine(host, host->cursorLine + 1);
        host->cursorColumn = 0;
    } else {
        host->cursorColumn = std::clamp(column, 0, length);
    }
}

// Cursor keys; false when the key is not one.
bool MoveKey(std::uint16_t key, bool ctrl, TestHost* host) {
    switch (key) {
    case kVkLeft:
        MoveHorizontally(host, -1);
        break;
    case kVkRight:
        MoveHorizontally(host, 1);
        break;
    case kVkUp:
        GoToLine(host, host->cursorLine - 1);
        break;
    case kVkDown:
        GoToLine(host, host->cursorLine + 1);
        break;
    case kVkPrior:
        GoToLine(host, host->cursorLine - TextRows());
        break;
    case kVkNext:
        GoToLine(host, host->cursorLine + TextRows());
        break;
    case kVkHome:
        if (ctrl) GoToLine(host, 0);
        host->cursorColumn = 0;
        break;
    case kVkEnd:
        if (ctrl) GoToLine(host, static_cast<int>(host->lines.size()) - 1);
        host->cursorColumn = static_cast<int>(CursorLine(host).size());
        break;
    default:
        return false;
    }
    return true;
}

// Editing keys; false when the key is not one.
bool EditKey(const InputRecord& record, TestHost* host, Document* doc) {
    switch (KeyCode(record)) {
    case kVkReturn:
        SplitLine(host, doc);
        return true;
    case kVkBack:
        Backspace(host, doc);
        return true;
    case kVkDelete:
        Delete(host, doc);
        return true;
    case kVkTab:
        do
            InsertByte(host, doc, ' ');
        while (host->cursorColumn % kTabWidth != 0);
        return true;
    default:
        break;
    }
    const unsigned char c = KeyChar(record);
    if (c < 0x20 || c == 0x7F || KeyCtrl(record) || KeyAlt(record)) return false;
    InsertByte(host, doc, c);
    return true;
}

} // namespace

bool LoadDocument(const std::string& path, TestHost* host, Document* doc, std::string* error) {
    doc->path = path;
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        host->SetText({""}, 0, 0);
        doc->note = "New file";
        return true;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    std::stringstream content;
    content << file.rdbuf();
    std::string text = content.str();
    doc->crlf = text.find("\r\n") != std::string::npos;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    if (!text.empty() && text.back() == '\n') lines.push_back("");
    host->SetText(lines, 0, 0);
    return true;
}

bool SaveDocument(const TestHost& host, Document* doc) {
    std::ofstream file(doc->path, std::ios::binary | std::ios::trunc);
    for (std::size_t i = 0; i < host.lines.size() && file; ++i) {
        file << host.lines[i];
        if (i + 1 < host.lines.size()) file << (doc->crlf ? "\r\n" : "\n");
    }
    file.close();
    if (!file) {
        doc->note = "Cannot save " + doc->path;
        return false;
    }
    doc->dirty = false;
    doc->note = "Saved";
    return true;
}

void DrawEditor(TestHost* host, const Document& doc) {
    ScreenResize();
    ClampedColumn(host);
    FollowCursor(host);
    ScreenFill(0, 0, gScreen.width, 1, kAttrBar);
    const std::string name = doc.path.substr(doc.path.find_last_of("\\/") + 1);
    ScreenPut(1, 0, "Lexamund demo  " + name + (doc.dirty ? "  *" : ""), kAttrBar);
    DrawText(*host);
    DrawStatus(*host, doc);
    DrawKeyBar();
    gScreen.cursorVisible = true;
    gScreen.cursorX = host->cursorColumn - host->windowLeftColumn;
    gScreen.cursorY = host->cursorLine - host->windowTopLine + 1;
}

EditorAction EditorKey(const InputRecord& record, TestHost* host, Document* doc) {
    if (!IsKeyDown(record)) return EditorAction::None;
    switch (KeyCode(record)) {
    case kVkF1:
        return EditorAction::Help;
    case kVkF2:
        return EditorAction::Save;
    case kVkF10:
    case kVkEscape:
        return EditorAction::Leave;
    case kVkF11:
        return EditorAction::PluginsMenu;
    default:
        break;
    }
    if (!MoveKey(KeyCode(record), KeyCtrl(record), host)) EditKey(record, host, doc);
    return EditorAction::None;
}
