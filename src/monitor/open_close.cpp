// OpenPortEx and ClosePort: the port record, its kind, the port below and the
// named mutex that jobs of every process on this port name share.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>

#include "monitor/monitor_ops.h"
#include "core/port_calls.h"
#include "core/port_monitor.h"
#include "monitor/port_name.h"
#include "core/process_state.h"
#include "core/trace.h"

namespace {

// Asks the spooler for every port at level 2: a port is a network print
// server port when the NX-4400 port monitor reports it under exactly this name.
bool IsNetworkPort(const char* name) {
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
    if (needed == 0) return false;
    HLOCAL buffer = LocalAlloc(LPTR, needed);
    if (buffer == nullptr) return false;
    bool found = false;
    if (EnumPortsA(nullptr, 2, static_cast<LPBYTE>(buffer), needed, &needed, &returned)) {
        auto* ports = static_cast<PORT_INFO_2A*>(buffer);
        for (DWORD i = 0; i < returned && !found; ++i) {
            found = ports[i].pPortName != nullptr && ports[i].pMonitorName != nullptr &&
                    std::strcmp(ports[i].pPortName, name) == 0 &&
                    std::strcmp(ports[i].pMonitorName, NETWORK_PORT_MONITOR_NAME) == 0;
        }
    }
    LocalFree(buffer);
    return found;
}

PortSession* FindPort(const char* name) {
    for (PortSession* p = g_process.portList; p != nullptr; p = p->next) {
        if (lstrcmpiA(p->portName, name) == 0) return p;
    }
    return nullptr;
}

void AppendPort(PortSession* record) {
    PortSession** link = &g_process.portList;
    while (*link != nullptr) link = &(*link)->next;
    *link = record;
}

bool UnlinkPort(PortSession* record) {
    for (PortSession** link = &g_process.portList; *link != nullptr; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            return true;
        }
    }
    return false;
}

HANDLE CreateOpenPortMutex(const char* portName) {
    static constexpr char SUFFIX[] = " OpenPort";
    size_t length = std::strlen(portName) + sizeof SUFFIX;
    char* mutexName = static_cast<char*>(AllocZeroed(length));
    if (mutexName == nullptr) return nullptr;
    std::snprintf(mutexName, length, "%s%s", portName, SUFFIX);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName);
    FreeBlock(mutexName);
    return mutex;
}

// The port monitor's own 13-slot table, already the record's.
bool OpenThroughTable(void*, PortSession& record, char* portName) {
    return LowerOpenPort(record, portName);
}

}  // namespace

// The lookup, the record and the port below are made under monitorLock, so
// that no lookup sees half a record; the trace's lines (its file may be slow,
// a share far away) are written after it, while the record is still this
// call's alone.
WinBool OpenPortSession(char* portName, Handle* port, const MonitorTable& lowerTable,
                        const LowerOpen& openBelow) {
    PortSession* record = nullptr;
    bool opened = false;
    DWORD error = 0;
    {
        MonitorLockGuard lock;
        if (FindPort(portName) != nullptr) {
            SetLastError(ERROR_BUSY);
            return FALSE;
        }
        size_t nameLength = std::strlen(portName);
        record = static_cast<PortSession*>(AllocZeroed(sizeof(PortSession) + nameLength + 1));
        if (record == nullptr) return FALSE;
        record->portName = reinterpret_cast<char*>(record + 1);
        std::memcpy(record->portName, portName, nameLength);
        AppendPort(record);

        PortClass kind = ClassifyPortName(portName, IsNetworkPort(portName));
        record->portType = kind.portType;
        record->lptNumber = kind.lptNumber;
        record->lowerMonitor = WholeLowerTable(lowerTable);
        record->lowerCanRunJobs = LowerTableCanRunJobs(lowerTable, kind.portType);
        record->lowerAnswersControls = lowerTable.GetPrinterDataFromPort != nullptr;
        opened = openBelow.open(openBelow.context, *record, portName);
        if (opened) {
            record->openPortMutex = CreateOpenPortMutex(portName);
        } else {
            error = GetLastError();  // the port monitor's reason stays for the caller
            UnlinkPort(record);
        }
    }
    InheritTrace(*record);
    if (!opened) {
        TracePortOpenFailed(*record, error);
        FreeBlock(record);
        SetLastError(error);
        return FALSE;
    }
    TracePortOpened(*record);
    *port = record;
    return TRUE;
}

WinBool QXL_WINAPI OpenPortEx(char* portName, char* /*printerName*/, Handle* port,
                              MonitorTable* lowerMonitor) {
    return OpenPortSession(portName, port, *lowerMonitor, {OpenThroughTable, nullptr});
}

WinBool QXL_WINAPI ClosePort(Handle port) {
    auto* record = static_cast<PortSession*>(port);
    LowerClosePort(*record);
    TracePortClosed(*record);

    MonitorLockGuard lock;
    if (record->openPortMutex != nullptr) {
        CloseHandle(record->openPortMutex);
        record->openPortMutex = nullptr;
    }
    if (UnlinkPort(record)) FreeBlock(record);  // a record not in the list is left alone
    return TRUE;
}
