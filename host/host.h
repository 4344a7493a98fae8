// The host's side of the plug-in contract: records, services and entry points.
//
// Every record here is a wire layout shared with a 32-bit host. In the Windows
// (i686) build each record has exactly the size and field offsets the host uses;
// the static_asserts below check them. The native 64-bit build keeps the same
// field order, with pointers and "host words" widened to the native pointer size,
// so the engine and the test host compile and run unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define HOSTCALL __stdcall
#else
#define HOSTCALL
#endif

// The plug-in's entry points. A host built by Microsoft's compiler keeps the stack aligned
// to 4 bytes only, while the code behind the entry points is compiled for the 16 bytes that
// gcc's 32-bit ABI keeps at every call: each entry point realigns on the way in.
#if defined(_WIN32) && defined(__i386__)
#define HOSTENTRY __stdcall __attribute__((force_align_arg_pointer))
#else
#define HOSTENTRY HOSTCALL
#endif

// A word of the host's word arrays: 32 bits on the host, pointer-wide natively.
using HostWord = std::uintptr_t;
inline constexpr bool kHostLayout32 = sizeof(void*) == 4;

// ---- Console input event, as the host passes it to ProcessEditorInput ----

inline constexpr std::uint16_t kKeyEvent = 1;
inline constexpr std::uint16_t kVkSpace = 0x20;
inline constexpr std::uint32_t kRightCtrlPressed = 0x0004;
inline constexpr std::uint32_t kLeftCtrlPressed = 0x0008;

struct KeyEventRecord {
    std::int32_t bKeyDown;
    std::uint16_t wRepeatCount;
    std::uint16_t wVirtualKeyCode;
    std::uint16_t wVirtualScanCode;
    std::uint16_t uChar;
    std::uint32_t dwControlKeyState;
};

// Same layout as the Windows INPUT_RECORD (20 bytes); only key events are read.
struct InputRecord {
    std::uint16_t EventType;
    std::uint16_t padding;
    union {
        KeyEventRecord KeyEvent;
        std::uint8_t raw[16];
    } Event;
};
static_assert(sizeof(InputRecord) == 20);
static_assert(offsetof(InputRecord, Event) == 4);
static_assert(offsetof(KeyEventRecord, wVirtualKeyCode) == 6);
static_assert(offsetof(KeyEventRecord, dwControlKeyState) == 12);

// ---- Editor records ----

// Filled by GetEditorState. Only four words are read.
struct EditorStateRecord {
    std::int32_t unread0[5];
    std::int32_t cursorLine;
    std::int32_t cursorColumn;
    std::int32_t unread28;
    std::int32_t windowTopLine;
    std::int32_t windowLeftColumn;
    std::int32_t unread40[18];
};
static_assert(sizeof(EditorStateRecord) == 112);
static_assert(offsetof(EditorStateRecord, cursorLine) == 20);
static_assert(offsetof(EditorStateRecord, cursorColumn) == 24);
static_assert(offsetof(EditorStateRecord, windowTopLine) == 32);
static_assert(offsetof(EditorStateRecord, windowLeftColumn) == 36);

// Used with GetLine; lineNumber -1 is the cursor's line.
struct LineRecord {
    std::int32_t lineNumber;
    const char* lineText;
    std::uint8_t unread[24];
};
static_assert(!kHostLayout32 || sizeof(LineRecord) == 32);
static_assert(!kHostLayout32 || offsetof(LineRecord, lineText) == 4);

// Used with ConvertText: byteCount bytes at buffer are converted in place.
struct ConversionRecord {
    char* buffer;
    std::int32_t byteCount;
};
static_assert(!kHostLayout32 || sizeof(ConversionRecord) == 8);
static_assert(!kHostLayout32 || offsetof(ConversionRecord, byteCount) == 4);

// Taken by SetPosition; -1 in a field leaves that setting unchanged.
struct PositionRecord {
    std::int32_t cursorLine;
    std::int32_t cursorColumn;
    std::int32_t third;
    std::int32_t windowTopLine;
    std::int32_t windowLeftColumn;
    std::int32_t sixth;
};
static_assert(sizeof(PositionRecord) == 24);
static_assert(offsetof(PositionRecord, windowTopLine) == 12);
static_assert(offsetof(PositionRecord, sixth) == 20);

// ---- Menu and dialog records ----

inline constexpr int kMenuItemTextSize = 128;

struct MenuItemRecord {
    char itemText[kMenuItemTextSize];
    std::uint32_t state[3];
};
static_assert(sizeof(MenuItemRecord) == 140);
static_assert(offsetof(MenuItemRecord, state) == 128);

inline constexpr int kDialogItemTextSize = 512;
inline constexpr std::int32_t kDialogFrameBox = 3;
inline constexpr std::int32_t kDialogButton = 7;
inline constexpr std::int32_t kDialogCheckBox = 8;
inline constexpr std::int32_t kDialogButtonRow = 0x4000;

struct DialogItemRecord {
    std::int32_t type;
    std::int32_t x1;
    std::int32_t y1;
    std::int32_t x2;
    std::int32_t y2;
    std::int32_t focus;
    std::int32_t selected;
    std::int32_t flags;
    std::int32_t defaultButton;
    char data[kDialogItemTextSize];
};
static_assert(sizeof(DialogItemRecord) == 548);
static_assert(offsetof(DialogItemRecord, selected) == 24);
static_assert(offsetof(DialogItemRecord, defaultButton) == 32);
static_assert(offsetof(DialogItemRecord, data) == 36);

// ---- Host services ----

using LookupMessageFn = const char*(HOSTCALL*)(std::int32_t moduleNumber,
                                               std::int32_t messageNumber);
using ShowMenuFn = std::int32_t(HOSTCALL*)(std::int32_t moduleNumber, std::int32_t x,
                                           std::int32_t y, std::int32_t maxHeight,
                                           std::int32_t flags, const char* title,
                                           const char* bottom, HostWord reserved8,
                                           HostWord reserved9, HostWord reserved10,
                                           const MenuItemRecord* items, std::int32_t itemCount);
using RunDialogFn = std::int32_t(HOSTCALL*)(std::int32_t moduleNumber, std::int32_t x1,
                                            std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                            HostWord reserved6, DialogItemRecord* items,
                                            std::int32_t itemCount);
using EditorCommandFn = std::int32_t(HOSTCALL*)(std::int32_t command, void* param);

// Editor command codes for EditorCommand.
inline constexpr std::int32_t kEditorGetLine = 0;
inline constexpr std::int32_t kEditorInsertText = 5;
inline constexpr std::int32_t kEditorGetState = 6;
inline constexpr std::int32_t kEditorSetPosition = 7;
inline constexpr std::int32_t kEditorRedraw = 9;
inline constexpr std::int32_t kEditorConvertText = 10;

// ---- StartupRecord: 84 host words; the plug-in reads only the named ones ----

inline constexpr int kStartupWords = 84;

struct StartupRecord {
    HostWord unread0[66];
    HostWord moduleNumber;         // word 66
    const char* pluginKey;         // word 67: host plug-in key below HKEY_CURRENT_USER
    ShowMenuFn showMenu;           // word 68
    RunDialogFn runDialog;         // word 69
    HostWord unread70;             // word 70
    LookupMessageFn lookupMessage; // word 71
    HostWord unread72[11];         // words 72 to 82
    EditorCommandFn editorCommand; // word 83
};
static_assert(sizeof(StartupRecord) == kStartupWords * sizeof(HostWord));
static_assert(offsetof(StartupRecord, moduleNumber) == 66 * sizeof(HostWord));
static_assert(offsetof(StartupRecord, pluginKey) == 67 * sizeof(HostWord));
static_assert(offsetof(StartupRecord, showMenu) == 68 * sizeof(HostWord));
static_assert(offsetof(StartupRecord, runDialog) == 69 * sizeof(HostWord));
static_assert(offsetof(StartupRecord, lookupMessage) == 71 * sizeof(HostWord));
static_assert(offsetof(StartupRecord, editorCommand) == 83 * sizeof(HostWord));
static_assert(!kHostLayout32 || sizeof(StartupRecord) == 336);

// ---- PluginInfoRecord: ten host words filled by GetPluginInfo ----

struct PluginInfoRecord {
    HostWord structSize;            // word 0
    HostWord flags;                 // word 1
    HostWord unwritten2;            // word 2
    HostWord unwritten3;            // word 3
    HostWord word4;                 // word 4
    const char* const* menuEntries; // word 5
    HostWord menuEntryCount;        // word 6
    HostWord unwritten7;            // word 7
    HostWord word8;                 // word 8
    HostWord unwritten9;            // word 9
};
static_assert(sizeof(PluginInfoRecord) == 10 * sizeof(HostWord));
static_assert(offsetof(PluginInfoRecord, menuEntries) == 5 * sizeof(HostWord));
static_assert(!kHostLayout32 || sizeof(PluginInfoRecord) == 40);

// ---- Entry points the host calls, exported by their plain names ----

extern "C" {
void HOSTENTRY SetStartupInfo(const StartupRecord* info);
void HOSTENTRY GetPluginInfo(PluginInfoRecord* info);
std::int32_t HOSTENTRY OpenPlugin(std::int32_t openFrom, HostWord item);
std::int32_t HOSTENTRY ProcessEditorInput(const InputRecord* record);
}

// ---- The plug-in's view of the host after start-up ----

// The process-wide copy of the host's StartupRecord; all zero before start-up.
extern StartupRecord gStartup;

// Message number to text: the host's pointer, unchanged; the host owns the text.
const char* MessageText(std::int32_t messageNumber);

// Runs one editor command on the editor whose input is being processed.
void EditorCommand(std::int32_t command, void* param);

// Message numbers of the plug-in's texts.
inline constexpr std::int32_t kMsgMenuTitle = 0;
inline constexpr std::int32_t kMsgPluginName = 1;
inline constexpr std::int32_t kMsgSpaceLabel = 2;
inline constexpr std::int32_t kMsgMenu1Label = 3;
inline constexpr std::int32_t kMsgSoundLabel = 4;
inline constexpr std::int32_t kMsgNumbersLabel = 5;
inline constexpr std::int32_t kMsgConfirmButton = 6;
inline constexpr std::int32_t kMsgSecondButton = 7;
inline constexpr std::int32_t kMsgMenuBottom = 8;
inline constexpr std::int32_t kMsgIgnoreCaseLabel = 9;
inline constexpr std::int32_t kMsgNearestFirstLabel = 10;
inline constexpr std::int32_t kMsgAllAboveLabel = 11;
