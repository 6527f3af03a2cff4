// Handle, heap, thread and memory counts of this process.
#include "rig/resources.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Every program of the rig works in a temporary directory of its own, made
// before its tests run: the checks for files the monitor left behind must not
// count those of the programs that run beside it. Children (the application,
// a worker) inherit it and make their own inside it.
struct OwnTemporaryDirectory {
    std::string path;
    OwnTemporaryDirectory() {
        char base[MAX_PATH] = {};
        if (GetTempPathA(MAX_PATH, base) == 0) return;
        path = std::string(base) + "qxltest" + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return;
        SetEnvironmentVariableA("TMP", path.c_str());
        SetEnvironmentVariableA("TEMP", path.c_str());
    }
    ~OwnTemporaryDirectory() {
        if (!path.empty()) RemoveDirectoryA(path.c_str());  // only when empty
    }
};
const OwnTemporaryDirectory g_ownTemporaryDirectory;

// Handle values that name an object of this process now. The process's own
// count is not kept by every system (Wine answers 0), so the table is probed.
size_t HandleCount() {
    constexpr uintptr_t LAST_PROBED = 32768;
    size_t count = 0;
    for (uintptr_t value = 4; value <= LAST_PROBED; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace

size_t HeapBusyBytes() {
    DWORD count = GetProcessHeaps(0, nullptr);
    std::vector<HANDLE> heaps(count + 16);
    count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    size_t busy = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return busy;
}

// The commit charge: on Windows the same as PrivateUsage, which Wine 8 leaves 0.
size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    return GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory) ? memory.PagefileUsage
                                                                             : 0;
}

size_t ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    size_t count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

size_t TemporaryFileCount() {
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(directory) + "QXTF*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    do ++count;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

Resources MeasureResources() {
    Resources r;
    r.handles = HandleCount();
    r.heapBytes = HeapBusyBytes();
    r.threads = ThreadCount();
    r.privateBytes = PrivateBytes();
    r.temporaryFiles = TemporaryFileCount();
    return r;
}

bool MappingExists(const std::string& name) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping == nullptr) return false;
    CloseHandle(mapping);
    return true;
}

bool MutexExists(const std::string& name) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    if (mutex == nullptr) return false;
    CloseHandle(mutex);
    return true;
}
