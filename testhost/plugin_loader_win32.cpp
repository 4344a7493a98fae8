// Loading a plug-in DLL and redirecting one of its imports, as a host can.
#include "testhost/plugin_loader.h"

#include <cstring>
#include <windows.h>

namespace {

template <typename Fn> bool Find(HMODULE module, const char* name, Fn* out) {
    FARPROC proc = GetProcAddress(module, name);
    *out = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
    return proc != nullptr;
}

} // namespace

bool LoadPluginDll(const std::string& path, PluginEntries* entries, void** module,
                   std::string* error) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) {
        *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const bool found = Find(handle, "SetStartupInfo", &entries->setStartupInfo) &&
                       Find(handle, "GetPluginInfo", &entries->getPluginInfo) &&
                       Find(handle, "OpenPlugin", &entries->openPlugin) &&
                       Find(handle, "ProcessEditorInput", &entries->processEditorInput);
    if (!found) {
        *error = path + " lacks one of the four entry points";
        FreeLibrary(handle);
        return false;
    }
    *module = handle;
    return true;
}

// Walks the module's import descriptors to the named function's address slot.
void* HookImport(void* module, const char* dll, const char* function, void* replacement) {
    auto* base = static_cast<unsigned char*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return nullptr;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name != 0; ++desc) {
        if (_stricmp(reinterpret_cast<const char*>(base + desc->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD oldProtect = 0;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &oldProtect);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), oldProtect, &oldProtect);
            return previous;
        }
    }
    return nullptr;
}
