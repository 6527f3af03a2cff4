// A port opened through the linked monitor and set up for the status code:
// a job's timeouts and port mutex, a chosen port type, and a hidden window
// standing in for the status monitor application that records notifications.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "rig/mutex_threads.h"
#include "rig/status_packets.h"
#include "win/linked_monitor.h"

// WM_STATMON wParams received by the recorder windows, in order.
std::vector<u32>& RecordedNotifications();
HWND MakeRecorderWindow();

struct StatusPort {
    OpenedPort port;
    PortSession* session;
    HWND window;

    StatusPort(const std::string& name, i16 portType, u32 timeout = 300);
    ~StatusPort();
    StatusPort(const StatusPort&) = delete;
    StatusPort& operator=(const StatusPort&) = delete;

    EmulatedPrinter& printer() { return port.lower.port(port.name).printer; }
    FakePortMonitor& lower() { return port.lower; }
    std::vector<PortCall> calls(PortOp op) { return port.lower.calls(port.name, op); }
    void queue(const StatusPacket& packet) { printer().queuePacket(packet); }
    void queueBytes(const std::vector<u8>& bytes) {
        printer().queue(bytes.data(), static_cast<u32>(bytes.size()));
    }
    // Writes bytes to the port the way the data path does.
    void write(const std::vector<u8>& bytes);
};

inline bool SamePacket(const StatusPacket& a, const StatusPacket& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
