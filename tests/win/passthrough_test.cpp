// ReadPort and GetPrinterDataFromPort: refused outside a job, passed through
// unchanged during one, and on USB ports kept apart by the port mutex.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "monitor/port_monitor.h"
#include "win/linked_monitor.h"

namespace {

struct JobPort {
    OpenedPort port;
    explicit JobPort(const char* name) : port(name) {
        started = port.opened && port.spooler.startDoc("Label", 1, "Doc1");
    }
    ~JobPort() {
        if (started) EndDocPort(&session());
    }
    PortSession& session() { return *port.session(); }
    Handle handle() { return port.spooler.handle; }
    bool started = false;
};

enum class Request { Read, Control };

// One pass-through request with fixed arguments; returns its result.
BOOL Call(Request request, Handle handle) {
    if (request == Request::Read) {
        u8 buffer[64];
        u32 read = 0;
        return ReadPort(handle, buffer, sizeof buffer, &read);
    }
    u32 value = 0;
    u32 returned = 0;
    return GetPrinterDataFromPort(handle, CONTROL_USB_STATUS, nullptr, nullptr, 0,
                                  reinterpret_cast<char*>(&value), sizeof value, &returned);
}

PortOp LowerOp(Request request) {
    return request == Request::Read ? PortOp::ReadPort : PortOp::GetPrinterDataFromPort;
}

// Another thread holds a mutex for a while (or, with holdMs 0, takes it and
// ends without releasing it, leaving it abandoned).
struct Holder {
    HANDLE mutex;
    DWORD holdMs;
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(LPVOID context) {
        auto* self = static_cast<Holder*>(context);
        WaitForSingleObject(self->mutex, INFINITE);
        SetEvent(self->taken);
        if (self->holdMs == 0) return 0;
        Sleep(self->holdMs);
        ReleaseMutex(self->mutex);
        return 0;
    }
    void start() {
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(taken, INFINITE);
    }
    void join() {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(taken);
    }
};

struct MutexProbe {
    HANDLE mutex;
    DWORD result = 0;
};

DWORD WINAPI ProbeMutex(LPVOID context) {
    auto* probe = static_cast<MutexProbe*>(context);
    probe->result = WaitForSingleObject(probe->mutex, 0);
    if (probe->result == WAIT_OBJECT_0 || probe->result == WAIT_ABANDONED)
        ReleaseMutex(probe->mutex);
    return 0;
}

DWORD ProbeFromAnotherThread(HANDLE mutex) {
    MutexProbe probe{mutex};
    HANDLE thread = CreateThread(nullptr, 0, ProbeMutex, &probe, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return probe.result;
}

TEST(PassThrough, RefusedWithoutAJobAndNeverCallsBelow) {
    OpenedPort port("QXUSB201");
    ASSERT_TRUE(port.opened);
    u8 buffer[8];
    u32 read = 77;
    EXPECT_FALSE(ReadPort(port.spooler.handle, buffer, sizeof buffer, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_FALSE(Call(Request::Control, port.spooler.handle));
    EXPECT_EQ(port.lower.count(port.name, PortOp::ReadPort), 0u);
    EXPECT_EQ(port.lower.count(port.name, PortOp::GetPrinterDataFromPort), 0u);
}

TEST(PassThrough, ControlIdZeroIsRefusedDuringAJob) {
    JobPort job("QXUSB202");
    ASSERT_TRUE(job.started);
    char value[] = "Status";
    u32 returned = 0;
    char out[4];
    EXPECT_FALSE(GetPrinterDataFromPort(job.handle(), 0, value, nullptr, 0, out, sizeof out,
                                        &returned));
    EXPECT_EQ(job.port.lower.count(job.port.name, PortOp::GetPrinterDataFromPort), 0u);
}

TEST(PassThrough, ArgumentsReachThePortMonitorUnchanged) {
    JobPort job("QXUSB203");
    ASSERT_TRUE(job.started);
    const u8 reply[] = {0x80, 0x20, 0x42, 0x30};
    job.port.lower.withLock([&] { job.port.lower.port(job.port.name).printer.queue(reply, 4); });
    u8 buffer[16] = {};
    u32 read = 0;
    EXPECT_TRUE(ReadPort(job.handle(), buffer, sizeof buffer, &read));
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(0, std::memcmp(buffer, reply, 4));

    char in[] = {1, 2, 3};
    char out[8];
    u32 returned = 99;
    SetLastError(0xdeadbeef);
    constexpr u32 UNKNOWN_CONTROL = 0x00ABCDEF;
    BOOL result = GetPrinterDataFromPort(job.handle(), UNKNOWN_CONTROL, nullptr, in, sizeof in,
                                         out, sizeof out, &returned);
    EXPECT_FALSE(result);  // the stand-in does not know it: its error is the caller's
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));

    auto reads = job.port.lower.calls(job.port.name, PortOp::ReadPort);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].size, sizeof buffer);
    auto controls = job.port.lower.calls(job.port.name, PortOp::GetPrinterDataFromPort);
    ASSERT_EQ(controls.size(), 1u);
    EXPECT_EQ(controls[0].controlId, UNKNOWN_CONTROL);
    EXPECT_EQ(controls[0].size, sizeof out);
    EXPECT_EQ(controls[0].data, (std::vector<u8>{1, 2, 3}));
    // The mutex is free again for the data path.
    EXPECT_EQ(ProbeFromAnotherThread(job.session().portMutex), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(PassThrough, UsbRequestGivesUpAfterAboutTwoSecondsOfAHeldMutex) {
    for (Request request : {Request::Read, Request::Control}) {
        JobPort job("QXUSB204");
        ASSERT_TRUE(job.started);
        Holder holder{job.session().portMutex, 3000};
        holder.start();
        DWORD begin = GetTickCount();
        EXPECT_FALSE(Call(request, job.handle()));
        DWORD elapsed = GetTickCount() - begin;
        EXPECT_GE(elapsed, 1500u);
        EXPECT_LT(elapsed, 10000u);
        EXPECT_EQ(job.port.lower.count(job.port.name, LowerOp(request)), 0u);
        holder.join();
    }
}

TEST(PassThrough, UsbRequestFailsOnAnAbandonedMutexAndGivesItBack) {
    for (Request request : {Request::Read, Request::Control}) {
        JobPort job("QXUSB205");
        ASSERT_TRUE(job.started);
        Holder holder{job.session().portMutex, 0};
        holder.start();
        holder.join();
        EXPECT_FALSE(Call(request, job.handle()));
        EXPECT_EQ(job.port.lower.count(job.port.name, LowerOp(request)), 0u);
        EXPECT_EQ(ProbeFromAnotherThread(job.session().portMutex),
                  static_cast<DWORD>(WAIT_OBJECT_0));
    }
}

TEST(PassThrough, OtherPortsGoStraightThroughWhileTheMutexIsHeld) {
    for (const char* name : {"LPT1:", "QXCOM1"}) {
        SCOPED_TRACE(name);
        JobPort job(name);
        ASSERT_TRUE(job.started);
        Holder holder{job.session().portMutex, 3000};
        holder.start();
        DWORD begin = GetTickCount();
        Call(Request::Read, job.handle());
        Call(Request::Control, job.handle());
        EXPECT_LT(GetTickCount() - begin, 1500u);
        EXPECT_EQ(job.port.lower.count(job.port.name, PortOp::ReadPort), 1u);
        EXPECT_EQ(job.port.lower.count(job.port.name, PortOp::GetPrinterDataFromPort), 1u);
        holder.join();
    }
}

}  // namespace
