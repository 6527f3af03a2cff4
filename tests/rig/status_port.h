// A port opened through the linked monitor and set up for the status code:
// a job's timeouts and port mutex, a chosen port type, and a hidden window
// standing in for the status monitor application that records notifications.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/ticks.h"
#include "rig/mutex_threads.h"
#include "rig/status_packets.h"
#include "rig/linked_monitor.h"

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

// One port of every kind, for the status tests that run on each.
struct PortKind {
    const char* name;
    i16 type;
};
inline const PortKind kPorts[] = {
    {"QXNET1", PORTTYPE_NETWORK}, {"QXUSB001", PORTTYPE_USB}, {"QXCOM1", PORTTYPE_SERIAL},
    {"LPT1:", PORTTYPE_PARALLEL}, {"FILE:", PORTTYPE_OTHER},
};

inline std::vector<u32> Notified() { return RecordedNotifications(); }

inline void ExpectPair(const PortSession& session, i16 stateClass, i16 stateCode) {
    EXPECT_EQ(session.stateClass, stateClass);
    EXPECT_EQ(session.stateCode, stateCode);
}

// Two raster lines and a page end, as the page-end handshake tests write it.
inline const std::vector<u8> kPageEnd = {'Z', 'Z', 0x0C};

// The monitor's tick count runs just short of the counter's wrap while this
// lives; each wrapIn(ms) makes the wrap come that many milliseconds from now.
struct TicksNearWrap {
    TicksNearWrap();
    ~TicksNearWrap();
    void wrapIn(u32 milliseconds);
    TickSource old;
};

inline bool SamePacket(const StatusPacket& a, const StatusPacket& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
