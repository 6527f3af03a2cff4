// Replaces one function that a loaded module imports, in that module's own
// import address table: faults injected where the DLL meets the system (a
// full disk, a failed allocation), with no seam in the product. Restored when
// the hook is destroyed.
#pragma once

#include <windows.h>

struct ImportHook {
    ImportHook(HMODULE module, const char* dllName, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool installed() const { return slot != nullptr; }

    void** slot = nullptr;
    void* original = nullptr;
};
