// Jobs that meet trouble, through the real DLL: port monitors with empty
// slots, ports that are busy or contended, applications that vanish or hang,
// and a disk that fills. Every job ends, and every page reaches the port once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "rig/import_hook.h"
#include "rig/job_case.h"
#include "rig/message_box_watcher.h"
#include "rig/resources.h"
#include "core/statmon_interface.h"
#include "core/status_packet.h"

namespace {

MonitorTable* Dll() { return &ProgramDll().table; }

constexpr u8 COVER_OPEN = ERROR2_COVER_OPEN;  // state (2, 20)

std::shared_ptr<void> CoverOpenOnPage2(JobRun& run) {
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = COVER_OPEN;
    return nullptr;
}

std::shared_ptr<void> HogTheUsbPort(JobRun& run) {
    return std::make_shared<PassThroughHog>(run, 1200);
}

const JobCase kCases[] = {
    {.name = "EmptyControlSlotOnUsbStillPrints",
     .port = "QXUSB91",
     .editLower = [](MonitorTable& t) { t.GetPrinterDataFromPort = nullptr; },
     .print = {0, 1, 2}},
    {.name = "EmptyControlSlotOnSerialIsRefused",
     .port = "QXCOM9",
     .editLower = [](MonitorTable& t) { t.GetPrinterDataFromPort = nullptr; },
     .startError = ERROR_NOT_SUPPORTED},
    {.name = "EmptyReadSlotIsRefused",
     .port = "LPT9",
     .editLower = [](MonitorTable& t) { t.ReadPort = nullptr; },
     .startError = ERROR_NOT_SUPPORTED},
    {.name = "EmptyWriteSlotIsRefused",
     .port = "FILE91",
     .editLower = [](MonitorTable& t) { t.WritePort = nullptr; },
     .startError = ERROR_NOT_SUPPORTED},
    {.name = "EmptyEndAndCloseSlotsEndTheJob",
     .port = "QXUSB92",
     .editLower =
         [](MonitorTable& t) {
             t.EndDocPort = nullptr;
             t.ClosePort = nullptr;
         },
     .print = {0, 1, 2}},
    // Page 2's check finds the parallel port busy, its data then finds it
    // ready: a stall the user answers; the page is sent again, once.
    {.name = "BusyThenReadyParallelPortPrintsThePageOnce",
     .port = "LPT7",
     .script = "on 0x2001a reply 1",
     .arrange = [](JobRun& run) -> std::shared_ptr<void> {
         run.printer().parallelBusyAfterRequest = 2;
         return nullptr;
     },
     .print = {0, RESET, 1, 2}},
    // A spooler thread holds the USB port through pass-through reads longer
    // than the data path waits for it.
    {.name = "ContendedUsbPortPrintsEveryPage",
     .port = "QXUSB93",
     .arrange = HogTheUsbPort,
     .print = {0, 1, 2}},
    {.name = "ContendedUsbPortLosesNothingInAResend",
     .port = "QXUSB94",
     .script = "on 0x20014 reply 1",
     .arrange =
         [](JobRun& run) {
             CoverOpenOnPage2(run);
             return HogTheUsbPort(run);
         },
     .print = {0, RESET, 1, 2}},
    // The application dies while the printer says nothing more: the wait for
    // the page's printing ends as a cancel.
    {.name = "ApplicationThatDiesMidPageCancelsTheJob",
     .port = "QXUSB95",
     .script = "on 0x50022 exit after 300",
     .arrange = [](JobRun& run) -> std::shared_ptr<void> {
         run.printer().autoPageCycle = false;
         return nullptr;
     },
     .print = {0, RESET}},
    // The user cancels at the job's last write: nothing more comes to reset
    // the printer later, so the cancel resets it.
    {.name = "CancelAtTheLastWriteResetsThePrinter",
     .port = "QXUSB88",
     .script = "on 0x20014 reply 3",
     .arrange = CoverOpenOnPage2,
     .print = {0, RESET}},
    // It hangs in its handler past the bound (3 s here): it is taken as gone.
    {.name = "HungApplicationIsTakenAsGone",
     .port = "QXUSB96",
     .script = "on 0x50022 hang 6000",
     .print = {0, RESET}},
    // It exits as soon as it hears of the job's end, while bytes after the
    // last page end are still to go: no cancel, and no reset of a printer
    // that may still be printing the last label.
    {.name = "ApplicationThatExitsAtTheJobEndCancelsNothing",
     .port = "QXUSB87",
     .script = "on 0x40000 exit",
     .print = {0, 1, 2},
     .chunk = 65536,
     .trailingNuls = 16},
    // The longest waits end: a huge "LanSleep" is a second before each piece,
    // slept in slices that hear a cancel; a long "Status Timeout" keeps the
    // USB reader's mutex no longer than the cancel takes to come.
    {.name = "HugeLanSleepHearsACancelBeforeAnyWrite",
     .port = "NX86",
     .script = "on 0x10103 reply 3 send",
     .print = {RESET},
     .settings = {{"LanSleep", 0xFFFFFFFF}},
     .network = true},
    {.name = "LongStatusTimeoutHearsACancel",
     .port = "QXUSB86",
     .script = "on 0x10101 reply 3 after 300",
     .arrange = [](JobRun& run) -> std::shared_ptr<void> {
         run.printer().answersStatus = false;
         return nullptr;
     },
     .print = {RESET},
     .settings = {{"Status Timeout", 600}}},
    // Packets that come a few bytes a read, after the read's deadline, are
    // still whole packets to the byte-wise reader.
    {.name = "PacketsInPiecesAfterTheDeadlineStillCount",
     .port = "FILE86",
     .arrange = [](JobRun& run) -> std::shared_ptr<void> {
         run.printer().readChunk = 8;
         run.printer().pageMs = 1000;
         return nullptr;
     },
     .print = {0, 1, 2}},
    // The print cycle goes quiet for "Print Timeout" (its packets lost): the
    // printer is asked; ready, it has printed the page, which is not sent again.
    {.name = "QuietPrintCycleOfAReadyPrinterEndsThePage",
     .port = "FILE85",
     .arrange = [](JobRun& run) -> std::shared_ptr<void> {
         run.printer().silentFromPage = 2;
         return nullptr;
     },
     .print = {0, 1, 2},
     .settings = {{"Print Timeout", 1}}},
    // A printer that stops answering at all is a communication failure the
    // user answers (here with cancel), not a wait for ever.
    {.name = "PrinterThatStopsAnsweringIsACommunicationFailure",
     .port = "QXUSB85",
     .script = "on 0x2001a reply 3",
     .arrange = [](JobRun& run) -> std::shared_ptr<void> {
         run.printer().silentFromPage = 2;
         run.lower.beforeCall = [&run](PortOp) {
             run.lower.withLock(
                 [&] { run.printer().answersStatus = run.printer().pagesEnded < 2; });
         };
         return nullptr;
     },
     .print = {0, 1, RESET},
     .settings = {{"Print Timeout", 1}, {"Status Timeout", 1}},
     .heard = 0x2001A},
    // A network port whose readiness poll fails from page 2 on reads nothing
    // at all: the same communication failure, not a wait for ever.
    {.name = "NetworkPortWhosePollFailsIsACommunicationFailure",
     .port = "NX87",
     .script = "on 0x2001a reply 3",
     .arrange = [](JobRun& run) -> std::shared_ptr<void> {
         run.lower.beforeCall = [&run](PortOp) {
             run.lower.withLock(
                 [&] { run.printer().networkAnswerSize = run.printer().pagesEnded < 2 ? 4 : 0; });
         };
         return nullptr;
     },
     .print = {0, 1, RESET},
     .settings = {{"Print Timeout", 1}, {"Status Timeout", 1}},
     .network = true,
     .heard = 0x2001A},
};

class TroubleJob : public ::testing::TestWithParam<std::tuple<Entry, JobCase>> {};

TEST_P(TroubleJob, EndsWithEveryPageOnceOrIsRefused) {
    RunJobCase(ProgramDll().face(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

std::string EntryCaseName(const ::testing::TestParamInfo<std::tuple<Entry, JobCase>>& info) {
    return std::get<1>(info.param).name;
}

// The port monitor's empty slots, seen through the wide table's adapters.
std::vector<JobCase> EmptySlotCases() {
    std::vector<JobCase> cases;
    for (const JobCase& c : kCases)
        if (c.name.starts_with("Empty") && c.name != "EmptyControlSlotOnUsbStillPrints")
            cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, TroubleJob,
                         ::testing::Combine(::testing::Values(Entry::MonitorEx),
                                            ::testing::ValuesIn(kCases)),
                         EntryCaseName);
INSTANTIATE_TEST_SUITE_P(ThroughPrintMonitor2, TroubleJob,
                         ::testing::Combine(::testing::Values(Entry::PrintMonitor2),
                                            ::testing::ValuesIn(EmptySlotCases())),
                         EntryCaseName);

// The last page end waits in the carry buffer until the job end, where the
// port is contended too: it is still printed.
TEST(TroubleJobEnd, ContendedPortAtTheJobEndKeepsTheLastPageEnd) {
    JobRun run(Dll(), "QXUSB97");
    PassThroughHog hog(run, 1200);
    BuiltJob job = BuildSimpleJob(1);
    std::vector<u8> stream = job.stream;
    std::vector<u8> expected = job.portBytes;
    stream.insert(stream.end() - 1, {0x01, 0x02});  // fewer than 19 bytes after them: carried
    expected.insert(expected.end() - 1, {0x01, 0x02});
    RunBounded("job end under contention", 60000, [&] {
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(run.write(stream, 4096));
        ASSERT_TRUE(run.end());
    });
    EXPECT_EQ(WithoutStatusRequests(run.received()), expected);
}

bool Logged(const StatmonEnvironment& statmon, const std::string& event) {
    for (const StatmonRecord& record : statmon.records())
        if (record.line.find(event) != std::string::npos) return true;
    return false;
}

// While the connect window re-sends the printing phase to an application that
// hangs, other ports open and close: the send holds no lock of the monitor.
TEST(TroubleLock, ReSendToAHungApplicationHoldsNoOtherPort) {
    JobRun run(Dll(), "QXUSB98", "normal", "on 0x20014 reply 1; on 0x20014 hang 2500");
    CoverOpenOnPage2(run);
    BuiltJob job = BuildSimpleJob(3);
    bool openedMeanwhile = false;
    bool beforeHangEnded = false;
    RunBounded("job with a hung application", 60000, [&] {
        Background other([&] {
            run.statmon.waitFor([&](const auto&) { return Logged(run.statmon, "hang 2500"); },
                                30000);
            FakePortMonitor lower;
            SpoolerPort port;
            port.table = Dll();
            openedMeanwhile = port.open("QXUSB99", lower.table()) && port.close();
            beforeHangEnded = !Logged(run.statmon, "hang over");
        });
        run.start();
        run.write(job.stream, 4096);
        run.end();
    });
    EXPECT_TRUE(openedMeanwhile);
    EXPECT_TRUE(beforeHangEnded);
}

// Nobody may see the message box where the spooler is a service: the job
// waits for it a bounded time only (1.5 s here), then closes it and goes on.
TEST(TroubleLaunch, UnansweredMessageBoxDoesNotHoldTheJob) {
    MessageBoxWatcher watcher(LAUNCH_FAILURE_CAPTION, false);
    JobRun run(Dll(), "QXUSB90", "nowindow");
    BuiltJob job = BuildSimpleJob(1);
    RunBounded("job whose application shows no window", 60000, [&] {
        ASSERT_TRUE(run.start());
        EXPECT_TRUE(run.write(job.stream, 4096));
        ASSERT_TRUE(run.end());
    });
    EXPECT_EQ(watcher.texts(), std::vector<std::string>{LAUNCH_FAILURE_TEXT});
    EXPECT_FALSE(watcher.boxShown());
    EXPECT_TRUE(run.received().empty());
}

BOOL WINAPI DiskFullWrite(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
    if (written != nullptr) *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

HANDLE WINAPI RefusedCreate(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// The multi-copy spool file meets a full disk or cannot be made: the spooler
// hears of it, nothing is printed, and no temporary file is left behind.
TEST(TroubleSpoolFile, FailuresAreReportedAndLeaveNoFile) {
    struct Case {
        const char* what;
        const char* function;
        void* replacement;
        DWORD error;
        bool systemError;  // the application is told
    };
    const Case cases[] = {
        {"full disk", "WriteFile", reinterpret_cast<void*>(DiskFullWrite), ERROR_DISK_FULL, true},
        {"file refused", "CreateFileA", reinterpret_cast<void*>(RefusedCreate), ERROR_ACCESS_DENIED,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t filesBefore = TemporaryFileCount();
        JobRun run(Dll(), "QXUSB89");
        std::vector<u8> spool = MultiCopySpoolFile(2);
        ASSERT_TRUE(run.start());
        {
            ImportHook hook(ProgramDll().module, "kernel32.dll", c.function, c.replacement);
            ASSERT_TRUE(hook.installed());
            u32 written = 123;
            SetLastError(0xdeadbeef);
            EXPECT_FALSE(Dll()->WritePort(run.spooler.handle, spool.data(),
                                          static_cast<u32>(spool.size()), &written));
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(written, 0u);
        }
        ASSERT_TRUE(run.end());
        EXPECT_TRUE(run.received().empty() || run.received() == ResetSequenceBytes());
        std::vector<u32> codes = run.notifications();
        EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifySystemError), c.systemError ? 1 : 0);
        EXPECT_EQ(TemporaryFileCount(), filesBefore);
    }
}

}  // namespace
