// The registry call log, and the native build's recorders in the platform table.
#include "tests/support/registry_log.h"

#include <cstdio>

std::vector<std::string> gRegistryCalls;
RegistryFaults gRegistryFaults;

namespace {

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Bytes(const std::uint8_t* data, std::uint32_t size) {
    std::string text;
    for (std::uint32_t i = 0; data != nullptr && i < size; ++i) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        text += byte;
    }
    return text;
}

std::string Name(const char* text) {
    return text == nullptr ? "(null)" : text;
}

} // namespace

void ClearRegistryLog() {
    gRegistryCalls.clear();
    gRegistryFaults = {};
}

void LogOpen(std::uint64_t root, const char* path, std::uint32_t options, std::uint32_t access) {
    gRegistryCalls.push_back("Open " + Hex(root) + " " + Name(path) + " options " + Hex(options) +
                             " access " + Hex(access));
}

void LogQuery(const char* name, const void* reserved, const void* data, const std::uint32_t* size) {
    gRegistryCalls.push_back(
        "Query " + Name(name) + " size " + (size == nullptr ? "(null)" : Hex(*size)) +
        (reserved == nullptr ? "" : " reserved") + (data == nullptr ? " no-data" : ""));
}

void LogCreate(std::uint64_t root, const char* path, std::uint32_t access, bool unusualArguments) {
    gRegistryCalls.push_back("Create " + Hex(root) + " " + Name(path) + " access " + Hex(access) +
                             (unusualArguments ? " unusual-arguments" : ""));
}

void LogSet(const char* name, std::uint32_t reserved, std::uint32_t type, const std::uint8_t* data,
            std::uint32_t size) {
    gRegistryCalls.push_back("Set " + Name(name) + " type " + Hex(type) + " size " + Hex(size) +
                             " data " + Bytes(data, size) + (reserved != 0 ? " reserved" : ""));
}

void LogClose() {
    gRegistryCalls.push_back("Close");
}

#if !defined(_WIN32)
#include "platform/platform.h"

namespace {

std::int32_t RecordOpen(RegKey root, const char* path, std::uint32_t options, std::uint32_t access,
                        RegKey* result) {
    LogOpen(root, path, options, access);
    if (gRegistryFaults.open == 0) {
        return kDefaultPlatform.regOpenKeyEx(root, path, options, access, result);
    }
    *result = 0;
    return gRegistryFaults.open;
}

std::int32_t RecordQuery(RegKey key, const char* name, std::uint32_t* reserved,
                         std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    LogQuery(name, reserved, data, size);
    if (gRegistryFaults.query != 0) return gRegistryFaults.query;
    return kDefaultPlatform.regQueryValueEx(key, name, reserved, type, data, size);
}

std::int32_t RecordCreate(RegKey root, const char* path, std::uint32_t reserved, char* className,
                          std::uint32_t options, std::uint32_t access, void* security,
                          RegKey* result) {
    LogCreate(root, path, access,
              reserved != 0 || className != nullptr || options != 0 || security != nullptr);
    if (gRegistryFaults.create == 0) {
        return kDefaultPlatform.regCreateKeyEx(root, path, reserved, className, options, access,
                                               security, result);
    }
    *result = 0;
    return gRegistryFaults.create;
}

std::int32_t RecordSet(RegKey key, const char* name, std::uint32_t reserved, std::uint32_t type,
                       const std::uint8_t* data, std::uint32_t size) {
    LogSet(name, reserved, type, data, size);
    if (gRegistryFaults.set != 0) return gRegistryFaults.set;
    return kDefaultPlatform.regSetValueEx(key, name, reserved, type, data, size);
}

std::int32_t RecordClose(RegKey key) {
    LogClose();
    return kDefaultPlatform.regCloseKey(key);
}

} // namespace

void InstallRegistryRecorder() {
    gPlatform = kDefaultPlatform;
    gPlatform.regOpenKeyEx = RecordOpen;
    gPlatform.regQueryValueEx = RecordQuery;
    gPlatform.regCreateKeyEx = RecordCreate;
    gPlatform.regSetValueEx = RecordSet;
    gPlatform.regCloseKey = RecordClose;
    ClearRegistryLog();
}
#endif
