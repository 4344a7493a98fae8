// The settings store: the seven options as REG_DWORD values in the plug-in's registry key.
//
// The key is the host's plug-in key followed by "\Lexamund", below HKEY_CURRENT_USER.
// Every registry call goes through gPlatform, and every handle is closed within the
// operation that opened it. Reading never creates a key; only a write does.
#pragma once

#include "platform/platform.h"

#include <cstdint>

inline constexpr int kSettingsKeyPathSize = 96; // the stored path and its terminator
inline constexpr int kOperationPathSize = 88;   // one operation's path and its terminator
inline constexpr char kSettingsKeyName[] = "\\Lexamund";

// The settings key's path below the registry root; empty before start-up and when the
// host's key would make it longer than an operation's path can hold (the store is then
// unusable: reads give the defaults and writes are skipped).
extern char SettingsKeyPath[kSettingsKeyPathSize];

// Sets SettingsKeyPath to the host's plug-in key followed by "\Lexamund", replacing what
// it held. The host's string is copied at once. A null key or one that would make the
// path longer than kOperationPathSize - 1 characters leaves the path empty.
void SetUpSettingsKeyPath(const char* hostPluginKey);

// Opens, creating if missing (with the keys above it), the settings key or its subkey
// (empty or null name: the key itself) for writing. Returns 0 on any failure.
RegKey CreateSettingsKey(RegKey root, const char* subkey);

// Opens the settings key or its subkey for queries; 0 when it is missing or unreadable.
// Never creates anything.
RegKey OpenSettingsKey(RegKey root, const char* subkey);

// Stores value as a 4-byte REG_DWORD. Failures are silent.
void WriteSetting(RegKey root, const char* subkey, const char* valueName, std::uint32_t value);

// A value of at most 4 bytes; data shorter than 4 bytes fills the low bytes and zeros the
// rest. On any failure (key or value missing, data longer than 4 bytes) defaultValue. The
// value's type is not checked.
std::uint32_t ReadSetting(RegKey root, const char* subkey, const char* valueName,
                          std::uint32_t defaultValue);

// Loads Space, Menu1, Sound, Numbers, IgnoreCase, NearestFirst and AllAbove, in that order,
// into gSettings (defaults 0, 0, 1, 0, 0, 0, 0), then the user's own word characters. A key
// written before the later ones existed lacks them, and they take their defaults.
void LoadSettings();

// The REG_SZ value of the user's own word characters, which the user sets in the registry
// (the dialog has no text field) and the plug-in only reads, and the most bytes read of it.
inline constexpr char kOwnWordCharsValue[] = "WordChars";
inline constexpr int kOwnWordCharsValueSize = 256;

// Reads the user's own word characters into the word rules (SetOwnWordChars): a REG_SZ value
// of at most kOwnWordCharsValueSize bytes, read as far as its size says. A missing value, one
// of another type or a longer one gives none; nothing is written.
void LoadOwnWordChars();

// Writes the seven settings of gSettings, in the order Space, Menu1, Sound, Numbers,
// IgnoreCase, NearestFirst, AllAbove.
void SaveSettings();
