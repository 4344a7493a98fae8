// The numbers and names the plug-in shares with its host, held as the host has them: every
// row of the one table is written from the host's side, and one run of the plug-in reads
// each back from what the plug-in did (a record's layout, from its declaration).
#include "tests/scenario/scenario_fixture.h"

#include <algorithm>
#include <cstddef>
#include <set>
#include <sstream>

namespace {

// What is shared, the numbers as the host has them and, for a row of names, the names in
// order. Rows whose name starts with "i686" hold the 32-bit layout only the DLL has.
struct ContractRow {
    std::string what;
    std::vector<std::int64_t> numbers;
    std::string names;
};

const std::string kOptionNames = "Space Menu1 Sound Numbers IgnoreCase NearestFirst AllAbove";

// Dialog items: type, x1, y1, x2, y2, focus, flags, default button, message of its text.
const ContractRow kContract[] = {
    {"Ctrl+Space: event types, virtual keys, control bits", {1, 0x20, 0x0004, 0x0008}, ""},
    {"editor commands: GetLine, InsertText, GetEditorState, SetPosition, Redraw, ConvertText",
     {0, 5, 6, 7, 9, 10},
     ""},
    {"ShowMenu: rows, flags, three reserved words", {22, 2, 0, 0, 0}, ""},
    {"messages: menu title, menu bottom text", {0, 8}, ""},
    {"beep when nothing is found", {0x40}, ""},
    {"PluginInfo words 0-9 (-1 as the host left it; word 5: its entry's message)",
     {40, 6, -1, -1, 0, 1, 1, -1, 0, -1},
     ""},
    {"RunDialog: x1, y1, x2, y2, reserved, item count", {-1, -1, 40, 14, 0, 10}, ""},
    {"dialog item 0", {3, 1, 1, 38, 12, 0, 0, 0, 1}, ""},
    {"dialog item 1", {8, 3, 3, 0, 0, 1, 0, 0, 2}, ""},
    {"dialog item 2", {8, 3, 4, 0, 0, 0, 0, 0, 3}, ""},
    {"dialog item 3", {8, 3, 5, 0, 0, 0, 0, 0, 4}, ""},
    {"dialog item 4", {8, 3, 6, 0, 0, 0, 0, 0, 5}, ""},
    {"dialog item 5", {8, 3, 7, 0, 0, 0, 0, 0, 9}, ""},
    {"dialog item 6", {8, 3, 8, 0, 0, 0, 0, 0, 10}, ""},
    {"dialog item 7", {8, 3, 9, 0, 0, 0, 0, 0, 11}, ""},
    {"dialog item 8", {7, 0, 11, 0, 0, 0, 0x4000, 1, 6}, ""},
    {"dialog item 9", {7, 0, 11, 0, 0, 0, 0x4000, 0, 7}, ""},
    {"dialog results that save", {8}, ""},
    {"registry values read at start-up", {}, kOptionNames + " WordChars"},
    {"registry values saved, as first loaded", {0, 0, 1, 0, 0, 0, 0}, kOptionNames},
    {"registry values saved: type, size", {4, 4}, ""},
    {"record sizes: input, editor state, position, menu item, dialog item",
     {20, 112, 24, 140, 548},
     ""},
    {"record offsets: key event, virtual key, control state; cursor line, cursor column, "
     "window top, window left; check box state, default button, item text",
     {4, 10, 16, 20, 24, 32, 36, 24, 32, 36},
     ""},
    {"StartupRecord words: module, key, ShowMenu, RunDialog, LookupMessage, EditorCommand, all",
     {66, 67, 68, 69, 71, 83, 84},
     ""},
    {"i686 sizes: line, conversion, StartupRecord, PluginInfo; line text offset",
     {32, 8, 336, 40, 4},
     ""},
};

constexpr std::uint16_t kEventTypesTried = 8;
constexpr std::uint32_t kKeysTried = 0x200;
constexpr std::int32_t kDialogResultsTried = 12;
constexpr HostWord kKept = 0x5A5A5A5A;

// The editor command codes the plug-in used, raw, before the test host reads them.
std::set<std::int32_t> gCommands;

std::int32_t HOSTCALL HOST_SERVICE RecordCommand(std::int32_t command, void* param) {
    gCommands.insert(command);
    return TestHost::EditorCommand(command, param);
}

// The number of the message whose text starts text: each text is "<number>".
std::int64_t MessageOf(const std::string& text) {
    std::int64_t number = -1;
    std::istringstream in(text);
    in.ignore(1) >> number;
    return text.empty() || text[0] != '<' ? -1 : number;
}

class Contract : public Scenario {
  protected:
    // Starts the plug-in again with its editor commands recorded raw and each message's
    // text its number.
    void SetUp() override {
        Scenario::SetUp();
        for (std::size_t n = 0; n < host.messages.size(); ++n)
            host.messages[n] = "<" + std::to_string(n) + ">" + (n == 8 ? "%d" : "");
        Start();
    }

    void Start() {
        gCommands.clear();
        gRegistryCalls.clear();
        StartupRecord record = host.MakeStartupRecord();
        record.editorCommand = &RecordCommand;
        host.plugin.setStartupInfo(&record);
    }

    // The values start-up reads from a key that holds them all, in order.
    void ObserveStartUp() {
        Start();
        std::string read;
        for (const std::string& line : gRegistryCalls) {
            std::istringstream words(line);
            std::string verb, name;
            if (words >> verb >> name && verb == "Query") read += (read.empty() ? "" : " ") + name;
        }
        seen.push_back({"registry values read at start-up", {}, read});
    }

    void Saw(const std::string& what, std::vector<std::int64_t> numbers) {
        seen.push_back({what, std::move(numbers), ""});
    }

    // The events that start a request: every event type, key and single control bit, each
    // tried with the console's other numbers for Ctrl+Space.
    void ObserveKeys() {
        std::vector<std::int64_t> found;
        for (std::uint16_t type = 0; type < kEventTypesTried; ++type) {
            InputRecord event = KeyEvent(true, kConsoleVkSpace, kConsoleLeftCtrl);
            event.EventType = type;
            if (host.Send(event) == 1) found.push_back(type);
        }
        for (std::uint32_t key = 0; key < kKeysTried; ++key) {
            const auto virtualKey = static_cast<std::uint16_t>(key);
            if (host.Send(KeyEvent(true, virtualKey, kConsoleLeftCtrl)) == 1) found.push_back(key);
        }
        for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
            if (host.Send(KeyEvent(true, kConsoleVkSpace, bit)) == 1) found.push_back(bit);
        }
        Saw("Ctrl+Space: event types, virtual keys, control bits", found);
    }

    // A menu chosen from, a request that finds nothing, and the commands of all of them.
    void ObserveMenuAndCommands() {
        host.ClearRecord();
        host.menuChoice = 0;
        host.SetText({"alpha alps", "al"}, 1, 2);
        host.PressCtrlSpace();
        host.SetText({"xyz", "q"}, 1, 1);
        host.PressCtrlSpace();
        ASSERT_EQ(host.menus.size(), 1u);
        const MenuShown& menu = host.menus[0];
        Saw("ShowMenu: rows, flags, three reserved words",
            {menu.maxHeight, menu.flags, static_cast<std::int64_t>(menu.reserved[0]),
             static_cast<std::int64_t>(menu.reserved[1]),
             static_cast<std::int64_t>(menu.reserved[2])});
        Saw("messages: menu title, menu bottom text",
            {MessageOf(menu.title), MessageOf(menu.bottom)});
        Saw("beep when nothing is found", {host.beeps.begin(), host.beeps.end()});
        Saw("editor commands: GetLine, InsertText, GetEditorState, SetPosition, Redraw, "
            "ConvertText",
            {gCommands.begin(), gCommands.end()});
    }

    void ObservePluginInfo() {
        HostWord words[10];
        std::fill(std::begin(words), std::end(words), kKept);
        host.plugin.getPluginInfo(reinterpret_cast<PluginInfoRecord*>(words));
        std::vector<std::int64_t> numbers;
        for (std::size_t i = 0; i < 10; ++i) {
            const auto* entries = reinterpret_cast<const char* const*>(words[i]);
            numbers.push_back(words[i] == kKept ? -1
                              : i == 5          ? MessageOf(entries[0])
                                                : static_cast<std::int64_t>(words[i]));
        }
        Saw("PluginInfo words 0-9 (-1 as the host left it; word 5: its entry's message)", numbers);
    }

    // The dialog as handed over, the results that save, and what they save.
    void ObserveDialog() {
        std::vector<std::int64_t> saving, values, kinds;
        std::string names;
        for (std::int32_t result = -1; result < kDialogResultsTried; ++result) {
            gRegistryCalls.clear();
            host.dialogResult = result;
            host.plugin.openPlugin(0, 0);
            if (SavedValues(&names, &values, &kinds)) saving.push_back(result);
        }
        seen.push_back({"registry values saved, as first loaded", values, names});
        Saw("registry values saved: type, size", kinds);
        Saw("dialog results that save", saving);
        ASSERT_FALSE(host.dialogs.empty());
        const DialogShown& dialog = host.dialogs[0];
        Saw("RunDialog: x1, y1, x2, y2, reserved, item count",
            {dialog.x1, dialog.y1, dialog.x2, dialog.y2, static_cast<std::int64_t>(dialog.reserved),
             static_cast<std::int64_t>(dialog.items.size())});
        for (std::size_t i = 0; i < dialog.items.size(); ++i) {
            const DialogItemRecord& it = dialog.items[i];
            Saw("dialog item " + std::to_string(i),
                {it.type, it.x1, it.y1, it.x2, it.y2, it.focus, it.flags, it.defaultButton,
                 MessageOf(it.data)});
        }
    }

    // The values the last dialog wrote, once (names, values, distinct type and size); false
    // when it wrote none.
    static bool SavedValues(std::string* names, std::vector<std::int64_t>* values,
                            std::vector<std::int64_t>* kinds) {
        bool saved = false;
        const bool first = names->empty();
        for (const std::string& line : gRegistryCalls) {
            std::istringstream words(line);
            std::string verb, name, skip, data;
            std::int64_t type = 0, size = 0;
            if (!(words >> verb >> name >> skip >> type >> skip >> size >> skip >> data) ||
                verb != "Set")
                continue;
            saved = true;
            if (!first) continue;
            *names += (names->empty() ? "" : " ") + name;
            std::reverse(data.begin(), data.end()); // little-endian hex, nibbles swapped
            for (std::size_t k = 0; k + 1 < data.size(); k += 2)
                std::swap(data[k], data[k + 1]);
            values->push_back(std::stoll(data, nullptr, 16));
            if (kinds->empty()) *kinds = {type, size};
            if (*kinds != std::vector<std::int64_t>{type, size}) kinds->push_back(-1);
        }
        return saved;
    }

    void ObserveLayouts() {
        constexpr std::size_t kEvent = offsetof(InputRecord, Event);
        Saw("record sizes: input, editor state, position, menu item, dialog item",
            {sizeof(InputRecord), sizeof(EditorStateRecord), sizeof(PositionRecord),
             sizeof(MenuItemRecord), sizeof(DialogItemRecord)});
        Saw("record offsets: key event, virtual key, control state; cursor line, cursor column, "
            "window top, window left; check box state, default button, item text",
            {kEvent, kEvent + offsetof(KeyEventRecord, wVirtualKeyCode),
             kEvent + offsetof(KeyEventRecord, dwControlKeyState),
             offsetof(EditorStateRecord, cursorLine), offsetof(EditorStateRecord, cursorColumn),
             offsetof(EditorStateRecord, windowTopLine),
             offsetof(EditorStateRecord, windowLeftColumn), offsetof(DialogItemRecord, selected),
             offsetof(DialogItemRecord, defaultButton), offsetof(DialogItemRecord, data)});
        constexpr std::size_t kWord = sizeof(HostWord);
        Saw("StartupRecord words: module, key, ShowMenu, RunDialog, LookupMessage, EditorCommand, "
            "all",
            {offsetof(StartupRecord, moduleNumber) / kWord,
             offsetof(StartupRecord, pluginKey) / kWord, offsetof(StartupRecord, showMenu) / kWord,
             offsetof(StartupRecord, runDialog) / kWord,
             offsetof(StartupRecord, lookupMessage) / kWord,
             offsetof(StartupRecord, editorCommand) / kWord, sizeof(StartupRecord) / kWord});
        Saw("i686 sizes: line, conversion, StartupRecord, PluginInfo; line text offset",
            {sizeof(LineRecord), sizeof(ConversionRecord), sizeof(StartupRecord),
             sizeof(PluginInfoRecord), offsetof(LineRecord, lineText)});
    }

    std::vector<ContractRow> seen;
};

TEST_F(Contract, PluginUsesTheHostsNumbers) {
    host.SetText({"alpha alps", "al"}, 1, 2);
    host.menuChoice = -1;
    ObserveKeys();
    ObserveMenuAndCommands();
    ObservePluginInfo();
    ObserveDialog();
    ObserveStartUp();
    ObserveLayouts();
    for (const ContractRow& row : kContract) {
        if (!kHostLayout32 && row.what.rfind("i686", 0) == 0) continue;
        const auto found = std::find_if(
            seen.begin(), seen.end(), [&row](const ContractRow& s) { return s.what == row.what; });
        if (found == seen.end()) {
            ADD_FAILURE() << "not seen: " << row.what;
            continue;
        }
        EXPECT_EQ(found->numbers, row.numbers) << row.what;
        EXPECT_EQ(found->names, row.names) << row.what;
    }
    EXPECT_EQ(seen.size(), std::size(kContract)) << "more seen than the table holds";
}

} // namespace
