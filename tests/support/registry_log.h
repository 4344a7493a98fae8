// A log of the registry calls a plug-in makes, as readable lines, and faults to inject.
//
// Natively the recorders sit in gPlatform (InstallRegistryRecorder); under Windows the
// scenario runner points the DLL's registry imports at recorders of the same format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The calls since the log was last cleared, e.g.
//   "Open 80000001 Software\Host\Lexamund options 0 access 1"
//   "Query Space size 4"   "Create 80000001 Software\Host\Lexamund access 20006"
//   "Set Space type 4 size 4 data 07000000"   "Close"
extern std::vector<std::string> gRegistryCalls;

// Status codes the recorders return instead of passing a call on; 0 passes it on.
struct RegistryFaults {
    std::int32_t open = 0;
    std::int32_t query = 0;
    std::int32_t create = 0;
    std::int32_t set = 0;
};
extern RegistryFaults gRegistryFaults;

// Clears the log and the faults.
void ClearRegistryLog();

// Appends one call's line to the log.
void LogOpen(std::uint64_t root, const char* path, std::uint32_t options, std::uint32_t access);
void LogQuery(const char* name, const void* reserved, const void* data, const std::uint32_t* size);
void LogCreate(std::uint64_t root, const char* path, std::uint32_t access, bool unusualArguments);
void LogSet(const char* name, std::uint32_t reserved, std::uint32_t type, const std::uint8_t* data,
            std::uint32_t size);
void LogClose();

#if !defined(_WIN32)
// Resets gPlatform to the build's table and puts recorders in front of the five registry
// operations; each logs its call and passes it on unless a fault is set.
void InstallRegistryRecorder();
#endif
