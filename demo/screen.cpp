// The screen buffer: cells in code page 866, written to the console in one call.
#include "demo/demo.h"

#include <algorithm>
#include <windows.h>

Screen gScreen;

namespace {

// Code page 866 box-drawing characters of the double frame.
constexpr unsigned char kTopLeft = 0xC9, kTopRight = 0xBB, kBottomLeft = 0xC8, kBottomRight = 0xBC,
                        kHorizontal = 0xCD, kVertical = 0xBA;

constexpr std::uint16_t kColourBits = 0xFF; // an attribute's background and foreground nibbles

constexpr DWORD kBellFrequency = 800; // Hz
constexpr DWORD kBellMilliseconds = 80;

HANDLE Output() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

Cell* At(int x, int y) {
    if (x < 0 || y < 0 || x >= gScreen.width || y >= gScreen.height) return nullptr;
    return &gScreen.cells[static_cast<std::size_t>(y * gScreen.width + x)];
}

// The console window's size, or the scripted size without a console.
void WindowSize(int* width, int* height) {
    *width = kDumpWidth;
    *height = kDumpHeight;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!gScreen.console || !GetConsoleScreenBufferInfo(Output(), &info)) return;
    *width = std::max(info.srWindow.Right - info.srWindow.Left + 1, 20);
    *height = std::max(info.srWindow.Bottom - info.srWindow.Top + 1, 8);
}

void Clear() {
    gScreen.cells.assign(static_cast<std::size_t>(gScreen.width * gScreen.height),
                         Cell{' ', kAttrText});
}

} // namespace

void ScreenOpen(bool console) {
    gScreen.console = console;
    WindowSize(&gScreen.width, &gScreen.height);
    Clear();
}

bool ScreenResize() {
    int width = 0, height = 0;
    WindowSize(&width, &height);
    if (width == gScreen.width && height == gScreen.height) return false;
    gScreen.width = width;
    gScreen.height = height;
    Clear();
    return true;
}

void ScreenClose() {
    if (!gScreen.console) return;
    for (Cell& cell : gScreen.cells)
        cell = Cell{' ', 0x07};
    gScreen.cursorX = gScreen.cursorY = 0;
    ScreenShow();
}

void ScreenFill(int x, int y, int width, int height, std::uint16_t attr) {
    const int right = std::min(x + width, gScreen.width);
    const int bottom = std::min(y + height, gScreen.height);
    for (int row = std::max(y, 0); row < bottom; ++row) {
        for (int column = std::max(x, 0); column < right; ++column)
            *At(column, row) = {' ', attr};
    }
}

void ScreenPut(int x, int y, const std::string& text, std::uint16_t attr) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Cell* cell = At(x + static_cast<int>(i), y)) {
            *cell = Cell{static_cast<unsigned char>(text[i]), attr};
        }
    }
}

int ScreenPutLabel(int x, int y, const std::string& label, std::uint16_t attr,
                   std::uint16_t hotAttr) {
    int width = 0;
    bool hotTaken = false;
    for (std::size_t i = 0; i < label.size(); ++i) {
        bool hot = false;
        if (label[i] == '&' && i + 1 < label.size()) {
            ++i;
            hot = label[i] != '&' && !hotTaken;
            hotTaken = hotTaken || hot;
        }
        if (Cell* cell = At(x + width, y)) {
            *cell = Cell{static_cast<unsigned char>(label[i]), hot ? hotAttr : attr};
        }
        ++width;
    }
    return width;
}

int LabelWidth(const std::string& label) {
    int width = 0;
    for (std::size_t i = 0; i < label.size(); ++i, ++width) {
        if (label[i] == '&' && i + 1 < label.size()) ++i;
    }
    return width;
}

unsigned char LabelHotKey(const std::string& label) {
    for (std::size_t i = 0; i + 1 < label.size(); ++i) {
        if (label[i] != '&') continue;
        if (label[i + 1] != '&') return static_cast<unsigned char>(label[i + 1]);
        ++i;
    }
    return 0;
}

void ScreenFrame(int x, int y, int width, int height, std::uint16_t attr, const std::string& title,
                 const std::string& bottom) {
    ScreenFill(x, y, width, height, attr);
    for (int column = std::max(x + 1, 0); column < std::min(x + width - 1, gScreen.width);
         ++column) {
        if (Cell* cell = At(column, y)) *cell = Cell{kHorizontal, attr};
        if (Cell* cell = At(column, y + height - 1)) *cell = Cell{kHorizontal, attr};
    }
    for (int row = std::max(y + 1, 0); row < std::min(y + height - 1, gScreen.height); ++row) {
        if (Cell* cell = At(x, row)) *cell = Cell{kVertical, attr};
        if (Cell* cell = At(x + width - 1, row)) *cell = Cell{kVertical, attr};
    }
    if (Cell* cell = At(x, y)) *cell = Cell{kTopLeft, attr};
    if (Cell* cell = At(x + width - 1, y)) *cell = Cell{kTopRight, attr};
    if (Cell* cell = At(x, y + height - 1)) *cell = Cell{kBottomLeft, attr};
    if (Cell* cell = At(x + width - 1, y + height - 1)) *cell = Cell{kBottomRight, attr};
    // Texts that do not fit between the corners are cut.
    const auto room = static_cast<std::size_t>(std::max(width - 4, 0));
    for (const auto& [text, row] : {std::pair{title, y}, std::pair{bottom, y + height - 1}}) {
        if (text.empty() || room == 0) continue;
        std::string shown(1, ' ');
        shown.append(text, 0, room);
        shown += ' ';
        ScreenPut(x + (width - static_cast<int>(shown.size())) / 2, row, shown, attr);
    }
}

void ScreenShow() {
    if (!gScreen.console) return;
    std::vector<CHAR_INFO> buffer(gScreen.cells.size());
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i].Char.AsciiChar = static_cast<CHAR>(gScreen.cells[i].ch);
        buffer[i].Attributes = gScreen.cells[i].attr;
    }
    const COORD size = {static_cast<SHORT>(gScreen.width), static_cast<SHORT>(gScreen.height)};
    SMALL_RECT region = {0, 0, static_cast<SHORT>(gScreen.width - 1),
                         static_cast<SHORT>(gScreen.height - 1)};
    WriteConsoleOutputA(Output(), buffer.data(), size, COORD{0, 0}, &region);
    const CONSOLE_CURSOR_INFO cursor = {25, gScreen.cursorVisible ? TRUE : FALSE};
    SetConsoleCursorInfo(Output(), &cursor);
    SetConsoleCursorPosition(
        Output(), COORD{static_cast<SHORT>(gScreen.cursorX), static_cast<SHORT>(gScreen.cursorY)});
}

void ScreenDump(std::FILE* out) {
    for (int row = 0; row < gScreen.height; ++row) {
        std::string text;
        for (int column = 0; column < gScreen.width; ++column) {
            text += static_cast<char>(At(column, row)->ch);
        }
        text.erase(text.find_last_not_of(' ') + 1);
        std::fprintf(out, "%s\n", text.c_str());
    }
}

void ScreenDumpAttributes(std::FILE* out) {
    for (int row = 0; row < gScreen.height; ++row) {
        for (int column = 0; column < gScreen.width; ++column) {
            std::fprintf(out, "%02X", At(column, row)->attr & kColourBits);
        }
        std::fprintf(out, "\n");
    }
}

// Beep rings the terminal's bell under Wine (a BEL written to the console is not passed
// on); on Windows it sounds a short tone.
void ScreenBell() {
    if (!gScreen.console) return;
    Beep(kBellFrequency, kBellMilliseconds);
}
