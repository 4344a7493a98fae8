// Recording registry operations for the settings store tests.
#include "tests/shell/registry_recorder.h"

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
    for (std::uint32_t i = 0; i < size; ++i) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        text += byte;
    }
    return text;
}

std::string Name(const char* text) {
    return text == nullptr ? "(null)" : text;
}

std::int32_t RecordOpen(RegKey root, const char* path, std::uint32_t options, std::uint32_t access,
                        RegKey* result) {
    gRegistryCalls.push_back("Open " + Hex(root) + " " + Name(path) + " options " + Hex(options) +
                             " access " + Hex(access));
    if (gRegistryFaults.open != 0) {
        *result = 0;
        return gRegistryFaults.open;
    }
    return kDefaultPlatform.regOpenKeyEx(root, path, options, access, result);
}

std::int32_t RecordQuery(RegKey key, const char* name, std::uint32_t* reserved, std::uint32_t* type,
                         std::uint8_t* data, std::uint32_t* size) {
    gRegistryCalls.push_back(
        "Query " + Name(name) + " size " + (size == nullptr ? "(null)" : Hex(*size)) +
        (reserved == nullptr ? "" : " reserved") + (data == nullptr ? " no-data" : ""));
    if (gRegistryFaults.query != 0) return gRegistryFaults.query;
    return kDefaultPlatform.regQueryValueEx(key, name, reserved, type, data, size);
}

std::int32_t RecordCreate(RegKey root, const char* path, std::uint32_t reserved, char* className,
                          std::uint32_t options, std::uint32_t access, void* security,
                          RegKey* result, std::uint32_t* disposition) {
    std::string line = "Create " + Hex(root) + " " + Name(path) + " access " + Hex(access);
    if (reserved != 0 || className != nullptr || options != 0 || security != nullptr) {
        line += " unusual-arguments";
    }
    gRegistryCalls.push_back(line);
    if (gRegistryFaults.create != 0) {
        *result = 0;
        return gRegistryFaults.create;
    }
    return kDefaultPlatform.regCreateKeyEx(root, path, reserved, className, options, access,
                                           security, result, disposition);
}

std::int32_t RecordSet(RegKey key, const char* name, std::uint32_t reserved, std::uint32_t type,
                       const std::uint8_t* data, std::uint32_t size) {
    gRegistryCalls.push_back("Set " + Name(name) + " type " + Hex(type) + " size " + Hex(size) +
                             " data " + Bytes(data, size) + (reserved != 0 ? " reserved" : ""));
    if (gRegistryFaults.set != 0) return gRegistryFaults.set;
    return kDefaultPlatform.regSetValueEx(key, name, reserved, type, data, size);
}

std::int32_t RecordClose(RegKey key) {
    gRegistryCalls.push_back("Close");
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
    gRegistryCalls.clear();
    gRegistryFaults = {};
}
