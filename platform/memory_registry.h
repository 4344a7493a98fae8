// The native build's in-memory registry: what tests use to reset, inspect and plant values.
//
// The registry behind the native platform table holds keys below HKEY_CURRENT_USER only.
// Key and value names compare case-insensitively (ASCII), as the Windows registry does.
// It checks what the Windows registry checks for the five operations the plug-in uses:
// opening a missing key fails, creating makes every missing key on the path, a query
// fails with ERROR_MORE_DATA when the data exceeds the buffer, setting replaces a value
// of any type, and a handle without the needed access right is refused.
//
// Faults are injected through the table: a test swaps one entry of gPlatform for a
// function that fails, and restores kDefaultPlatform afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Error codes the in-memory registry returns, as Windows does.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorBadPathname = 161;
inline constexpr std::int32_t kErrorMoreData = 234;

// Registry value types, as Windows numbers them.
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegQword = 11;

// One stored value.
struct MemoryRegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// Forgets every key and value and every open handle.
void MemoryRegistryReset();

// 1 when the key (a path below HKEY_CURRENT_USER) exists.
int MemoryRegistryKeyExists(const char* path);

// Number of keys below HKEY_CURRENT_USER (the root itself not counted).
std::size_t MemoryRegistryKeyCount();

// 1 when the registry holds no key and no value at all.
int MemoryRegistryEmpty();

// Number of handles opened or created and not yet closed.
std::size_t MemoryRegistryOpenHandles();

// Copies the value (name null or empty: the key's default value) into out; 0 when the key
// or the value is missing.
int MemoryRegistryGetValue(const char* path, const char* name, MemoryRegistryValue* out);

// Stores a value of any type and size, creating the key and the keys above it as needed.
// Returns 0 when the path is not a valid key path.
int MemoryRegistryPutValue(const char* path, const char* name, std::uint32_t type, const void* data,
                           std::size_t size);
