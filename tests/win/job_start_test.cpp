// StartDocPort through the linked monitor: the port claim, the calls below,
// the job's fields and the settings read from the prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "core/port_monitor.h"
#include "rig/driver_registry.h"
#include "rig/mutex_threads.h"
#include "rig/linked_monitor.h"

namespace {

struct Setting {
    const char* name;
    DWORD type;
    std::string bytes;
};

std::string Dword(DWORD value) { return std::string(reinterpret_cast<char*>(&value), 4); }

TEST(StartDocPort, SettingsComeFromTheDriversKey) {
    struct Case {
        const char* what;
        bool driver;
        std::vector<Setting> settings;
        u32 statusTimeout, printTimeout, lanSleep;
    };
    const std::string qword = Dword(10) + Dword(0);
    const Case cases[] = {
        {"no Printer Driver value",
         false,
         {{"Status Timeout", REG_DWORD, Dword(10)}},
         5000,
         60000,
         0},
        {"no settings key", true, {}, 5000, 60000, 0},
        {"all three",
         true,
         {{"Status Timeout", REG_DWORD, Dword(10)},
          {"Print Timeout", REG_DWORD, Dword(0)},
          {"LanSleep", REG_DWORD, Dword(25)}},
         10000,
         0,
         25},
        {"type not examined", true, {{"Status Timeout", REG_BINARY, Dword(7)}}, 7000, 60000, 0},
        {"8-byte QWORD ignored", true, {{"Status Timeout", REG_QWORD, qword}}, 5000, 60000, 0},
        {"8-byte binary ignored", true, {{"Status Timeout", REG_BINARY, qword}}, 5000, 60000, 0},
        {"2-byte binary ignored",
         true,
         {{"Print Timeout", REG_BINARY, std::string("\x02\x00", 2)}},
         5000,
         60000,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DriverRegistry registry("QX Settings Printer");
        if (c.driver) {
            ASSERT_TRUE(registry.setDriver());
        }
        for (const Setting& s : c.settings) {
            ASSERT_TRUE(registry.setSetting(s.name, s.type, s.bytes.data(),
                                            static_cast<DWORD>(s.bytes.size())));
        }
        OpenedPort port("QXUSB101");
        ASSERT_TRUE(port.opened);
        ASSERT_TRUE(port.spooler.startDoc(registry.printer.c_str(), 7, "Doc1"));
        PortSession& session = *port.session();
        EXPECT_EQ(session.job.status.statusTimeout, c.statusTimeout);
        EXPECT_EQ(session.job.status.printTimeout, c.printTimeout);
        EXPECT_EQ(session.job.status.pollTimeout, 500);
        EXPECT_EQ(session.job.data.lanSleep, c.lanSleep);
        // Made on every path: the data path and the status reads wait on it.
        EXPECT_NE(session.job.portMutex, nullptr);
        EndDocPort(&session);
    }
}

TEST(StartDocPort, SetsTheJobsFields) {
    OpenedPort port("QXUSB102");
    ASSERT_TRUE(port.opened);
    PortSession& session = *port.session();
    session.job.data.lastPercent = 42;
    session.job.data.lastPageEnd = 0x1A;
    session.job.data.rasterCount = 99;
    std::memset(&session.job.jobInfo, 0x55, sizeof session.job.jobInfo);
    ASSERT_TRUE(port.spooler.startDoc("Label", 31, "Doc1", 2));

    EXPECT_EQ(session.job.flags, PSF_BUSY | PSF_STARTED | PSF_LAUNCH_STATMON | PSF_SEND_MEDIA);
    EXPECT_STREQ(session.job.link.windowTitle, "Label - Doc1");
    EXPECT_STREQ(session.job.printerName, "Label");
    EXPECT_STREQ(session.job.documentName, "Doc1");
    EXPECT_EQ(session.job.jobId, 31u);
    EXPECT_EQ(session.job.ownerThreadId, GetCurrentThreadId());
    EXPECT_EQ(session.job.data.lastPercent, -1);
    EXPECT_EQ(session.job.data.lastPageEnd, 0x0C);
    EXPECT_EQ(session.job.data.rasterCount, 0);
    EXPECT_EQ(session.job.link.replyState, 1u);
    EXPECT_EQ(session.job.spool.file, INVALID_HANDLE_VALUE);
    EXPECT_NE(session.job.data.carryBuffer, nullptr);
    EXPECT_EQ(session.job.jobInfo.pageNumber, 0);
    ASSERT_NE(session.job.link.replyEvent, nullptr);
    EXPECT_EQ(WaitForSingleObject(session.job.link.replyEvent, 0),
              static_cast<DWORD>(WAIT_TIMEOUT));

    auto starts = port.lower.calls(port.name, PortOp::StartDocPort);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].text, "Label");
    EXPECT_EQ(starts[0].jobId, 31u);
    EXPECT_EQ(starts[0].level, 2u);
    auto timeouts = port.lower.calls(port.name, PortOp::SetPortTimeOuts);
    ASSERT_EQ(timeouts.size(), 1u);
    EXPECT_EQ(0, memcmp(&timeouts[0].timeouts, &JOB_COMM_TIMEOUTS, sizeof(CommTimeouts)));
    EndDocPort(&session);
}

TEST(StartDocPort, StartsFromFreshFlagsWhateverTheJobBeforeLeft) {
    OpenedPort port("QXUSB103");
    ASSERT_TRUE(port.opened);
    PortSession& session = *port.session();
    session.job.flags = ~PSF_BUSY;
    ASSERT_TRUE(port.spooler.startDoc("Label", 1, "Doc1"));
    EXPECT_EQ(session.job.flags, PSF_BUSY | PSF_STARTED | PSF_LAUNCH_STATMON | PSF_SEND_MEDIA);
    EndDocPort(&session);
}

TEST(StartDocPort, SecondStartOnARunningJobIsBusyAndTouchesNothing) {
    OpenedPort port("QXUSB104");
    ASSERT_TRUE(port.opened);
    PortSession& session = *port.session();
    ASSERT_TRUE(port.spooler.startDoc("Label", 1, "Doc1"));
    session.job.spool.active = true;
    session.job.spool.firstWriteSeen = true;
    HANDLE file = reinterpret_cast<HANDLE>(0x1234);
    session.job.spool.file = file;
    std::strcpy(session.job.spool.path, "C:\\temp\\QXTF1.tmp");
    session.job.flags |= PSF_STOPPED;
    session.job.data.lastPercent = 50;
    char* title = session.job.link.windowTitle;
    u32 flags = session.job.flags;

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(port.spooler.startDoc("Other", 2, "Doc2"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(session.job.spool.active, 1);
    EXPECT_EQ(session.job.spool.firstWriteSeen, 1);
    EXPECT_EQ(session.job.spool.file, file);
    EXPECT_STREQ(session.job.spool.path, "C:\\temp\\QXTF1.tmp");
    EXPECT_EQ(session.job.flags, flags);
    EXPECT_EQ(session.job.data.lastPercent, 50);
    EXPECT_EQ(session.job.link.windowTitle, title);
    EXPECT_EQ(session.job.jobId, 1u);
    EXPECT_EQ(port.lower.count(port.name, PortOp::StartDocPort), 1u);
    session.job.spool.file = INVALID_HANDLE_VALUE;
    EndDocPort(&session);
}

TEST(StartDocPort, PortMonitorWithoutSetPortTimeOutsIsAccepted) {
    OpenedPort port("QXUSB105", false);
    ASSERT_TRUE(port.opened);
    ASSERT_TRUE(port.spooler.startDoc("Label", 1, "Doc1"));
    EXPECT_TRUE(port.session()->job.flags & PSF_STARTED);
    EndDocPort(port.session());
}

TEST(StartDocPort, OpenPortMutexIsOwnedByTheCallingThread) {
    OpenedPort port("QXUSB106");
    ASSERT_TRUE(port.opened);
    PortSession& session = *port.session();
    ASSERT_TRUE(port.spooler.startDoc("Label", 1, "Doc1"));
    EXPECT_EQ(TryMutexFromAnotherThread(session.openPortMutex), static_cast<DWORD>(WAIT_TIMEOUT));
    EndDocPort(&session);
    EXPECT_EQ(TryMutexFromAnotherThread(session.openPortMutex), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(StartDocPort, FailuresBelowUnwindTheClaim) {
    struct Case {
        PortOp failing;
        size_t endDocCalls;
    };
    for (Case c : {Case{PortOp::StartDocPort, 0}, Case{PortOp::SetPortTimeOuts, 1}}) {
        SCOPED_TRACE(PortOpName(c.failing));
        OpenedPort port("QXUSB107");
        ASSERT_TRUE(port.opened);
        PortSession& session = *port.session();
        port.lower.inject(c.failing, {true, ERROR_DEV_NOT_EXIST, 1});
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(port.spooler.startDoc("Label", 1, "Doc1"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEV_NOT_EXIST));
        EXPECT_EQ(port.lower.count(port.name, PortOp::EndDocPort), c.endDocCalls);
        EXPECT_FALSE(session.job.flags & (PSF_BUSY | PSF_STARTED));
        EXPECT_EQ(session.job.data.carryBuffer, nullptr);
        EXPECT_EQ(TryMutexFromAnotherThread(session.openPortMutex),
                  static_cast<DWORD>(WAIT_OBJECT_0));

        // The port is free for the next job.
        ASSERT_TRUE(port.spooler.startDoc("Label", 2, "Doc2"));
        EndDocPort(&session);
    }
}

}  // namespace
