// Runs the scenario tests against the real DLL, loaded as the host loads it.
#include "testhost/plugin_loader.h"
#include "tests/scenario/plugin_under_test.h"

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
            std::fprintf(stderr, "%s\n",
                         path == nullptr ? "LEXAMUND_DLL is not set" : error.c_str());
            std::abort();
        }
        return plugin;
    }();
    return loaded;
}

// ---- The DLL's registry imports, pointed at recorders that log and pass the call on ----

using OpenFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using QueryFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using CreateFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                               PHKEY, LPDWORD);
using SetFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
using CloseFn = LONG(WINAPI*)(HKEY);

OpenFn gRealOpen;
QueryFn gRealQuery;
CreateFn gRealCreate;
SetFn gRealSet;
CloseFn gRealClose;

std::uint64_t Root(HKEY key) {
    return reinterpret_cast<std::uintptr_t>(key);
}

LONG WINAPI LogOpenKey(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY result) {
    LogOpen(Root(root), path, options, access);
    if (gRegistryFaults.open == 0) return gRealOpen(root, path, options, access, result);
    *result = nullptr;
    return gRegistryFaults.open;
}

LONG WINAPI LogQueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                          LPDWORD size) {
    const std::uint32_t sizeIn = size == nullptr ? 0 : *size;
    LogQuery(name, reserved, data, size == nullptr ? nullptr : &sizeIn);
    if (gRegistryFaults.query != 0) return gRegistryFaults.query;
    return gRealQuery(key, name, reserved, type, data, size);
}

LONG WINAPI LogCreateKey(HKEY root, LPCSTR path, DWORD reserved, LPSTR className, DWORD options,
                         REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                         LPDWORD disposition) {
    LogCreate(Root(root), path, access,
              reserved != 0 || className != nullptr || options != 0 || security != nullptr);
    if (gRegistryFaults.create == 0) {
        return gRealCreate(root, path, reserved, className, options, access, security, result,
                           disposition);
    }
    *result = nullptr;
    return gRegistryFaults.create;
}

LONG WINAPI LogSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                        DWORD size) {
    LogSet(name, reserved, type, data, size);
    if (gRegistryFaults.set != 0) return gRegistryFaults.set;
    return gRealSet(key, name, reserved, type, data, size);
}

LONG WINAPI LogCloseKey(HKEY key) {
    LogClose();
    return gRealClose(key);
}

template <typename Fn> void Hook(const char* name, Fn replacement, Fn* real) {
    void* previous =
        HookImport(Loaded().module, "ADVAPI32.dll", name, reinterpret_cast<void*>(replacement));
    if (previous == nullptr) {
        std::fprintf(stderr, "the DLL does not import %s from ADVAPI32.dll\n", name);
        std::abort();
    }
    *real = reinterpret_cast<Fn>(previous);
}

void HookRegistry() {
    static bool hooked = false;
    if (hooked) return;
    Hook("RegOpenKeyExA", &LogOpenKey, &gRealOpen);
    Hook("RegQueryValueExA", &LogQueryValue, &gRealQuery);
    Hook("RegCreateKeyExA", &LogCreateKey, &gRealCreate);
    Hook("RegSetValueExA", &LogSetValue, &gRealSet);
    Hook("RegCloseKey", &LogCloseKey, &gRealClose);
    hooked = true;
}

} // namespace

const PluginEntries& PluginUnderTest() {
    return Loaded().entries;
}

void RouteBeeps() {
    static bool hooked = false;
    if (hooked) return;
    void* previous = HookImport(Loaded().module, "USER32.dll", "MessageBeep",
                                reinterpret_cast<void*>(&TestHost::RecordBeep));
    ASSERT_NE(previous, nullptr) << "the DLL does not import MessageBeep from USER32.dll";
    hooked = true;
}

// The tests' keys live in the prefix's own registry: delete the tree and the key itself.
void ResetSettings(const std::string& hostPluginKey) {
    HookRegistry();
    RegDeleteTreeA(HKEY_CURRENT_USER, hostPluginKey.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, hostPluginKey.c_str());
    ClearRegistryLog();
}

bool RegistryKeyExists(const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool ReadRegistryValue(const std::string& keyPath, const std::string& name, RegistryValue* out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<std::uint8_t> data(size);
    if (status == ERROR_SUCCESS && size != 0) {
        status = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return false;
    *out = {type, data};
    return true;
}

void PlantRegistryValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
}
