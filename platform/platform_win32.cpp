// The platform table of the Windows build: the real advapi32 and user32 calls.
#include "platform/platform.h"

#include <cstdlib>
#include <windows.h>

namespace {

HKEY AsHkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}

std::int32_t OpenKey(RegKey root, const char* path, std::uint32_t options, std::uint32_t access,
                     RegKey* result) {
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(AsHkey(root), path, options, access, &key);
    *result = reinterpret_cast<RegKey>(key);
    return status;
}

std::int32_t QueryValue(RegKey key, const char* name, std::uint32_t* reserved,
                        std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    DWORD sizeWord = *size;
    const LONG status = RegQueryValueExA(AsHkey(key), name, reinterpret_cast<LPDWORD>(reserved),
                                         reinterpret_cast<LPDWORD>(type), data, &sizeWord);
    *size = sizeWord;
    return status;
}

std::int32_t CreateKey(RegKey root, const char* path, std::uint32_t reserved, char* className,
                       std::uint32_t options, std::uint32_t access, void* security,
                       RegKey* result) {
    HKEY key = nullptr;
    const LONG status =
        RegCreateKeyExA(AsHkey(root), path, reserved, className, options, access,
                        static_cast<LPSECURITY_ATTRIBUTES>(security), &key, nullptr);
    *result = reinterpret_cast<RegKey>(key);
    return status;
}

std::int32_t SetValue(RegKey key, const char* name, std::uint32_t reserved, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size) {
    return RegSetValueExA(AsHkey(key), name, reserved, type, data, size);
}

std::int32_t CloseKey(RegKey key) {
    return RegCloseKey(AsHkey(key));
}

std::int32_t Beep(std::uint32_t type) {
    return MessageBeep(type) ? 1 : 0;
}

void* AllocateBlock(std::size_t size) {
    return std::malloc(size);
}
void ReleaseBlock(void* block) {
    std::free(block);
}

std::uint32_t EnvironmentVariable(const char* name, char* buffer, std::uint32_t size) {
    return GetEnvironmentVariableA(name, buffer, size);
}

} // namespace

extern constexpr PlatformCalls kDefaultPlatform = {
    OpenKey, QueryValue,    CreateKey,    SetValue,           CloseKey,
    Beep,    AllocateBlock, ReleaseBlock, EnvironmentVariable};
PlatformCalls gPlatform = kDefaultPlatform;
