// The candidate menu as the host sees it: labels, placement, texts, choice and insertion.
#include "tests/scenario/scenario_fixture.h"

#include <array>
#include <climits>
#include <string>
#include <utility>

namespace {

// The i-th of a run of distinct words that begin with 'ab': 'abaaa', 'abaab', ...
std::string Word(int i) {
    return std::string("ab") + static_cast<char>('a' + i / 676) +
           static_cast<char>('a' + i / 26 % 26) + static_cast<char>('a' + i % 26);
}

// Words 0 to count - 1, perLine to a line, followed by a line holding just the prefix 'ab'.
std::vector<std::string> Document(int count, int perLine = 10) {
    std::vector<std::string> text;
    for (int i = 0; i < count; ++i) {
        if (i % perLine == 0) text.emplace_back();
        text.back() += Word(i) + " ";
    }
    text.emplace_back("ab");
    return text;
}

// The line of Document(count) that holds the prefix.
std::int32_t PrefixLine(int count) {
    return (count + 9) / 10;
}

class Menu : public Scenario {
  protected:
    // Completes 'ab' between the words of line 0, with the cursor at the given offsets
    // inside the editor window, and dismisses the menu.
    void ShowAt(const std::string& words, std::int32_t columnOffset, std::int32_t rowOffset) {
        constexpr std::int32_t kCursorLine = 40;
        constexpr std::int32_t kCursorColumn = 90;
        std::vector<std::string> text(kCursorLine + 1);
        text[0] = words;
        text[kCursorLine] = std::string(kCursorColumn - 2, ' ') + "ab";
        host.SetText(text, kCursorLine, kCursorColumn);
        host.windowTopLine = kCursorLine - 2 - rowOffset;
        host.windowLeftColumn = kCursorColumn - columnOffset;
        host.menuChoice = -1;
        host.ClearRecord();
        EXPECT_EQ(host.PressCtrlSpace(), 1);
    }

    // The (x, y) the only menu was shown at.
    std::pair<std::int32_t, std::int32_t> Place() const {
        EXPECT_EQ(host.menus.size(), 1u);
        if (host.menus.empty()) return {INT_MIN, INT_MIN};
        return {host.menus[0].x, host.menus[0].y};
    }

    // The bottom text of the menu for `count` candidates with message 8 set to `format`.
    std::string Bottom(const std::string& format, int count = 2) {
        host.messages[8] = format;
        host.menuChoice = -1;
        host.ClearRecord();
        CompleteAtEnd(Document(count), PrefixLine(count));
        EXPECT_EQ(host.menus.size(), 1u) << format;
        return host.menus.empty() ? std::string("(no menu)") : host.menus[0].bottom;
    }
};

// ---- Labels and the choice ----

TEST_F(Menu, LabelsCarryHotKeysUpToItem15) {
    host.menuChoice = -1;
    EXPECT_EQ(CompleteAtEnd(Document(17), 2), 1);
    std::vector<std::string> expected;
    for (int i = 0; i < 17; ++i) {
        const std::string hotKey = i < 15 ? std::string("&") + "123456789abcdef"[i] + " " : "  ";
        expected.push_back(hotKey + Word(i));
    }
    EXPECT_EQ(OnlyMenuLabels(), expected);
    EXPECT_EQ(host.menus[0].bottom, "Words: 17");
    for (const auto& state : host.menus[0].itemStates) {
        EXPECT_EQ(state, (std::array<std::uint32_t, 3>{0, 0, 0}));
    }
    EXPECT_EQ(host.CountOf(CallKind::InsertText), 0u);
    EXPECT_EQ(host.CountOf(CallKind::Redraw), 0u);
}

TEST_F(Menu, ShowMenuGetsTheHostsTextsAndFixedArguments) {
    host.messages[0] = "Pick a word";
    host.menuChoice = 0;
    EXPECT_EQ(CompleteAtEnd(Document(3), 1), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    const MenuShown& menu = host.menus[0];
    EXPECT_EQ(menu.moduleNumber, host.moduleNumber);
    EXPECT_EQ(menu.maxHeight, 22);
    EXPECT_EQ(menu.flags, 2);
    EXPECT_EQ(menu.title, "Pick a word");
    EXPECT_EQ(menu.bottom, "Words: 3");
    EXPECT_EQ(menu.reserved, (std::array<HostWord, 3>{0, 0, 0}));
    EXPECT_EQ(menu.labels.size(), 3u);
}

TEST_F(Menu, EveryItemInsertsTheRestOfItsWord) {
    // Items 1, 10, 15 (hot keys) and 16, 17 (none): the lead-in differs, the result not.
    for (const int choice : {0, 9, 14, 15, 16}) {
        host.menuChoice = choice;
        host.ClearRecord();
        EXPECT_EQ(CompleteAtEnd(Document(17), 2), 1);
        EXPECT_EQ(Inserted(), std::vector<std::string>{Word(choice).substr(2)}) << choice;
        EXPECT_EQ(host.lines[2], Word(choice));
        EXPECT_EQ(Kinds().back(), CallKind::Redraw);
    }
}

TEST_F(Menu, SpaceAppendsABlankToLabelsAndInsertion) {
    ASSERT_TRUE(UseOptions({.space = 1}));
    host.menuChoice = 1;
    EXPECT_EQ(CompleteAtEnd({"abc abcdef", "ab"}, 1), 1);
    EXPECT_EQ(OnlyMenuLabels(), (std::vector<std::string>{"&1 abc ", "&2 abcdef "}));
    EXPECT_EQ(Inserted(), std::vector<std::string>{"cdef "});
    // The single word without a menu gets its blank too.
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"hello", "he"}, 1), 1);
    EXPECT_EQ(host.lines[1], "hello ");
    // Items past 15 as well.
    host.menuChoice = 16;
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd(Document(17), 2), 1);
    EXPECT_EQ(host.menus[0].labels[16], "  " + Word(16) + " ");
    EXPECT_EQ(host.lines[2], Word(16) + " ");
}

TEST_F(Menu, SingleWordIsInsertedWithoutMenuOrMessages) {
    EXPECT_EQ(CompleteAtEnd({"hello", "he"}, 1), 1);
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(host.CountOf(CallKind::LookupMessage), 0u);
    EXPECT_EQ(Inserted(), std::vector<std::string>{"llo"});
}

TEST_F(Menu, Menu1ShowsAMenuForASingleWord) {
    ASSERT_TRUE(UseOptions({.menu1 = 1}));
    host.menuChoice = 0;
    EXPECT_EQ(CompleteAtEnd({"hello", "he"}, 1), 1);
    EXPECT_EQ(OnlyMenuLabels(), std::vector<std::string>{"&1 hello"});
    EXPECT_EQ(host.menus[0].bottom, "Words: 1");
    const auto lookups = host.CallsOf(CallKind::LookupMessage);
    ASSERT_EQ(lookups.size(), 2u);
    EXPECT_EQ(host.calls[static_cast<std::size_t>(lookups[0])].args[1], 8);
    EXPECT_EQ(host.calls[static_cast<std::size_t>(lookups[1])].args[1], 0);
    EXPECT_EQ(host.lines[1], "hello");
    // Dismissed, the single word is not inserted.
    host.menuChoice = -1;
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"hello", "he"}, 1), 1);
    EXPECT_EQ(host.lines[1], "he");
}

TEST_F(Menu, AnyNonZeroOptionValueCountsAsOn) {
    // Values whose low byte or low half is zero, as a host's check box may leave them.
    ASSERT_TRUE(
        UseOptions({.space = 0x100, .menu1 = 0x80000000u, .sound = 0x10000, .numbers = 0x200}));
    host.menuChoice = 0;
    EXPECT_EQ(CompleteAtEnd({"a1bc", "a1"}, 1), 1);
    EXPECT_EQ(OnlyMenuLabels(), std::vector<std::string>{"&1 a1bc "});
    EXPECT_EQ(host.lines[1], "a1bc ");
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
}

// ---- Nothing found, nothing chosen ----

TEST_F(Menu, NothingFoundBeepsOnceWithSoundOn) {
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
    EXPECT_EQ(host.CountOf(CallKind::LookupMessage), 0u);
    EXPECT_EQ(Kinds().back(), CallKind::Beep);
}

TEST_F(Menu, NothingFoundIsSilentWithSoundOff) {
    ASSERT_TRUE(UseOptions({.sound = 0}));
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_TRUE(host.beeps.empty());
    EXPECT_EQ(Kinds().back(), CallKind::SetPosition);
}

TEST_F(Menu, DismissedOrImpossibleChoiceInsertsNothing) {
    for (const std::int32_t choice : {-1, 3, 150, 9999, -5, INT_MIN, INT_MAX}) {
        host.menuChoice = choice;
        host.ClearRecord();
        EXPECT_EQ(CompleteAtEnd(Document(3), 1), 1) << choice;
        EXPECT_EQ(host.menus.size(), 1u);
        EXPECT_EQ(host.CountOf(CallKind::InsertText), 0u) << choice;
        EXPECT_EQ(host.CountOf(CallKind::Redraw), 0u) << choice;
        EXPECT_EQ(Kinds().back(), CallKind::ShowMenu);
        EXPECT_EQ(host.lines[1], "ab");
    }
    // The plug-in is fit for the next request.
    host.menuChoice = 2;
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd(Document(3), 1), 1);
    EXPECT_EQ(host.lines[1], Word(2));
}

// The list fills between lines, or in the middle of one (160 words of 6 bytes in a line).
TEST_F(Menu, TwoHundredWordsOfferTheFirst150) {
    for (const auto& [count, perLine] : {std::pair{200, 10}, std::pair{160, 160}}) {
        host.menuChoice = 149;
        host.ClearRecord();
        const std::int32_t prefixLine = (count + perLine - 1) / perLine;
        EXPECT_EQ(CompleteAtEnd(Document(count, perLine), prefixLine), 1);
        const std::vector<std::string> labels = OnlyMenuLabels();
        ASSERT_EQ(labels.size(), 150u) << perLine;
        EXPECT_EQ(labels[0], "&1 " + Word(0));
        for (int i = 15; i < 150; ++i)
            EXPECT_EQ(labels[i], "  " + Word(i)) << perLine << ", item " << i;
        EXPECT_EQ(host.menus[0].bottom, "Words: 150");
        EXPECT_EQ(host.menus[0].maxHeight, 22);
        EXPECT_EQ(host.calls[static_cast<std::size_t>(host.CallsOf(CallKind::ShowMenu)[0])].args[5],
                  150);
        EXPECT_EQ(host.lines[prefixLine], Word(149));
    }
    // The next request starts from an empty list.
    host.menuChoice = -1;
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"abzz abyy", "ab"}, 1), 1);
    EXPECT_EQ(OnlyMenuLabels(), (std::vector<std::string>{"&1 abzz", "&2 abyy"}));
}

// ---- Re-entry ----

TEST_F(Menu, EventsDuringInsertionArePassedOnWithoutHostCalls) {
    host.reenterDuringInsert = true;
    host.menuChoice = 1;
    for (const int count : {1, 2}) {
        host.ClearRecord();
        EXPECT_EQ(CompleteAtEnd(Document(count), 1), 1);
        EXPECT_EQ(host.reentryResults, (std::vector<std::int32_t>{0, 0})) << count;
        const std::vector<CallKind> kinds = Kinds();
        ASSERT_GE(kinds.size(), 2u);
        EXPECT_EQ(kinds[kinds.size() - 2], CallKind::InsertText);
        EXPECT_EQ(kinds.back(), CallKind::Redraw);
        EXPECT_EQ(host.lines[1], Word(count - 1));
    }
    // Afterwards Ctrl+Space works again.
    host.reenterDuringInsert = false;
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"hello", "he"}, 1), 1);
    EXPECT_EQ(host.lines[1], "hello");
}

// ---- Placement ----

TEST_F(Menu, PlacedRightOfTheCursorOrFlippedLeft) {
    // Labels '&1 abc' and '&2 abcdef': widest 9.
    const struct {
        std::int32_t columnOffset, x;
    } cases[] = {{10, 12}, {65, 67}, {66, 49}, {70, 53}, {0, 2}, {-5, -3}};
    for (const auto& c : cases) {
        ShowAt("abc abcdef", c.columnOffset, 5);
        EXPECT_EQ(Place().first, c.x) << "column offset " << c.columnOffset;
    }
}

TEST_F(Menu, FlippedLeftMayGoNegative) {
    // A 31-character word: '&2 ' and 31 characters make a widest label of 34.
    const std::string longest = "ab" + std::string(29, 'z');
    ShowAt("abc " + longest, 41, 0);
    EXPECT_EQ(Place().first, 41 - 34 - 8);
    ShowAt("abc " + longest, 40, 0);
    EXPECT_EQ(Place().first, 42);
}

TEST_F(Menu, AMenuWiderThanAShortWordsNeverStartsLeftOfTheScreen) {
    // '&2 ' and a word of 63 characters make a widest label of 66: flipped left, the menu
    // starts at the screen's edge; where it fits right of the cursor it goes there.
    const std::string longest = "ab" + std::string(61, 'z');
    for (const std::int32_t columnOffset : {70, 10}) {
        ShowAt("abc " + longest, columnOffset, 0);
        EXPECT_EQ(Place().first, 0) << columnOffset;
    }
    ShowAt("abc " + longest, 8, 0);
    EXPECT_EQ(Place().first, 10);
    // A 32-character word makes 35, the widest a short word can with Space: placed as
    // computed, left of the screen too; 33 characters make 36, kept on the screen.
    ShowAt("abc ab" + std::string(30, 'z'), 41, 0);
    EXPECT_EQ(Place().first, 41 - 35 - 8);
    ShowAt("abc ab" + std::string(31, 'z'), 41, 0);
    EXPECT_EQ(Place().first, 0);
}

TEST_F(Menu, WidestLabelMayBeAnItemWithoutHotKey) {
    // Fifteen 8-byte labels, then '  ' and a 31-character word: widest 33.
    std::string words;
    for (int i = 0; i < 15; ++i)
        words += Word(i) + " ";
    words += "ab" + std::string(29, 'z');
    ShowAt(words, 41, 0);
    EXPECT_EQ(Place().first, 43);
    ShowAt(words, 42, 0);
    EXPECT_EQ(Place().first, 42 - 33 - 8);
}

TEST_F(Menu, WidestLabelCountsTheTrailingBlank) {
    ASSERT_TRUE(UseOptions({.space = 1}));
    // Widest is 10 now: 65 + 10 + 6 > 80.
    ShowAt("abc abcdef", 65, 5);
    EXPECT_EQ(Place().first, 65 - 10 - 8);
    ShowAt("abc abcdef", 64, 5);
    EXPECT_EQ(Place().first, 66);
}

TEST_F(Menu, PlacedBelowTheCursorOrPulledUp) {
    // Three rows run off the 24-row screen from row offset 18 on; at 17, pulled up or not,
    // the menu is at row 19.
    const struct {
        std::string words;
        std::int32_t rowOffset, y;
    } cases[] = {
        {"abc abd abe", 5, 7},   {"abc abd abe", 20, 19}, {"abc abd abe", 17, 19},
        {"abc abd abe", 16, 18}, {"abc abd abe", 18, 19}, {"abc abd abe", -10, -8},
    };
    for (const auto& c : cases) {
        ShowAt(c.words, 10, c.rowOffset);
        EXPECT_EQ(Place().second, c.y) << "row offset " << c.rowOffset;
    }
}

TEST_F(Menu, TallMenuSitsAtTheTopFromRowOffsetMinus2On) {
    std::string words;
    for (int i = 0; i < 30; ++i)
        words += Word(i) + " ";
    for (const std::int32_t rowOffset : {-2, 0, 10, 40}) {
        ShowAt(words, 10, rowOffset);
        EXPECT_EQ(Place().second, 0) << "row offset " << rowOffset;
    }
    ShowAt(words, 10, -3);
    EXPECT_EQ(Place().second, -1);
}

TEST_F(Menu, OffsetsAreTakenInsideTheWindow) {
    // Cursor line 30, column 12; window from line 20, column 4: offsets 8 and 8.
    std::vector<std::string> text(31);
    text[0] = "abc abcdef";
    text[30] = "          ab";
    host.SetText(text, 30, 12);
    host.windowTopLine = 20;
    host.windowLeftColumn = 4;
    host.menuChoice = -1;
    EXPECT_EQ(host.PressCtrlSpace(), 1);
    EXPECT_EQ(Place(), std::make_pair(10, 10));
}

// ---- Bottom text ----

TEST_F(Menu, BottomTextHonoursOneIntegerConversion) {
    EXPECT_EQ(Bottom("%d words"), "2 words");
    EXPECT_EQ(Bottom("%5d%%"), "    2%");
    EXPECT_EQ(Bottom("%-4d|"), "2   |");
    EXPECT_EQ(Bottom("%04i"), "0002");
    EXPECT_EQ(Bottom("%+d"), "+2");
    EXPECT_EQ(Bottom("%u"), "2");
    EXPECT_EQ(Bottom("[%x]", 200), "[96]");
    EXPECT_EQ(Bottom("%#x", 200), "0x96");
    EXPECT_EQ(Bottom("%d of %d, %x"), "2 of %d, %x");
    EXPECT_EQ(Bottom("no number, 100%"), "no number, 100%");
    EXPECT_EQ(Bottom(""), "");
}

// Rendered by the plug-in itself: the Windows C library reads %hhd and %lld its own way.
TEST_F(Menu, BottomTextTakesEveryIntegerFormat) {
    EXPECT_EQ(Bottom("%hhd|%lld", 150), "-106|%lld");
    EXPECT_EQ(Bottom("%65.3hhu", 150), std::string(62, ' ') + "1");
    EXPECT_EQ(Bottom("%lld words", 150), "150 words");
    EXPECT_EQ(Bottom("%#llX, %Lx", 150), "0X96, %Lx");
    EXPECT_EQ(Bottom("%-+6.4ld|", 150), "+0150 |");
    EXPECT_EQ(Bottom("%jd %zu %tx"), "2 %zu %tx");
}

TEST_F(Menu, BottomTextCopiesOtherConversionsAsText) {
    EXPECT_EQ(Bottom("%s%s%n%p"), "%s%s%n%p");
    EXPECT_EQ(Bottom("%s words: %d"), "%s words: 2");
    EXPECT_EQ(Bottom("%n%d"), "%n2");
    EXPECT_EQ(Bottom("%*d %.*d %c %ld"), "%*d %.*d %c 2");
    EXPECT_EQ(Bottom("%"), "%");
}

TEST_F(Menu, BottomTextIsCutToItsBuffer) {
    const std::string wide = Bottom("%99999d");
    EXPECT_LE(wide.size(), 63u);
    EXPECT_EQ(wide.find_first_not_of(" 0123456789"), std::string::npos);
    const std::string sentence =
        "Words found above the cursor that begin with what you typed: %d, pick one";
    const std::string expected =
        std::string("Words found above the cursor that begin with what you typed: 2, pick one")
            .substr(0, 63);
    EXPECT_EQ(Bottom(sentence), expected);
    EXPECT_EQ(Bottom(std::string(200, 'w') + "%d"), std::string(63, 'w'));
}

} // namespace
