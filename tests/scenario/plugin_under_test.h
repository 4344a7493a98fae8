// What a scenario test needs from its runner: the plug-in, its beeps routed to the host,
// and a view of the registry it keeps its settings in.
#pragma once

#include "testhost/testhost.h"
#include "tests/support/registry_log.h"

#include <cstdint>
#include <string>
#include <vector>

// The plug-in under test: linked in natively, the loaded DLL in the Windows build.
const PluginEntries& PluginUnderTest();

// Routes the plug-in's MessageBeep calls to TestHost::RecordBeep.
void RouteBeeps();

// Empties the settings store below the host plug-in key used by the tests (the key itself
// included), so that each test starts as on a first run, and clears the registry log and
// its faults. From here on every registry call of the plug-in is logged in gRegistryCalls
// and fails as gRegistryFaults says.
void ResetSettings(const std::string& hostPluginKey);

// ---- The registry below HKEY_CURRENT_USER: in memory natively, the prefix's under Wine ----

inline constexpr std::uint32_t kTestRegDword = 4;
inline constexpr std::uint32_t kTestRegBinary = 3;
inline constexpr std::uint32_t kTestRegSz = 1;

struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

bool RegistryKeyExists(const std::string& keyPath);

// Reads a value; false when the key or the value is missing.
bool ReadRegistryValue(const std::string& keyPath, const std::string& name, RegistryValue* out);

// Stores a value of any type and size, creating the key and those above it as needed.
void PlantRegistryValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data);
