// The test host's editor model and services.
#include "testhost/testhost.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

TestHost* gHost = nullptr;

constexpr HostWord kUnreadMarker = 0x5A5A5A5A;
constexpr std::int32_t kStateMarker = 0x3C3C3C3C;

// Windows-1251 0xC0-0xFF are А-я; code page 866 has А-п at 0x80-0xAF and р-я at 0xE0-0xEF.
constexpr unsigned char kQuestion = '?';

// The editor's command numbers as the host numbers them, apart from the plug-in's own
// constants: a wrong number on the plug-in's side is a command this host does not know.
enum HostCommand : std::int32_t {
    kGetLine = 0,
    kInsertText = 5,
    kGetState = 6,
    kSetPosition = 7,
    kRedraw = 9,
    kConvertText = 10,
};

} // namespace

namespace {

// The letters and signs outside the two alphabets' runs, as Windows-1251 and code page 866
// have them: Ё ё Є є Ї ї Ў ў, the no-break space and №.
constexpr unsigned char kWin1251Extra[][2] = {
    {0xA8, 0xF0}, {0xB8, 0xF1}, {0xAA, 0xF2}, {0xBA, 0xF3}, {0xAF, 0xF4},
    {0xBF, 0xF5}, {0xA1, 0xF6}, {0xA2, 0xF7}, {0xA0, 0xFF}, {0xB9, 0xFC}};

constexpr unsigned char ConvertWin1251Byte(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte >= 0xC0 && byte <= 0xEF) return static_cast<unsigned char>(byte - 0x40);
    if (byte >= 0xF0) return static_cast<unsigned char>(byte - 0x10);
    for (const auto& pair : kWin1251Extra) {
        if (pair[0] == byte) return pair[1];
    }
    return kQuestion;
}

// The whole conversion as a table: ConvertText runs over every line of a request.
constexpr std::array<unsigned char, 256> MakeWin1251ToOem() {
    std::array<unsigned char, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = ConvertWin1251Byte(static_cast<unsigned char>(b));
    return table;
}
constexpr std::array<unsigned char, 256> kWin1251ToOem = MakeWin1251ToOem();

} // namespace

unsigned char Win1251ToOem(unsigned char byte) {
    return kWin1251ToOem[byte];
}

unsigned char OemToWin1251(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte <= 0xAF) return static_cast<unsigned char>(byte + 0x40);
    if (byte >= 0xE0 && byte <= 0xEF) return static_cast<unsigned char>(byte + 0x10);
    for (const auto& pair : kWin1251Extra) {
        if (pair[1] == byte) return pair[0];
    }
    return kQuestion;
}

InputRecord KeyEvent(bool down, std::uint16_t virtualKey, std::uint32_t controlState,
                     char character) {
    InputRecord record = {};
    record.EventType = kConsoleKeyEvent;
    record.Event.KeyEvent.bKeyDown = down ? 1 : 0;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar = static_cast<unsigned char>(character);
    record.Event.KeyEvent.dwControlKeyState = controlState;
    return record;
}

// ---- Construction and the model ----

// The default texts are those of the English message file, lang/LexamundEng.lng.
TestHost::TestHost() : previous_(gHost) {
    messages = {"Lexamund",
                "Lexamund",
                "&Append a space",
                "&Menu for a single word",
                "&Beep when nothing is found",
                "&Digits and _ in words",
                "&Save",
                "&Cancel",
                "Words: %d",
                "&Ignore case",
                "&Nearest words first",
                "&Whole text above the cursor"};
    gHost = this;
}

TestHost::~TestHost() {
    InvalidateLastLine();
    gHost = previous_;
}

TestHost* TestHost::Current() {
    return gHost;
}

void TestHost::SetText(const std::vector<std::string>& text, std::int32_t line,
                       std::int32_t column) {
    lines = text.empty() ? std::vector<std::string>{""} : text;
    cursorLine = line;
    cursorColumn = column;
}

void TestHost::CursorAtEnd(std::int32_t line) {
    cursorLine = line;
    cursorColumn = static_cast<std::int32_t>(lines.at(static_cast<std::size_t>(line)).size());
}

std::vector<std::int32_t> TestHost::CallsOf(CallKind kind) const {
    std::vector<std::int32_t> found;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind == kind) found.push_back(static_cast<std::int32_t>(i));
    }
    return found;
}

std::size_t TestHost::CountOf(CallKind kind) const {
    return CallsOf(kind).size();
}

void TestHost::ClearRecord() {
    calls.clear();
    menus.clear();
    dialogs.clear();
    beeps.clear();
    reentryResults.clear();
}

bool TestHost::LoadMessages(const std::string& path) {
    MessageFile file;
    if (!ReadMessageFile(path, &file) || file.texts.size() < messages.size()) return false;
    std::copy_n(file.texts.begin(), messages.size(), messages.begin());
    return true;
}

namespace {

bool SameLanguage(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool HasLngExtension(const std::filesystem::path& path) {
    return SameLanguage(path.extension().string(), ".lng");
}

} // namespace

// Picks the first complete file of the language, as the host does with its language option.
bool TestHost::LoadLanguage(const std::string& folder, const std::string& language) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        MessageFile file;
        const std::string path = entry.path().string();
        if (!HasLngExtension(entry.path()) || !ReadMessageFile(path, &file)) continue;
        if (SameLanguage(file.language, language)) return LoadMessages(path);
    }
    return false;
}

bool ReadMessageFile(const std::string& path, MessageFile* file) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return false;
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string prefix = ".Language=";
    const std::size_t comma = line.find(',');
    if (line.rfind(prefix, 0) != 0 || comma == std::string::npos) return false;
    file->language = line.substr(prefix.size(), comma - prefix.size());
    file->description = line.substr(comma + 1);
    file->texts.clear();
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.rfind("//", 0) == 0) continue;
        if (line.size() < 2 || line.front() != '"' || line.back() != '"') return false;
        file->texts.push_back(line.substr(1, line.size() - 2));
    }
    return true;
}

// ---- Driving a plug-in ----

StartupRecord TestHost::MakeStartupRecord() {
    StartupRecord record;
    std::fill(std::begin(record.unread0), std::end(record.unread0), kUnreadMarker);
    std::fill(std::begin(record.unread72), std::end(record.unread72), kUnreadMarker);
    record.unread70 = kUnreadMarker;
    record.moduleNumber = static_cast<HostWord>(moduleNumber);
    record.pluginKey = pluginKey.c_str();
    record.showMenu = &TestHost::ShowMenu;
    record.runDialog = &TestHost::RunDialog;
    record.lookupMessage = &TestHost::LookupMessage;
    record.editorCommand = &TestHost::EditorCommand;
    return record;
}

void TestHost::Start(const PluginEntries& entries) {
    plugin = entries;
    const StartupRecord record = MakeStartupRecord();
    plugin.setStartupInfo(&record);
}

std::int32_t TestHost::Send(const InputRecord& record) {
    return plugin.processEditorInput(&record);
}

std::int32_t TestHost::PressCtrlSpace() {
    return Send(KeyEvent(true, kConsoleVkSpace, kConsoleLeftCtrl));
}

void TestHost::Reenter() {
    if (!reenterDuringInsert || plugin.processEditorInput == nullptr) return;
    const InputRecord record = KeyEvent(true, kConsoleVkSpace, kConsoleLeftCtrl);
    reentryResults.push_back(plugin.processEditorInput(&record));
}

// ---- Services ----

const char* HOSTCALL TestHost::LookupMessage(std::int32_t module, std::int32_t number) {
    TestHost& host = *gHost;
    if (host.recordCalls) host.calls.push_back({CallKind::LookupMessage, {module, number}, {}});
    if (host.nullMessages) return nullptr;
    if (number < 0 || number >= static_cast<std::int32_t>(host.messages.size())) return "";
    return host.messages[static_cast<std::size_t>(number)].c_str();
}

std::int32_t HOSTCALL TestHost::ShowMenu(std::int32_t module, std::int32_t x, std::int32_t y,
                                         std::int32_t maxHeight, std::int32_t flags,
                                         const char* title, const char* bottom, HostWord r8,
                                         HostWord r9, HostWord r10, const MenuItemRecord* items,
                                         std::int32_t count) {
    TestHost& host = *gHost;
    if (!host.recordCalls && !host.menuAnswer) return host.menuChoice;
    MenuShown menu{module,        x,  y, maxHeight, flags, title ? title : "", bottom ? bottom : "",
                   {r8, r9, r10}, {}, {}};
    for (std::int32_t i = 0; i < count; ++i) {
        const MenuItemRecord& item = items[i];
        menu.labels.emplace_back(item.itemText, strnlen(item.itemText, sizeof item.itemText));
        menu.itemStates.push_back({item.state[0], item.state[1], item.state[2]});
    }
    host.calls.push_back({CallKind::ShowMenu, {module, x, y, maxHeight, flags, count}, {}});
    host.menus.push_back(menu);
    return host.menuAnswer ? host.menuAnswer(menu) : host.menuChoice;
}

std::int32_t HOSTCALL TestHost::RunDialog(std::int32_t module, std::int32_t x1, std::int32_t y1,
                                          std::int32_t x2, std::int32_t y2, HostWord r6,
                                          DialogItemRecord* items, std::int32_t count) {
    TestHost& host = *gHost;
    host.calls.push_back({CallKind::RunDialog, {module, x1, y1, x2, y2, count}, {}});
    host.dialogs.push_back({module, x1, y1, x2, y2, r6, {items, items + count}});
    return host.dialogAnswer ? host.dialogAnswer(items, count) : host.dialogResult;
}

std::int32_t HOSTCALL TestHost::RecordBeep(std::uint32_t type) {
    if (gHost == nullptr || !gHost->recordCalls) return 1;
    gHost->calls.push_back({CallKind::Beep, {type}, {}});
    gHost->beeps.push_back(type);
    return 1;
}

std::int32_t HOSTCALL TestHost::EditorCommand(std::int32_t command, void* param) {
    gHost->Command(command, param);
    return 1;
}

// The text GetLine handed out is valid until the next command; poison and free it so
// that a plug-in which keeps the pointer is caught.
void TestHost::InvalidateLastLine() {
    if (lastLineText_ == nullptr) return;
    std::memset(lastLineText_, 0x7F, lastLineLength_);
    delete[] lastLineText_;
    lastLineText_ = nullptr;
}

void TestHost::InsertAtCursor(const char* text) {
    std::string inserted(text);
    if (table == CharTable::Win1251) {
        for (char& c : inserted)
            c = static_cast<char>(OemToWin1251(static_cast<unsigned char>(c)));
    }
    const auto lineIndex = static_cast<std::size_t>(std::max(cursorLine, 0));
    if (lineIndex >= lines.size()) lines.resize(lineIndex + 1);
    std::string& line = lines[lineIndex];
    const auto column = static_cast<std::size_t>(std::max(cursorColumn, 0));
    if (line.size() < column) line.resize(column, ' ');
    line.insert(column, inserted);
    cursorColumn += static_cast<std::int32_t>(inserted.size());
}

void TestHost::Command(std::int32_t command, void* param) {
    InvalidateLastLine();
    switch (command) {
    case kGetLine: {
        if (beforeGetLine) beforeGetLine();
        auto* record = static_cast<LineRecord*>(param);
        if (lineSource) {
            record->lineText = lineSource(cursorLine);
            break;
        }
        const auto index = static_cast<std::size_t>(cursorLine);
        if (!recordCalls && cursorLine >= 0 && index < lines.size()) {
            record->lineText = lines[index].c_str();
            break;
        }
        const bool isNull =
            std::find(nullLines.begin(), nullLines.end(), cursorLine) != nullLines.end();
        const std::string text = cursorLine >= 0 && index < lines.size() ? lines[index] : "";
        calls.push_back({CallKind::GetLine, {record->lineNumber}, text});
        if (isNull) {
            record->lineText = nullptr;
            break;
        }
        const bool cut = unterminatedLength != 0 && text.size() > unterminatedLength;
        lastLineLength_ = cut ? unterminatedLength : text.size();
        lastLineText_ = new char[cut ? lastLineLength_ : lastLineLength_ + 1];
        std::memcpy(lastLineText_, text.c_str(), cut ? lastLineLength_ : lastLineLength_ + 1);
        record->lineText = lastLineText_;
        break;
    }
    case kInsertText: {
        const char* text = static_cast<const char*>(param);
        if (recordCalls) calls.push_back({CallKind::InsertText, {}, text ? text : ""});
        if (text != nullptr && !lineSource) InsertAtCursor(text);
        Reenter();
        break;
    }
    case kGetState: {
        auto* state = static_cast<EditorStateRecord*>(param);
        std::fill(reinterpret_cast<std::int32_t*>(state),
                  reinterpret_cast<std::int32_t*>(state + 1), kStateMarker);
        state->cursorLine = cursorLine;
        state->cursorColumn = cursorColumn;
        state->windowTopLine = windowTopLine;
        state->windowLeftColumn = windowLeftColumn;
        if (recordCalls) calls.push_back({CallKind::GetEditorState, {}, {}});
        break;
    }
    case kSetPosition: {
        const auto* p = static_cast<const PositionRecord*>(param);
        if (recordCalls && !lineSource) {
            calls.push_back({CallKind::SetPosition,
                             {p->cursorLine, p->cursorColumn, p->third, p->windowTopLine,
                              p->windowLeftColumn, p->sixth},
                             {}});
        }
        const auto last =
            (lineSource ? sourceLineCount : static_cast<std::int32_t>(lines.size())) - 1;
        if (p->cursorLine != -1) cursorLine = std::clamp(p->cursorLine, 0, last);
        if (p->cursorColumn != -1) cursorColumn = std::max(p->cursorColumn, 0);
        if (p->windowTopLine != -1) windowTopLine = p->windowTopLine;
        if (p->windowLeftColumn != -1) windowLeftColumn = p->windowLeftColumn;
        break;
    }
    case kRedraw:
        if (recordCalls) {
            calls.push_back({CallKind::Redraw, {reinterpret_cast<std::intptr_t>(param)}, {}});
        }
        if (onRedraw) onRedraw();
        Reenter();
        break;
    case kConvertText: {
        auto* record = static_cast<ConversionRecord*>(param);
        if (recordCalls && !lineSource) {
            calls.push_back({CallKind::ConvertText,
                             {record->byteCount},
                             std::string(record->buffer, static_cast<std::size_t>(
                                                             std::max(record->byteCount, 0)))});
        }
        if (table != CharTable::Win1251) break;
        for (std::int32_t i = 0; i < record->byteCount; ++i) {
            auto& byte = reinterpret_cast<unsigned char&>(record->buffer[i]);
            byte = kWin1251ToOem[byte];
        }
        break;
    }
    default:
        if (recordCalls) calls.push_back({CallKind::OtherCommand, {command}, {}});
        break;
    }
}
