// White-box access to the monitor linked into the test program.
#pragma once

#include "monitor/monitor_ops.h"
#include "core/port_session.h"
#include "core/process_state.h"
#include "rig/fake_port_monitor.h"
#include "rig/port_status_hook.h"
#include "rig/spooler.h"

// The linked monitor's table, initialised once per test program.
inline MonitorTable* LinkedTable() {
    static LoadedMonitor monitor = [] {
        CatchSetPort(GetModuleHandleA(nullptr));
        return InitLinkedMonitor(InitializeMonitorEx);
    }();
    return &monitor.table;
}

inline PortSession* Session(Handle handle) { return static_cast<PortSession*>(handle); }

// A port opened through the linked monitor over a fresh port monitor stand-in.
struct OpenedPort {
    FakePortMonitor lower;
    SpoolerPort spooler;
    std::string name;

    explicit OpenedPort(const std::string& portName, bool withSetTimeouts = true)
        : lower(withSetTimeouts), name(portName) {
        spooler.table = LinkedTable();
        opened = spooler.open(portName.c_str(), lower.table()) != FALSE;
    }
    ~OpenedPort() {
        if (opened) spooler.close();
    }
    PortSession* session() const { return Session(spooler.handle); }
    bool opened = false;
};
