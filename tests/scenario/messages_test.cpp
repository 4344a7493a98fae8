// The shipped message files: their format, their code pages, and the texts users see.
#include "tests/scenario/scenario_fixture.h"

#include <cstdio>
#include <set>

namespace {

const std::string kFolder = LEXAMUND_MESSAGES_DIR;
const std::string kEnglish = kFolder + "/LexamundEng.lng";
const std::string kRussian = kFolder + "/LexamundRus.lng";

// Code page 866 Cyrillic letters: А-п 0x80-0xAF, р-я 0xE0-0xEF, Ё ё 0xF0 0xF1.
bool IsOemCyrillic(unsigned char byte) {
    return byte <= 0xAF || (byte >= 0xE0 && byte <= 0xF1);
}

// The upper-case form of a Latin or code page 866 Cyrillic letter.
unsigned char Upper(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') return static_cast<unsigned char>(byte - 32);
    if (byte >= 0xA0 && byte <= 0xAF) return static_cast<unsigned char>(byte - 0x20);
    if (byte >= 0xE0 && byte <= 0xEF) return static_cast<unsigned char>(byte - 0x50);
    return byte;
}

TEST(MessageFiles, BothParseWithTwelveTexts) {
    MessageFile english;
    MessageFile russian;
    ASSERT_TRUE(ReadMessageFile(kEnglish, &english)) << kEnglish;
    ASSERT_TRUE(ReadMessageFile(kRussian, &russian)) << kRussian;
    EXPECT_EQ(english.language, "English");
    EXPECT_EQ(english.description, "English");
    EXPECT_EQ(english.texts.size(), 12u);
    EXPECT_EQ(russian.language, "Russian");
    EXPECT_EQ(russian.description, "Russian (\x90\xe3\xe1\xe1\xaa\xa8\xa9)") << "Русский in 866";
    EXPECT_EQ(russian.texts.size(), 12u);
}

TEST(MessageFiles, EnglishTextsAreTheTestHostsDefaults) {
    MessageFile english;
    ASSERT_TRUE(ReadMessageFile(kEnglish, &english));
    TestHost host;
    EXPECT_EQ(english.texts, std::vector<std::string>(host.messages.begin(), host.messages.end()));
}

TEST(MessageFiles, RussianTextsAreCodePage866) {
    MessageFile russian;
    ASSERT_TRUE(ReadMessageFile(kRussian, &russian));
    int cyrillic = 0;
    for (const std::string& text : russian.texts) {
        for (char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) continue;
            EXPECT_TRUE(IsOemCyrillic(byte)) << "byte " << int{byte} << " in " << text;
            EXPECT_NE(OemToWin1251(byte), '?');
            ++cyrillic;
        }
    }
    EXPECT_GT(cyrillic, 60);
    EXPECT_EQ(russian.texts[6], "&\x91\xae\xe5\xe0\xa0\xad\xa8\xe2\xec") << "&Сохранить";
    EXPECT_EQ(russian.texts[7], "&\x8e\xe2\xac\xa5\xad\xa0") << "&Отмена";
}

TEST(MessageFiles, DialogTextsHaveDistinctHotKeys) {
    for (const std::string& path : {kEnglish, kRussian}) {
        MessageFile file;
        ASSERT_TRUE(ReadMessageFile(path, &file));
        std::set<unsigned char> keys;
        for (const std::size_t i : {2u, 3u, 4u, 5u, 6u, 7u, 9u, 10u, 11u}) {
            const std::string& text = file.texts[i];
            const std::size_t amp = text.find('&');
            ASSERT_NE(amp, std::string::npos) << path << " text " << i;
            EXPECT_EQ(text.find('&', amp + 1), std::string::npos) << path << " text " << i;
            ASSERT_LT(amp + 1, text.size());
            EXPECT_NE(text[amp + 1], ' ');
            EXPECT_TRUE(keys.insert(Upper(static_cast<unsigned char>(text[amp + 1]))).second)
                << path << ": hot key of text " << i << " is taken";
            EXPECT_LE(text.size(), 31u) << "a label fits the dialog's frame";
        }
        EXPECT_EQ(file.texts[8].find('%'), file.texts[8].rfind('%')) << "one conversion only";
        EXPECT_NE(file.texts[8].find("%d"), std::string::npos);
    }
}

TEST(MessageFiles, TheHostPicksAFileByItsLanguage) {
    TestHost host;
    const auto english = host.messages;
    EXPECT_FALSE(host.LoadLanguage(kFolder, "German"));
    EXPECT_EQ(host.messages, english);
    ASSERT_TRUE(host.LoadLanguage(kFolder, "russian"));
    EXPECT_EQ(host.messages[7], "&\x8e\xe2\xac\xa5\xad\xa0");
    ASSERT_TRUE(host.LoadLanguage(kFolder, "English"));
    EXPECT_EQ(host.messages, english);
}

// ---- The texts through the plug-in ----

TEST_F(Scenario, RussianTextsReachTheMenuAndTheDialog) {
    ASSERT_TRUE(host.LoadLanguage(kFolder, "Russian"));
    host.SetText({"alpha alps alder", "al"}, 1, 0);
    host.CursorAtEnd(1);
    host.menuChoice = -1;
    EXPECT_EQ(host.PressCtrlSpace(), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].title, "Lexamund");
    EXPECT_EQ(host.menus[0].bottom, "\x91\xab\xae\xa2: 3") << "Слов: 3";

    host.dialogResult = 6;
    EXPECT_EQ(host.plugin.openPlugin(0, 0), -1);
    ASSERT_EQ(host.dialogs.size(), 1u);
    const std::size_t messageOfItem[] = {1, 2, 3, 4, 5, 9, 10, 11, 6, 7};
    ASSERT_EQ(host.dialogs[0].items.size(), std::size(messageOfItem));
    for (std::size_t i = 0; i < std::size(messageOfItem); ++i) {
        EXPECT_EQ(host.dialogs[0].items[i].data, host.messages[messageOfItem[i]]) << "item " << i;
    }
}

TEST_F(Scenario, EnglishBottomTextCountsTheItems) {
    ASSERT_TRUE(host.LoadLanguage(kFolder, "English"));
    // 160 words on two lines above the cursor: the menu takes the first 150.
    std::vector<std::string> text(2);
    for (int i = 0; i < 160; ++i) {
        char word[16];
        std::snprintf(word, sizeof word, "w%dx ", 1000 + i);
        text[static_cast<std::size_t>(i / 80)] += word;
    }
    text.push_back("w");
    host.SetText(text, 2, 0);
    host.CursorAtEnd(2);
    host.menuChoice = -1;
    EXPECT_EQ(host.PressCtrlSpace(), 1);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].bottom, "Words: 150");
}

} // namespace
