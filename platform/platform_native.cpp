// The platform table of the native build: an in-memory registry and a silent beep.
#include "platform/platform.h"

#include <cstdlib>

namespace {

constexpr std::int32_t kErrorFileNotFound = 2;

// Placeholder registry: every key is missing until the in-memory registry lands.
std::int32_t OpenKey(RegKey, const char*, std::uint32_t, std::uint32_t, RegKey* result) {
    *result = 0;
    return kErrorFileNotFound;
}
std::int32_t QueryValue(RegKey, const char*, std::uint32_t*, std::uint32_t*, std::uint8_t*,
                        std::uint32_t*) {
    return kErrorFileNotFound;
}
std::int32_t CreateKey(RegKey, const char*, std::uint32_t, char*, std::uint32_t, std::uint32_t,
                       void*, RegKey* result, std::uint32_t*) {
    *result = 0;
    return kErrorFileNotFound;
}
std::int32_t SetValue(RegKey, const char*, std::uint32_t, std::uint32_t, const std::uint8_t*,
                      std::uint32_t) {
    return kErrorFileNotFound;
}
std::int32_t CloseKey(RegKey) { return 0; }

// The native build has no speaker; tests swap in a recorder.
std::int32_t Beep(std::uint32_t) { return 1; }

void* AllocateBlock(std::size_t size) { return std::malloc(size); }
void ReleaseBlock(void* block) { std::free(block); }

} // namespace

extern constexpr PlatformCalls kDefaultPlatform = {
    OpenKey, QueryValue, CreateKey, SetValue, CloseKey, Beep, AllocateBlock, ReleaseBlock};
PlatformCalls gPlatform = kDefaultPlatform;
