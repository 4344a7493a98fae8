// Runs the scenario tests against the real DLL, loaded as the host loads it and called as
// a host built by another compiler calls it: every call into one of its entry points goes
// through the trampoline, at the stack offset LEXAMUND_TEST_STACK_OFFSET names (0, 4, 8 or
// 12; 0 when unset), and any rule of the call it breaks fails the test.
#include "tests/scenario/dll_runner.h"
#include "testhost/plugin_loader.h"
#include "testhost/trampoline.h"
#include "tests/scenario/plugin_under_test.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <initializer_list>
#include <windows.h>

namespace {

struct LoadedPlugin {
    PluginEntries entries{}; // the DLL's own
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

// The stack offset of every call into the DLL, read once; anything but 0, 4, 8 or 12 stops
// the run.
std::uint32_t StackOffset() {
    static const std::uint32_t offset = [] {
        const char* text = std::getenv("LEXAMUND_TEST_STACK_OFFSET");
        if (text == nullptr) return 0u;
        for (std::uint32_t value = 0; value < kTrampolineAlignment;
             value += kTrampolineOffsetStep) {
            if (std::strcmp(text, std::to_string(value).c_str()) == 0) return value;
        }
        std::fprintf(stderr, "LEXAMUND_TEST_STACK_OFFSET is \"%s\": it must be 0, 4, 8 or 12\n",
                     text);
        std::abort();
    }();
    return offset;
}

// Calls one of the DLL's entry points through the trampoline and fails the current test,
// naming the entry point, for each rule of the call it broke. Returns its eax.
std::uint32_t CallDll(const char* name, const void* target,
                      std::initializer_list<std::uint32_t> arguments) {
    const auto count = static_cast<std::uint32_t>(arguments.size());
    TrampolineRecord record = {};
    const std::uint32_t result =
        TrampolineCall(target, arguments.begin(), count, StackOffset(), &record);
    const std::string faults = TrampolineFaults(record, count, StackOffset());
    if (!faults.empty())
        ADD_FAILURE() << name << " at stack offset " << StackOffset() << ": " << faults;
    return result;
}

std::uint32_t Word(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

template <typename Fn> const void* Target(Fn function) {
    return reinterpret_cast<const void*>(function);
}

// The entry points handed to the tests: each passes its call on through CallDll.
void HOSTCALL CallSetStartupInfo(const StartupRecord* record) {
    CallDll("SetStartupInfo", Target(Loaded().entries.setStartupInfo), {Word(record)});
}

void HOSTCALL CallGetPluginInfo(PluginInfoRecord* info) {
    CallDll("GetPluginInfo", Target(Loaded().entries.getPluginInfo), {Word(info)});
}

std::int32_t HOSTCALL CallOpenPlugin(std::int32_t from, HostWord item) {
    return static_cast<std::int32_t>(CallDll("OpenPlugin", Target(Loaded().entries.openPlugin),
                                             {static_cast<std::uint32_t>(from), item}));
}

std::int32_t HOSTCALL CallProcessEditorInput(const InputRecord* record) {
    return static_cast<std::int32_t>(
        CallDll("ProcessEditorInput", Target(Loaded().entries.processEditorInput), {Word(record)}));
}

// ---- The DLL's registry imports, pointed at recorders that log and pass the call on ----
// Like the system functions they stand in for, the recorders take any stack alignment.

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

LONG WINAPI HOST_SERVICE LogOpenKey(HKEY root, LPCSTR path, DWORD options, REGSAM access,
                                    PHKEY result) {
    LogOpen(Root(root), path, options, access);
    if (gRegistryFaults.open == 0) return gRealOpen(root, path, options, access, result);
    *result = nullptr;
    return gRegistryFaults.open;
}

LONG WINAPI HOST_SERVICE LogQueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                                       LPBYTE data, LPDWORD size) {
    const std::uint32_t sizeIn = size == nullptr ? 0 : *size;
    LogQuery(name, reserved, data, size == nullptr ? nullptr : &sizeIn);
    if (gRegistryFaults.query != 0) return gRegistryFaults.query;
    return gRealQuery(key, name, reserved, type, data, size);
}

LONG WINAPI HOST_SERVICE LogCreateKey(HKEY root, LPCSTR path, DWORD reserved, LPSTR className,
                                      DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                      PHKEY result, LPDWORD disposition) {
    LogCreate(Root(root), path, access,
              reserved != 0 || className != nullptr || options != 0 || security != nullptr);
    if (gRegistryFaults.create == 0) {
        return gRealCreate(root, path, reserved, className, options, access, security, result,
                           disposition);
    }
    *result = nullptr;
    return gRegistryFaults.create;
}

LONG WINAPI HOST_SERVICE LogSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                     const BYTE* data, DWORD size) {
    LogSet(name, reserved, type, data, size);
    if (gRegistryFaults.set != 0) return gRegistryFaults.set;
    return gRealSet(key, name, reserved, type, data, size);
}

LONG WINAPI HOST_SERVICE LogCloseKey(HKEY key) {
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

// The wrappers; the DLL is loaded here already, so that a DLL that cannot be loaded stops
// the run before any call.
const PluginEntries& PluginUnderTest() {
    static const PluginEntries entries = {&CallSetStartupInfo, &CallGetPluginInfo, &CallOpenPlugin,
                                          &CallProcessEditorInput};
    Loaded();
    return entries;
}

void* PluginModule() {
    return Loaded().module;
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
