// The demo host: loads the plug-in DLL and runs a console editor that hands it every key.
#include "demo/demo.h"
#include "testhost/plugin_loader.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <iterator>
#include <windows.h>

namespace {

constexpr const char* kDemoPluginKey = "Software\\LexamundDemo\\Plugins";
constexpr const char* kDefaultPlugin = "dist\\Lexamund\\Lexamund.dll";
constexpr HostWord kMaxPluginEntries = 16; // entries of the plug-ins menu, at most
constexpr std::int32_t kOpenFromEditor = 0;

struct Options {
    std::string plugin;
    std::string language = "english";
    CharTable table = CharTable::Oem;
    std::string file;
    std::string keys;
    bool dump = false;
    bool help = false;    // --help or -h, anywhere: print the usage and leave
    bool version = false; // --version, anywhere: print the version and leave
};

// What the end of a script needs to print.
TestHost* gDemoHost = nullptr;

std::string ExeFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// Reads an option without a value; false when arg is not one.
bool FlagOption(const std::string& arg, Options* options) {
    if (arg == "--dump")
        options->dump = true;
    else if (arg == "--help" || arg == "-h")
        options->help = true;
    else if (arg == "--version")
        options->version = true;
    else
        return false;
    return true;
}

// Reads an option that takes a value; false when arg is not one.
bool ValueOption(const std::string& arg, const char* value, Options* options) {
    if (arg == "--plugin")
        options->plugin = value;
    else if (arg == "--lang")
        options->language = value;
    else if (arg == "--keys")
        options->keys = value;
    else if (arg == "--table")
        options->table = std::string(value) == "1251" ? CharTable::Win1251 : CharTable::Oem;
    else
        return false;
    return true;
}

// Reads the command line; false with a message in error when it is wrong.
bool ParseArgs(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (FlagOption(arg, options)) continue;
        if (arg == "--table" && i + 1 < argc && std::strcmp(argv[i + 1], "oem") != 0 &&
            std::strcmp(argv[i + 1], "1251") != 0) {
            return Fail(error, "--table takes oem or 1251");
        }
        if (i + 1 < argc && ValueOption(arg, argv[i + 1], options)) {
            ++i;
            continue;
        }
        if (arg.rfind("--", 0) == 0 || !options->file.empty()) {
            return Fail(error, "unexpected argument " + arg);
        }
        options->file = arg;
    }
    return true;
}

// The DLL: as given, else below the current folder, else the build's plug-in folder.
std::string PluginPath(const Options& options) {
    if (!options.plugin.empty()) return options.plugin;
    if (Exists(kDefaultPlugin)) return kDefaultPlugin;
    return Exists(LEXAMUND_DEMO_PLUGIN) ? LEXAMUND_DEMO_PLUGIN : kDefaultPlugin;
}

// The language name of a message file: its ".Language=" line up to the first comma.
std::string FileLanguage(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "";
    char line[256];
    std::string language;
    while (language.empty() && std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, ".Language=", 10) != 0) continue;
        language = std::string(line + 10);
        language = language.substr(0, language.find_first_of(",\r\n"));
    }
    std::fclose(file);
    return language;
}

// Loads the texts of the message file in folder whose language is the asked one.
bool LoadLanguage(const std::string& folder, const std::string& language, TestHost* host) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.lng").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool loaded = false;
    do {
        const std::string path = folder + found.cFileName;
        if (_stricmp(FileLanguage(path).c_str(), language.c_str()) == 0) {
            loaded = host->LoadMessages(path);
        }
    } while (!loaded && FindNextFileA(search, &found));
    FindClose(search);
    return loaded;
}

} // namespace

const char* DemoUsage() {
    return "Usage: lexamund-demo [options] [FILE]\n"
           "A console editor that loads the Lexamund plug-in and hands it every key.\n"
           "  --plugin PATH     the plug-in DLL (default dist\\Lexamund\\Lexamund.dll)\n"
           "  --lang NAME       the plug-in's texts: english or russian, from the .lng\n"
           "                    files beside the DLL (default english)\n"
           "  --table oem|1251  the file's character table (default oem, code page 866)\n"
           "  --keys SCRIPT     type SCRIPT first: text, and <C-Space> <Enter> <Esc> <Tab>\n"
           "                    <S-Tab> <Space> <BS> <Del> <Up> <Down> <Left> <Right> <Home>\n"
           "                    <End> <C-Home> <C-End> <PgUp> <PgDn> <F1> <F2> <F10> <F11>\n"
           "                    <NUL> <lt> (a '<') and <xHH> (a character by its code page\n"
           "                    866 byte)\n"
           "  --dump            at the end of the script print the screen's colours (two hex\n"
           "                    digits a cell), the screen and the document (as the file's\n"
           "                    bytes) and leave; no console is used\n"
           "  --version         print the release's version and leave\n"
           "  --help, -h        print this text and leave\n"
           "FILE defaults to the sample beside the program. Keys: Ctrl+Space completes,\n"
           "F11 opens the plug-ins menu (Lexamund's options), F2 saves, F10 or Esc leaves.\n"
           "Terminals send Ctrl+Space as the NUL character, which the console reports as\n"
           "Ctrl+2 or Ctrl+@; the demo hands that key to the plug-in as Ctrl+Space.\n";
}

[[noreturn]] void OnScriptEnd() {
    if (gScreen.console) {
        ScreenClose();
        std::exit(0);
    }
    std::printf("---- colours ----\n");
    ScreenDumpAttributes(stdout);
    std::printf("---- screen ----\n");
    ScreenDump(stdout);
    std::printf("---- document ----\n");
    for (const std::string& line : gDemoHost->lines)
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    std::exit(0);
}

namespace {

// After each plug-in call: marks the document changed by an insertion, shows and rings
// the plug-in's beeps, and empties the test host's call record.
void AfterPlugin(TestHost* host, Document* doc) {
    if (host->CountOf(CallKind::InsertText) > 0) doc->dirty = true;
    if (!host->beeps.empty()) {
        const std::uint32_t type = host->beeps.back();
        doc->note = type == 0x40 ? "Beep: nothing found" : "Beep: out of memory";
        ScreenBell();
    }
    host->ClearRecord();
}

// F11: the entries the plug-in lists; choosing one opens it.
void PluginsMenu(TestHost* host, Document* doc) {
    PluginInfoRecord info = {};
    host->plugin.getPluginInfo(&info);
    MenuShown menu = {};
    menu.title = "Plug-ins";
    menu.x = gScreen.width / 2 - 12;
    menu.y = gScreen.height / 3;
    const HostWord count = info.menuEntries == nullptr ? 0 : info.menuEntryCount;
    for (HostWord i = 0; i < count && i < kMaxPluginEntries; ++i) {
        const char* entry = info.menuEntries[i];
        const char hot = "123456789abcdefg"[i];
        menu.labels.push_back(std::string("&") + hot + " " + (entry != nullptr ? entry : ""));
    }
    menu.maxHeight = static_cast<std::int32_t>(menu.labels.size());
    const std::int32_t choice = RunMenu(menu);
    if (choice >= 0) host->plugin.openPlugin(kOpenFromEditor, static_cast<HostWord>(choice));
    AfterPlugin(host, doc);
}

constexpr const char* kHelpLines[] = {
    "Ctrl+Space     complete the word left of the cursor",
    "F11            plug-ins menu: the completion options",
    "F2             save          F10, Esc   leave",
    "Arrows, Home, End, PgUp, PgDn, Ctrl+Home, Ctrl+End move;",
    "Enter, Backspace, Delete and Tab edit.",
    "",
    "Terminals send Ctrl+Space as the NUL character, which the",
    "console reports as Ctrl+2 or Ctrl+@: the demo hands that",
    "key to the plug-in as Ctrl+Space.",
    "",
    "Menu: Up, Down, PgUp, PgDn, Home, End, Enter, Esc, hot key.",
    "Dialog: Tab, Shift+Tab, Space toggles, Enter, Esc.",
};

void ShowHelp() {
    ShowTextBox("Lexamund demo", {std::begin(kHelpLines), std::end(kHelpLines)});
}

// False when the user chose to stay.
bool ConfirmLeave(const TestHost& host, Document* doc) {
    if (!doc->dirty) return true;
    const std::int32_t answer = AskSaveChanges(doc->path);
    if (answer == 0) return SaveDocument(host, doc);
    return answer == 1;
}

// The input loop: the plug-in sees every event first; the editor acts on those it leaves.
void RunEditor(TestHost* host, Document* doc) {
    for (;;) {
        DrawEditor(host, *doc);
        ScreenShow();
        const InputRecord event = NextInput();
        if (IsKeyDown(event)) doc->note.clear();
        const std::int32_t consumed = host->Send(event);
        AfterPlugin(host, doc);
        if (consumed != 0) continue;
        switch (EditorKey(event, host, doc)) {
        case EditorAction::Save:
            SaveDocument(*host, doc);
            break;
        case EditorAction::Help:
            ShowHelp();
            break;
        case EditorAction::PluginsMenu:
            PluginsMenu(host, doc);
            break;
        case EditorAction::Leave:
            if (ConfirmLeave(*host, doc)) return;
            break;
        case EditorAction::None:
            break;
        }
    }
}

// Loads the DLL, routes its beeps to the host, loads its texts; false with a message.
bool LoadPlugin(const Options& options, TestHost* host, std::string* error) {
    const std::string path = PluginPath(options);
    PluginEntries entries = {};
    void* module = nullptr;
    if (!LoadPluginDll(path, &entries, &module, error)) return false;
    HookImport(module, "USER32.dll", "MessageBeep", reinterpret_cast<void*>(&TestHost::RecordBeep));
    if (!LoadLanguage(FolderOf(path), options.language, host)) {
        std::fprintf(stderr, "lexamund-demo: no %s message file beside %s; built-in English\n",
                     options.language.c_str(), path.c_str());
    }
    host->plugin = entries;
    return true;
}

// Makes the test host's menu, dialog and redraw those of the demo's screen.
void ConnectHost(TestHost* host, Document* doc) {
    host->menuAnswer = [](const MenuShown& menu) { return RunMenu(menu); };
    // The dialog's place is in the record the test host made just before asking.
    host->dialogAnswer = [host](DialogItemRecord* items, std::int32_t count) {
        const DialogShown& shown = host->dialogs.back();
        return RunDialogBox(shown.x1, shown.y1, shown.x2, shown.y2, items, count);
    };
    // Redraw shows the inserted text at once, while the plug-in is still at work.
    host->onRedraw = [host, doc] {
        if (host->CountOf(CallKind::InsertText) > 0) doc->dirty = true;
        DrawEditor(host, *doc);
        ScreenShow();
    };
}

// The console in code page 866, keys as raw events; restored by RestoreConsole.
struct ConsoleState {
    UINT inputCp, outputCp;
    DWORD inputMode;
};

ConsoleState OpenConsole() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    ConsoleState state = {GetConsoleCP(), GetConsoleOutputCP(), 0};
    GetConsoleMode(input, &state.inputMode);
    SetConsoleCP(866);
    SetConsoleOutputCP(866);
    SetConsoleMode(input, ENABLE_WINDOW_INPUT);
    // Under Wine the console's first key starts the desktop process, which can take
    // seconds; asking for the desktop here moves that wait before the first screen.
    GetDesktopWindow();
    return state;
}

void RestoreConsole(const ConsoleState& state) {
    SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), state.inputMode);
    SetConsoleCP(state.inputCp);
    SetConsoleOutputCP(state.outputCp);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseArgs(argc, argv, &options, &error)) {
        std::fprintf(stderr, "lexamund-demo: %s\n\n%s", error.c_str(), DemoUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(DemoUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("lexamund-demo %s\n", LEXAMUND_VERSION);
        return 0;
    }
    if (options.file.empty()) {
        options.file = ExeFolder() +
                       (options.table == CharTable::Win1251 ? "sample-1251.txt" : "sample-oem.txt");
    }
    std::vector<InputRecord> script;
    if (!ParseKeyScript(options.keys, &script, &error)) {
        std::fprintf(stderr, "lexamund-demo: %s\n", error.c_str());
        return 2;
    }
    TestHost host;
    Document doc;
    host.pluginKey = kDemoPluginKey;
    host.table = options.table;
    if (!LoadPlugin(options, &host, &error) || !LoadDocument(options.file, &host, &doc, &error)) {
        std::fprintf(stderr, "lexamund-demo: %s\n", error.c_str());
        return 1;
    }
    gDemoHost = &host;
    ConnectHost(&host, &doc);
    if (options.dump) _setmode(_fileno(stdout), _O_BINARY);
    const ConsoleState console = options.dump ? ConsoleState{} : OpenConsole();
    ScreenOpen(!options.dump);
    host.Start(host.plugin);
    host.ClearRecord();
    QueueInput(script);
    RunEditor(&host, &doc);
    if (options.dump) OnScriptEnd();
    ScreenClose();
    if (!options.dump) RestoreConsole(console);
    return 0;
}
