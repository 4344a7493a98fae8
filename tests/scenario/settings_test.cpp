// Start-up, the menu entry, the settings dialog and the registry, through the host interface.
#include "tests/scenario/scenario_fixture.h"

#include <array>
#include <cstring>

namespace {

// Space, Menu1, Sound, Numbers, IgnoreCase, NearestFirst, AllAbove: the dialog's check boxes
// and the registry values, in their order.
using Settings7 = std::array<std::int32_t, 7>;
const char* const kValueNames[] = {"Space",      "Menu1",        "Sound",   "Numbers",
                                   "IgnoreCase", "NearestFirst", "AllAbove"};

class SettingsScenario : public Scenario {
  protected:
    std::string SettingsKey() const { return host.pluginKey + "\\Lexamund"; }

    void Plant(const std::string& name, std::uint32_t type,
               const std::vector<std::uint8_t>& bytes) {
        PlantRegistryValue(SettingsKey(), name, type, bytes);
    }
    void PlantDword(const std::string& name, std::uint32_t value) {
        Plant(name, kTestRegDword,
              {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
    }

    // Hands the plug-in the host's record again and forgets what happened so far.
    void Restart() {
        host.Start(PluginUnderTest());
        host.ClearRecord();
        gRegistryCalls.clear();
    }

    // Opens the settings dialog with the given answer; returns OpenPlugin's result.
    std::int32_t OpenDialog(std::function<std::int32_t(DialogItemRecord*, std::int32_t)> answer) {
        host.dialogAnswer = std::move(answer);
        return host.plugin.openPlugin(0, 0);
    }

    // The settings the plug-in holds, as its dialog shows them; the dialog is left without
    // a button, which must not touch the registry.
    Settings7 Shown() {
        const std::size_t callsBefore = gRegistryCalls.size();
        EXPECT_EQ(OpenDialog([](DialogItemRecord*, std::int32_t) { return -1; }), -1);
        EXPECT_EQ(gRegistryCalls.size(), callsBefore);
        const std::vector<DialogItemRecord>& items = host.dialogs.back().items;
        return {items[1].selected, items[2].selected, items[3].selected, items[4].selected,
                items[5].selected, items[6].selected, items[7].selected};
    }

    // Confirms the dialog after setting the check boxes to states.
    void Confirm(const Settings7& states) {
        EXPECT_EQ(OpenDialog([states](DialogItemRecord* items, std::int32_t) {
                      for (int i = 0; i < 7; ++i)
                          items[i + 1].selected = states[i];
                      return 8;
                  }),
                  -1);
    }

    // The stored value, or -1 when it is missing or not a 4-byte REG_DWORD.
    std::int64_t StoredDword(const std::string& name, const std::string& key = "") {
        RegistryValue value;
        if (!ReadRegistryValue(key.empty() ? SettingsKey() : key, name, &value)) return -1;
        if (value.type != kTestRegDword || value.data.size() != 4) return -1;
        std::uint32_t word = 0;
        std::memcpy(&word, value.data.data(), 4);
        return word;
    }

    std::string OpenLine() const {
        return "Open 80000001 " + SettingsKey() + " options 0 access 1";
    }
    std::string CreateLine() const { return "Create 80000001 " + SettingsKey() + " access 20006"; }
};

std::vector<std::string> SaveLines(const std::string& create, const Settings7& values) {
    std::vector<std::string> lines;
    for (int i = 0; i < 7; ++i) {
        char data[16];
        const auto v = static_cast<std::uint32_t>(values[i]);
        std::snprintf(data, sizeof data, "%02x%02x%02x%02x", v & 0xFF, (v >> 8) & 0xFF,
                      (v >> 16) & 0xFF, v >> 24);
        lines.insert(lines.end(),
                     {create, std::string("Set ") + kValueNames[i] + " type 4 size 4 data " + data,
                      "Close"});
    }
    return lines;
}

// ---- Start-up and loading ----

TEST_F(SettingsScenario, FirstRunLeavesTheDefaultsAndCreatesNothing) {
    EXPECT_EQ(gRegistryCalls, std::vector<std::string>(8, OpenLine()));
    EXPECT_EQ(Shown(), (Settings7{0, 0, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(RegistryKeyExists(host.pluginKey));
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40}) << "Sound is on by default";
}

TEST_F(SettingsScenario, StoredValuesLoadAsStoredAndOversizedOnesAreIgnored) {
    PlantDword("Sound", 0);
    PlantDword("Numbers", 7);
    PlantDword("NearestFirst", 9);
    PlantDword("AllAbove", 2);
    Plant("Space", 11, {1, 0, 0, 0, 0, 0, 0, 0});        // 8 bytes: does not fit
    Plant("IgnoreCase", kTestRegDword, {1, 0, 0, 0, 0}); // 5 bytes: does not fit either
    Restart();
    EXPECT_EQ(Shown(), (Settings7{0, 0, 0, 7, 0, 9, 2}));

    Restart();
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_TRUE(host.beeps.empty()) << "a stored Sound of 0 silences the beep";
    EXPECT_EQ(CompleteAtEnd({"x1a9 more", "x1"}, 1), 1) << "Numbers 7 counts as on";
    EXPECT_EQ(host.lines[1], "x1a9");
}

TEST_F(SettingsScenario, StartUpReadsEachValueWithItsOwnOpenQueryClose) {
    PlantDword("Menu1", 1);
    gRegistryCalls.clear();
    host.Start(PluginUnderTest());
    std::vector<std::string> expected;
    for (const char* name : kValueNames) {
        expected.insert(expected.end(),
                        {OpenLine(), std::string("Query ") + name + " size 4", "Close"});
    }
    expected.insert(expected.end(), {OpenLine(), "Query WordChars size 100", "Close"});
    EXPECT_EQ(gRegistryCalls, expected);
}

// The user's own word characters come from the REG_SZ value WordChars, read at start-up as
// far as its size says: printable ASCII that is no letter or digit, less '&', each once, the
// first 16. A value of another type or of more than 256 bytes gives none, and the dialog's
// save leaves the value alone. Each row is seen as the words `x<c>y` that `x` completes.
TEST_F(SettingsScenario, WordCharsGivesTheAllowedCharactersEachOnceUpTo16) {
    const std::string allowed = "!\"#$%'()*+,-./:;<=>?@[\\]^_`{|}~";
    std::string line = "x y x\x7Fy ";
    for (const char c : allowed + "&")
        line += std::string("x") + c + "y ";
    const std::string blanks(255, ' ');
    const struct {
        std::uint32_t type;
        std::string data;
        std::string chars;
    } rows[] = {
        {kTestRegSz, std::string("-\0", 2), "-"},
        {kTestRegSz, "", ""},
        {kTestRegSz, "-.", "-."}, // no terminating zero
        {kTestRegSz, std::string("-\0.", 3), "-"},
        {kTestRegSz, " \t&aZ09\x7F\x80\xFF", ""},
        {kTestRegSz, ":&" + std::string(20, '-') + ".", ":-."},
        {kTestRegSz, allowed, allowed.substr(0, 16)},
        {kTestRegSz, blanks + "-", "-"},  // 256 bytes
        {kTestRegSz, blanks + " -", ""},  // 257 bytes
        {2, std::string("-\0", 2), ""},   // REG_EXPAND_SZ
        {7, std::string("-\0\0", 3), ""}, // REG_MULTI_SZ
        {kTestRegBinary, "-", ""},
        {kTestRegDword, std::string("-\0\0\0", 4), ""},
    };
    for (const auto& row : rows) {
        Plant("WordChars", row.type, std::vector<std::uint8_t>(row.data.begin(), row.data.end()));
        Restart();
        host.menuChoice = -1;
        CompleteAtEnd({line, "x"}, 1);
        std::vector<std::string> expected, found;
        for (const char c : allowed) {
            if (row.chars.find(c) != std::string::npos)
                expected.push_back(std::string("x") + c + "y");
        }
        for (const MenuShown& menu : host.menus) {
            for (const std::string& label : menu.labels)
                found.push_back(label.substr(label[0] == '&' ? 3 : 2));
        }
        for (const std::string& rest : Inserted())
            found.push_back("x" + rest);
        EXPECT_EQ(found, expected) << "type " << row.type << ", '" << row.data << "'";
    }
    Confirm({1, 0, 1, 0, 0, 0, 0});
    RegistryValue value;
    ASSERT_TRUE(ReadRegistryValue(SettingsKey(), "WordChars", &value));
    EXPECT_EQ(value.type, kTestRegDword);
    EXPECT_EQ(value.data, (std::vector<std::uint8_t>{'-', 0, 0, 0})) << "the save left it alone";
}

TEST_F(SettingsScenario, ShortValuesFillTheLowBytesAndZeroTheRest) {
    Plant("Space", kTestRegBinary, {5});
    Plant("Menu1", kTestRegBinary, {1, 2});
    Plant("Sound", kTestRegBinary, {0, 0, 0});
    Plant("Numbers", kTestRegSz, {'a', 'b', 0});
    Plant("IgnoreCase", kTestRegSz, {'x', 0});
    Plant("NearestFirst", kTestRegBinary, {1, 2, 3, 4}); // another type, 4 bytes: taken
    Plant("AllAbove", kTestRegBinary, {3, 0});
    Restart();
    EXPECT_EQ(Shown(), (Settings7{5, 0x0201, 0, 0x6261, 'x', 0x04030201, 3}));
}

TEST_F(SettingsScenario, RepeatedStartUpReloadsFromTheRegistry) {
    // A key as 1.0.x left it: the four values it knew and not the three newer ones.
    for (const char* name : {"Space", "Menu1", "Sound", "Numbers"})
        PlantDword(name, 1);
    Restart();
    EXPECT_EQ(Shown(), (Settings7{1, 1, 1, 1, 0, 0, 0}));
    PlantDword("Space", 0);
    PlantDword("NearestFirst", 3);
    PlantDword("AllAbove", 1);
    Restart();
    EXPECT_EQ(Shown(), (Settings7{0, 1, 1, 1, 0, 3, 1}));
}

// ---- The dialog ----

TEST_F(SettingsScenario, ConfirmingWithoutAChangeCreatesTheKeysAndWritesSixDwordsInOrder) {
    gRegistryCalls.clear();
    Confirm({0, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(gRegistryCalls, SaveLines(CreateLine(), {0, 0, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(RegistryKeyExists(host.pluginKey));
    std::vector<std::int64_t> stored;
    for (const char* name : kValueNames)
        stored.push_back(StoredDword(name));
    EXPECT_EQ(stored, (std::vector<std::int64_t>{0, 0, 1, 0, 0, 0, 0}));
    // And again, into the existing key.
    gRegistryCalls.clear();
    Confirm({0, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(gRegistryCalls, SaveLines(CreateLine(), {0, 0, 1, 0, 0, 0, 0}));
}

TEST_F(SettingsScenario, SecondButtonAndLeavingWithoutAButtonChangeNothing) {
    PlantDword("Sound", 0);
    Restart();
    // 9 is the second button; 5 and 7 were the default button's index before there were six
    // and seven boxes.
    for (std::int32_t result : {9, -1, 0, 5, 7, 100}) {
        EXPECT_EQ(OpenDialog([result](DialogItemRecord* items, std::int32_t) {
                      for (int i = 1; i <= 7; ++i)
                          items[i].selected = 1;
                      return result;
                  }),
                  -1);
        EXPECT_EQ(Shown(), (Settings7{0, 0, 0, 0, 0, 0, 0})) << "result " << result;
    }
    EXPECT_TRUE(gRegistryCalls.empty());
    EXPECT_EQ(StoredDword("Space"), -1);
    EXPECT_EQ(StoredDword("Sound"), 0);
}

TEST_F(SettingsScenario, HostStatesAreKeptAsTheHostLeftThem) {
    gRegistryCalls.clear();
    Confirm({7, 0, -1, 2, 0x100, 5, 3});
    EXPECT_EQ(gRegistryCalls, SaveLines(CreateLine(), {7, 0, -1, 2, 0x100, 5, 3}));
    EXPECT_EQ(StoredDword("Space"), 7);
    EXPECT_EQ(StoredDword("Sound"), 0xFFFFFFFF);
    EXPECT_EQ(StoredDword("IgnoreCase"), 0x100);
    EXPECT_EQ(StoredDword("AllAbove"), 3);
    EXPECT_EQ(Shown(), (Settings7{7, 0, -1, 2, 0x100, 5, 3}));
    Restart();
    EXPECT_EQ(Shown(), (Settings7{7, 0, -1, 2, 0x100, 5, 3})) << "loaded back unchanged";
}

TEST_F(SettingsScenario, AChangedSettingGovernsTheNextCompletion) {
    EXPECT_EQ(CompleteAtEnd({"hello world", "he"}, 1), 1);
    EXPECT_EQ(host.lines[1], "hello");
    Confirm({1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(CompleteAtEnd({"hello world", "he"}, 1), 1);
    EXPECT_EQ(host.lines[1], "hello ");
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_TRUE(host.beeps.empty());
    Confirm({0, 1, 1, 0, 0, 0, 0});
    EXPECT_EQ(CompleteAtEnd({"hello world", "he"}, 1), 1);
    ASSERT_EQ(host.menus.size(), 1u) << "Menu1 shows a single candidate in a menu";
}

TEST_F(SettingsScenario, FailedWritesLeaveTheNewSettingsInForceUntilTheNextStartUp) {
    gRegistryFaults.set = 5;
    Confirm({1, 0, 1, 0, 1, 1, 1});
    EXPECT_EQ(CompleteAtEnd({"hello world", "he"}, 1), 1);
    EXPECT_EQ(host.lines[1], "hello ");
    EXPECT_EQ(StoredDword("Space"), -1);
    gRegistryFaults = {};
    Restart();
    EXPECT_EQ(Shown(), (Settings7{0, 0, 1, 0, 0, 0, 0}));

    gRegistryFaults.create = 5;
    Confirm({0, 1, 0, 1, 1, 0, 1});
    EXPECT_EQ(gRegistryCalls, std::vector<std::string>(7, CreateLine()));
    EXPECT_EQ(Shown(), (Settings7{0, 1, 0, 1, 1, 0, 1}));
}

// The items the dialog must show, with the given states and, in each item, the text of
// its message number in texts.
void ExpectTemplate(const std::vector<DialogItemRecord>& items, const Settings7& states,
                    const std::array<std::string, 12>& texts) {
    struct Shape {
        std::int32_t type, x1, y1, x2, y2, focus, flags, defaultButton, message;
    };
    const Shape shapes[10] = {{3, 1, 1, 38, 12, 0, 0, 0, 1},     {8, 3, 3, 0, 0, 1, 0, 0, 2},
                              {8, 3, 4, 0, 0, 0, 0, 0, 3},       {8, 3, 5, 0, 0, 0, 0, 0, 4},
                              {8, 3, 6, 0, 0, 0, 0, 0, 5},       {8, 3, 7, 0, 0, 0, 0, 0, 9},
                              {8, 3, 8, 0, 0, 0, 0, 0, 10},      {8, 3, 9, 0, 0, 0, 0, 0, 11},
                              {7, 0, 11, 0, 0, 0, 0x4000, 1, 6}, {7, 0, 11, 0, 0, 0, 0x4000, 0, 7}};
    ASSERT_EQ(items.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const DialogItemRecord& item = items[i];
        const Shape& s = shapes[i];
        EXPECT_EQ((std::array<std::int32_t, 8>{item.type, item.x1, item.y1, item.x2, item.y2,
                                               item.focus, item.flags, item.defaultButton}),
                  (std::array<std::int32_t, 8>{s.type, s.x1, s.y1, s.x2, s.y2, s.focus, s.flags,
                                               s.defaultButton}))
            << "item " << i;
        EXPECT_EQ(item.selected, i >= 1 && i <= 7 ? states[i - 1] : 0) << "item " << i;
        const std::string& text = texts[static_cast<std::size_t>(s.message)];
        EXPECT_STREQ(item.data, text.c_str()) << "item " << i;
        for (std::size_t b = text.size(); b < sizeof item.data; ++b) {
            ASSERT_EQ(item.data[b], 0) << "stale byte " << b << " in item " << i;
        }
    }
}

TEST_F(SettingsScenario, EachDialogStartsFromTheTemplate) {
    EXPECT_EQ(OpenDialog([](DialogItemRecord* items, std::int32_t count) {
                  for (std::int32_t i = 0; i < count; ++i) {
                      std::memset(&items[i], 0x7E, sizeof items[i]);
                  }
                  return 6;
              }),
              -1);
    ExpectTemplate(host.dialogs[0].items, {0, 0, 1, 0, 0, 0, 0}, host.messages);
    host.messages[1] = "Other title";
    host.messages[7] = "&Close";
    Confirm({1, 0, 1, 0, 1, 0, 1});
    ExpectTemplate(host.dialogs[1].items, {0, 0, 1, 0, 0, 0, 0}, host.messages);
    Shown();
    ExpectTemplate(host.dialogs[2].items, {1, 0, 1, 0, 1, 0, 1}, host.messages);

    const DialogShown& shown = host.dialogs[2];
    EXPECT_EQ((std::array<std::int64_t, 6>{shown.moduleNumber, shown.x1, shown.y1, shown.x2,
                                           shown.y2, static_cast<std::int64_t>(shown.reserved)}),
              (std::array<std::int64_t, 6>{host.moduleNumber, -1, -1, 40, 14, 0}));
    std::vector<std::int64_t> looked;
    for (std::int32_t index : host.CallsOf(CallKind::LookupMessage)) {
        looked.push_back(host.calls[static_cast<std::size_t>(index)].args[1]);
    }
    EXPECT_EQ(looked,
              (std::vector<std::int64_t>{1, 2,  3,  4, 5, 9, 10, 11, 6, 7, 1, 2,  3,  4, 5,
                                         9, 10, 11, 6, 7, 1, 2,  3,  4, 5, 9, 10, 11, 6, 7}));
}

// Texts of 600 and of exactly 511 characters: each is cut to the 511 an item holds, and its
// terminator stays inside its own item.
TEST_F(SettingsScenario, AMessageLongerThanAnItemIsCutToFitAndLeavesTheOtherItemsAlone) {
    std::array<std::string, 12> cut;
    for (std::size_t number = 1; number < host.messages.size(); ++number) {
        host.messages[number] =
            std::string(number % 2 == 0 ? 600 : 511, static_cast<char>('a' + number));
        cut[number] = host.messages[number].substr(0, 511);
    }
    Shown();
    ExpectTemplate(host.dialogs.back().items, {0, 0, 1, 0, 0, 0, 0}, cut);
}

// ---- The key path ----

TEST_F(SettingsScenario, TheHostsKeyStringChangedAfterStartUpDoesNotMoveTheSettings) {
    const std::string original = host.pluginKey;
    host.pluginKey = original + "\\Inner";
    Restart();
    const std::string startKey = SettingsKey();
    // Overwrite the host's string in place, then replace it.
    std::fill(host.pluginKey.begin() + 9, host.pluginKey.end(), 'Z');
    host.pluginKey = original + "\\Moved";
    Confirm({1, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(StoredDword("NearestFirst", startKey), 1);
    EXPECT_FALSE(RegistryKeyExists(SettingsKey()));
}

std::string KeyOfLength(const std::string& base, std::size_t length) {
    std::string key = base + "\\";
    key.resize(length, 'k');
    return key;
}

TEST_F(SettingsScenario, AHostKeyThatFillsTheKeyPathExactlyIsUsed) {
    host.pluginKey = KeyOfLength(host.pluginKey, 78); // + "\Lexamund" = 87 characters
    PlantDword("Sound", 0);
    Restart();
    EXPECT_EQ(Shown(), (Settings7{0, 0, 0, 0, 0, 0, 0}));
    Confirm({1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(StoredDword("Space"), 1);
}

TEST_F(SettingsScenario, AHostKeyTooLongForTheKeyPathLeavesTheRegistryAlone) {
    const std::string base = host.pluginKey;
    for (std::size_t length : {79, 95, 120}) {
        host.pluginKey = KeyOfLength(base, length);
        PlantDword("Sound", 0);
        Restart();
        EXPECT_TRUE(gRegistryCalls.empty()) << "start-up read from a cut-off key";
        EXPECT_EQ(Shown(), (Settings7{0, 0, 1, 0, 0, 0, 0}));
        Confirm({1, 1, 0, 1, 1, 1, 1});
        EXPECT_TRUE(gRegistryCalls.empty()) << "the dialog wrote to a cut-off key";
        EXPECT_EQ(Shown(), (Settings7{1, 1, 0, 1, 1, 1, 1}))
            << "the settings still apply in memory";
        EXPECT_EQ(StoredDword("Space"), -1);
        EXPECT_EQ(StoredDword("Sound"), 0);
    }
}

// ---- The menu entry ----

TEST_F(SettingsScenario, GetPluginInfoWritesExactlyItsWords) {
    constexpr HostWord kMarker = static_cast<HostWord>(0xA5A5A5A5u);
    PluginInfoRecord info;
    HostWord* words = reinterpret_cast<HostWord*>(&info);
    std::fill(words, words + 10, kMarker);
    host.plugin.getPluginInfo(&info);
    EXPECT_EQ(words[0], 40u);
    EXPECT_EQ(words[1], 6u);
    EXPECT_EQ(words[4], 0u);
    EXPECT_EQ(words[6], 1u);
    EXPECT_EQ(words[8], 0u);
    for (int untouched : {2, 3, 7, 9})
        EXPECT_EQ(words[untouched], kMarker) << untouched;
    ASSERT_NE(info.menuEntries, nullptr);
    EXPECT_EQ(info.menuEntries[0], host.messages[1].c_str()) << "the host's pointer, unchanged";

    host.messages[1] = "A different and much longer entry text";
    const char* const* array = info.menuEntries;
    host.plugin.getPluginInfo(&info);
    EXPECT_EQ(info.menuEntries, array);
    EXPECT_EQ(array[0], host.messages[1].c_str()) << "the latest lookup";
    EXPECT_EQ(host.CountOf(CallKind::LookupMessage), 2u);
}

} // namespace
