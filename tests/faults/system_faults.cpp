// The counting and failing replacements of the DLL's system imports.
#include "faults/system_faults.h"

#include <winspool.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "rig/import_hook.h"

namespace {

volatile LONG g_allocations = 0;
volatile LONG g_allocationFailsAt = 0;
volatile LONG g_fileCalls[3] = {};
volatile LONG g_fileFailsAt[3] = {};
volatile LONG g_processStartFails = 0;
volatile LONG g_enumPortsFails = 0;

const char* const kFileFunctions[3] = {"CreateFileA", "WriteFile", "ReadFile"};

using GlobalAllocFn = HGLOBAL(WINAPI*)(UINT, SIZE_T);
using LocalAllocFn = HLOCAL(WINAPI*)(UINT, SIZE_T);
using MallocFn = void*(__cdecl*)(size_t);
using CallocFn = void*(__cdecl*)(size_t, size_t);
using ReallocFn = void*(__cdecl*)(void*, size_t);
using CreateFileFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                     HANDLE);
using ReadWriteFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
using EnumPortsFn = BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
using CreateProcessFn = BOOL(WINAPI*)(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                      BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA,
                                      LPPROCESS_INFORMATION);

GlobalAllocFn g_globalAlloc = GlobalAlloc;
LocalAllocFn g_localAlloc = LocalAlloc;
MallocFn g_malloc = std::malloc;
CallocFn g_calloc = std::calloc;
ReallocFn g_realloc = std::realloc;
CreateFileFn g_createFile = CreateFileA;
ReadWriteFn g_writeFile = reinterpret_cast<ReadWriteFn>(WriteFile);
ReadWriteFn g_readFile = ReadFile;
CreateProcessFn g_createProcess = CreateProcessA;
EnumPortsFn g_enumPorts = EnumPortsA;

// True when this allocation is the one that must fail.
bool AllocationFails() {
    LONG n = InterlockedIncrement(&g_allocations);
    return n == g_allocationFailsAt;
}

bool FileCallFails(int function) {
    LONG k = InterlockedIncrement(&g_fileCalls[function]);
    return k == g_fileFailsAt[function];
}

HGLOBAL WINAPI CountedGlobalAlloc(UINT flags, SIZE_T size) {
    if (AllocationFails()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return g_globalAlloc(flags, size);
}

HLOCAL WINAPI CountedLocalAlloc(UINT flags, SIZE_T size) {
    if (AllocationFails()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return g_localAlloc(flags, size);
}

void* __cdecl CountedMalloc(size_t size) { return AllocationFails() ? nullptr : g_malloc(size); }
void* __cdecl CountedCalloc(size_t n, size_t size) {
    return AllocationFails() ? nullptr : g_calloc(n, size);
}
void* __cdecl CountedRealloc(void* block, size_t size) {
    return AllocationFails() ? nullptr : g_realloc(block, size);
}

HANDLE WINAPI CountedCreateFile(LPCSTR name, DWORD access, DWORD share,
                                LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                HANDLE model) {
    if (FileCallFails(0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_createFile(name, access, share, security, disposition, flags, model);
}

BOOL WINAPI CountedWriteFile(HANDLE file, LPVOID data, DWORD size, LPDWORD done,
                             LPOVERLAPPED overlapped) {
    if (FileCallFails(1)) {
        if (done != nullptr) *done = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return g_writeFile(file, data, size, done, overlapped);
}

BOOL WINAPI CountedReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD done,
                            LPOVERLAPPED overlapped) {
    if (FileCallFails(2)) {
        if (done != nullptr) *done = 0;
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    return g_readFile(file, data, size, done, overlapped);
}

BOOL WINAPI CountedCreateProcess(LPCSTR application, LPSTR commandLine,
                                 LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                                 BOOL inherit, DWORD flags, LPVOID environment, LPCSTR directory,
                                 LPSTARTUPINFOA startup, LPPROCESS_INFORMATION information) {
    if (g_processStartFails) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    return g_createProcess(application, commandLine, process, thread, inherit, flags, environment,
                           directory, startup, information);
}

// The spooler's answer at level 2, taken once; null when it could not be had.
struct PortList {
    std::vector<BYTE> bytes;
    DWORD count = 0;
    bool ok = false;
};

const PortList& Ports() {
    static PortList list = [] {
        PortList taken;
        DWORD needed = 0;
        g_enumPorts(nullptr, 2, nullptr, 0, &needed, &taken.count);
        taken.bytes.resize(needed);
        taken.ok = needed != 0 &&
                   g_enumPorts(nullptr, 2, taken.bytes.data(), needed, &needed, &taken.count);
        return taken;
    }();
    return list;
}

// Copies the answer into the caller's buffer, its texts' pointers moved with it.
BOOL WINAPI CachedEnumPorts(LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                            LPDWORD returned) {
    const PortList& list = Ports();
    if (g_enumPortsFails || level != 2 || !list.ok) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    *needed = static_cast<DWORD>(list.bytes.size());
    *returned = 0;
    if (buffer == nullptr || size < list.bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::copy(list.bytes.begin(), list.bytes.end(), buffer);
    auto* entries = reinterpret_cast<PORT_INFO_2A*>(buffer);
    const BYTE* from = list.bytes.data();
    auto moved = [&](LPSTR text) {
        return text == nullptr
                   ? nullptr
                   : reinterpret_cast<LPSTR>(buffer + (reinterpret_cast<BYTE*>(text) - from));
    };
    for (DWORD i = 0; i < list.count; ++i) {
        entries[i].pPortName = moved(entries[i].pPortName);
        entries[i].pMonitorName = moved(entries[i].pMonitorName);
        entries[i].pDescription = moved(entries[i].pDescription);
    }
    *returned = list.count;
    return TRUE;
}

struct HookPlan {
    const char* dll;
    const char* function;
    void* replacement;
    void** original;
};

}  // namespace

bool InstallSystemHooks(HMODULE module) {
    static std::vector<std::unique_ptr<ImportHook>> hooks;
    if (!hooks.empty()) return true;
    const HookPlan plans[] = {
        {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(CountedGlobalAlloc),
         reinterpret_cast<void**>(&g_globalAlloc)},
        {"kernel32.dll", "LocalAlloc", reinterpret_cast<void*>(CountedLocalAlloc),
         reinterpret_cast<void**>(&g_localAlloc)},
        {"msvcrt.dll", "malloc", reinterpret_cast<void*>(CountedMalloc),
         reinterpret_cast<void**>(&g_malloc)},
        {"msvcrt.dll", "calloc", reinterpret_cast<void*>(CountedCalloc),
         reinterpret_cast<void**>(&g_calloc)},
        {"msvcrt.dll", "realloc", reinterpret_cast<void*>(CountedRealloc),
         reinterpret_cast<void**>(&g_realloc)},
        {"kernel32.dll", "CreateFileA", reinterpret_cast<void*>(CountedCreateFile),
         reinterpret_cast<void**>(&g_createFile)},
        {"kernel32.dll", "WriteFile", reinterpret_cast<void*>(CountedWriteFile),
         reinterpret_cast<void**>(&g_writeFile)},
        {"kernel32.dll", "ReadFile", reinterpret_cast<void*>(CountedReadFile),
         reinterpret_cast<void**>(&g_readFile)},
        {"kernel32.dll", "CreateProcessA", reinterpret_cast<void*>(CountedCreateProcess),
         reinterpret_cast<void**>(&g_createProcess)},
        {"winspool.drv", "EnumPortsA", reinterpret_cast<void*>(CachedEnumPorts),
         reinterpret_cast<void**>(&g_enumPorts)},
    };
    for (const HookPlan& plan : plans) {
        auto hook = std::make_unique<ImportHook>(module, plan.dll, plan.function, plan.replacement);
        // The DLL may not import every one (a build without realloc, say): skip those.
        if (hook->installed()) *plan.original = hook->original;
        hooks.push_back(std::move(hook));
    }
    return hooks[0]->installed();
}

void ArmSystemFaults(int allocationFailsAt, const std::string& fileFunction, int fileFailsAt,
                     bool processStartFails, bool enumPortsFails) {
    InterlockedExchange(&g_allocations, 0);
    InterlockedExchange(&g_allocationFailsAt, allocationFailsAt);
    for (int i = 0; i < 3; ++i) {
        InterlockedExchange(&g_fileCalls[i], 0);
        InterlockedExchange(&g_fileFailsAt[i], fileFunction == kFileFunctions[i] ? fileFailsAt : 0);
    }
    InterlockedExchange(&g_processStartFails, processStartFails ? 1 : 0);
    InterlockedExchange(&g_enumPortsFails, enumPortsFails ? 1 : 0);
}

size_t AllocationsCounted() { return static_cast<size_t>(g_allocations); }

std::map<std::string, size_t> FileCallsCounted() {
    std::map<std::string, size_t> counts;
    for (int i = 0; i < 3; ++i) counts[kFileFunctions[i]] = static_cast<size_t>(g_fileCalls[i]);
    return counts;
}
