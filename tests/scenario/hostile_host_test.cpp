// A host that misbehaves as a buggy host could: huge lines, wild cursor columns, a window
// without words, a menu answer past a full menu, long message texts, start-up handed over
// twice, records and services missing.
#include "tests/scenario/scenario_fixture.h"

#include <climits>
#include <cstring>

namespace {

using Hostile = Scenario;

constexpr std::size_t kHugeLine = std::size_t{200} * 1024;

// A line of kHugeLine bytes: head, then blanks, with tail written at offset at.
std::string HugeLine(const std::string& head, std::size_t at = 0, const std::string& tail = "") {
    std::string line = head;
    line.resize(kHugeLine, ' ');
    if (!tail.empty()) line.replace(at, tail.size(), tail);
    return line;
}

// Every ConvertText handed at most the 1024 bytes that take part in a request.
void ExpectConversionsWithinACopy(const TestHost& host) {
    for (const HostCall& call : host.calls) {
        if (call.kind != CallKind::ConvertText) continue;
        EXPECT_LE(call.args[0], 1024);
        EXPECT_LE(call.text.size(), 1024u);
    }
}

// ---- Lines of 200 KB ----

// Only the first 1024 bytes of each line take part; a word across byte 1024 is cut there.
TEST_F(Hostile, LinesOf200KilobytesTakePartWithTheirFirst1024BytesOnly) {
    const std::string above = HugeLine("abc = 1;", 1020, "abdefgh abzzz");
    const std::string farWord = HugeLine("", 100000, "abyyy");
    const std::string cursor = HugeLine("ab", 2, " + abqqq");
    host.menuChoice = 1;
    host.SetText({above, farWord, cursor}, 2, 2);
    EXPECT_EQ(host.PressCtrlSpace(), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].labels, (std::vector<std::string>{"&1 abc", "&2 abde"}));
    EXPECT_EQ(host.lines[2].substr(0, 12), "abde + abqqq");
    EXPECT_EQ(host.lines[2].size(), kHugeLine + 2);
    EXPECT_EQ(host.lines[0], above);
    ExpectConversionsWithinACopy(host);
}

// A cursor column past byte 1024 of a long line of word characters is passed on; at 1024
// the request runs on the first 1024 bytes, where the prefix overfills its buffer.
TEST_F(Hostile, CursorFarPastTheCopyOfALongLineIsPassedOn) {
    const std::string letters(kHugeLine, 'a');
    for (const std::int32_t column : {1025, 5000, 150000, INT_MAX}) {
        host.ClearRecord();
        host.SetText({"aaab", letters}, 1, column);
        EXPECT_EQ(host.PressCtrlSpace(), 0) << column;
        EXPECT_EQ(host.CountOf(CallKind::SetPosition), 0u) << column;
        EXPECT_EQ(host.CountOf(CallKind::InsertText), 0u) << column;
    }
    host.ClearRecord();
    host.SetText({"aaab", letters}, 1, 1024);
    EXPECT_EQ(host.PressCtrlSpace(), 1);
    EXPECT_EQ(host.CountOf(CallKind::InsertText), 0u);
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
    ExpectConversionsWithinACopy(host);
}

// A host that hands out long lines without their terminator: nothing past the first 1024
// bytes is read (the native build's AddressSanitizer would report it), and the words in
// them are found as usual.
TEST_F(Hostile, UnterminatedLongLinesAreReadNoFurther) {
    host.unterminatedLength = 1024;
    const std::string above = HugeLine("abc = 1;", 1018, " abdefgh");
    std::string cursor = std::string(1000, '.') + " ab";
    cursor.resize(1500, 'x');
    host.menuChoice = 1;
    host.SetText({above, cursor}, 1, 1003);
    EXPECT_EQ(host.PressCtrlSpace(), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].labels, (std::vector<std::string>{"&1 abc", "&2 abdef"}));
    EXPECT_EQ(host.lines[1].substr(1001, 5), "abdef");
    ExpectConversionsWithinACopy(host);
}

// ---- A cursor line that changes between reads ----

// The harvest reads the cursor's line again: shorter, longer or null then, its words are
// those of that answer (cut at the cursor), never those of the first read or of a line
// before.
TEST_F(Hostile, TheCursorLineReadAgainCountsAsAnsweredThen) {
    ASSERT_TRUE(UseOptions({.menu1 = 1}));
    const std::vector<std::string> above = {"&1 alpaca", "&2 alchemy", "&3 albatross"};
    struct Case {
        const char* second; // null: GetLine answers with a null text
        std::vector<std::string> fromIt;
    };
    const Case cases[] = {
        {"al", {}}, {"alto alps alpine al", {"&4 alto", "&5 alps"}}, {nullptr, {}}};
    for (const Case& c : cases) {
        host.SetText({"alpaca alchemy albatross", "alpine al"}, 1, 9);
        int reads = 0;
        host.beforeGetLine = [&] {
            if (++reads != 3) return; // the request's read, line 0, then the cursor's again
            if (c.second == nullptr) host.nullLines = {1};
            host.lines[1] = c.second == nullptr ? "alpine al" : c.second;
        };
        host.menuChoice = -1;
        host.ClearRecord();
        EXPECT_EQ(host.PressCtrlSpace(), 1);
        std::vector<std::string> expected = above;
        expected.insert(expected.end(), c.fromIt.begin(), c.fromIt.end());
        EXPECT_EQ(OnlyMenuLabels(), expected) << (c.second == nullptr ? "null" : c.second);
        host.beforeGetLine = nullptr;
        host.nullLines.clear();
    }
}

// ---- A full window without a single word character ----

TEST_F(Hostile, FullWindowOfLinesWithoutWordCharacters) {
    const std::string noWords = " .,;:!?+-*/=<>()[]{}'\"\t0123456789_";
    std::vector<std::string> lines;
    for (int i = 0; i < 2000; ++i) {
        std::string line;
        while (line.size() < 1023)
            line += noWords[(line.size() + i) % noWords.size()];
        lines.push_back(line);
    }
    lines.push_back(lines.back().substr(0, 1020) + " ab");
    host.windowTopLine = 1990;
    host.windowLeftColumn = 1000;
    EXPECT_EQ(CompleteAtEnd(lines, 2000), 1);
    EXPECT_EQ(host.CountOf(CallKind::GetLine), 2002u); // the request's own, then 2001
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(host.cursorLine, 2000);
    EXPECT_EQ(host.cursorColumn, 1023);
    EXPECT_EQ(host.windowTopLine, 1990);
    EXPECT_EQ(host.windowLeftColumn, 1000);
    ExpectConversionsWithinACopy(host);
}

// ---- Menu answers out of range ----

// With a full menu of 150 items, 150 is one past the last item (other answers out of range
// are in the menu scenarios).
TEST_F(Hostile, AnswerOnePastAFullMenuInsertsNothing) {
    std::vector<std::string> text;
    text.reserve(201);
    for (int i = 0; i < 200; ++i)
        text.push_back("ab" + std::to_string(i) + "x");
    text.push_back("ab");
    host.menuChoice = 150;
    EXPECT_EQ(CompleteAtEnd(text, 200), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].labels.size(), 150u);
    EXPECT_EQ(host.CountOf(CallKind::InsertText), 0u);
    host.menuChoice = 149;
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd(text, 200), 1);
    EXPECT_EQ(host.lines[200], "ab149x");
}

// ---- Message texts ----

// A title of 600 characters goes to the menu unchanged; a bottom text that formats to 600
// characters is cut to the 63 that fit the bottom text with its terminator, and the items
// are left alone.
TEST_F(Hostile, MessageTextsOf600Characters) {
    host.messages[0] = std::string(600, 'T');
    host.messages[8] = std::string("%d").append(598, 'x');
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].title, host.messages[0]);
    EXPECT_EQ(host.menus[0].bottom, std::string("2").append(62, 'x'));
    EXPECT_EQ(host.menus[0].labels, (std::vector<std::string>{"&1 abc", "&2 abd"}));
    EXPECT_EQ(host.menus[0].itemStates, (std::vector<std::array<std::uint32_t, 3>>(2)));
    EXPECT_EQ(host.lines[1], "abc");
}

// A message service that answers null: an empty bottom text and no crash, in the menu,
// the plug-in's menu entry and the settings dialog alike.
TEST_F(Hostile, NullMessageTexts) {
    host.nullMessages = true;
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].bottom, "");
    EXPECT_EQ(host.lines[1], "abc");
    PluginInfoRecord info = {};
    host.plugin.getPluginInfo(&info);
    ASSERT_NE(info.menuEntries, nullptr);
    EXPECT_EQ(info.menuEntries[0], nullptr);
    EXPECT_EQ(host.plugin.openPlugin(0, 0), -1);
    ASSERT_EQ(host.dialogs.size(), 1u);
    for (const DialogItemRecord& item : host.dialogs[0].items)
        EXPECT_STREQ(item.data, "");
}

// ---- Start-up handed over twice ----

// The second record replaces the first entirely: its module number is the one passed on.
TEST_F(Hostile, SecondStartupRecordReplacesTheFirst) {
    host.moduleNumber = 0x1234;
    host.Start(PluginUnderTest());
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].moduleNumber, 0x1234);
    for (const std::int32_t call : host.CallsOf(CallKind::LookupMessage)) {
        EXPECT_EQ(host.calls[static_cast<std::size_t>(call)].args[0], 0x1234);
    }
}

// The record is copied during the call: a host that reuses its record afterwards changes
// nothing.
TEST_F(Hostile, StartupRecordIsCopiedAtOnce) {
    StartupRecord record = host.MakeStartupRecord();
    host.plugin.setStartupInfo(&record);
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    EXPECT_EQ(host.lines[1], "abc");
}

// ---- Records and services missing ----

// A null record where the host owes one changes nothing: the services handed over at
// start-up stay in force.
TEST_F(Hostile, NullRecordsAreIgnored) {
    host.plugin.setStartupInfo(nullptr);
    host.plugin.getPluginInfo(nullptr);
    EXPECT_EQ(host.plugin.processEditorInput(nullptr), 0);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.lines[1], "abc");
}

// Without a menu service nothing is chosen and the list is still released; without an
// editor service every event is passed on untouched.
TEST_F(Hostile, StartupRecordWithoutServices) {
    StartupRecord record = host.MakeStartupRecord();
    record.showMenu = nullptr;
    host.plugin.setStartupInfo(&record);
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(host.lines[1], "ab");
    EXPECT_TRUE(host.CallsOf(CallKind::InsertText).empty());

    host.Start(PluginUnderTest());
    EXPECT_EQ(CompleteAtEnd({"abe", "ab"}, 1), 1);
    EXPECT_EQ(host.lines[1], "abe") << "the words of the menu never shown are gone";

    record.editorCommand = nullptr;
    host.plugin.setStartupInfo(&record);
    host.ClearRecord();
    EXPECT_EQ(host.PressCtrlSpace(), 0);
    EXPECT_TRUE(host.calls.empty());
}

} // namespace
