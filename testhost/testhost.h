// A host of our own: an editor model offering the host services, recording every call.
//
// One TestHost is current at a time (the services are plain functions, as a host's are,
// and reach the model through it). Tests drive a plug-in through its four entry points,
// either linked in or loaded from the DLL, and look at the calls, the document and the
// menus afterwards.
#pragma once

#include "host/host.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A function a plug-in calls (a host service, or a stand-in for a system call) realigns the
// stack on entry, as a host built by another compiler takes any 4-byte-aligned stack: the
// test host's own code then runs the same whatever alignment the plug-in calls it with.
#if defined(_WIN32)
#define HOST_SERVICE __attribute__((force_align_arg_pointer))
#else
#define HOST_SERVICE
#endif

// The four entry points of a plug-in.
struct PluginEntries {
    void(HOSTCALL* setStartupInfo)(const StartupRecord*);
    void(HOSTCALL* getPluginInfo)(PluginInfoRecord*);
    std::int32_t(HOSTCALL* openPlugin)(std::int32_t, HostWord);
    std::int32_t(HOSTCALL* processEditorInput)(const InputRecord*);
};

// The file's character table, converted to the console's (code page 866) by ConvertText.
enum class CharTable { Oem, Win1251 };

// Byte-for-byte tables between Windows-1251 and code page 866 ('?' where none exists).
unsigned char Win1251ToOem(unsigned char byte);
unsigned char OemToWin1251(unsigned char byte);

enum class CallKind {
    LookupMessage,
    ShowMenu,
    RunDialog,
    GetLine,
    InsertText,
    GetEditorState,
    SetPosition,
    Redraw,
    ConvertText,
    OtherCommand,
    Beep,
};

// One recorded call: its kind, its 32-bit arguments in order, and a text where it has one
// (InsertText's text, ConvertText's bytes before conversion, GetLine's line).
struct HostCall {
    CallKind kind;
    std::vector<std::int64_t> args;
    std::string text;
};

// What ShowMenu was handed.
struct MenuShown {
    std::int32_t moduleNumber, x, y, maxHeight, flags;
    std::string title, bottom;
    std::array<HostWord, 3> reserved;
    std::vector<std::string> labels;
    std::vector<std::array<std::uint32_t, 3>> itemStates;
};

// What RunDialog was handed (the items as they came in, before the answer changed them).
struct DialogShown {
    std::int32_t moduleNumber, x1, y1, x2, y2;
    HostWord reserved;
    std::vector<DialogItemRecord> items;
};

class TestHost {
  public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // ---- The editor model ----
    std::vector<std::string> lines{""}; // bytes in the file's character table
    std::int32_t cursorLine = 0;
    std::int32_t cursorColumn = 0;
    std::int32_t windowTopLine = 0;
    std::int32_t windowLeftColumn = 0;
    CharTable table = CharTable::Oem;
    std::vector<std::int32_t> nullLines; // lines whose GetLine yields a null text
    // When non-zero, GetLine hands out a line longer than this as its first
    // unterminatedLength bytes alone, in a block of exactly that size with no terminator, as
    // a careless host might; the plug-in must not read past them.
    std::size_t unterminatedLength = 0;
    // A document the caller keeps in a form of its own, so that a large one costs nothing
    // per line: when lineSource is set, the document has sourceLineCount lines, GetLine
    // hands out lineSource(cursorLine) as it is (the source answers for numbers outside the
    // document too), InsertText leaves the text alone, and the calls made for every line
    // (SetPosition, GetLine, ConvertText) are not recorded.
    std::function<const char*(std::int32_t)> lineSource;
    std::int32_t sourceLineCount = 0;

    // Replaces the document and puts the cursor at (line, column).
    void SetText(const std::vector<std::string>& text, std::int32_t line, std::int32_t column);
    // Puts the cursor at the end of the given line.
    void CursorAtEnd(std::int32_t line);

    // ---- The other services ----
    std::int32_t moduleNumber = 0x4C58;
    std::string pluginKey = "Software\\TestHost\\Plugins";
    std::array<std::string, 12> messages; // texts by message number (English by default)
    bool nullMessages = false;            // LookupMessage answers every number with null
    // Loads the texts from a message file ("*.lng"); false, leaving the texts as they were,
    // when it cannot be read or holds fewer than twelve texts.
    bool LoadMessages(const std::string& path);
    // Loads the texts of the message file in folder whose ".Language=" line names language
    // (e.g. "English" or "Russian"), as the host picks a plug-in's texts by its language
    // option; false when there is no such complete file.
    bool LoadLanguage(const std::string& folder, const std::string& language);

    // The menu's answer; by default menuChoice.
    std::int32_t menuChoice = 0;
    std::function<std::int32_t(const MenuShown&)> menuAnswer;
    // The dialog's answer: may change the items, returns the closing item's index.
    std::int32_t dialogResult = -1;
    std::function<std::int32_t(DialogItemRecord*, std::int32_t)> dialogAnswer;

    // When set, InsertText and Redraw hand a Ctrl+Space to the plug-in, as a host might,
    // and record what it returned in reentryResults.
    bool reenterDuringInsert = false;
    std::vector<std::int32_t> reentryResults;
    // When set, Redraw calls it after recording the call: a host with a screen draws there.
    std::function<void()> onRedraw;
    // When set, GetLine calls it before it answers: a host whose text changes between reads.
    std::function<void()> beforeGetLine;

    // ---- What happened ----
    // When false the services record nothing (calls, menus, beeps) and GetLine hands out
    // the document's own text instead of a poisoned copy, so that a benchmark measures the
    // plug-in rather than the recorder.
    bool recordCalls = true;
    std::vector<HostCall> calls;
    std::vector<MenuShown> menus;
    std::vector<DialogShown> dialogs;
    std::vector<std::uint32_t> beeps;
    std::vector<std::int32_t> CallsOf(CallKind kind) const; // indices into calls
    std::size_t CountOf(CallKind kind) const;
    void ClearRecord();

    // ---- Driving a plug-in ----
    PluginEntries plugin{};
    // A StartupRecord of this host's services; unread words hold a marker pattern.
    StartupRecord MakeStartupRecord();
    // Calls SetStartupInfo with this host's record.
    void Start(const PluginEntries& entries);
    // Hands an event to ProcessEditorInput and returns its result.
    std::int32_t Send(const InputRecord& record);
    // Ctrl+Space with left Ctrl held.
    std::int32_t PressCtrlSpace();

    // The host services, for a StartupRecord of one's own.
    static const char* HOSTCALL HOST_SERVICE LookupMessage(std::int32_t module,
                                                           std::int32_t number);
    static std::int32_t HOSTCALL HOST_SERVICE ShowMenu(std::int32_t module, std::int32_t x,
                                                       std::int32_t y, std::int32_t maxHeight,
                                                       std::int32_t flags, const char* title,
                                                       const char* bottom, HostWord r8, HostWord r9,
                                                       HostWord r10, const MenuItemRecord* items,
                                                       std::int32_t count);
    static std::int32_t HOSTCALL HOST_SERVICE RunDialog(std::int32_t module, std::int32_t x1,
                                                        std::int32_t y1, std::int32_t x2,
                                                        std::int32_t y2, HostWord r6,
                                                        DialogItemRecord* items,
                                                        std::int32_t count);
    static std::int32_t HOSTCALL HOST_SERVICE EditorCommand(std::int32_t command, void* param);
    // A MessageBeep stand-in that records into the current host.
    static std::int32_t HOSTCALL HOST_SERVICE RecordBeep(std::uint32_t type);

    static TestHost* Current();

  private:
    void InvalidateLastLine();
    void Command(std::int32_t command, void* param);
    void InsertAtCursor(const char* text);
    void Reenter();

    char* lastLineText_ = nullptr;
    std::size_t lastLineLength_ = 0; // bytes of lastLineText_ before its terminator, if any
    TestHost* previous_ = nullptr;
};

// A message file as the host reads it: a first line ".Language=Name,Description", then one
// text per line in number order, each in double quotes. Blank lines and lines starting
// with "//" are skipped; the texts are bytes in the file's code page.
struct MessageFile {
    std::string language;    // "English"
    std::string description; // "English", "Russian (...)"
    std::vector<std::string> texts;
};

// Reads a message file; false when it cannot be read, lacks the ".Language=" first line, or
// has a line that is not a quoted text.
bool ReadMessageFile(const std::string& path, MessageFile* file);

// The console's numbers for Ctrl+Space, held here apart from the plug-in's own constants:
// were the plug-in's numbers wrong, the key a host sends would start nothing.
inline constexpr std::uint16_t kConsoleKeyEvent = 1;       // KEY_EVENT
inline constexpr std::uint16_t kConsoleVkSpace = 0x20;     // VK_SPACE
inline constexpr std::uint32_t kConsoleRightCtrl = 0x0004; // RIGHT_CTRL_PRESSED
inline constexpr std::uint32_t kConsoleLeftCtrl = 0x0008;  // LEFT_CTRL_PRESSED

// Builds a key event of type kConsoleKeyEvent. Ctrl+Space is
// KeyEvent(true, kConsoleVkSpace, kConsoleLeftCtrl).
InputRecord KeyEvent(bool down, std::uint16_t virtualKey, std::uint32_t controlState,
                     char character = 0);
