// The Windows build's platform table answers as the advapi32 calls it wraps: the type and
// disposition a caller asks for are written, and nothing where a caller asks for none.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr const char* kTestKey = "Software\\LexamundPlatformTest";

TEST(WindowsPlatform, RegistryOutputsReachTheCaller) {
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    for (const DWORD expected : {REG_CREATED_NEW_KEY, REG_OPENED_EXISTING_KEY}) {
        RegKey key = 0;
        std::uint32_t disposition = 0;
        ASSERT_EQ(kDefaultPlatform.regCreateKeyEx(kHkeyCurrentUser, kTestKey, 0, nullptr, 0,
                                                  kKeyWrite, nullptr, &key, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, expected);
        const std::uint8_t data[4] = {7, 0, 0, 0};
        EXPECT_EQ(kDefaultPlatform.regSetValueEx(key, "Value", 0, kRegDword, data, 4),
                  ERROR_SUCCESS);
        EXPECT_EQ(kDefaultPlatform.regCloseKey(key), ERROR_SUCCESS);
    }
    RegKey key = 0;
    ASSERT_EQ(kDefaultPlatform.regCreateKeyEx(kHkeyCurrentUser, kTestKey, 0, nullptr, 0,
                                              kKeyWrite | kKeyQueryValue, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "Value", nullptr, &type, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(data[0], 7);
    size = sizeof data;
    EXPECT_EQ(kDefaultPlatform.regQueryValueEx(key, "Value", nullptr, nullptr, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    kDefaultPlatform.regCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
}

} // namespace
