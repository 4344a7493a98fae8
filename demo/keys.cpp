// The key source: a key script first, then the console's input events.
#include "demo/demo.h"

#include <cctype>
#include <cstring>
#include <deque>
#include <windows.h>

static_assert(sizeof(INPUT_RECORD) == sizeof(InputRecord));

namespace {

std::deque<InputRecord> gQueue;

constexpr std::uint16_t kVkTwo = 0x32;          // '2': Ctrl+2 gives NUL
constexpr std::uint16_t kVkOem3 = 0xC0;         // '@' on some layouts: Ctrl+@ gives NUL
constexpr std::uint32_t kShiftPressed = 0x0010; // SHIFT_PRESSED
constexpr std::uint32_t kAltPressed = 0x0003;   // either Alt key

struct NamedKey {
    const char* name;
    std::uint16_t virtualKey;
    std::uint32_t controlState;
    char character;
};

// Names a key script may use, as <name>; compared without regard to case.
constexpr NamedKey kNamedKeys[] = {
    {"C-Space", kConsoleVkSpace, kConsoleLeftCtrl, ' '},
    {"NUL", kVkTwo, kConsoleLeftCtrl | kShiftPressed, 0}, // what a terminal's Ctrl+Space gives
    {"Space", kConsoleVkSpace, 0, ' '},
    {"Enter", kVkReturn, 0, '\r'},
    {"Esc", kVkEscape, 0, 0x1B},
    {"Tab", kVkTab, 0, '\t'},
    {"S-Tab", kVkTab, kShiftPressed, '\t'},
    {"BS", kVkBack, 0, 0x08},
    {"Del", kVkDelete, 0, 0},
    {"Up", kVkUp, 0, 0},
    {"Down", kVkDown, 0, 0},
    {"Left", kVkLeft, 0, 0},
    {"Right", kVkRight, 0, 0},
    {"Home", kVkHome, 0, 0},
    {"End", kVkEnd, 0, 0},
    {"C-Home", kVkHome, kConsoleLeftCtrl, 0},
    {"C-End", kVkEnd, kConsoleLeftCtrl, 0},
    {"PgUp", kVkPrior, 0, 0},
    {"PgDn", kVkNext, 0, 0},
    {"F1", kVkF1, 0, 0},
    {"F2", kVkF2, 0, 0},
    {"F10", kVkF10, 0, 0},
    {"F11", kVkF11, 0, 0},
    {"lt", 0, 0, '<'},
};

// A key press as the console reports it: key down, then key up.
void Press(std::vector<InputRecord>* events, std::uint16_t virtualKey, std::uint32_t state,
           char character) {
    events->push_back(KeyEvent(true, virtualKey, state, character));
    events->push_back(KeyEvent(false, virtualKey, state, character));
}

// A typed character: letters and digits carry their virtual key, as on a keyboard.
void PressChar(std::vector<InputRecord>* events, unsigned char c) {
    std::uint16_t virtualKey = 0;
    std::uint32_t state = 0;
    if (std::isalnum(c)) virtualKey = static_cast<std::uint16_t>(std::toupper(c));
    if (c == ' ') virtualKey = kConsoleVkSpace;
    if (std::isupper(c)) state = kShiftPressed;
    Press(events, virtualKey, state, static_cast<char>(c));
}

// <xHH>: one character by its code page 866 byte.
bool ParseByte(const std::string& name, unsigned char* byte) {
    if (name.size() != 3 || (name[0] != 'x' && name[0] != 'X')) return false;
    if (!std::isxdigit(static_cast<unsigned char>(name[1])) ||
        !std::isxdigit(static_cast<unsigned char>(name[2]))) {
        return false;
    }
    *byte = static_cast<unsigned char>(std::stoi(name.substr(1), nullptr, 16));
    return true;
}

bool PressNamed(std::vector<InputRecord>* events, const std::string& name) {
    unsigned char byte = 0;
    if (ParseByte(name, &byte)) {
        PressChar(events, byte);
        return true;
    }
    for (const NamedKey& key : kNamedKeys) {
        if (_stricmp(key.name, name.c_str()) != 0) continue;
        Press(events, key.virtualKey, key.controlState, key.character);
        return true;
    }
    return false;
}

InputRecord ReadConsoleEvent() {
    INPUT_RECORD record;
    DWORD count = 0;
    InputRecord event = {};
    if (!ReadConsoleInputA(GetStdHandle(STD_INPUT_HANDLE), &record, 1, &count) || count == 0) {
        OnScriptEnd(); // the console is gone: leave as at the end of a script
    }
    std::memcpy(&event, &record, sizeof event);
    return event;
}

} // namespace

bool ParseKeyScript(const std::string& script, std::vector<InputRecord>* events,
                    std::string* error) {
    for (std::size_t i = 0; i < script.size(); ++i) {
        if (script[i] != '<') {
            PressChar(events, static_cast<unsigned char>(script[i]));
            continue;
        }
        const std::size_t close = script.find('>', i);
        const std::string name =
            close == std::string::npos ? script.substr(i) : script.substr(i + 1, close - i - 1);
        if (close == std::string::npos || !PressNamed(events, name)) {
            *error = "unknown key <" + name + "> in the key script (write <lt> for '<')";
            return false;
        }
        i = close;
    }
    return true;
}

void QueueInput(const std::vector<InputRecord>& events) {
    gQueue.insert(gQueue.end(), events.begin(), events.end());
}

InputRecord NextInput() {
    InputRecord event = {};
    if (!gQueue.empty()) {
        event = gQueue.front();
        gQueue.pop_front();
    } else if (!gScreen.console) {
        OnScriptEnd();
    } else {
        event = ReadConsoleEvent();
    }
    NormaliseCtrlSpace(&event);
    return event;
}

void NormaliseCtrlSpace(InputRecord* record) {
    if (record->EventType != kConsoleKeyEvent || !KeyCtrl(*record)) return;
    KeyEventRecord& key = record->Event.KeyEvent;
    if (key.uChar != 0) return;
    if (key.wVirtualKeyCode != kVkTwo && key.wVirtualKeyCode != kVkOem3) return;
    key.wVirtualKeyCode = kConsoleVkSpace;
    key.uChar = ' ';
}

unsigned char FoldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    if (c >= 0x80 && c <= 0x8F) return static_cast<unsigned char>(c + 0x20); // А-П
    if (c >= 0x90 && c <= 0x9F) return static_cast<unsigned char>(c + 0x50); // Р-Я
    return c;
}

bool IsKeyDown(const InputRecord& record) {
    return record.EventType == kConsoleKeyEvent && record.Event.KeyEvent.bKeyDown != 0;
}

std::uint16_t KeyCode(const InputRecord& record) {
    return record.EventType == kConsoleKeyEvent ? record.Event.KeyEvent.wVirtualKeyCode : 0;
}

unsigned char KeyChar(const InputRecord& record) {
    return record.EventType == kConsoleKeyEvent
               ? static_cast<unsigned char>(record.Event.KeyEvent.uChar & 0xFF)
               : 0;
}

bool KeyShift(const InputRecord& record) {
    return record.EventType == kConsoleKeyEvent &&
           (record.Event.KeyEvent.dwControlKeyState & kShiftPressed) != 0;
}

bool KeyCtrl(const InputRecord& record) {
    return record.EventType == kConsoleKeyEvent &&
           (record.Event.KeyEvent.dwControlKeyState & (kConsoleLeftCtrl | kConsoleRightCtrl)) != 0;
}

bool KeyAlt(const InputRecord& record) {
    return record.EventType == kConsoleKeyEvent &&
           (record.Event.KeyEvent.dwControlKeyState & kAltPressed) != 0;
}
