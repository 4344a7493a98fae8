// Fuzzes the settings store over the in-memory registry: random host plug-in keys, values
// of random names, types and sizes planted where the store looks, subkey names, and one
// registry call that fails.
#include "engine/engine.h"
#include "fuzz/fuzz_input.h"
#include "platform/memory_registry.h"
#include "shell/settings.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const kNames[] = {"Space",      "Menu1",        "Sound",   "Numbers",
                              "IgnoreCase", "NearestFirst", "AllAbove"};
constexpr std::uint32_t kDefaults[] = {0, 0, 1, 0, 0, 0, 0};
constexpr int kSettingCount = 7;

// ---- One registry call that fails ----

struct Faults {
    int calls = 0;
    int failAt = 0;
    bool Fail() { return ++calls == failAt; }
};
Faults gFaults;
constexpr std::int32_t kAccessDenied = 5;

std::int32_t OpenKey(RegKey root, const char* path, std::uint32_t options, std::uint32_t access,
                     RegKey* result) {
    if (gFaults.Fail()) return *result = 0, kAccessDenied;
    return kDefaultPlatform.regOpenKeyEx(root, path, options, access, result);
}
std::int32_t QueryValue(RegKey key, const char* name, std::uint32_t* reserved, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* size) {
    if (gFaults.Fail()) return kAccessDenied;
    return kDefaultPlatform.regQueryValueEx(key, name, reserved, type, data, size);
}
std::int32_t CreateKey(RegKey root, const char* path, std::uint32_t reserved, char* className,
                       std::uint32_t options, std::uint32_t access, void* security,
                       RegKey* result) {
    if (gFaults.Fail()) return *result = 0, kAccessDenied;
    return kDefaultPlatform.regCreateKeyEx(root, path, reserved, className, options, access,
                                           security, result);
}
std::int32_t SetValue(RegKey key, const char* name, std::uint32_t reserved, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size) {
    if (gFaults.Fail()) return kAccessDenied;
    return kDefaultPlatform.regSetValueEx(key, name, reserved, type, data, size);
}

// ---- The model ----

// What a read of the named value must give: its data (zero-extended) when the store is
// usable and the value holds at most 4 bytes, else the default.
std::uint32_t Expected(const char* name, std::uint32_t defaultValue) {
    MemoryRegistryValue value;
    if (SettingsKeyPath[0] == 0 || !MemoryRegistryGetValue(SettingsKeyPath, name, &value) ||
        value.data.size() > 4) {
        return defaultValue;
    }
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < value.data.size(); ++i)
        word |= value.data[i] << (8 * i);
    return word;
}

// The path is the host's key and "\Lexamund" when that fits an operation's path, else empty.
void CheckKeyPath(const std::string& hostKey) {
    const std::string hostText = hostKey.c_str(); // up to its first NUL, as the host's string
    const std::size_t length = strnlen(SettingsKeyPath, sizeof SettingsKeyPath);
    FUZZ_CHECK(length < sizeof SettingsKeyPath);
    if (hostText.size() + 9 < static_cast<std::size_t>(kOperationPathSize)) {
        FUZZ_CHECK(SettingsKeyPath == hostText + "\\Lexamund");
    } else {
        FUZZ_CHECK(length == 0);
    }
}

// Plants a few values of random names, types and sizes in the settings key or near it.
void PlantValues(FuzzInput& in) {
    for (unsigned n = in.Below(6); n > 0; --n) {
        const std::uint8_t pick = in.Byte();
        std::string name = pick < 128 ? kNames[pick % kSettingCount] : in.Text(40);
        if (pick & 0x40)
            for (char& c : name)
                c = static_cast<char>(c ^ 0x20 * (c >= 'A'));
        const std::string path = (pick & 0x20) ? in.Text(120) : SettingsKeyPath;
        const std::uint32_t type = in.Below(16);
        const std::string data = in.Text(12);
        MemoryRegistryPutValue(path.c_str(), name.c_str(), type, data.data(), data.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    MemoryRegistryReset();
    gPlatform = kDefaultPlatform;
    const std::string hostKey = in.Text(255);
    SetUpSettingsKeyPath(hostKey.c_str());
    CheckKeyPath(hostKey);
    PlantValues(in);

    // Loading gives each value as stored, or its default.
    std::uint32_t expected[kSettingCount];
    for (int i = 0; i < kSettingCount; ++i)
        expected[i] = Expected(kNames[i], kDefaults[i]);
    LoadSettings();
    const std::uint32_t loaded[kSettingCount] = {
        gSettings.space,      gSettings.menu1,        gSettings.sound,   gSettings.numbers,
        gSettings.ignoreCase, gSettings.nearestFirst, gSettings.allAbove};
    for (int i = 0; i < kSettingCount; ++i)
        FUZZ_CHECK(loaded[i] == expected[i]);

    // Saving stores each as a 4-byte REG_DWORD wherever the registry takes the path.
    std::uint32_t saved[kSettingCount];
    for (std::uint32_t& value : saved)
        value = static_cast<std::uint32_t>(in.Int32());
    gSettings = {saved[0], saved[1], saved[2], saved[3], saved[4], saved[5], saved[6]};
    SaveSettings();
    for (int i = 0; i < kSettingCount && SettingsKeyPath[0] != 0; ++i) {
        MemoryRegistryValue value;
        if (!MemoryRegistryGetValue(SettingsKeyPath, kNames[i], &value)) {
            // Only a path the registry refuses goes unwritten.
            FUZZ_CHECK(MemoryRegistryPutValue(SettingsKeyPath, "probe", kRegDword, "", 0) == 0);
            continue;
        }
        FUZZ_CHECK(value.type == kRegDword && value.data.size() == 4);
        FUZZ_CHECK(std::memcmp(value.data.data(), &saved[i], 4) == 0);
    }
    FUZZ_CHECK(MemoryRegistryOpenHandles() == 0);

    // Any subkey name, and one failing registry call: defaults or values, no open handle.
    gFaults = {0, static_cast<int>(in.Below(12))};
    gPlatform.regOpenKeyEx = OpenKey;
    gPlatform.regQueryValueEx = QueryValue;
    gPlatform.regCreateKeyEx = CreateKey;
    gPlatform.regSetValueEx = SetValue;
    const std::string subkey = in.Text(120);
    const std::uint32_t value = static_cast<std::uint32_t>(in.Int32());
    WriteSetting(kHkeyCurrentUser, subkey.c_str(), "Space", value);
    ReadSetting(kHkeyCurrentUser, subkey.c_str(), "Space", 77);
    LoadSettings();
    FUZZ_CHECK(MemoryRegistryOpenHandles() == 0);
    gPlatform = kDefaultPlatform;
    return 0;
}
