// The platform table of the native build: an in-memory registry and a silent beep.
#include "platform/memory_registry.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kMaxKeyNameLength = 255; // characters of one key name on a path
constexpr RegKey kFirstHandle = 0x100;
constexpr std::uint32_t kKeySetValue = 0x0002;

// ---- The store: keys by full path, handles by number ----

struct MemoryKey {
    std::string path; // below HKEY_CURRENT_USER, names joined by single backslashes
    std::vector<std::string> valueNames;
    std::vector<MemoryRegistryValue> values;
};

struct OpenHandle {
    RegKey handle;
    std::string path;
    std::uint32_t access;
};

struct MemoryRegistry {
    MemoryKey root;              // HKEY_CURRENT_USER itself, path ""
    std::vector<MemoryKey> keys; // every key below it
    std::vector<OpenHandle> handles;
    RegKey nextHandle = kFirstHandle;
};

// The one registry of the process, built on first use rather than at load time.
MemoryRegistry& Registry() {
    static MemoryRegistry registry;
    return registry;
}

// ASCII case-insensitive equality, the registry's rule for key and value names.
bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
               return lower(x) == lower(y);
           });
}

MemoryKey* FindKey(const std::string& path) {
    if (path.empty()) return &Registry().root;
    for (MemoryKey& key : Registry().keys) {
        if (SameName(key.path, path)) return &key;
    }
    return nullptr;
}

int KeyExists(const std::string& path) {
    return FindKey(path) != nullptr;
}

OpenHandle* FindHandle(RegKey handle) {
    for (OpenHandle& open : Registry().handles) {
        if (open.handle == handle) return &open;
    }
    return nullptr;
}

// The key path a root handle stands for: "" for HKEY_CURRENT_USER, the key of an open
// handle otherwise. Returns 0 for any other handle.
int RootPath(RegKey root, std::string* path) {
    if (root == kHkeyCurrentUser) {
        path->clear();
        return 1;
    }
    const OpenHandle* open = FindHandle(root);
    if (open == nullptr) return 0;
    *path = open->path;
    return 1;
}

// Joins a subkey path onto base. As the Windows registry does, a leading backslash is an
// error, empty names between backslashes are skipped, and a name may have 255 characters.
std::int32_t JoinPath(const std::string& base, const char* subkey, std::string* full) {
    *full = base;
    if (subkey == nullptr || *subkey == '\0') return kErrorSuccess;
    if (*subkey == '\\') return kErrorBadPathname;
    const char* name = subkey;
    while (*name != '\0') {
        const char* end = std::strchr(name, '\\');
        const std::size_t length = end == nullptr ? std::strlen(name) : end - name;
        if (length > kMaxKeyNameLength) return kErrorInvalidParameter;
        if (length != 0) {
            if (!full->empty()) full->push_back('\\');
            full->append(name, length);
        }
        name += length + (end == nullptr ? 0 : 1);
    }
    return kErrorSuccess;
}

// Resolves root and subkey into a full path, or returns the error the registry gives.
std::int32_t Resolve(RegKey root, const char* subkey, std::string* full) {
    std::string base;
    if (!RootPath(root, &base)) return kErrorInvalidHandle;
    return JoinPath(base, subkey, full);
}

// Creates every missing key on the path.
void MakeKeys(const std::string& path) {
    std::size_t end = 0;
    while (end != std::string::npos && !path.empty()) {
        end = path.find('\\', end + 1);
        const std::string prefix = path.substr(0, end);
        if (!KeyExists(prefix)) Registry().keys.push_back({prefix, {}, {}});
    }
}

RegKey AddHandle(const std::string& path, std::uint32_t access) {
    MemoryRegistry& registry = Registry();
    const RegKey handle = registry.nextHandle++;
    registry.handles.push_back({handle, path, access});
    return handle;
}

// The index of a value in its key, or -1.
int FindValue(const MemoryKey& key, const char* name) {
    const std::string wanted = name == nullptr ? "" : name;
    for (std::size_t i = 0; i < key.valueNames.size(); ++i) {
        if (SameName(key.valueNames[i], wanted)) return static_cast<int>(i);
    }
    return -1;
}

void StoreValue(MemoryKey* key, const char* name, std::uint32_t type, const void* data,
                std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    MemoryRegistryValue value{type, std::vector<std::uint8_t>(bytes, bytes + size)};
    const int index = FindValue(*key, name);
    if (index >= 0) {
        key->values[static_cast<std::size_t>(index)] = value;
        return;
    }
    key->valueNames.emplace_back(name == nullptr ? "" : name);
    key->values.push_back(value);
}

// The key behind an open handle, provided the handle has the access right; else an error.
// An open handle's key exists: no operation deletes a key, and a reset closes every handle.
std::int32_t KeyOfHandle(RegKey handle, std::uint32_t right, MemoryKey** key) {
    const OpenHandle* open = FindHandle(handle);
    if (open == nullptr) return kErrorInvalidHandle;
    if ((open->access & right) == 0) return kErrorAccessDenied;
    *key = FindKey(open->path);
    return kErrorSuccess;
}

// ---- The five registry operations of the table ----

std::int32_t OpenKey(RegKey root, const char* path, std::uint32_t, std::uint32_t access,
                     RegKey* result) {
    *result = 0;
    std::string full;
    const std::int32_t status = Resolve(root, path, &full);
    if (status != kErrorSuccess) return status;
    if (!KeyExists(full)) return kErrorFileNotFound;
    *result = AddHandle(full, access);
    return kErrorSuccess;
}

std::int32_t QueryValue(RegKey handle, const char* name, std::uint32_t* reserved,
                        std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    if (reserved != nullptr || (data != nullptr && size == nullptr)) {
        return kErrorInvalidParameter;
    }
    MemoryKey* key = nullptr;
    const std::int32_t status = KeyOfHandle(handle, kKeyQueryValue, &key);
    if (status != kErrorSuccess) return status;
    const int index = FindValue(*key, name);
    if (index < 0) return kErrorFileNotFound;
    const MemoryRegistryValue& value = key->values[static_cast<std::size_t>(index)];
    const auto length = static_cast<std::uint32_t>(value.data.size());
    if (type != nullptr) *type = value.type;
    if (size == nullptr) return kErrorSuccess;
    const std::uint32_t room = *size;
    *size = length;
    if (data == nullptr) return kErrorSuccess;
    if (length > room) return kErrorMoreData;
    std::copy(value.data.begin(), value.data.end(), data);
    return kErrorSuccess;
}

std::int32_t CreateKey(RegKey root, const char* path, std::uint32_t reserved, char*, std::uint32_t,
                       std::uint32_t access, void*, RegKey* result) {
    *result = 0;
    if (reserved != 0) return kErrorInvalidParameter;
    std::string full;
    const std::int32_t status = Resolve(root, path, &full);
    if (status != kErrorSuccess) return status;
    MakeKeys(full);
    *result = AddHandle(full, access);
    return kErrorSuccess;
}

std::int32_t SetValue(RegKey handle, const char* name, std::uint32_t reserved, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size) {
    if (reserved != 0 || (data == nullptr && size != 0)) return kErrorInvalidParameter;
    MemoryKey* key = nullptr;
    const std::int32_t status = KeyOfHandle(handle, kKeySetValue, &key);
    if (status != kErrorSuccess) return status;
    StoreValue(key, name, type, data, size);
    return kErrorSuccess;
}

std::int32_t CloseKey(RegKey handle) {
    if (handle == kHkeyCurrentUser) return kErrorSuccess;
    std::vector<OpenHandle>& handles = Registry().handles;
    const auto found = std::find_if(handles.begin(), handles.end(),
                                    [handle](const OpenHandle& o) { return o.handle == handle; });
    if (found == handles.end()) return kErrorInvalidHandle;
    handles.erase(found);
    return kErrorSuccess;
}

// The native build has no speaker; tests swap in a recorder.
std::int32_t Beep(std::uint32_t) {
    return 1;
}

void* AllocateBlock(std::size_t size) {
    return std::malloc(size);
}
void ReleaseBlock(void* block) {
    std::free(block);
}

} // namespace

// ---- Test access ----

void MemoryRegistryReset() {
    MemoryRegistry& registry = Registry();
    registry.root = MemoryKey{};
    registry.keys.clear();
    registry.handles.clear();
    registry.nextHandle = kFirstHandle;
}

int MemoryRegistryKeyExists(const char* path) {
    std::string full;
    return JoinPath("", path, &full) == kErrorSuccess && KeyExists(full);
}

std::size_t MemoryRegistryKeyCount() {
    return Registry().keys.size();
}

int MemoryRegistryEmpty() {
    return Registry().keys.empty() && Registry().root.values.empty();
}

std::size_t MemoryRegistryOpenHandles() {
    return Registry().handles.size();
}

int MemoryRegistryGetValue(const char* path, const char* name, MemoryRegistryValue* out) {
    std::string full;
    if (JoinPath("", path, &full) != kErrorSuccess) return 0;
    const MemoryKey* key = FindKey(full);
    const int index = key == nullptr ? -1 : FindValue(*key, name);
    if (index < 0) return 0;
    *out = key->values[static_cast<std::size_t>(index)];
    return 1;
}

int MemoryRegistryPutValue(const char* path, const char* name, std::uint32_t type, const void* data,
                           std::size_t size) {
    std::string full;
    if (JoinPath("", path, &full) != kErrorSuccess) return 0;
    MakeKeys(full);
    StoreValue(FindKey(full), name, type, data, size);
    return 1;
}

namespace {

// The process environment through getenv, with GetEnvironmentVariableA's results.
std::uint32_t EnvironmentVariable(const char* name, char* buffer, std::uint32_t size) {
    const char* value = std::getenv(name);
    if (value == nullptr) return 0;
    const std::size_t length = std::strlen(value);
    if (length >= size) return static_cast<std::uint32_t>(length + 1);
    std::memcpy(buffer, value, length + 1);
    return static_cast<std::uint32_t>(length);
}

} // namespace

extern constexpr PlatformCalls kDefaultPlatform = {
    OpenKey, QueryValue,    CreateKey,    SetValue,           CloseKey,
    Beep,    AllocateBlock, ReleaseBlock, EnvironmentVariable};
PlatformCalls gPlatform = kDefaultPlatform;
