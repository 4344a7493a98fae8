// The settings store against the in-memory registry: paths, call order, defaults, faults.
#include "engine/engine.h"
#include "platform/memory_registry.h"
#include "shell/settings.h"
#include "tests/support/registry_log.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

const std::string kHostKey = "Software\\Host\\Plugins";
const std::string kKey = kHostKey + "\\Lexamund";

class SettingsStore : public ::testing::Test {
  protected:
    void SetUp() override {
        MemoryRegistryReset();
        InstallRegistryRecorder();
        SetUpSettingsKeyPath(kHostKey.c_str());
        gSettings = {0, 0, 1, 0, 0, 0, 0};
    }
    void TearDown() override {
        EXPECT_EQ(MemoryRegistryOpenHandles(), 0u) << "a handle outlived its operation";
        gPlatform = kDefaultPlatform;
        MemoryRegistryReset();
        gSettings = {0, 0, 1, 0, 0, 0, 0};
    }

    static void Plant(const std::string& name, std::uint32_t type, const std::string& bytes) {
        ASSERT_TRUE(
            MemoryRegistryPutValue(kKey.c_str(), name.c_str(), type, bytes.data(), bytes.size()));
    }
    static std::string Open(const std::string& path) {
        return "Open 80000001 " + path + " options 0 access 1";
    }
    static std::string Create(const std::string& path) {
        return "Create 80000001 " + path + " access 20006";
    }
};

std::string HostKeyOfLength(std::size_t length) {
    std::string key = "Software\\";
    key.resize(length, 'k');
    return key;
}

TEST_F(SettingsStore, KeyPathIsHostKeyThenLexamundAndIsRebuiltNotAppended) {
    EXPECT_STREQ(SettingsKeyPath, kKey.c_str());
    SetUpSettingsKeyPath("Software\\Other");
    EXPECT_STREQ(SettingsKeyPath, "Software\\Other\\Lexamund");
    // Nothing is trimmed from the host's string and no separator is added.
    SetUpSettingsKeyPath("Software\\Other\\");
    EXPECT_STREQ(SettingsKeyPath, "Software\\Other\\\\Lexamund");
}

TEST_F(SettingsStore, KeyPathOfExactly87CharactersIsUsedAnd88IsRefused) {
    const std::string fits = HostKeyOfLength(78);
    SetUpSettingsKeyPath(fits.c_str());
    EXPECT_EQ(std::strlen(SettingsKeyPath), 87u);
    EXPECT_EQ(OpenSettingsKey(kHkeyCurrentUser, ""), 0u);
    EXPECT_EQ(gRegistryCalls, std::vector<std::string>{Open(fits + "\\Lexamund")});
    WriteSetting(kHkeyCurrentUser, "", "Space", 3);
    EXPECT_TRUE(MemoryRegistryKeyExists((fits + "\\Lexamund").c_str()));

    MemoryRegistryReset();
    gRegistryCalls.clear();
    const std::string tooLong = HostKeyOfLength(79);
    SetUpSettingsKeyPath(tooLong.c_str());
    EXPECT_STREQ(SettingsKeyPath, "");
    WriteSetting(kHkeyCurrentUser, "", "Space", 3);
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Sound", 1), 1u);
    EXPECT_TRUE(gRegistryCalls.empty()) << "an unusable key path must not reach the registry";
    EXPECT_TRUE(MemoryRegistryEmpty());
}

TEST_F(SettingsStore, VeryLongOrMissingHostKeyLeavesTheStoreUnusable) {
    const std::string huge(5000, 'x');
    SetUpSettingsKeyPath(huge.c_str());
    EXPECT_STREQ(SettingsKeyPath, "");
    SetUpSettingsKeyPath(nullptr);
    EXPECT_STREQ(SettingsKeyPath, "");
    LoadSettings();
    SaveSettings();
    EXPECT_TRUE(gRegistryCalls.empty());
    EXPECT_EQ(gSettings.sound, 1u);
}

TEST_F(SettingsStore, EmptyPathBeforeStartUpNeverReachesTheRegistryRoot) {
    SettingsKeyPath[0] = '\0';
    WriteSetting(kHkeyCurrentUser, "", "Space", 1);
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Space", 9), 9u);
    EXPECT_TRUE(gRegistryCalls.empty());
    EXPECT_TRUE(MemoryRegistryEmpty());
}

TEST_F(SettingsStore, SubkeyNameIsJoinedWithABackslashWhenItFits) {
    EXPECT_EQ(OpenSettingsKey(kHkeyCurrentUser, "Sub"), 0u);
    EXPECT_EQ(OpenSettingsKey(kHkeyCurrentUser, nullptr), 0u);
    const std::string room(87 - kKey.size() - 1, 'n');
    EXPECT_EQ(OpenSettingsKey(kHkeyCurrentUser, room.c_str()), 0u);
    EXPECT_EQ(OpenSettingsKey(kHkeyCurrentUser, (room + "n").c_str()), 0u);
    EXPECT_EQ(gRegistryCalls, (std::vector<std::string>{Open(kKey + "\\Sub"), Open(kKey),
                                                        Open(kKey + "\\" + room)}));
}

TEST_F(SettingsStore, LoadWithoutKeyGivesDefaultsAndCreatesNothing) {
    gSettings = {5, 5, 5, 5, 5, 5, 5};
    LoadSettings();
    EXPECT_EQ(gSettings.space, 0u);
    EXPECT_EQ(gSettings.menu1, 0u);
    EXPECT_EQ(gSettings.sound, 1u);
    EXPECT_EQ(gSettings.numbers, 0u);
    EXPECT_EQ(gSettings.ignoreCase, 0u);
    EXPECT_EQ(gSettings.nearestFirst, 0u);
    EXPECT_EQ(gSettings.allAbove, 0u);
    EXPECT_EQ(gRegistryCalls, std::vector<std::string>(8, Open(kKey)));
    EXPECT_TRUE(MemoryRegistryEmpty());
}

TEST_F(SettingsStore, LoadOpensQueriesAndClosesOncePerValueInOrder) {
    Plant("Space", kRegDword, std::string("\x07\0\0\0", 4));
    Plant("Sound", kRegDword, std::string(4, '\0'));
    LoadSettings();
    EXPECT_EQ(gSettings.space, 7u);
    EXPECT_EQ(gSettings.menu1, 0u);
    EXPECT_EQ(gSettings.sound, 0u);
    EXPECT_EQ(gSettings.numbers, 0u);
    std::vector<std::string> expected;
    for (const char* name :
         {"Space", "Menu1", "Sound", "Numbers", "IgnoreCase", "NearestFirst", "AllAbove"}) {
        expected.push_back(Open(kKey));
        expected.push_back(std::string("Query ") + name + " size 4");
        expected.push_back("Close");
    }
    expected.insert(expected.end(), {Open(kKey), "Query WordChars size 100", "Close"});
    EXPECT_EQ(gRegistryCalls, expected);
}

TEST_F(SettingsStore, ValueSizesDecideBetweenDataAndDefault) {
    Plant("Space", kRegBinary, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    Plant("Menu1", kRegBinary, "\x05");
    Plant("Sound", kRegBinary, "");
    Plant("Numbers", kRegBinary, std::string("\x01\x02\x03", 3));
    Plant("Text", kRegSz, std::string("ab\0", 3));
    Plant("Word", kRegSz, std::string("abc\0", 4));
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Space", 42), 42u) << "8 bytes do not fit";
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Menu1", 42), 5u);
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Sound", 42), 0u);
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Numbers", 42), 0x030201u);
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "text", 42), 0x006261u) << "type is not checked";
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "WORD", 42), 0x00636261u);
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Missing", 42), 42u);
}

// A query that claims success but leaves stale bytes must still yield only the data.
std::int32_t ShortQueryLeavingGarbage(RegKey, const char*, std::uint32_t*, std::uint32_t*,
                                      std::uint8_t* data, std::uint32_t* size) {
    std::memset(data, 0xEE, 4);
    data[0] = 0x11;
    *size = 1;
    return 0;
}

TEST_F(SettingsStore, ShortValueZerosTheBytesPastItsData) {
    Plant("Space", kRegBinary, "\x11");
    gPlatform.regQueryValueEx = ShortQueryLeavingGarbage;
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Space", 0), 0x11u);
}

TEST_F(SettingsStore, WriteCreatesMissingKeysAndStoresAFourByteDword) {
    WriteSetting(kHkeyCurrentUser, "", "Numbers", 0x01020307);
    EXPECT_EQ(gRegistryCalls,
              (std::vector<std::string>{Create(kKey), "Set Numbers type 4 size 4 data 07030201",
                                        "Close"}));
    EXPECT_TRUE(MemoryRegistryKeyExists("Software"));
    EXPECT_TRUE(MemoryRegistryKeyExists(kHostKey.c_str()));
    MemoryRegistryValue stored;
    ASSERT_TRUE(MemoryRegistryGetValue(kKey.c_str(), "Numbers", &stored));
    EXPECT_EQ(stored.type, kRegDword);
    EXPECT_EQ(stored.data, (std::vector<std::uint8_t>{7, 3, 2, 1}));
}

TEST_F(SettingsStore, WriteReplacesAValueOfAnotherTypeAndSize) {
    Plant("Space", kRegSz, "a long text value");
    WriteSetting(kHkeyCurrentUser, "", "SPACE", 1);
    MemoryRegistryValue stored;
    ASSERT_TRUE(MemoryRegistryGetValue(kKey.c_str(), "Space", &stored));
    EXPECT_EQ(stored.type, kRegDword);
    EXPECT_EQ(stored.data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Space", 0), 1u);
}

TEST_F(SettingsStore, SaveWritesTheSevenSettingsInOrder) {
    gSettings = {1, 0, 7, 0xFFFFFFFF, 2, 0x80000000, 0x10203};
    SaveSettings();
    std::vector<std::string> expected;
    for (const char* set :
         {"Set Space type 4 size 4 data 01000000", "Set Menu1 type 4 size 4 data 00000000",
          "Set Sound type 4 size 4 data 07000000", "Set Numbers type 4 size 4 data ffffffff",
          "Set IgnoreCase type 4 size 4 data 02000000",
          "Set NearestFirst type 4 size 4 data 00000080",
          "Set AllAbove type 4 size 4 data 03020100"}) {
        expected.insert(expected.end(), {Create(kKey), set, "Close"});
    }
    EXPECT_EQ(gRegistryCalls, expected);
    gSettings = {};
    LoadSettings();
    EXPECT_EQ(gSettings.sound, 7u);
    EXPECT_EQ(gSettings.numbers, 0xFFFFFFFFu);
    EXPECT_EQ(gSettings.nearestFirst, 0x80000000u);
    EXPECT_EQ(gSettings.allAbove, 0x10203u);
}

TEST_F(SettingsStore, FailuresAreSilentAndEveryObtainedHandleIsClosed) {
    Plant("Sound", kRegDword, std::string(4, '\0'));
    gRegistryFaults.query = kErrorAccessDenied;
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Sound", 1), 1u);
    EXPECT_EQ(gRegistryCalls.back(), "Close");

    gRegistryFaults = {};
    gRegistryFaults.open = kErrorAccessDenied;
    gRegistryCalls.clear();
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Sound", 1), 1u);
    EXPECT_EQ(gRegistryCalls, std::vector<std::string>{Open(kKey)});

    gRegistryFaults = {};
    gRegistryFaults.set = kErrorAccessDenied;
    gRegistryCalls.clear();
    WriteSetting(kHkeyCurrentUser, "", "Sound", 1);
    EXPECT_EQ(gRegistryCalls.size(), 3u);
    EXPECT_EQ(gRegistryCalls.back(), "Close");

    gRegistryFaults = {};
    gRegistryFaults.create = kErrorAccessDenied;
    gRegistryCalls.clear();
    WriteSetting(kHkeyCurrentUser, "", "Sound", 1);
    EXPECT_EQ(gRegistryCalls, std::vector<std::string>{Create(kKey)});
    EXPECT_EQ(ReadSetting(kHkeyCurrentUser, "", "Sound", 1), 0u) << "the old value stays";
}

} // namespace
