// The DLL's entry point and the stack canary's run-time: all the DLL does at load and unload.
//
// The DLL is linked without the C run-time's start-up code. That code runs while the
// loader lock is held: it would run constructors, register the DLL's unwind tables with a
// gcc run-time DLL that another module loaded (loading it once more and freeing it at
// unload), free heap memory at unload, and the stack protector's own run-time would seed
// its canary through the crypto provider, loading that provider's DLLs. Here, process
// attach seeds the canary from a few cheap kernel32 calls, as Microsoft's run-time seeds
// its cookie, and nothing else runs at load or unload. Built without stack canaries: the
// canary changes under this file's feet, and the failure routine runs on a smashed stack.
#include <cstdint>
#include <windows.h>

namespace {

// The canary's value before attach, and the one a seed may never equal.
constexpr std::uintptr_t kDefaultGuard = 0xBB40E64Eu;
constexpr std::uintptr_t kHighHalf = 0xFFFF0000u;
constexpr std::uintptr_t kLowHalfFill = 0x4711u;

constexpr DWORD kFastFailAvailable = 23;         // PF_FASTFAIL_AVAILABLE
constexpr unsigned kFastFailStackCookie = 2;     // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
constexpr UINT kStackBufferOverrun = 0xC0000409; // STATUS_STACK_BUFFER_OVERRUN

} // namespace

extern "C" {

// The canary that every function with a local array checks on return.
std::uintptr_t __stack_chk_guard = kDefaultGuard;

// Called by a function whose canary changed: its stack is smashed, so end the process at
// once, printing nothing and running no handler. A fast fail where the system has it (it
// reaches only a debugger and the system's crash report), else TerminateProcess.
[[noreturn]] __attribute__((no_stack_protector)) void __stack_chk_fail() {
    if (IsProcessorFeaturePresent(kFastFailAvailable)) {
        __asm__ volatile("int $0x29" : : "c"(kFastFailStackCookie) : "memory");
    }
    for (;;)
        TerminateProcess(GetCurrentProcess(), kStackBufferOverrun);
}

} // extern "C"

namespace {

// A fresh canary: the system time, the thread and process ids, the tick count and the
// performance counter, mixed as Microsoft's run-time mixes them; never the default
// value, and never one with a zero high half.
__attribute__((no_stack_protector)) void SeedStackGuard() {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    std::uintptr_t seed = now.dwLowDateTime ^ now.dwHighDateTime;
    seed ^= GetCurrentThreadId();
    seed ^= GetCurrentProcessId();
    seed ^= GetTickCount();
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    seed ^= counter.LowPart ^ static_cast<std::uintptr_t>(counter.HighPart);
    if (seed == kDefaultGuard) {
        seed = kDefaultGuard + 1;
    } else if ((seed & kHighHalf) == 0) {
        seed |= (seed | kLowHalfFill) << 16;
    }
    __stack_chk_guard = seed;
}

} // namespace

// The entry point the loader calls, under its lock, at attach and detach of the process
// and of each thread. Realigns the stack (the loader promises 4 bytes); returns TRUE.
extern "C" BOOL WINAPI __attribute__((force_align_arg_pointer, no_stack_protector))
LexamundDllEntry(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) SeedStackGuard();
    return TRUE;
}
