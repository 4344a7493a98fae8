// Runs the scenario tests against the plug-in linked into the test program.
#include "platform/memory_registry.h"
#include "platform/platform.h"
#include "tests/scenario/plugin_under_test.h"
#include "testhost/plugin_loader.h"

const PluginEntries& PluginUnderTest() {
    static const PluginEntries entries = LinkedPlugin();
    return entries;
}

void RouteBeeps() { gPlatform.messageBeep = &TestHost::RecordBeep; }

void ResetSettings(const std::string&) {
    gPlatform = kDefaultPlatform;
    MemoryRegistryReset();
}
