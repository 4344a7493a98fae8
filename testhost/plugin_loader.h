// Finding a plug-in's entry points: linked into this program, or in a DLL loaded by path.
#pragma once

#include "testhost/testhost.h"

#include <string>

// The entry points of the plug-in linked into this program (needs the lexamund library).
PluginEntries LinkedPlugin();

#if defined(_WIN32)
// Loads the DLL and finds the four entry points by their plain names. On success fills
// entries and module and returns true; on failure says why in error.
bool LoadPluginDll(const std::string& path, PluginEntries* entries, void** module,
                   std::string* error);

// Points the module's import of function from dll (e.g. "USER32.dll", "MessageBeep") at
// replacement. Returns the previous target, or null when the module has no such import.
void* HookImport(void* module, const char* dll, const char* function, void* replacement);
#endif
