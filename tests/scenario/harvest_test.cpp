// The harvest as the host sees it: lines visited, words found, cursor and window restored.
#include "tests/scenario/scenario_fixture.h"

#include <map>
#include <set>
#include <string>

namespace {

using Args = std::vector<std::int64_t>;

// A SetPosition of the scan, which moves only the cursor's line.
Args ScanTo(std::int64_t line) {
    return {line, -1, -1, -1, -1, -1};
}

// The restoring SetPosition: cursor and window back, the third and sixth field untouched.
Args RestoreTo(std::int64_t line, std::int64_t column, std::int64_t top, std::int64_t left) {
    return {line, column, -1, top, left, -1};
}

// A document of `count` lines in which no word starts with the prefixes used here.
std::vector<std::string> Filler(std::size_t count) {
    return std::vector<std::string>(count, "filler text, nothing to find");
}

class Harvest : public Scenario {
  protected:
    // The words found for the prefix left of the cursor at the end of `line`: the labels
    // of the menu (dismissed), or the single word inserted without one.
    std::vector<std::string> Found(const std::vector<std::string>& text, std::int32_t line,
                                   const std::string& prefix) {
        host.menuChoice = -1;
        host.ClearRecord();
        CompleteAtEnd(text, line);
        return Offered(prefix);
    }

    // The words the last request offered for prefix: its menu's, or the one inserted.
    std::vector<std::string> Offered(const std::string& prefix) const {
        std::vector<std::string> words;
        for (const MenuShown& menu : host.menus) {
            for (const std::string& label : menu.labels) {
                words.push_back(label.substr(label[0] == '&' ? 3 : 2));
            }
        }
        if (host.menus.empty()) {
            for (const std::string& rest : Inserted())
                words.push_back(prefix + rest);
        }
        return words;
    }
};

// ---- Scan window ----

TEST_F(Harvest, CursorOnLine2000ScansFromLine0) {
    std::vector<std::string> text = Filler(2002);
    text[0] = "abfirst";
    text[2000] = "ab";
    host.windowTopLine = 1990;
    host.windowLeftColumn = 0;
    EXPECT_EQ(CompleteAtEnd(text, 2000), 1);
    const auto positions = Positions();
    ASSERT_EQ(positions.size(), 2002u);
    for (std::int64_t line = 0; line <= 2000; ++line) {
        EXPECT_EQ(positions[static_cast<std::size_t>(line)], ScanTo(line));
    }
    EXPECT_EQ(positions.back(), RestoreTo(2000, 2, 1990, 0));
    EXPECT_EQ(host.lines[2000], "abfirst");
}

TEST_F(Harvest, CursorOnLine2001ScansFromLine1) {
    std::vector<std::string> text = Filler(2003);
    text[0] = "abfirst";
    text[1] = "absecond";
    text[2001] = "ab";
    text[2002] = "abbelow";
    host.windowTopLine = 1995;
    host.windowLeftColumn = 7;
    EXPECT_EQ(CompleteAtEnd(text, 2001), 1);
    const auto positions = Positions();
    ASSERT_EQ(positions.size(), 2002u);
    for (std::int64_t line = 1; line <= 2001; ++line) {
        EXPECT_EQ(positions[static_cast<std::size_t>(line - 1)], ScanTo(line));
    }
    EXPECT_EQ(positions.back(), RestoreTo(2001, 2, 1995, 7));
    // Line 0 lies outside the window and line 2002 below the cursor.
    EXPECT_EQ(host.lines[2001], "absecond");
    EXPECT_TRUE(host.menus.empty());
}

TEST_F(Harvest, CursorOnLine0ScansOnlyItsLeftPart) {
    EXPECT_EQ(CompleteAt({"abcd ab abxy", "abzz"}, 0, 7), 1);
    EXPECT_EQ(Positions(), (std::vector<Args>{ScanTo(0), RestoreTo(0, 7, 0, 0)}));
    EXPECT_EQ(Inserted(), std::vector<std::string>{"cd"});
}

TEST_F(Harvest, ExactCallOrderOfARequestWithAMenu) {
    host.windowTopLine = 1;
    host.windowLeftColumn = 2;
    host.menuChoice = 1;
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    using K = CallKind;
    const std::vector<CallKind> expected = {
        K::GetEditorState, K::GetLine,       K::ConvertText, // the request
        K::GetEditorState,                                   // saved window
        K::SetPosition,    K::GetLine,       K::ConvertText, // line 0
        K::SetPosition,    K::GetLine,       K::ConvertText, // line 1
        K::SetPosition,                                      // restore
        K::LookupMessage,  K::LookupMessage, K::ShowMenu,    K::InsertText, K::Redraw};
    ASSERT_EQ(Kinds(), expected);
    const auto& c = host.calls;
    const std::int64_t module = host.moduleNumber;
    for (const std::size_t getLine : {1u, 5u, 8u})
        EXPECT_EQ(c[getLine].args, Args{-1});
    EXPECT_EQ(c[2].text, "ab");
    EXPECT_EQ(c[4].args, ScanTo(0));
    EXPECT_EQ(c[6].text, "abc abd");
    EXPECT_EQ(c[7].args, ScanTo(1));
    EXPECT_EQ(c[9].text, "ab");
    EXPECT_EQ(c[10].args, RestoreTo(1, 2, 1, 2));
    EXPECT_EQ(c[11].args, (Args{module, 8}));
    EXPECT_EQ(c[12].args, (Args{module, 0}));
    EXPECT_EQ(c[13].args[0], module);
    EXPECT_EQ(c[14].text, "d");
    EXPECT_EQ(c[15].args, Args{0});
    EXPECT_EQ(host.lines[1], "abd");
}

TEST_F(Harvest, ExactCallOrderOfASingleWordAndOfNothingFound) {
    using K = CallKind;
    EXPECT_EQ(CompleteAtEnd({"abc", "ab"}, 1), 1);
    EXPECT_EQ(Kinds(), (std::vector<CallKind>{
                           K::GetEditorState, K::GetLine, K::ConvertText, K::GetEditorState,
                           K::SetPosition, K::GetLine, K::ConvertText, K::SetPosition, K::GetLine,
                           K::ConvertText, K::SetPosition, K::InsertText, K::Redraw}));
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_EQ(Kinds(), (std::vector<CallKind>{K::GetEditorState, K::GetLine, K::ConvertText,
                                              K::GetEditorState, K::SetPosition, K::GetLine,
                                              K::ConvertText, K::SetPosition, K::GetLine,
                                              K::ConvertText, K::SetPosition, K::Beep}));
}

TEST_F(Harvest, CursorAndWindowAreRestoredAlsoWhenNothingIsFound) {
    for (const char* found : {"abcdef abcxyz", "nothing"}) {
        host.ClearRecord();
        host.menuChoice = -1;
        host.SetText({found, "xyz", "  ab xy", "below"}, 2, 4);
        host.windowTopLine = 1;
        host.windowLeftColumn = 3;
        EXPECT_EQ(host.PressCtrlSpace(), 1);
        EXPECT_EQ(Positions().back(), RestoreTo(2, 4, 1, 3)) << found;
        EXPECT_EQ(host.cursorLine, 2);
        EXPECT_EQ(host.windowTopLine, 1);
        EXPECT_EQ(host.windowLeftColumn, 3);
        EXPECT_EQ(host.lines[2], "  ab xy") << found;
    }
}

TEST_F(Harvest, EachLineIsConvertedAsFetchedAndTheCursorLineCutAtTheCursor) {
    const std::string longLine = std::string(1020, ' ') + "abcdefgh";
    EXPECT_EQ(CompleteAt({longLine, "one two", "ab abcde xy"}, 2, 5), 1);
    std::vector<std::string> converted;
    std::vector<std::int64_t> counts;
    for (const HostCall& call : host.calls) {
        if (call.kind != CallKind::ConvertText) continue;
        converted.push_back(call.text);
        counts.push_back(call.args[0]);
    }
    ASSERT_EQ(converted.size(), 4u);
    EXPECT_EQ(converted[0], "ab abcde xy"); // the request's own copy
    EXPECT_EQ(converted[1], longLine.substr(0, 1024));
    EXPECT_EQ(converted[2], "one two");
    EXPECT_EQ(converted[3], "ab ab");
    EXPECT_EQ(counts, (std::vector<std::int64_t>{11, 1024, 7, 5}));
    // The word that runs across byte 1024 is cut there; the one right of the cursor is
    // not offered.
    EXPECT_EQ(Inserted(), std::vector<std::string>{"cd"});
}

TEST_F(Harvest, WordsRightOfTheCursorAndBelowItAreIgnored) {
    for (const std::uint32_t nearest : {0u, 1u}) { // the cursor's line read last, or first
        ASSERT_TRUE(UseOptions({.nearestFirst = nearest}));
        EXPECT_EQ(CompleteAt({"xyz", "pri print", "printer"}, 1, 3), 1);
        EXPECT_TRUE(Inserted().empty()) << nearest;
        EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
        for (const Args& position : Positions())
            EXPECT_LE(position[0], 1);
    }
}

// ---- Words found ----

TEST_F(Harvest, TheFragmentBeingCompletedIsNeverOffered) {
    EXPECT_EQ(CompleteAtEnd({"print pri"}, 0), 1);
    EXPECT_EQ(Inserted(), std::vector<std::string>{"nt"});
    EXPECT_EQ(host.lines[0], "print print");
}

TEST_F(Harvest, DiscoveryOrderAndDuplicates) {
    std::vector<std::string> text = Filler(21);
    text[3] = "abq abp";
    text[5] = "abz abx";
    text[9] = "abx abq abz";
    text[10] = "abx";
    text[12] = "aby abp";
    text[20] = "abw ab";
    const std::vector<std::string> expected = {"abq", "abp", "abz", "abx", "aby", "abw"};
    EXPECT_EQ(Found(text, 20, "ab"), expected);
}

TEST_F(Harvest, CaseMatters) {
    EXPECT_EQ(Found({"About ABC aBc Abc", "ab"}, 1, "ab"), std::vector<std::string>{});
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
}

TEST_F(Harvest, WordsAreTakenWholeUpTo63Characters) {
    // Words of 31, 32, 63 and 64 characters (the last cut to 63), and two that differ only
    // past the 31st or the 63rd.
    const auto word = [](std::size_t length, char last) {
        return "ab" + std::string(length - 3, 'c') + last;
    };
    const struct {
        std::string line;
        std::vector<std::string> found;
    } rows[] = {
        {word(31, 'x'), {word(31, 'x')}},
        {word(32, 'x'), {word(32, 'x')}},
        {word(32, 'x') + " " + word(32, 'y'), {word(32, 'x'), word(32, 'y')}},
        {word(63, 'x'), {word(63, 'x')}},
        {word(64, 'x') + " " + word(64, 'y'), {word(63, 'c')}},
        {word(40, 'x') + " " + word(31, 'c') + " " + word(40, 'x'), {word(40, 'x'), word(31, 'c')}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Found({row.line, "ab"}, 1, "ab"), row.found) << row.line;
    }
}

TEST_F(Harvest, WordStartsAndTheWordTaken) {
    struct Case {
        std::string line;
        std::vector<std::string> found;
    } const cases[] = {
        {"subtotal total", {"total"}},         // 'tot' inside a word is no word start
        {"totals.totem", {"totals", "totem"}}, // punctuation before an occurrence
        {"\xE0tot x\xB0totem", {}},            // nor are high bytes before it
        {"totalled, total", {"totalled", "total"}},
        {"tot9 tot_x tot-y", {"tot9"}}, // digits belong, '_' and '-' end a word
        {"x1totem", {"totem"}},         // a digit is no word character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Found({c.line, "tot"}, 1, "tot"), c.found) << c.line;
    }
}

TEST_F(Harvest, OverlappingOccurrencesYieldTheWordStartOnly) {
    EXPECT_EQ(Found({"aaaa aaa", "aa"}, 1, "aa"), (std::vector<std::string>{"aaaa", "aaa"}));
}

TEST_F(Harvest, NumbersChangesTheWordStarts) {
    ASSERT_TRUE(UseOptions({.numbers = 1}));
    EXPECT_EQ(Found({"x1abc ab1ab2 ab12 get_value", "ab"}, 1, "ab"),
              (std::vector<std::string>{"ab1ab2", "ab12"}));
    EXPECT_EQ(Found({"get_value va", "va"}, 1, "va"), std::vector<std::string>{});
}

TEST_F(Harvest, WithoutNumbersDigitsAndUnderscoreStartWords) {
    EXPECT_EQ(Found({"x1abc ab1ab2 ab12", "ab"}, 1, "ab"),
              (std::vector<std::string>{"abc", "ab1ab2", "ab2", "ab12"}));
    EXPECT_EQ(Found({"get_value", "va"}, 1, "va"), std::vector<std::string>{"value"});
    EXPECT_EQ(Found({"get_value", "ge"}, 1, "ge"), std::vector<std::string>{"get"});
}

TEST_F(Harvest, CyrillicWordsInCodePage866) {
    // 'привет Пример проект' in code page 866; prefix 'пр'.
    const std::string line = "\xAF\xE0\xA8\xA2\xA5\xE2 \x8F\xE0\xA8\xAC\xA5\xE0 "
                             "\xAF\xE0\xAE\xA5\xAA\xE2";
    EXPECT_EQ(Found({line, "\xAF\xE0"}, 1, "\xAF\xE0"),
              (std::vector<std::string>{"\xAF\xE0\xA8\xA2\xA5\xE2", "\xAF\xE0\xAE\xA5\xAA\xE2"}));
    // Ё ё Є є Ї ї Ў ў (0xF0-0xF7) are letters of words too: 'зелёный' for 'зе' and for 'зелё',
    // 'ёлка' for 'ё', and the Ukrainian 'їжачок' for 'ї'.
    const std::string green = "\xA7\xA5\xAB\xF1\xAD\xEB\xA9";
    const std::string tree = "\xF1\xAB\xAA\xA0";
    const std::string hedgehog = "\xF5\xA6\xA0\xE7\xAE\xAA";
    const std::string text = green + " " + tree + " " + hedgehog;
    for (const std::string& prefix : {green.substr(0, 2), green.substr(0, 4)})
        EXPECT_EQ(Found({text, prefix}, 1, prefix), std::vector<std::string>{green});
    EXPECT_EQ(Found({text, "\xF1"}, 1, "\xF1"), std::vector<std::string>{tree});
    EXPECT_EQ(Found({text, "\xF5"}, 1, "\xF5"), std::vector<std::string>{hedgehog});
    // The box-drawing bytes 0xB0-0xDF and the signs from 0xF8 still end a word.
    EXPECT_EQ(Found({"\xAF\xE0\xB0\xAB \xAF\xE0\xF8\xAB", "\xAF\xE0"}, 1, "\xAF\xE0"),
              std::vector<std::string>{});
}

TEST_F(Harvest, CyrillicWordsFromAWindows1251FileAreConvertedBothWays) {
    host.table = CharTable::Win1251;
    // 'п', then Ё ё Є є Ї ї Ў ў, then 'ра', in Windows-1251: each word comes back whole.
    for (const char letter : {'\xA8', '\xB8', '\xAA', '\xBA', '\xAF', '\xBF', '\xA1', '\xA2'}) {
        const std::string word = std::string("\xEF") + letter + "\xF0\xE0";
        host.ClearRecord();
        EXPECT_EQ(CompleteAtEnd({word, "\xEF"}, 1), 1);
        EXPECT_EQ(host.lines[1], word) << static_cast<int>(static_cast<unsigned char>(letter));
    }
    host.ClearRecord();
    // 'привет' and 'пр' in Windows-1251.
    EXPECT_EQ(CompleteAtEnd({"\xEF\xF0\xE8\xE2\xE5\xF2", "\xEF\xF0"}, 1), 1);
    // The text handed to InsertText is in code page 866 ('ивет'); the host stores it in
    // the file's table.
    EXPECT_EQ(Inserted(), std::vector<std::string>{"\xA8\xA2\xA5\xE2"});
    EXPECT_EQ(host.lines[1], "\xEF\xF0\xE8\xE2\xE5\xF2");
}

TEST_F(Harvest, Windows1251BytesAreNotWordsUntilConverted) {
    // Unconverted, 0xF0 (Windows-1251 'р') would lie outside the letters of a word; a
    // plug-in that skipped ConvertText would find nothing here.
    host.table = CharTable::Win1251;
    EXPECT_EQ(CompleteAtEnd({"\xF0\xF3\xEA\xE0", "\xF0"}, 1), 1);
    EXPECT_EQ(host.lines[1], "\xF0\xF3\xEA\xE0");
}

TEST_F(Harvest, NothingIsKeptFromTheRequestBefore) {
    host.menuChoice = -1;
    EXPECT_EQ(CompleteAtEnd({"abc abd", "ab"}, 1), 1);
    host.ClearRecord();
    EXPECT_EQ(CompleteAtEnd({"abd abe abc", "ab"}, 1), 1);
    EXPECT_EQ(OnlyMenuLabels(), (std::vector<std::string>{"&1 abd", "&2 abe", "&3 abc"}));
    host.ClearRecord();
    host.menuChoice = 0;
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
}

// ---- Ignore case and nearest words first ----

// Code page 866: 'при', 'ПРИВЕТ' and 'привет'.
const std::string kPri = "\xAF\xE0\xA8";
const std::string kPrivetCapitals = "\x8F\x90\x88\x82\x85\x92";
const std::string kPrivet = "\xAF\xE0\xA8\xA2\xA5\xE2";
const std::string kA32(32, 'a');
// 'запряжённая' and 'ЗАПРЯЖЁННАЯ': past their first two letters, each end of the ranges that
// move (а п, р я; А П, Р Я) and a paired letter (ё Ё).
const std::string kHarnessed = "\xA7\xA0\xAF\xE0\xEF\xA6\xF1\xAD\xAD\xA0\xEF";
const std::string kHarnessedCapitals = "\x87\x80\x8F\x90\x9F\x86\xF0\x8D\x8D\x80\x9F";

// Each row: the options, the lines (the cursor at the end of the last, after the prefix) and
// the words offered, in order.
TEST_F(Harvest, IgnoreCaseAndNearestFirstChangeTheWordsAndTheirOrder) {
    const struct Case {
        Options options;
        std::vector<std::string> lines;
        std::string prefix;
        std::vector<std::string> found;
    } cases[] = {
        // A capital met for a typed small letter makes the rest small; else, in a prefix
        // typed in capitals, a small letter met after the first; else the rest as found.
        {{.ignoreCase = 1}, {"String STRLEN strLen", "str"}, "str", {"string", "strlen", "strLen"}},
        {{.ignoreCase = 1}, {"String strtok", "STR"}, "STR", {"STRING", "STRTOK"}},
        {{.ignoreCase = 1}, {"string", "S"}, "S", {"String"}},
        {{.ignoreCase = 1}, {"STRING", "St"}, "St", {"String"}},
        {{.ignoreCase = 1}, {kPrivetCapitals, kPri}, kPri, {kPrivet}},
        {{.ignoreCase = 1}, {"sTRAY", "STR"}, "STR", {"STRAY"}},
        {{.ignoreCase = 1}, {"AbCdef", "ABC"}, "ABC", {"ABCDEF"}},
        {{.ignoreCase = 1}, {"STring", "STR"}, "STR", {"STRING"}},
        // A byte without case between two capitals keeps the second after the first letter.
        {{.numbers = 1, .ignoreCase = 1}, {"a1bcd", "A1B"}, "A1B", {"A1BCD"}},
        // The rest recased at both ends of each range of letters, Latin and Cyrillic.
        {{.ignoreCase = 1}, {"stanza", "ST"}, "ST", {"STANZA"}},
        {{.ignoreCase = 1}, {"STANZA", "st"}, "st", {"stanza"}},
        {{.ignoreCase = 1},
         {kHarnessedCapitals, kHarnessed.substr(0, 1)},
         kHarnessed.substr(0, 1),
         {kHarnessed}},
        {{.ignoreCase = 1},
         {kHarnessed, kHarnessedCapitals.substr(0, 2)},
         kHarnessedCapitals.substr(0, 2),
         {kHarnessedCapitals}},
        // A word as typed in its first two bytes but not in a later one, beside one met in
        // another case from its first byte: both take the case rule.
        {{.ignoreCase = 1}, {"String stRong", "str"}, "str", {"string", "strong"}},
        // Ё and ё pair as capital and small: 'ёлка' for 'ЁЛ' is 'ЁЛКА', 'ЁЛКА' for 'ёл' 'ёлка'.
        {{.ignoreCase = 1}, {"\xF1\xAB\xAA\xA0", "\xF0\x8B"}, "\xF0\x8B", {"\xF0\x8B\x8A\x80"}},
        {{.ignoreCase = 1}, {"\xF0\x8B\x8A\x80", "\xF1\xAB"}, "\xF1\xAB", {"\xF1\xAB\xAA\xA0"}},
        // 'ёлка ёж' for 'Ё' is 'Ёлка Ёж': the typed capital over the small letter, the rest
        // as found (two words, for the menu shows the whole text).
        {{.ignoreCase = 1},
         {"\xF1\xAB\xAA\xA0 \xF1\xA6", "\xF0"},
         "\xF0",
         {"\xF0\xAB\xAA\xA0", "\xF0\xA6"}},
        // 'ЇЖАК' for 'їж' (Ї ї, then the rest small).
        {{.ignoreCase = 1}, {"\xF4\x86\x80\x8A", "\xF5\xA6"}, "\xF5\xA6", {"\xF5\xA6\xA0\xAA"}},
        // A capital typed where the word has the small letter, in a prefix with small letters,
        // leaves the rest as found; the menu shows the prefix as typed, past 16 bytes too.
        {{.ignoreCase = 1}, {"stRING stRAW", "sT"}, "sT", {"sTRING", "sTRAW"}},
        {{.ignoreCase = 1},
         {"abcdefghijklmnopqrSt abcdefghijklmnopqrXy", "abcdefghijklmnopQR"},
         "abcdefghijklmnopQR",
         {"abcdefghijklmnopQRSt", "abcdefghijklmnopQRXy"}},
        // A small letter typed past 16 bytes and met as typed asks nothing of the rest.
        {{.ignoreCase = 1},
         {"abcdefghijklmnopqrST", "abcdefghijklmnopQr"},
         "abcdefghijklmnopQr",
         {"abcdefghijklmnopQrST"}},
        // A long word (taken a byte at a time) that differs in a small letter and then in a
        // capital that asks for nothing: the small letter still makes the rest small.
        {{.ignoreCase = 1},
         {"AbCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGH", "aB"},
         "aB",
         {"aBcdefghijklmnopqrstuvwxyzabcdefgh"}},
        // A small letter typed past the 32nd byte still makes the rest small.
        {{.ignoreCase = 1}, {kA32 + "BCD", kA32 + "b"}, kA32 + "b", {kA32 + "bcd"}},
        // Texts that collapse into one are offered once, at their first place.
        {{.ignoreCase = 1}, {"STRING String strong", "str"}, "str", {"string", "strong"}},
        // Numbers still decides the word starts.
        {{.numbers = 1, .ignoreCase = 1}, {"x1Abc ab1AB2", "ab"}, "ab", {"ab1AB2"}},
        {{.ignoreCase = 1}, {"x1Abc ab1AB2", "ab"}, "ab", {"abc", "ab1AB2", "ab2"}},
        // A prefix byte without cases ('_', a word byte with Numbers) matches in either.
        {{.numbers = 1, .ignoreCase = 1}, {"str_cat", "STR_"}, "STR_", {"STR_CAT"}},
        {{.numbers = 1, .ignoreCase = 1},
         {"ABCDEFGHIJKLMNOP_QRS", "abcdefghijklmnop_q"},
         "abcdefghijklmnop_q",
         {"abcdefghijklmnop_qrs"}},
        // Nearest first: the cursor's line right to left, then each line above.
        {{.nearestFirst = 1}, {"abp abq", "abr", "abq abs ab"}, "ab", {"abs", "abq", "abr", "abp"}},
        {{.ignoreCase = 1, .nearestFirst = 1}, {"String", "STR st"}, "st", {"str", "string"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(UseOptions(c.options));
        EXPECT_EQ(Found(c.lines, static_cast<std::int32_t>(c.lines.size()) - 1, c.prefix), c.found)
            << c.lines.front();
    }
}

// Editor commands by code, counted as the plug-in makes them: a line source's document
// records no SetPosition, GetLine or ConvertText.
std::map<std::int32_t, std::size_t> gCommandCounts;

std::int32_t HOSTCALL HOST_SERVICE CountCommand(std::int32_t command, void* param) {
    ++gCommandCounts[command];
    return TestHost::EditorCommand(command, param);
}

// Under AllAbove a list the window leaves short is filled from further up, nearest line
// first, up to 100,000 lines above the cursor's: each row's document is filler but for "ab"
// at the cursor and the lines `above` names by their distance above it. Each line is read
// once, and cursor and window are put back once.
TEST_F(Harvest, AllAboveReadsOnUpwardWhileTheListHasRoom) {
    constexpr std::int32_t kFar = 100001;
    std::string full;
    std::vector<std::string> words; // 150: a full list
    for (int i = 0; i < 150; ++i)
        full += (words.emplace_back("ab" + std::to_string(i))) + " ";
    const std::map<std::int32_t, std::string> spread = {
        {1, "abq abp"}, {2000, "abz"}, {2001, "abm abn"}, {3000, "abk"}};
    const struct Row {
        Options options;
        std::int32_t cursor;
        std::map<std::int32_t, std::string> above;
        std::vector<std::string> found;
        std::size_t read; // lines the harvest reads
    } rows[] = {
        {{.allAbove = 1}, 4000, {{2001, "abx"}, {2500, "aby"}}, {"abx", "aby"}, 4001},
        {{.allAbove = 1},
         kFar,
         {{99999, "abx"}, {100000, "aby"}, {100001, "abz"}},
         {"abx", "aby"},
         kFar},
        {{}, 4000, {{2001, "abx"}}, {}, 2001},
        // Line 2, its number the cursor's column, is cut at 1024 bytes as any but the cursor's.
        {{.allAbove = 1}, 4000, {{3998, std::string(1030, ' ') + "abw"}}, {}, 4001},
        {{.allAbove = 1}, 4000, spread, {"abz", "abq", "abp", "abm", "abn", "abk"}, 4001},
        {{.nearestFirst = 1, .allAbove = 1},
         4000,
         spread,
         {"abp", "abq", "abz", "abn", "abm", "abk"},
         4001},
        {{.allAbove = 1}, 4000, {{2000, full}, {2001, "abx"}}, words, 2001},
        {{.allAbove = 1}, 4000, {{2500, full}, {2501, "abx"}}, words, 2501},
        {{.nearestFirst = 1, .allAbove = 1},
         4000,
         {{2500, full}},
         {words.rbegin(), words.rend()},
         2501},
    };
    StartupRecord record = host.MakeStartupRecord();
    record.editorCommand = &CountCommand;
    host.plugin.setStartupInfo(&record);
    for (const Row& row : rows) {
        ASSERT_TRUE(UseOptions(row.options));
        std::set<std::int32_t> fetched;
        host.lineSource = [&row, &fetched](std::int32_t line) {
            fetched.insert(line);
            const auto found = row.above.find(row.cursor - line);
            return line == row.cursor         ? "ab"
                   : found == row.above.end() ? "filler"
                                              : found->second.c_str();
        };
        host.sourceLineCount = row.cursor + 1;
        host.cursorLine = row.cursor;
        host.cursorColumn = 2;
        host.windowTopLine = row.cursor - 5;
        host.windowLeftColumn = 3;
        host.menuChoice = -1;
        gCommandCounts.clear();
        EXPECT_EQ(host.PressCtrlSpace(), 1);
        EXPECT_EQ(Offered("ab"), row.found) << row.above.rbegin()->first;
        EXPECT_EQ(fetched.size(), row.read); // each once: the request reads its own line too
        for (const std::int32_t command : {kEditorSetPosition, kEditorGetLine, kEditorConvertText})
            EXPECT_EQ(gCommandCounts[command], row.read + 1) << row.above.rbegin()->first;
        EXPECT_EQ((std::vector<std::int32_t>{host.cursorLine, host.cursorColumn, host.windowTopLine,
                                             host.windowLeftColumn}),
                  (std::vector<std::int32_t>{row.cursor, 2, row.cursor - 5, 3}));
        host.ClearRecord();
    }
}

// Nearest first fetches from the cursor's line upwards and stops once the menu is full: 150
// distinct words on the 150 lines above, of 2000.
TEST_F(Harvest, NearestFirstStopsFetchingOnceTheListIsFull) {
    std::vector<std::string> text(2001);
    for (std::size_t line = 0; line < 2000; ++line)
        text[line] = "w" + std::to_string(line);
    text[2000] = "w";
    for (const std::uint32_t nearest : {0u, 1u}) {
        ASSERT_TRUE(UseOptions({.nearestFirst = nearest}));
        const std::vector<std::string> found = Found(text, 2000, "w");
        ASSERT_EQ(found.size(), 150u);
        EXPECT_EQ(found.front(), nearest != 0 ? "w1999" : "w0");
        EXPECT_EQ(found.back(), nearest != 0 ? "w1850" : "w149");
        const auto positions = Positions();
        ASSERT_EQ(positions.size(), nearest != 0 ? 152u : 2002u);
        EXPECT_EQ(positions[1], ScanTo(nearest != 0 ? 1999 : 1));
        EXPECT_EQ(positions.back(), RestoreTo(2000, 1, 0, 0));
    }
}

} // namespace
