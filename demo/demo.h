// The demo host's parts: screen buffer, key source, editor, menu and dialog.
//
// The demo is a console editor over the test host's editor model. The plug-in sees the
// test host's services; the menu and the dialog are made interactive through the test
// host's answer hooks. Everything runs on one thread; the globals below are the demo's
// only state besides the TestHost and the Document in main().
#pragma once

#include "testhost/testhost.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// ---- Screen buffer (screen.cpp) ----

inline constexpr int kDumpWidth = 80; // size of the screen in scripted mode
inline constexpr int kDumpHeight = 25;

// Console attributes: background in the high nibble, foreground in the low one.
inline constexpr std::uint16_t kAttrText = 0x1F;       // editor text
inline constexpr std::uint16_t kAttrBar = 0x30;        // title and status lines, key captions
inline constexpr std::uint16_t kAttrKeyNumber = 0x07;  // key numbers of the key bar
inline constexpr std::uint16_t kAttrMenu = 0x30;       // menu frame and items
inline constexpr std::uint16_t kAttrMenuHot = 0x3E;    // hot key of an item
inline constexpr std::uint16_t kAttrMenuChosen = 0x0F; // the selected item
inline constexpr std::uint16_t kAttrMenuChosenHot = 0x0E;
inline constexpr std::uint16_t kAttrDialog = 0x70; // dialog frame and items
inline constexpr std::uint16_t kAttrDialogHot = 0x74;
inline constexpr std::uint16_t kAttrDialogFocus = 0x30; // the focused item
inline constexpr std::uint16_t kAttrDialogFocusHot = 0x34;

struct Cell {
    unsigned char ch; // code page 866
    std::uint16_t attr;
};

struct Screen {
    int width = kDumpWidth;
    int height = kDumpHeight;
    std::vector<Cell> cells;
    int cursorX = 0;
    int cursorY = 0;
    bool cursorVisible = true;
    bool console = false; // false: nothing is written to a console (scripted mode)
};
extern Screen gScreen;

// Takes the console's window size (or 80 by 25 without a console) and clears the buffer.
void ScreenOpen(bool console);
// Re-reads the console's window size; true when it changed (the buffer is then cleared).
bool ScreenResize();
// Clears the console on leaving, so that the shell prompt starts on an empty screen.
void ScreenClose();
void ScreenFill(int x, int y, int width, int height, std::uint16_t attr);
// Writes text from (x, y), clipped at the screen's edges.
void ScreenPut(int x, int y, const std::string& text, std::uint16_t attr);
// Writes a label in which '&' marks the next character as hot key (drawn in hotAttr);
// "&&" stands for '&'. Returns the number of cells the label took.
int ScreenPutLabel(int x, int y, const std::string& label, std::uint16_t attr,
                   std::uint16_t hotAttr);
// Width of a label on screen, and its hot key (0 when it has none).
int LabelWidth(const std::string& label);
unsigned char LabelHotKey(const std::string& label);
// A double frame with its title centred in the top edge and bottom text in the bottom edge.
void ScreenFrame(int x, int y, int width, int height, std::uint16_t attr, const std::string& title,
                 const std::string& bottom);
// Writes the buffer to the console with WriteConsoleOutput and places the cursor.
void ScreenShow();
// Prints the buffer as text rows, trailing blanks cut.
void ScreenDump(std::FILE* out);
// Prints each cell's colours (background and foreground nibble) as two hex digits, a row
// of the buffer a line.
void ScreenDumpAttributes(std::FILE* out);
// Rings the console's bell.
void ScreenBell();

// ---- Key source (keys.cpp) ----

// Parses a key script: text, and key names in angle brackets (see DemoUsage).
bool ParseKeyScript(const std::string& script, std::vector<InputRecord>* events,
                    std::string* error);
// Events that NextInput hands out before it reads the console.
void QueueInput(const std::vector<InputRecord>& events);
// The next input event: queued ones first, then the console's. When the queue is empty
// and there is no console, calls OnScriptEnd (which does not return).
InputRecord NextInput();
// Turns the NUL key that terminals send for Ctrl+Space (the console reports Ctrl+2 or
// Ctrl+@) into the Ctrl+Space event: virtual key 0x20 with the Ctrl bit.
void NormaliseCtrlSpace(InputRecord* record);
// Called by NextInput when a script is used up in scripted mode; defined in main.cpp.
[[noreturn]] void OnScriptEnd();

// Key-event helpers; all are false or 0 for other events.
bool IsKeyDown(const InputRecord& record);
std::uint16_t KeyCode(const InputRecord& record);
unsigned char KeyChar(const InputRecord& record); // code page 866
bool KeyShift(const InputRecord& record);
bool KeyCtrl(const InputRecord& record);
bool KeyAlt(const InputRecord& record);
// Lower-cases Latin letters and the code page 866 Cyrillic ones, for hot keys.
unsigned char FoldCase(unsigned char c);

// Virtual key codes the demo reacts to.
inline constexpr std::uint16_t kVkBack = 0x08, kVkTab = 0x09, kVkReturn = 0x0D, kVkEscape = 0x1B,
                               kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24,
                               kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28,
                               kVkDelete = 0x2E, kVkF1 = 0x70, kVkF2 = 0x71, kVkF10 = 0x79,
                               kVkF11 = 0x7A;

// ---- Menu and dialog (menu.cpp, dialog.cpp) ----

// Shows the menu framed at its column and row (kept on screen) and lets the user choose:
// returns the item's index, or -1 for Esc. Restores the screen below it.
std::int32_t RunMenu(const MenuShown& menu);
// Runs a dialog of the given items; x1 or y1 of -1 centres it, with x2 and y2 then its
// width and height. Returns the index of the closing button, or -1 for Esc.
std::int32_t RunDialogBox(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                          DialogItemRecord* items, std::int32_t count);
// Asks whether to save the changes before leaving: 0 save, 1 discard, -1 stay.
std::int32_t AskSaveChanges(const std::string& fileName);
// Shows a framed text until a key is pressed.
void ShowTextBox(const std::string& title, const std::vector<std::string>& lines);

// ---- Editor (editor.cpp) ----

struct Document {
    std::string path;
    bool crlf = false;  // lines end in CR LF (else LF)
    bool dirty = false; // changed since loaded or saved
    std::string note;   // shown in the status line until the next key
};

// Reads the file into the model; a missing file gives an empty document of that name.
bool LoadDocument(const std::string& path, TestHost* host, Document* doc, std::string* error);
bool SaveDocument(const TestHost& host, Document* doc);
// Draws title, text, status line and key bar, and places the cursor.
void DrawEditor(TestHost* host, const Document& doc);

enum class EditorAction { None, Save, Leave, PluginsMenu, Help };
// Acts on a key the plug-in left to the editor.
EditorAction EditorKey(const InputRecord& record, TestHost* host, Document* doc);

// The command line's help text.
const char* DemoUsage();
