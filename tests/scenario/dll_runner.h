// What the Windows runner offers beyond the scenario tests' common needs.
#pragma once

// The loaded plug-in DLL's module (its base address), loading it on first use.
void* PluginModule();
