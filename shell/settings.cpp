// The settings store: key path, key operations, and reading and writing the seven options.
#include "shell/settings.h"

#include "engine/engine.h"

#include <cstring>

char SettingsKeyPath[kSettingsKeyPathSize];

namespace {

// One option: its value name, its place in gSettings, and its default.
struct SettingSlot {
    const char* valueName;
    std::uint32_t CompletionSettings::*field;
    std::uint32_t defaultValue;
};

constexpr SettingSlot kSettingSlots[] = {
    {"Space", &CompletionSettings::space, 0},
    {"Menu1", &CompletionSettings::menu1, 0},
    {"Sound", &CompletionSettings::sound, 1},
    {"Numbers", &CompletionSettings::numbers, 0},
    {"IgnoreCase", &CompletionSettings::ignoreCase, 0},
    {"NearestFirst", &CompletionSettings::nearestFirst, 0},
    {"AllAbove", &CompletionSettings::allAbove, 0},
};

constexpr std::uint32_t kDwordSize = 4;

// Builds one operation's path: SettingsKeyPath, then a backslash and the subkey name when
// there is one. Returns 0, touching nothing, when the store is unusable or the path would
// not fit.
int BuildOperationPath(const char* subkey, char (&path)[kOperationPathSize]) {
    const std::size_t keyLength = strnlen(SettingsKeyPath, kSettingsKeyPathSize);
    const bool named = subkey != nullptr && *subkey != '\0';
    const std::size_t nameLength = named ? strnlen(subkey, kOperationPathSize) : 0;
    const std::size_t total = keyLength + (named ? 1 + nameLength : 0);
    if (keyLength == 0 || total >= sizeof path) return 0;
    std::memcpy(path, SettingsKeyPath, keyLength);
    if (named) {
        path[keyLength] = '\\';
        std::memcpy(path + keyLength + 1, subkey, nameLength);
    }
    path[total] = '\0';
    return 1;
}

} // namespace

void SetUpSettingsKeyPath(const char* hostPluginKey) {
    SettingsKeyPath[0] = '\0';
    if (hostPluginKey == nullptr) return;
    const std::size_t hostLength = strnlen(hostPluginKey, kOperationPathSize);
    const std::size_t total = hostLength + sizeof kSettingsKeyName - 1;
    if (total >= kOperationPathSize) return;
    std::memcpy(SettingsKeyPath, hostPluginKey, hostLength);
    std::memcpy(SettingsKeyPath + hostLength, kSettingsKeyName, sizeof kSettingsKeyName);
}

RegKey CreateSettingsKey(RegKey root, const char* subkey) {
    char path[kOperationPathSize];
    if (!BuildOperationPath(subkey, path)) return 0;
    RegKey key = 0;
    const std::int32_t status =
        gPlatform.regCreateKeyEx(root, path, 0, nullptr, 0, kKeyWrite, nullptr, &key);
    return status == 0 ? key : 0;
}

RegKey OpenSettingsKey(RegKey root, const char* subkey) {
    char path[kOperationPathSize];
    if (!BuildOperationPath(subkey, path)) return 0;
    RegKey key = 0;
    const std::int32_t status = gPlatform.regOpenKeyEx(root, path, 0, kKeyQueryValue, &key);
    return status == 0 ? key : 0;
}

void WriteSetting(RegKey root, const char* subkey, const char* valueName, std::uint32_t value) {
    const RegKey key = CreateSettingsKey(root, subkey);
    if (key == 0) return;
    const std::uint8_t data[kDwordSize] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    gPlatform.regSetValueEx(key, valueName, 0, kRegDword, data, kDwordSize);
    gPlatform.regCloseKey(key);
}

std::uint32_t ReadSetting(RegKey root, const char* subkey, const char* valueName,
                          std::uint32_t defaultValue) {
    const RegKey key = OpenSettingsKey(root, subkey);
    if (key == 0) return defaultValue;
    std::uint8_t data[kDwordSize] = {};
    std::uint32_t size = kDwordSize;
    const std::int32_t status = gPlatform.regQueryValueEx(key, valueName, nullptr, nullptr, data, &size);
    gPlatform.regCloseKey(key);
    if (status != 0) return defaultValue;
    // Bytes past a short value's data are zero, whatever the call left there.
    for (std::uint32_t i = size; i < kDwordSize; ++i)
        data[i] = 0;
    return data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

void LoadSettings() {
    for (const SettingSlot& slot : kSettingSlots) {
        gSettings.*slot.field =
            ReadSetting(kHkeyCurrentUser, "", slot.valueName, slot.defaultValue);
    }
    LoadOwnWordChars();
}

void LoadOwnWordChars() {
    char text[kOwnWordCharsValueSize] = {};
    std::uint32_t size = 0;
    const RegKey key = OpenSettingsKey(kHkeyCurrentUser, "");
    if (key != 0) {
        std::uint32_t type = 0;
        size = sizeof text;
        const std::int32_t status = gPlatform.regQueryValueEx(
            key, kOwnWordCharsValue, nullptr, &type, reinterpret_cast<std::uint8_t*>(text), &size);
        gPlatform.regCloseKey(key);
        // Another type, a value too long for the buffer or a failed read: no characters.
        if (status != 0 || type != kRegSz || size > sizeof text) size = 0;
    }
    SetOwnWordChars(text, size);
}

void SaveSettings() {
    for (const SettingSlot& slot : kSettingSlots) {
        WriteSetting(kHkeyCurrentUser, "", slot.valueName, gSettings.*slot.field);
    }
}
