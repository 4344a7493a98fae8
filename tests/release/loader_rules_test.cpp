// The shipped DLL keeps the loader's rules, seeds its stack canary at attach, and a failed
// stack check ends the process cleanly.
//
// Load and unload run under the loader lock: there the DLL may load or free no library,
// directly or through a run-time's helper, and may do no work at detach. Every function the
// system DLLs export is routed through a counting thunk before the DLL loads, so each call
// it makes at load and unload is seen. A failed stack check is run in a child process: it
// must end with STATUS_STACK_BUFFER_OVERRUN, run no exception handler and print nothing, and
// reach a debugger only through the fast fail.
//
// Environment: LEXAMUND_DLL (the shipped DLL), LEXAMUND_SYMBOLS (the build copy's
// symbols, as nm prints them) and LEXAMUND_GCC_RUNTIME (the gcc run-time DLL).
#include "testhost/plugin_loader.h"
#include "tests/support/dll_listing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

namespace {

constexpr DWORD kStackBufferOverrun = 0xC0000409;
constexpr DWORD kChildWaitMs = 60000; // a child that has not ended by then hangs
constexpr int kReturnedStatus = 7;
constexpr DWORD kWow64Breakpoint = 0x4000001F; // STATUS_WX86_BREAKPOINT, the loader's under WOW64
constexpr std::size_t kExceptionTextSize = 64;
constexpr const char* kFailArgument = "--fail-stack-check";
constexpr const char* kNoFastFailArgument = "--without-fast-fail";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

// A module name as the loader compares it: without its folder, in lower case.
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The base names of the modules loaded in this process, lower case.
std::set<std::string> LoadedModules() {
    std::set<std::string> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return names;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
        names.insert(BaseName(entry.szModule));
    }
    CloseHandle(snapshot);
    return names;
}

// ---- Counting every call into the system DLLs that the DLL imports from ----

// The DLLs the plug-in imports from, loaded before it so that its own load adds no module
// but itself.
constexpr const char* kSystemDlls[] = {"kernel32.dll", "msvcrt.dll", "advapi32.dll", "user32.dll"};
// What the DLL may call while the loader lock is held: cheap kernel32 calls that read a
// clock, a counter or an id.
constexpr const char* kCheapCalls[] = {
    "kernel32.dll!GetSystemTimeAsFileTime", "kernel32.dll!GetCurrentThreadId",
    "kernel32.dll!GetCurrentProcessId", "kernel32.dll!GetTickCount",
    "kernel32.dll!QueryPerformanceCounter"};

constexpr std::size_t kMaxThunks = 16384;
constexpr std::size_t kThunkSize = 12;
constexpr std::uintptr_t kAllocationStep = 0x10000;
constexpr std::uintptr_t kHighestAddress = 0x7FFE0000;

// One thunk per exported function: "inc dword [count]; jmp dword [target]". The export
// table points at the thunks, so every module that resolves an import afterwards (the DLL
// under test, when it loads) calls through them.
struct ExportThunks {
    unsigned char* code;
    std::uint32_t counts[kMaxThunks];
    void* targets[kMaxThunks];
    std::string names[kMaxThunks];
    std::size_t used;
};
ExportThunks gThunks;

void PutAddress(unsigned char* at, const void* address) {
    const auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
    std::memcpy(at, &value, sizeof value);
}

IMAGE_NT_HEADERS* Headers(HMODULE module) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    return reinterpret_cast<IMAGE_NT_HEADERS*>(base +
                                               reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
}

// Executable memory above every module given, so that its offset from each module's base
// fits an export table entry.
unsigned char* AllocateAbove(const std::vector<HMODULE>& modules, std::size_t size) {
    std::uintptr_t at = 0;
    for (HMODULE module : modules) {
        const std::uintptr_t end =
            reinterpret_cast<std::uintptr_t>(module) + Headers(module)->OptionalHeader.SizeOfImage;
        at = std::max(at, (end + kAllocationStep - 1) & ~(kAllocationStep - 1));
    }
    for (; at < kHighestAddress; at += kAllocationStep) {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): an address asked of the system
        void* block = VirtualAlloc(reinterpret_cast<void*>(at), size, MEM_RESERVE | MEM_COMMIT,
                                   PAGE_EXECUTE_READWRITE);
        if (block != nullptr) return static_cast<unsigned char*>(block);
    }
    return nullptr;
}

bool IsCode(const void* address) {
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(address, &info, sizeof info) == 0) return false;
    return (info.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                            PAGE_EXECUTE_WRITECOPY)) != 0;
}

// Points one named export of module, a function, at a new counting thunk.
void ThunkExport(HMODULE module, const char* dll, const char* name, DWORD* entry) {
    void* target = reinterpret_cast<void*>(GetProcAddress(module, name)); // past forwarders
    if (target == nullptr || !IsCode(target) || gThunks.used == kMaxThunks) return;
    const std::size_t i = gThunks.used++;
    unsigned char* thunk = gThunks.code + i * kThunkSize;
    thunk[0] = 0xFF; // inc dword [counts + i]
    thunk[1] = 0x05;
    PutAddress(thunk + 2, &gThunks.counts[i]);
    thunk[6] = 0xFF; // jmp dword [targets + i]
    thunk[7] = 0x25;
    PutAddress(thunk + 8, &gThunks.targets[i]);
    gThunks.targets[i] = target;
    gThunks.names[i] = std::string(dll) + "!" + name;
    *entry = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(thunk) -
                                reinterpret_cast<std::uintptr_t>(module));
}

// Routes every function that module exports by name through a counting thunk.
void ThunkExports(HMODULE module, const char* dll) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    const IMAGE_DATA_DIRECTORY& dir =
        Headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
    auto* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
    auto* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
    DWORD oldProtect = 0;
    VirtualProtect(functions, exports->NumberOfFunctions * sizeof(DWORD), PAGE_READWRITE,
                   &oldProtect);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        const char* name = reinterpret_cast<const char*>(base + names[i]);
        ThunkExport(module, dll, name, &functions[ordinals[i]]);
    }
    VirtualProtect(functions, exports->NumberOfFunctions * sizeof(DWORD), oldProtect, &oldProtect);
}

// The functions called through the thunks since the counts were last cleared, and clears.
std::vector<std::string> TakeCalls() {
    std::vector<std::string> called;
    for (std::size_t i = 0; i < gThunks.used; ++i) {
        if (gThunks.counts[i] != 0) called.push_back(gThunks.names[i]);
        gThunks.counts[i] = 0;
    }
    return called;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names)
        joined += name + " ";
    return joined;
}

// The gcc run-time DLL, with the threads DLL it needs from its own folder.
HMODULE LoadGccRuntime(const std::string& path) {
    std::string windowsPath = path; // the altered search takes the folder of a Windows path
    for (char& c : windowsPath)
        c = c == '/' ? '\\' : c;
    return LoadLibraryExA(windowsPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// While the loader lock is held, at load and at unload, the DLL loads no module, and calls
// nothing but a few cheap kernel32 functions; at unload it calls nothing at all. The gcc
// run-time DLL is loaded first, as another module built with mingw's shared run-time would
// have loaded it: a DLL linked with that run-time's start-up code then takes a reference.
TEST(LoaderRules, LoadAndUnloadCallOnlyCheapKernelFunctions) {
    const std::string dllPath = Env("LEXAMUND_DLL");
    const std::string gccPath = Env("LEXAMUND_GCC_RUNTIME");
    ASSERT_FALSE(dllPath.empty() || gccPath.empty())
        << "LEXAMUND_DLL or LEXAMUND_GCC_RUNTIME unset";
    ASSERT_NE(LoadGccRuntime(gccPath), nullptr) << "cannot load " << gccPath;
    std::vector<HMODULE> system;
    for (const char* dll : kSystemDlls)
        system.push_back(LoadLibraryA(dll));
    ASSERT_EQ(std::count(system.begin(), system.end(), nullptr), 0);
    gThunks.code = AllocateAbove(system, kMaxThunks * kThunkSize);
    ASSERT_NE(gThunks.code, nullptr) << "no room for the thunks above the system DLLs";
    for (std::size_t i = 0; i < system.size(); ++i)
        ThunkExports(system[i], kSystemDlls[i]);
    const std::set<std::string> before = LoadedModules();

    TakeCalls(); // the test's own calls so far
    HMODULE dll = LoadLibraryA(dllPath.c_str());
    ASSERT_NE(dll, nullptr) << "cannot load " << dllPath;
    std::vector<std::string> unexpected;
    for (const std::string& call : TakeCalls()) {
        if (std::find(std::begin(kCheapCalls), std::end(kCheapCalls), call) ==
            std::end(kCheapCalls))
            unexpected.push_back(call);
    }
    EXPECT_EQ(Joined(unexpected), "") << "calls at load beyond the cheap kernel32 ones";
    std::set<std::string> expected = before;
    expected.insert(BaseName(dllPath));
    EXPECT_EQ(LoadedModules(), expected) << "modules after the DLL's load";

    FreeLibrary(dll);
    EXPECT_EQ(Joined(TakeCalls()), "") << "calls at unload";
    EXPECT_EQ(LoadedModules(), before) << "modules after the DLL's unload";
}

// ---- A failed stack check, in a child process ----

// The address of a symbol of the build copy in the loaded DLL, or null.
void* SymbolInModule(HMODULE module, const std::string& listingPath, const char* name) {
    std::vector<ListedSymbol> symbols;
    if (!ReadDllListing(listingPath, &symbols)) return nullptr;
    const std::uint32_t rva = ListedRva(symbols, name);
    return rva == 0 ? nullptr : reinterpret_cast<unsigned char*>(module) + rva;
}

// Straight to the standard error handle: the process may end before a C stream flushes.
void Say(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
}

LONG WINAPI ReportVectored(EXCEPTION_POINTERS*) {
    Say("vectored handler ran\n");
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI ReportUnhandled(EXCEPTION_POINTERS*) {
    Say("unhandled-exception filter ran\n");
    return EXCEPTION_EXECUTE_HANDLER;
}

BOOL WINAPI NoProcessorFeature(DWORD) {
    return FALSE;
}

// The child: loads the DLL, installs handlers that would say they ran, and calls the
// DLL's stack check failure routine, as a smashed canary does.
int FailStackCheck(bool withoutFastFail) {
    HMODULE dll = LoadLibraryA(Env("LEXAMUND_DLL").c_str());
    if (dll == nullptr) return 2;
    void* fail = SymbolInModule(dll, Env("LEXAMUND_SYMBOLS"), "___stack_chk_fail");
    if (fail == nullptr) return 3;
    if (withoutFastFail && HookImport(dll, "KERNEL32.dll", "IsProcessorFeaturePresent",
                                      reinterpret_cast<void*>(&NoProcessorFeature)) == nullptr) {
        return 4;
    }
    AddVectoredExceptionHandler(1, ReportVectored);
    SetUnhandledExceptionFilter(ReportUnhandled);
    reinterpret_cast<void (*)()>(fail)();
    Say("the failure routine returned\n");
    return kReturnedStatus;
}

struct ChildResult {
    DWORD status = 0;
    std::string output; // stdout and stderr together
};

// The command line that runs this program with argument.
std::string ChildCommand(const std::string& argument) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return std::string(1, '"').append(self).append("\" ").append(argument);
}

// Runs this program with argument, collecting its output and its exit status.
ChildResult RunChild(const std::string& argument) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string command = ChildCommand(argument);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got != 0) {
            result.output.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, kChildWaitMs);
        GetExitCodeProcess(process.hProcess, &result.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return result;
}

// A failed check ends the process with STATUS_STACK_BUFFER_OVERRUN, silently and before any
// handler: through a fast fail where the system offers it, else through TerminateProcess.
TEST(StackCheckFailure, EndsTheProcessAtOnce) {
    for (const std::string& argument :
         {std::string(kFailArgument), std::string(kFailArgument) + " " + kNoFastFailArgument}) {
        const ChildResult child = RunChild(argument);
        EXPECT_EQ(child.status, kStackBufferOverrun)
            << argument << ": exit status 0x" << std::hex << child.status;
        EXPECT_EQ(child.output, "") << argument;
    }
}

// One debug event of a child: the exception it reports past the loader's breakpoint, as
// "code chance first-parameter; ", or nothing. Closes the file handles the event hands
// over, and sets how the debugger answers: an exception is passed back unhandled.
std::string TakeDebugEvent(const DEBUG_EVENT& event, DWORD* answer) {
    *answer = DBG_CONTINUE;
    if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT)
        CloseHandle(event.u.CreateProcessInfo.hFile);
    if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) CloseHandle(event.u.LoadDll.hFile);
    const EXCEPTION_DEBUG_INFO& exception = event.u.Exception;
    const DWORD code = exception.ExceptionRecord.ExceptionCode;
    if (event.dwDebugEventCode != EXCEPTION_DEBUG_EVENT || code == EXCEPTION_BREAKPOINT ||
        code == kWow64Breakpoint)
        return "";
    *answer = DBG_EXCEPTION_NOT_HANDLED;
    char text[kExceptionTextSize];
    std::snprintf(text, sizeof text, "%lx %s %lx; ", code,
                  exception.dwFirstChance ? "first" : "last",
                  exception.ExceptionRecord.ExceptionInformation[0]);
    return text;
}

// Runs this program with argument as its debugger: the exceptions reported to the debugger
// (see TakeDebugEvent), then "no exit" if the child did not end.
std::string ExceptionsSeenByDebugger(const std::string& argument) {
    std::string command = ChildCommand(argument);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &process))
        return "not started";
    std::string seen;
    bool exited = false;
    DEBUG_EVENT event = {};
    while (!exited && WaitForDebugEvent(&event, kChildWaitMs)) {
        DWORD answer = DBG_CONTINUE;
        seen += TakeDebugEvent(event, &answer);
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer);
        exited = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exited ? seen : seen + "no exit";
}

// Only a fast fail reaches an attached debugger, and on Windows 8 and later Windows Error
// Reporting, so that the user gets a crash report: the system reports it as a last-chance
// STATUS_STACK_BUFFER_OVERRUN carrying the fast fail's code. TerminateProcess reports none.
TEST(StackCheckFailure, OnlyTheFastFailReachesADebugger) {
    const std::pair<std::string, const char*> runs[] = {
        {kFailArgument, "c0000409 last 2; "},
        {std::string(kFailArgument) + " " + kNoFastFailArgument, ""}};
    for (const auto& [argument, expected] : runs)
        EXPECT_EQ(ExceptionsSeenByDebugger(argument), expected) << argument;
}

// ---- The stack canary's seed ----

// The seven 32-bit values the five sources give, and the canary attach makes of them.
struct SeedRow {
    DWORD timeLow, timeHigh, thread, process, ticks, counterLow, counterHigh;
    std::uintptr_t canary;
};
SeedRow gSources = {}; // what the hooked sources give

void WINAPI TimeSource(FILETIME* now) {
    *now = {gSources.timeLow, gSources.timeHigh};
}
DWORD WINAPI ThreadSource() {
    return gSources.thread;
}
DWORD WINAPI ProcessSource() {
    return gSources.process;
}
DWORD WINAPI TickSource() {
    return gSources.ticks;
}
BOOL WINAPI CounterSource(LARGE_INTEGER* counter) {
    counter->LowPart = gSources.counterLow;
    counter->HighPart = static_cast<LONG>(gSources.counterHigh);
    return TRUE;
}

// Attach makes the canary the exclusive or of all seven values, but mends the built-in
// canary (to its successor) and a zero high half (which a string copy could forge), as
// Microsoft's run-time mends its cookie. The values share bits, so that mixing any two
// with | or & instead of ^ gives another canary.
TEST(StackCanary, SeededAtAttachAndNeverWeak) {
    HMODULE dll = LoadLibraryA(Env("LEXAMUND_DLL").c_str());
    const std::string listing = Env("LEXAMUND_SYMBOLS");
    const auto* canary =
        static_cast<const std::uintptr_t*>(SymbolInModule(dll, listing, "___stack_chk_guard"));
    const auto entry = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(
        SymbolInModule(dll, listing, "_LexamundDllEntry@12"));
    ASSERT_TRUE(canary != nullptr && entry != nullptr) << "no DLL, canary or entry point";
    for (const auto& [name, source] :
         {std::pair<const char*, void*>{"GetSystemTimeAsFileTime",
                                        reinterpret_cast<void*>(&TimeSource)},
          {"GetCurrentThreadId", reinterpret_cast<void*>(&ThreadSource)},
          {"GetCurrentProcessId", reinterpret_cast<void*>(&ProcessSource)},
          {"GetTickCount", reinterpret_cast<void*>(&TickSource)},
          {"QueryPerformanceCounter", reinterpret_cast<void*>(&CounterSource)}})
        ASSERT_NE(HookImport(dll, "KERNEL32.dll", name, source), nullptr) << name;
    const SeedRow rows[] = {
        // time low, time high, thread, process, ticks, counter low, counter high: canary
        {0xF0F0F0F0, 0xFF00FF00, 0x0FF00FF0, 0x3C3C3C3C, 0xAAAA5555, 0x12345678, 0x87654321,
         0x03C77C30},
        // The exclusive or is the built-in canary.
        {0x01D7A2B3, 0x0128ADBC, 0x00001A2C, 0x0F0F1AD3, 0x0A3B4C5D, 0x5E6F7081, 0xE0E4D562,
         0xBB40E64F},
        // The exclusive or has a zero high half: 0x1234, then 0.
        {0xDEADBEEF, 0x0BADF00D, 0x00000FF0, 0x00000F0F, 0x12345678, 0x00C0FFEE, 0xC7F4F5BF,
         0x57351234},
        {0x9E3779B9, 0x7F4A7C15, 0x00000ABC, 0x00000ABC, 0x0000FFFF, 0x9E3779B9, 0x7F4A83EA,
         0x47110000}};
    for (const SeedRow& row : rows) {
        gSources = row;
        ASSERT_TRUE(entry(dll, DLL_PROCESS_ATTACH, nullptr));
        EXPECT_EQ(*canary, row.canary) << "sources from time low 0x" << std::hex << row.timeLow;
    }
    FreeLibrary(dll);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], kFailArgument) == 0) {
        return FailStackCheck(argc >= 3 && std::strcmp(argv[2], kNoFastFailArgument) == 0);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
