// Runs the scenario tests against the plug-in linked into the test program.
#include "platform/memory_registry.h"
#include "platform/platform.h"
#include "testhost/plugin_loader.h"
#include "tests/scenario/plugin_under_test.h"

const PluginEntries& PluginUnderTest() {
    static const PluginEntries entries = LinkedPlugin();
    return entries;
}

void RouteBeeps() {
    gPlatform.messageBeep = &TestHost::RecordBeep;
}

// The in-memory registry holds nothing but what the tests put there: clear all of it.
void ResetSettings(const std::string&) {
    MemoryRegistryReset();
    InstallRegistryRecorder();
}

bool RegistryKeyExists(const std::string& keyPath) {
    return MemoryRegistryKeyExists(keyPath.c_str()) != 0;
}

bool ReadRegistryValue(const std::string& keyPath, const std::string& name, RegistryValue* out) {
    MemoryRegistryValue value;
    if (!MemoryRegistryGetValue(keyPath.c_str(), name.c_str(), &value)) return false;
    *out = {value.type, value.data};
    return true;
}

void PlantRegistryValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) {
    MemoryRegistryPutValue(keyPath.c_str(), name.c_str(), type, data.data(), data.size());
}
