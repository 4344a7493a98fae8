// The native build's in-memory registry behaves as the Windows registry does for the
// five operations of the platform table.
#include "platform/memory_registry.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

namespace {

class MemoryRegistry : public ::testing::Test {
  protected:
    void SetUp() override { MemoryRegistryReset(); }
    void TearDown() override { MemoryRegistryReset(); }

    static RegKey Create(const char* path, RegKey root = kHkeyCurrentUser) {
        RegKey key = 0;
        EXPECT_EQ(
            kDefaultPlatform.regCreateKeyEx(root, path, 0, nullptr, 0, kKeyWrite, nullptr, &key),
            kErrorSuccess);
        return key;
    }
    // Creates a key that should not be created; its handle is left in key.
    static std::int32_t TryCreate(const char* path, std::uint32_t reserved, RegKey* key) {
        return kDefaultPlatform.regCreateKeyEx(kHkeyCurrentUser, path, reserved, nullptr, 0,
                                               kKeyWrite, nullptr, key);
    }
    static std::int32_t Open(const char* path, RegKey* key, RegKey root = kHkeyCurrentUser) {
        return kDefaultPlatform.regOpenKeyEx(root, path, 0, kKeyQueryValue, key);
    }
    static std::int32_t Set(RegKey key, const char* name, std::uint32_t type,
                            const std::string& bytes) {
        return kDefaultPlatform.regSetValueEx(key, name, 0, type,
                                              reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                              static_cast<std::uint32_t>(bytes.size()));
    }
    static std::int32_t Close(RegKey key) { return kDefaultPlatform.regCloseKey(key); }
};

TEST_F(MemoryRegistry, OpeningAMissingKeyFailsAndCreatesNothing) {
    RegKey key = 99;
    EXPECT_EQ(Open("Software\\Missing", &key), kErrorFileNotFound);
    EXPECT_EQ(key, 0u);
    EXPECT_TRUE(MemoryRegistryEmpty());
    EXPECT_EQ(MemoryRegistryOpenHandles(), 0u);
}

TEST_F(MemoryRegistry, CreatingMakesEveryMissingKeyOnThePath) {
    const RegKey key = Create("Software\\Host\\Plugins\\Lexamund");
    EXPECT_EQ(MemoryRegistryKeyCount(), 4u);
    for (const char* path : {"Software", "software\\HOST", "Software\\Host\\Plugins"}) {
        EXPECT_TRUE(MemoryRegistryKeyExists(path)) << path;
    }
    EXPECT_EQ(Close(key), kErrorSuccess);
    const RegKey again = Create("SOFTWARE\\host\\plugins\\LEXAMUND");
    EXPECT_EQ(MemoryRegistryKeyCount(), 4u);
    EXPECT_EQ(Close(again), kErrorSuccess);
    EXPECT_EQ(MemoryRegistryOpenHandles(), 0u);
}

TEST_F(MemoryRegistry, PathsFollowTheWindowsRules) {
    RegKey key = 0;
    EXPECT_EQ(TryCreate("\\Software", 0, &key), kErrorBadPathname);
    EXPECT_EQ(key, 0u);
    Close(Create("Software\\\\Doubled\\"));
    EXPECT_TRUE(MemoryRegistryKeyExists("Software\\Doubled"));
    EXPECT_EQ(MemoryRegistryKeyCount(), 2u) << "empty names are skipped";
    const std::string longName(256, 'n');
    EXPECT_EQ(Open(longName.c_str(), &key), kErrorInvalidParameter);
    EXPECT_EQ(Open("Software", &key, 0x1234), kErrorInvalidHandle);
}

TEST_F(MemoryRegistry, SubkeysOpenRelativeToAnOpenHandle) {
    const RegKey parent = Create("Software\\Host");
    Close(Create("Inner", parent));
    EXPECT_TRUE(MemoryRegistryKeyExists("Software\\Host\\Inner"));
    RegKey inner = 0;
    EXPECT_EQ(Open("inner", &inner, parent), kErrorSuccess);
    Close(inner);
    Close(parent);
}

TEST_F(MemoryRegistry, QueryReportsSizeAndFailsWhenTheDataDoesNotFit) {
    const RegKey writer = Create("Software\\Values");
    ASSERT_EQ(Set(writer, "Big", kRegBinary, "12345678"), kErrorSuccess);
    ASSERT_EQ(Set(writer, "Small", kRegBinary, "ab"), kErrorSuccess);
    Close(writer);
    RegKey key = 0;
    ASSERT_EQ(Open("Software\\Values", &key), kErrorSuccess);
    std::uint8_t data[4] = {9, 9, 9, 9};
    std::uint32_t size = 4;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "big", nullptr, nullptr, data, &size),
              kErrorMoreData);
    EXPECT_EQ(size, 8u);
    size = 4;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "SMALL", nullptr, nullptr, data, &size),
              kErrorSuccess);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(data[0], 'a');
    EXPECT_EQ(data[2], 9) << "only the data's bytes are written";
    size = 0;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "Big", nullptr, nullptr, nullptr, &size),
              kErrorSuccess);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "Gone", nullptr, nullptr, data, &size),
              kErrorFileNotFound);
    Close(key);
}

TEST_F(MemoryRegistry, SetReplacesAValueOfAnyTypeAndNamesIgnoreCase) {
    ASSERT_TRUE(MemoryRegistryPutValue("Software\\V", "Space", kRegQword, "12345678", 8));
    const RegKey key = Create("Software\\V");
    EXPECT_EQ(Set(key, "SPACE", kRegDword, std::string("\x01\0\0\0", 4)), kErrorSuccess);
    Close(key);
    MemoryRegistryValue value;
    ASSERT_TRUE(MemoryRegistryGetValue("software\\v", "space", &value));
    EXPECT_EQ(value.type, kRegDword);
    EXPECT_EQ(value.data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST_F(MemoryRegistry, HandlesNeedTheRightAccessAndCloseOnce) {
    const RegKey writer = Create("Software\\A");
    std::uint8_t data[4];
    std::uint32_t size = 4;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(writer, "X", nullptr, nullptr, data, &size),
              kErrorAccessDenied);
    RegKey reader = 0;
    ASSERT_EQ(Open("Software\\A", &reader), kErrorSuccess);
    EXPECT_EQ(Set(reader, "X", kRegDword, "abcd"), kErrorAccessDenied);
    EXPECT_EQ(MemoryRegistryOpenHandles(), 2u);
    EXPECT_EQ(Close(reader), kErrorSuccess);
    EXPECT_EQ(Close(reader), kErrorInvalidHandle);
    EXPECT_EQ(Close(writer), kErrorSuccess);
    EXPECT_EQ(MemoryRegistryOpenHandles(), 0u);
}

// Calls the Windows registry refuses are refused here too and change nothing, so that no
// native test passes with a call that fails on Windows.
TEST_F(MemoryRegistry, RefusesTheCallsWindowsRefuses) {
    const RegKey key = Create("Software\\P");
    std::uint32_t reserved = 0;
    std::uint8_t data[4] = {1, 2, 3, 4};
    std::uint32_t size = 4;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "X", &reserved, nullptr, data, &size),
              kErrorInvalidParameter);
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "X", nullptr, nullptr, data, nullptr),
              kErrorInvalidParameter);
    EXPECT_EQ(kDefaultPlatform.regSetValueEx(key, "X", 1, kRegDword, data, 4),
              kErrorInvalidParameter);
    EXPECT_EQ(kDefaultPlatform.regSetValueEx(key, "X", 0, kRegDword, nullptr, 4),
              kErrorInvalidParameter);
    RegKey other = 0;
    EXPECT_EQ(TryCreate("Software\\Q", 1, &other), kErrorInvalidParameter);
    EXPECT_EQ(other, 0u);
    EXPECT_FALSE(MemoryRegistryKeyExists("Software\\Q"));
    MemoryRegistryValue value;
    EXPECT_FALSE(MemoryRegistryGetValue("Software\\P", "X", &value));
    EXPECT_EQ(Close(kHkeyCurrentUser), kErrorSuccess) << "the predefined key is never closed";
    EXPECT_EQ(Close(key), kErrorSuccess);
    EXPECT_EQ(MemoryRegistryOpenHandles(), 0u);
}

// A null name and an empty one both mean the key's default value; a query may ask for the
// size alone.
TEST_F(MemoryRegistry, NullNameIsTheDefaultValue) {
    const RegKey writer = Create("Software\\D");
    ASSERT_EQ(Set(writer, nullptr, kRegBinary, "xy"), kErrorSuccess);
    Close(writer);
    RegKey key = 0;
    ASSERT_EQ(Open("Software\\D", &key), kErrorSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "", nullptr, nullptr, nullptr, &size),
              kErrorSuccess);
    EXPECT_EQ(size, 2u);
    std::uint8_t data[2] = {};
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, nullptr, nullptr, nullptr, data, &size),
              kErrorSuccess);
    EXPECT_EQ(data[1], 'y');
    Close(key);
    MemoryRegistryValue value;
    ASSERT_TRUE(MemoryRegistryGetValue("Software\\D", "", &value));
    EXPECT_EQ(value.data.size(), 2u);
}

TEST_F(MemoryRegistry, ResetForgetsKeysValuesAndHandles) {
    MemoryRegistryPutValue("", "AtRoot", kRegDword, "abcd", 4);
    const RegKey key = Create("Software\\A");
    EXPECT_FALSE(MemoryRegistryEmpty());
    MemoryRegistryReset();
    EXPECT_TRUE(MemoryRegistryEmpty());
    EXPECT_EQ(MemoryRegistryOpenHandles(), 0u);
    EXPECT_EQ(Close(key), kErrorInvalidHandle);
}

} // namespace
