// Which events start a completion request, and what the request takes from the cursor line.
#include "tests/scenario/scenario_fixture.h"

#include <cstring>

namespace {

constexpr std::uint32_t kRightAlt = 0x0001;
constexpr std::uint32_t kLeftAlt = 0x0002;
constexpr std::uint32_t kShift = 0x0010;
constexpr std::uint32_t kNumLock = 0x0020;
constexpr std::uint32_t kCapsLock = 0x0080;
constexpr std::uint32_t kEnhancedKey = 0x0100;
constexpr std::uint16_t kVkA = 0x41;
constexpr std::uint16_t kVkReturn = 0x0D;
constexpr std::uint16_t kVkControl = 0x11;

class Request : public Scenario {
  protected:
    // A document where Ctrl+Space at the end of line 1 completes 'he' to 'hello'.
    void SetUp() override {
        Scenario::SetUp();
        host.SetText({"hello", "he"}, 1, 2);
    }
};

// ---- Key filter ----

TEST_F(Request, EventsOtherThanCtrlSpaceDownArePassedOnUntouched) {
    const InputRecord passedOn[] = {
        KeyEvent(false, kConsoleVkSpace, kConsoleLeftCtrl),         // released
        KeyEvent(false, kConsoleVkSpace, kConsoleRightCtrl),        // released
        KeyEvent(true, kConsoleVkSpace, 0, ' '),                    // Space alone
        KeyEvent(true, kConsoleVkSpace, kShift, ' '),               // Shift+Space
        KeyEvent(true, kConsoleVkSpace, kLeftAlt | kRightAlt, ' '), // Alt+Space
        KeyEvent(true, kConsoleVkSpace, kNumLock | kCapsLock | kEnhancedKey, ' '),
        KeyEvent(true, kVkA, kConsoleLeftCtrl),                               // Ctrl+A
        KeyEvent(true, kVkReturn, kConsoleRightCtrl),                         // Ctrl+Enter
        KeyEvent(true, kVkControl, kConsoleLeftCtrl),                         // Ctrl itself
        KeyEvent(true, static_cast<std::uint16_t>(0x0120), kConsoleLeftCtrl), // 0x20 + 0x100
    };
    for (const InputRecord& event : passedOn) {
        EXPECT_EQ(host.Send(event), 0);
    }
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.lines[1], "he");
}

TEST_F(Request, NonKeyEventsArePassedOnEvenWhenTheyLookLikeCtrlSpace) {
    // Mouse, window-size, menu and focus events whose bytes would read as a Ctrl+Space
    // key-down if the event type were ignored.
    for (const std::uint16_t type : {0, 2, 4, 8, 0x10, 0x101}) {
        InputRecord event = KeyEvent(true, kConsoleVkSpace, kConsoleLeftCtrl);
        event.EventType = type;
        EXPECT_EQ(host.Send(event), 0) << "event type " << type;
    }
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(Request, EitherCtrlStartsARequestWhateverElseIsHeld) {
    const std::uint32_t states[] = {
        kConsoleLeftCtrl,
        kConsoleRightCtrl,
        kConsoleLeftCtrl | kConsoleRightCtrl,
        kConsoleLeftCtrl | kShift,
        kConsoleRightCtrl | kShift,
        kConsoleLeftCtrl | kLeftAlt,
        kConsoleRightCtrl | kNumLock | kCapsLock | kEnhancedKey,
    };
    for (const std::uint32_t state : states) {
        host.SetText({"hello", "he"}, 1, 2);
        host.ClearRecord();
        EXPECT_EQ(host.Send(KeyEvent(true, kConsoleVkSpace, state)), 1) << "state " << state;
        EXPECT_EQ(host.lines[1], "hello") << "state " << state;
        EXPECT_EQ(Inserted(), std::vector<std::string>{"llo"}) << "state " << state;
    }
}

TEST_F(Request, RepeatCountScanCodeAndCharacterAreNotLookedAt) {
    InputRecord event = KeyEvent(true, kConsoleVkSpace, kConsoleLeftCtrl, 'x');
    event.Event.KeyEvent.wRepeatCount = 0;
    event.Event.KeyEvent.wVirtualScanCode = 0xFFFF;
    EXPECT_EQ(host.Send(event), 1);
    EXPECT_EQ(host.lines[1], "hello");
}

// ---- Cursor column ----

TEST_F(Request, CursorAtLineStartAsksOnlyForTheState) {
    EXPECT_EQ(CompleteAt({"hello", "he"}, 1, 0), 0);
    ASSERT_EQ(Kinds(), std::vector<CallKind>{CallKind::GetEditorState});
}

TEST_F(Request, NegativeOrHugeCursorColumnIsPassedOnWithoutReadingTheLine) {
    const std::string longLine(1100, 'h');
    for (const std::int32_t column : {-1, -1000, 1025, 1100, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        host.ClearRecord();
        EXPECT_EQ(CompleteAt({"hello", longLine}, 1, column), 0) << "column " << column;
        EXPECT_EQ(Kinds(), std::vector<CallKind>{CallKind::GetEditorState}) << column;
    }
    EXPECT_EQ(host.lines[1], longLine);
}

TEST_F(Request, CursorPastTheLineEndIsPassedOnAfterLookingAtTheLine) {
    EXPECT_EQ(CompleteAt({"hello", "hello"}, 1, 10), 0);
    const std::vector<CallKind> expected = {CallKind::GetEditorState, CallKind::GetLine,
                                            CallKind::ConvertText};
    EXPECT_EQ(Kinds(), expected);
    EXPECT_EQ(host.calls[1].args, std::vector<std::int64_t>{-1});
    EXPECT_EQ(host.calls[2].args, std::vector<std::int64_t>{5});
}

TEST_F(Request, NoWordCharacterLeftOfTheCursorIsPassedOn) {
    for (const char* line : {"he ", "he.", "he\t", "he1", "he_", "he-", "he\x7F"}) {
        host.ClearRecord();
        EXPECT_EQ(CompleteAt({"hello", line}, 1, 3), 0) << line;
        EXPECT_EQ(host.CountOf(CallKind::SetPosition), 0u) << line;
    }
    EXPECT_TRUE(host.beeps.empty());
}

TEST_F(Request, ColumnOf1024CompletesFromTheFirst1024BytesOnly) {
    // Bytes 1022 and 1023 hold 'ab', the cursor stands behind them; the line goes on.
    std::string line = "abcdef" + std::string(1016, ' ') + "ab" + "cdxyz";
    EXPECT_EQ(CompleteAt({line}, 0, 1024), 1);
    // 'abcdxyz' would need bytes past the copy; only 'abcdef' is found.
    EXPECT_EQ(Inserted(), std::vector<std::string>{"cdef"});
    for (const std::int32_t index : host.CallsOf(CallKind::ConvertText)) {
        EXPECT_EQ(host.calls[static_cast<std::size_t>(index)].args,
                  std::vector<std::int64_t>{1024});
        EXPECT_EQ(host.calls[static_cast<std::size_t>(index)].text, line.substr(0, 1024));
    }
}

TEST_F(Request, NullCursorLineCountsAsEmpty) {
    host.nullLines = {1};
    EXPECT_EQ(CompleteAt({"hello", "he"}, 1, 2), 0);
    ASSERT_EQ(host.CountOf(CallKind::ConvertText), 1u);
    EXPECT_EQ(host.calls[2].args, std::vector<std::int64_t>{0});
}

TEST_F(Request, NullLineAboveTheCursorCountsAsEmpty) {
    host.nullLines = {1};
    EXPECT_EQ(CompleteAt({"hello", "help", "he"}, 2, 2), 1);
    EXPECT_EQ(host.lines[2], "hello");
    EXPECT_TRUE(host.menus.empty());
}

// ---- Prefix ----

TEST_F(Request, PrefixIsTheWordRunEndingAtTheCursor) {
    struct Case {
        const char* line;
        std::int32_t column;
        const char* inserted; // completes to a word of line 0
    } const cases[] = {
        {"foo bar", 7, "rel"}, // 'bar' -> 'barrel'
        {"abc", 3, "def"},     // the run reaches the line start
        {"abc", 1, "bcdef"},   // 'a'
        {"x.abcd", 4, "cdef"}, // 'ab'; 'cd' right of the cursor is no part of it
        {"_ab", 3, "cdef"},    // '_' ends the run with Numbers off
        {"1ab", 3, "cdef"},    // so does a digit
    };
    for (const Case& c : cases) {
        host.ClearRecord();
        EXPECT_EQ(CompleteAt({"barrel abcdef", c.line}, 1, c.column), 1) << c.line;
        EXPECT_EQ(Inserted(), std::vector<std::string>{c.inserted}) << c.line;
    }
}

TEST_F(Request, DigitLeftOfTheCursorNeedsNumbers) {
    EXPECT_EQ(CompleteAt({"a1b2", "a1"}, 1, 2), 0);
    ASSERT_TRUE(UseOptions({.numbers = 1}));
    EXPECT_EQ(CompleteAt({"a1b2", "a1"}, 1, 2), 1);
    EXPECT_EQ(host.lines[1], "a1b2");
}

TEST_F(Request, NumbersAndOwnWordCharsJoinThePrefixAndTheWords) {
    // The line above, the cursor's line (the cursor at its end), Numbers, the user's own word
    // characters (the registry's WordChars), and the line after.
    const struct {
        const char* above;
        const char* typed;
        std::uint32_t numbers;
        const char* own;
        const char* completed;
    } rows[] = {
        {"_abc abcdef", "_ab", 1, "", "_abc"},
        {"x1abc abc", "x1a", 1, "", "x1abc"},
        {"int my_value;", "my_v", 1, "", "my_value"},
        {"get_value(x)", "ge", 1, "", "get_value"},
        {"def __init__(self):", "__in", 1, "", "__init__"},
        {"def __init__(self):", "x.__in", 1, "", "x.__init__"},
        // Without Numbers '_' ends words and starts none: the part after it completes.
        {"get_value(x)", "ge", 0, "", "get"},
        {"get_value(x)", "va", 0, "", "value"},
        {"int my_value;", "my_v", 0, "", "my_value"}, // only the v after the underscore
        // The user's own characters: Ctrl+Space after one asks, and prefix and words run on.
        {"get_value(x)", "ge", 0, "_", "get_value"},
        {"--verbose", "--", 0, "-", "--verbose"},
        {"--verbose", "--ver", 1, "-", "--verbose"},
        {"background-color: red;", "{background-c", 0, "-", "{background-color"},
        {"(with-open-file (f)", "(with-o", 0, "-", "(with-open-file"},
        {"use Foo::Bar;", "Foo::B", 0, ":-", "Foo::Bar"},
        {"if empty?(x)", "emp", 0, "?", "empty?"},
    };
    for (const auto& row : rows) {
        host.ClearRecord();
        PlantRegistryValue(host.pluginKey + "\\Lexamund", "WordChars", kTestRegSz,
                           std::vector<std::uint8_t>(row.own, row.own + std::strlen(row.own)));
        host.Start(PluginUnderTest());
        ASSERT_TRUE(UseOptions({.numbers = row.numbers}));
        EXPECT_EQ(CompleteAtEnd({row.above, row.typed}, 1), 1) << row.typed;
        EXPECT_EQ(host.lines[1], row.completed) << row.typed << ", numbers " << row.numbers;
    }
}

TEST_F(Request, HighBytesAreWordCharactersWhateverTheSettings) {
    // 0xE0 is a Cyrillic letter in code page 866; 0xB0 a box-drawing character, which
    // still counts as a word character left of the cursor.
    EXPECT_EQ(CompleteAt({"\xE0\xE1\xE2", "\xE0"}, 1, 1), 1);
    EXPECT_EQ(host.lines[1], "\xE0\xE1\xE2");
    host.ClearRecord();
    EXPECT_EQ(CompleteAt({"\xB0x", "\xB0"}, 1, 1), 1);
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
}

TEST_F(Request, PrefixThatFillsItsBufferFindsNothing) {
    // Runs of 63, 64 and 70 letters left of the cursor: no word can be longer.
    for (const std::size_t length : {63u, 64u, 70u}) {
        const std::string run(length, 'q');
        host.ClearRecord();
        EXPECT_EQ(CompleteAtEnd({run + "rstuvw", run + "xyz " + run}, 1), 1) << length;
        EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40}) << length;
        EXPECT_TRUE(host.menus.empty());
        EXPECT_EQ(host.CountOf(CallKind::InsertText), 0u);
    }
}

TEST_F(Request, PrefixesUpTo62CharactersComplete) {
    for (const std::size_t length : {30u, 31u, 32u, 62u}) {
        const std::string prefix(length, 'q');
        host.ClearRecord();
        EXPECT_EQ(CompleteAtEnd({prefix + "r", prefix}, 1), 1) << length;
        EXPECT_EQ(host.lines[1], prefix + "r") << length;
    }
}

} // namespace
