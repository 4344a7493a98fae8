// Runs the scenario tests against the real DLL, loaded as the host loads it.
#include "tests/scenario/plugin_under_test.h"
#include "testhost/plugin_loader.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct LoadedPlugin {
    PluginEntries entries{};
    void* module = nullptr;
};

const LoadedPlugin& Loaded() {
    static const LoadedPlugin loaded = [] {
        LoadedPlugin plugin;
        const char* path = std::getenv("LEXAMUND_DLL");
        std::string error;
        if (path == nullptr || !LoadPluginDll(path, &plugin.entries, &plugin.module, &error)) {
            std::fprintf(stderr, "%s\n", path == nullptr ? "LEXAMUND_DLL is not set" : error.c_str());
            std::abort();
        }
        return plugin;
    }();
    return loaded;
}

} // namespace

const PluginEntries& PluginUnderTest() { return Loaded().entries; }

void RouteBeeps() {
    static bool hooked = false;
    if (hooked) return;
    void* previous = HookImport(Loaded().module, "USER32.dll",
                                "MessageBeep", reinterpret_cast<void*>(&TestHost::RecordBeep));
    ASSERT_NE(previous, nullptr) << "the DLL does not import MessageBeep from USER32.dll";
    hooked = true;
}

void ResetSettings(const std::string& hostPluginKey) {
    RegDeleteTreeA(HKEY_CURRENT_USER, hostPluginKey.c_str());
}
