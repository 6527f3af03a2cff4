// ReadPort and GetPrinterDataFromPort: refused outside a job, passed through
// unchanged during one, and on USB ports kept apart by the port mutex.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "core/port_monitor.h"
#include "rig/mutex_threads.h"
#include "rig/linked_monitor.h"

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
    EXPECT_FALSE(
        GetPrinterDataFromPort(job.handle(), 0, value, nullptr, 0, out, sizeof out, &returned));
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
    BOOL result = GetPrinterDataFromPort(job.handle(), UNKNOWN_CONTROL, nullptr, in, sizeof in, out,
                                         sizeof out, &returned);
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
    EXPECT_EQ(TryMutexFromAnotherThread(job.session().job.portMutex),
              static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(PassThrough, UsbRequestGivesUpAfterAboutTwoSecondsOfAHeldMutex) {
    for (Request request : {Request::Read, Request::Control}) {
        JobPort job("QXUSB204");
        ASSERT_TRUE(job.started);
        MutexHolder holder(job.session().job.portMutex, false, 3000);
        DWORD begin = GetTickCount();
        EXPECT_FALSE(Call(request, job.handle()));
        DWORD elapsed = GetTickCount() - begin;
        EXPECT_GE(elapsed, 1500u);
        EXPECT_LT(elapsed, 10000u);
        EXPECT_EQ(job.port.lower.count(job.port.name, LowerOp(request)), 0u);
    }
}

TEST(PassThrough, UsbRequestFailsOnAnAbandonedMutexAndGivesItBack) {
    for (Request request : {Request::Read, Request::Control}) {
        JobPort job("QXUSB205");
        ASSERT_TRUE(job.started);
        MutexHolder holder(job.session().job.portMutex, true);
        EXPECT_FALSE(Call(request, job.handle()));
        EXPECT_EQ(job.port.lower.count(job.port.name, LowerOp(request)), 0u);
        EXPECT_EQ(TryMutexFromAnotherThread(job.session().job.portMutex),
                  static_cast<DWORD>(WAIT_OBJECT_0));
    }
}

TEST(PassThrough, OtherPortsGoStraightThroughWhileTheMutexIsHeld) {
    for (const char* name : {"LPT1:", "QXCOM1"}) {
        SCOPED_TRACE(name);
        JobPort job(name);
        ASSERT_TRUE(job.started);
        MutexHolder holder(job.session().job.portMutex, false, 3000);
        DWORD begin = GetTickCount();
        Call(Request::Read, job.handle());
        Call(Request::Control, job.handle());
        EXPECT_LT(GetTickCount() - begin, 1500u);
        EXPECT_EQ(job.port.lower.count(job.port.name, PortOp::ReadPort), 1u);
        EXPECT_EQ(job.port.lower.count(job.port.name, PortOp::GetPrinterDataFromPort), 1u);
    }
}

}  // namespace
