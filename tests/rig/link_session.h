// A job's link to the status monitor application without its port: the
// record as the link needs it, and a window of the test thread standing in for
// the application's, which keeps what it receives.
#pragma once

#include <windows.h>

#include <vector>

#include "core/port_session.h"

// What the stand-in window received, in order.
struct Received {
    u32 code;
    u32 lParam;
    bool blockOpened;
    std::vector<u8> block;
};
std::vector<Received>& ReceivedNotifications();

// A top-level window of the test thread standing in for the application's:
// SendMessage from this thread reaches it at once, and sends from the connect
// thread reach it while this thread waits in a SendMessage of its own.
struct Receiver {
    HWND window = nullptr;
    Receiver();
    ~Receiver();
    std::vector<u32> codes() const;
};

// A job's record as the link needs it, without the port and data path.
struct LinkSession {
    PortSession s{};
    LinkSession();
    ~LinkSession();
    // Runs the connect thread and waits for its window, as the launch does.
    bool connect();
    bool eventSet() const;
    // A reply as the application makes it; returns when the connect thread has
    // handled it. The test thread, owner of the receiver, looks at its queue
    // first as the application's would: a thread that has not for seconds
    // counts as hung to the connect thread's bounded re-send.
    void reply(WPARAM wParam);
};
