// The few operating-system calls the plug-in makes, behind one swappable table.
//
// The Windows build fills the table with the real user32/advapi32 calls; the native
// build with an in-memory stand-in. Tests may replace single entries to record calls
// or to inject failures, and restore the table afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

using RegKey = std::uintptr_t; // an open registry key; 0 is none
inline constexpr RegKey kHkeyCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kBeepHand = 0x10;     // MB_ICONHAND
inline constexpr std::uint32_t kBeepAsterisk = 0x40; // MB_ICONASTERISK

struct PlatformCalls {
    // Registry, with the arguments of the advapi32 functions of the same names, less the
    // key's disposition, which the plug-in has no use for.
    std::int32_t (*regOpenKeyEx)(RegKey root, const char* path, std::uint32_t options,
                                 std::uint32_t access, RegKey* result);
    std::int32_t (*regQueryValueEx)(RegKey key, const char* name, std::uint32_t* reserved,
                                    std::uint32_t* type, std::uint8_t* data, std::uint32_t* size);
    std::int32_t (*regCreateKeyEx)(RegKey root, const char* path, std::uint32_t reserved,
                                   char* className, std::uint32_t options, std::uint32_t access,
                                   void* security, RegKey* result);
    std::int32_t (*regSetValueEx)(RegKey key, const char* name, std::uint32_t reserved,
                                  std::uint32_t type, const std::uint8_t* data, std::uint32_t size);
    std::int32_t (*regCloseKey)(RegKey key);
    // Sound, as user32 MessageBeep.
    std::int32_t (*messageBeep)(std::uint32_t type);
    // Heap for candidate nodes; allocate may return null.
    void* (*allocate)(std::size_t size);
    void (*release)(void* block);
    // The process environment, as kernel32 GetEnvironmentVariableA: copies the value and
    // returns its length when it fits size with its terminator, else returns the size it
    // needs; 0 when the variable is not set.
    std::uint32_t (*getEnvironmentVariable)(const char* name, char* buffer, std::uint32_t size);
};

// The table in force. Constant-initialised: no work happens at load time.
extern PlatformCalls gPlatform;
// The table as the build made it, for tests that restore after swapping entries.
extern const PlatformCalls kDefaultPlatform;
