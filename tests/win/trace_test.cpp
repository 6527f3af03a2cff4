// The diagnostic trace through the linked monitor: a job's story in order, to
// a file or to the debug output; nothing at all while it is off; and the same
// bytes at the port whatever becomes of the trace.
#include <gtest/gtest.h>

#include <functional>

#include "core/port_monitor.h"
#include "core/trace.h"
#include "rig/driver_registry.h"
#include "rig/import_hook.h"
#include "rig/job_case.h"
#include "rig/spool_file_builder.h"
#include "rig/trace_capture.h"
#include "rig/linked_monitor.h"

namespace {

constexpr u8 COVER_OPEN = 0x10;  // errorInfo2 bit 4: state (2, 20)

enum class Sink { DebugOutput, File, MissingDirectory };

struct TraceCase {
    std::string name;
    std::string port;  // a second port, opened and closed after the job, is port + "9"
    DWORD trace = 1;   // the driver's "Trace"
    Sink sink = Sink::File;
    std::function<void(JobRun&)> arrange = nullptr;
    std::vector<int> print = {};          // pages of a three-page job and RESETs
    std::vector<std::string> story = {};  // in order; empty: nothing is written at all
    std::vector<std::pair<const char*, DWORD>> settings = {};  // more of the driver's values
};

void CoverOpenOnPage2(JobRun& run) {
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = COVER_OPEN;
}

// Ports opened later trace as the last job start said: each test leaves it off.
struct ProcessTraceOff {
    ~ProcessTraceOff() {
        PortSession scratch{};
        StartTrace(scratch, TraceSettings{});
    }
};

// The driver's key for the printer "QX Trace <case>", with the trace values.
struct TraceRegistry {
    DriverRegistry registry;
    std::string file;

    TraceRegistry(const std::string& name, DWORD trace, Sink sink)
        : registry("QX Trace " + name, "QX Trace Driver " + name) {
        EXPECT_TRUE(registry.setDriver());
        EXPECT_TRUE(registry.setDword("Trace", trace));
        if (sink == Sink::File) file = TempTracePath(("qxtrace-" + name + ".log").c_str());
        if (sink == Sink::MissingDirectory) file = TempTracePath("qx-no-such-dir\\trace.log");
        if (!file.empty()) {
            EXPECT_TRUE(registry.setText("TraceFile", file));
        }
    }
    ~TraceRegistry() {
        if (!file.empty()) DeleteFileA(file.c_str());
    }
};

// Every line is bounded, ends its own line and says who wrote it, when, on
// which thread and port; a status line shows no more than 12 packet bytes.
void ExpectWellFormed(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        EXPECT_LE(line.size(), 256u);
        EXPECT_EQ(line.rfind("qxlmon 20", 0), 0u);
        EXPECT_NE(line.find("] "), std::string::npos);
        EXPECT_TRUE(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
        size_t bytes = line.find(", bytes ");
        if (line.find(" status: ") != std::string::npos && bytes != std::string::npos) {
            EXPECT_EQ(line.size() - (bytes + 7) - 2, 12u * 3);
        }
    }
}

class Trace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(Trace, JobTellsItsStory) {
    const TraceCase& c = GetParam();
    ProcessTraceOff processOff;
    TraceRegistry registry(c.name, c.trace, c.sink);
    for (const auto& [name, value] : c.settings)
        ASSERT_TRUE(registry.registry.setDword(name, value));
    DebugOutputCapture debugOutput(GetModuleHandleA(nullptr));
    ASSERT_TRUE(debugOutput.hook.installed());
    BuiltJob job = BuildSimpleJob(3);
    std::vector<u8> received;
    {
        JobRun run(LinkedTable(), c.port, "normal", "on 0x20014 reply 1");
        ASSERT_TRUE(run.opened);
        if (c.arrange) c.arrange(run);
        RunBounded(c.name, 120000, [&] {
            ASSERT_TRUE(run.spooler.startDoc(registry.registry.printer.c_str(), 7, "Doc1"));
            run.write(job.stream, 4096);
            EXPECT_TRUE(run.end());
        });
        received = run.received();
        SpoolerPort second;
        second.table = LinkedTable();
        ASSERT_TRUE(second.open((c.port + "9").c_str(), run.lower.table()));
        second.close();
    }
    EXPECT_EQ(WithoutStatusRequests(received), ExpectedPrint(job, c.print));

    std::vector<std::string> fileLines = ReadTraceLines(registry.file);
    std::vector<std::string> debugLines = debugOutput.texts();
    if (c.story.empty()) {
        EXPECT_EQ(GetFileAttributesA(registry.file.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(debugLines.empty());
        return;
    }
    const std::vector<std::string>& lines = c.sink == Sink::File ? fileLines : debugLines;
    EXPECT_EQ(MissingStep(lines, c.story), "");
    ExpectWellFormed(lines);
    if (c.sink == Sink::File) {
        EXPECT_TRUE(debugLines.empty());
    }
}

const std::vector<std::string> RECOVERY_STORY = {
    "QXUSB231 job 7 start: printer \"QX Trace FileTellsARecovery\", usb port, status timeout "
    "5000 ms, print timeout 60000 ms, LanSleep 0 ms",
    "segment: page end,",
    "status: reply, phase 0/0, errors 00 00, media width 62 type 0x0a extra 0x00, bytes 80 20 42",
    "segment: page end, ",
    "errors 00 10",
    "state: (1,0) ready -> (2,20) cover open",
    "notify: state (2,20) cover open",
    "reply: continue",
    "reset sequence sent",
    "resend: from the segment list",
    "page 2, resent",
    "segment: last page",
    "last page printed",
    "notify: job end",
    "QXUSB231 job 7 end: printed",
    "QXUSB2319 open: usb port",
    "QXUSB2319 close",
    "QXUSB231 close",
};

const TraceCase kCases[] = {
    {.name = "FileTellsARecovery",
     .port = "QXUSB231",
     .arrange = CoverOpenOnPage2,
     .print = {0, RESET, 1, 2},
     .story = RECOVERY_STORY},
    {.name = "DebugOutputTellsARecovery",
     .port = "QXUSB232",
     .sink = Sink::DebugOutput,
     .arrange = CoverOpenOnPage2,
     .print = {0, RESET, 1, 2},
     .story = {"job 7 start", "notify: state (2,20) cover open", "reply: continue",
               "reset sequence sent", "job 7 end: printed", "QXUSB2329 open"}},
    {.name = "OffWritesNothing",
     .port = "QXUSB233",
     .trace = 0,
     .arrange = CoverOpenOnPage2,
     .print = {0, RESET, 1, 2}},
    // The lines go to the debug output instead; the printer sees the same job.
    {.name = "UnwritableFileChangesNothing",
     .port = "QXUSB235",
     .sink = Sink::MissingDirectory,
     .arrange = CoverOpenOnPage2,
     .print = {0, RESET, 1, 2},
     .story = {"qx-no-such-dir\\trace.log\" cannot be opened: error 3", "job 7 start",
               "reset sequence sent", "job 7 end: printed"}},
    // Seconds far beyond any wait wrap to nothing in 32 bits of milliseconds:
    // the timeouts and the network pause are held at their bounds instead.
    {.name = "SettingsBeyondTheirBoundsAreBounded",
     .port = "QXUSB238",
     .print = {0, 1, 2},
     .story = {"status timeout 600000 ms, print timeout 3600000 ms, LanSleep 1000 ms"},
     .settings = {{"Status Timeout", 4294968},
                  {"Print Timeout", 0xFFFFFFFF},
                  {"LanSleep", 0xFFFFFFFF}}},
    // The port's own error survives its trace line: the job ends as gone.
    {.name = "PortErrorKeepsItsMeaning",
     .port = "QXUSB236",
     .arrange =
         [](JobRun& run) {
             run.lower.inject(PortOp::WritePort, {true, PORTERR_GONE, 1});
         },
     .print = {},
     .story = {"port monitor's WritePort failed: error 0x20000002 (port gone)",
               "-> (4,0) printer gone", "notify: job end",
               "job stopped: the page is not sent again, state (4,0) printer gone",
               "job 7 end: stopped, state (4,0) printer gone"}},
};

INSTANTIATE_TEST_SUITE_P(Jobs, Trace, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

// The refusal is traced as the printer's driver asks, and the spooler still
// sees the port monitor's error.
TEST(TraceJobStart, RefusalIsTracedAndKeepsThePortMonitorsError) {
    for (PortOp failing : {PortOp::StartDocPort, PortOp::SetPortTimeOuts}) {
        SCOPED_TRACE(PortOpName(failing));
        ProcessTraceOff processOff;
        TraceRegistry registry("Refusal", 1, Sink::File);
        OpenedPort port("QXUSB237");
        ASSERT_TRUE(port.opened);
        port.lower.inject(failing, {true, ERROR_DEV_NOT_EXIST, 1});
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(port.spooler.startDoc(registry.registry.printer.c_str(), 1, "Doc1"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEV_NOT_EXIST));
        std::string refusal =
            std::string("job start refused: ") + PortOpName(failing) + " failed, error 55";
        EXPECT_EQ(MissingStep(ReadTraceLines(registry.file), {refusal}), "");
    }
}

// A trace file slow to take a line (a share far away) holds no other port:
// the connect thread writes its reply line after it has left monitorLock.
using WriteFileFn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
WriteFileFn g_realWriteFile = nullptr;
volatile LONG g_slowWriteBusy = 0;

BOOL WINAPI SlowReplyLineWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                               LPOVERLAPPED overlapped) {
    bool reply =
        std::string(static_cast<const char*>(data), size).find(" reply: ") != std::string::npos;
    if (reply) InterlockedExchange(&g_slowWriteBusy, 1);
    if (reply) Sleep(2500);
    BOOL ok = g_realWriteFile(file, data, size, written, overlapped);
    if (reply) InterlockedExchange(&g_slowWriteBusy, 0);
    return ok;
}

TEST(TraceLock, SlowTraceFileHoldsNoOtherPort) {
    ProcessTraceOff processOff;
    TraceRegistry registry("SlowFile", 1, Sink::File);
    ImportHook hook(GetModuleHandleA(nullptr), "kernel32.dll", "WriteFile",
                    reinterpret_cast<void*>(SlowReplyLineWrite));
    ASSERT_TRUE(hook.installed());
    g_realWriteFile = reinterpret_cast<WriteFileFn>(hook.original);
    JobRun run(LinkedTable(), "QXUSB234", "normal", "on 0x20014 reply 1");
    CoverOpenOnPage2(run);
    BuiltJob job = BuildSimpleJob(3);
    bool openedWhileWriting = false;
    RunBounded("job with a slow trace file", 60000, [&] {
        Background other([&] {
            for (int i = 0; i < 3000 && InterlockedCompareExchange(&g_slowWriteBusy, 0, 0) == 0;
                 ++i)
                Sleep(10);
            FakePortMonitor lower;
            SpoolerPort port;
            port.table = LinkedTable();
            bool opened = port.open("QXUSB2349", lower.table()) && port.close();
            openedWhileWriting = opened && InterlockedCompareExchange(&g_slowWriteBusy, 0, 0) != 0;
        });
        run.spooler.startDoc(registry.registry.printer.c_str(), 7, "Doc1");
        run.write(job.stream, 4096);
        run.end();
    });
    EXPECT_TRUE(openedWhileWriting);
    EXPECT_EQ(MissingStep(ReadTraceLines(registry.file),
                          {"notify: state (2,20) cover open", "reply: continue"}),
              "");
}

// The trace's own system calls, failing or not, leave the thread's last error
// as the code around them set it.
TEST(TraceCalls, LeaveTheLastErrorAsTheyFoundIt) {
    ProcessTraceOff processOff;
    DebugOutputCapture debugOutput(GetModuleHandleA(nullptr));
    PortSession session{};
    TraceSettings settings;
    settings.on = 1;
    std::string missing = TempTracePath("qx-no-such-dir\\trace.log");
    missing.copy(settings.file, sizeof settings.file - 1);
    struct Step {
        const char* what;
        DWORD marker;
        std::function<void()> call;
    };
    const Step steps[] = {
        {"a trace file that cannot be opened", 0xdeadbeef, [&] { StartTrace(session, settings); }},
        {"an error without a text", 0x2000ABCD,
         [&] { TraceIfFailed(session, "WritePort", FALSE); }},
        {"a line", ERROR_DEV_NOT_EXIST, [&] { TraceSegment(session, SEG_PAGE_END, 10, false); }},
        {"the last line", 0xdeadbeef, [&] { TracePortClosed(session); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        SetLastError(step.marker);
        step.call();
        EXPECT_EQ(GetLastError(), step.marker);
    }
    EXPECT_EQ(
        MissingStep(debugOutput.texts(), {"cannot be opened", "WritePort failed: error 0x2000abcd",
                                          "segment: page end, 10 bytes", "- close"}),
        "");
}

// A port monitor that fails the same way on every poll is said once, and how
// often it did so comes with the next other line.
TEST(TraceCalls, RepeatedFailureIsCountedNotWritten) {
    ProcessTraceOff processOff;
    DebugOutputCapture debugOutput(GetModuleHandleA(nullptr));
    PortSession session{};
    TraceSettings settings;
    settings.on = 1;
    StartTrace(session, settings);
    for (DWORD error : {31u, 31u, 31u, 55u, 31u}) {
        SetLastError(error);
        TraceIfFailed(session, "GetPrinterDataFromPort", FALSE);
    }
    TraceIfFailed(session, "ReadPort", FALSE);  // 31 again, but another call
    TraceReset(session);
    std::vector<std::string> expected = {"GetPrinterDataFromPort failed: error 31",
                                         "GetPrinterDataFromPort failed 2 more times, error 31",
                                         "GetPrinterDataFromPort failed: error 55",
                                         "GetPrinterDataFromPort failed: error 31",
                                         "ReadPort failed: error 31",
                                         "reset sequence sent"};
    std::vector<std::string> lines = debugOutput.texts();
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(MissingStep(lines, expected), "");
    TracePortClosed(session);
}

// A multi-copy job: its diversion to the spool file, the rebuild with its
// shape, and a failed call below with its error.
TEST(TraceJobEnd, MultiCopyJobShowsItsRebuild) {
    ProcessTraceOff processOff;
    TraceRegistry registry("MultiCopy", 1, Sink::File);
    SpoolRecordFields first, second;
    first.copies = 2;
    first.collate = 1;
    first.data = {0x1B, 0x69, 0x61, 0x01, 0x47, 0x02, 0x00, 0x81, 0x82, 0x0C};
    second.data = first.data;
    std::vector<u8> spool = SpoolFileBytes({first, second});
    {
        JobRun run(LinkedTable(), "QXUSB238");
        run.printer().mediaWidth = 18;  // the tape the spooled job asks for
        run.lower.inject(PortOp::EndDocPort, {true, ERROR_GEN_FAILURE, 1});
        ASSERT_TRUE(run.spooler.startDoc(registry.registry.printer.c_str(), 3, "Doc1"));
        ASSERT_TRUE(run.write(spool, 4096));
        ASSERT_TRUE(run.end());
    }
    std::vector<std::string> lines = ReadTraceLines(registry.file);
    EXPECT_EQ(
        MissingStep(lines, {"multi-copy job: stored in ",
                            "rebuild done: 2 records, 1 pieces per record, 2 copies, collated, "
                            "forward order, " +
                                std::to_string(spool.size()) + " bytes spooled",
                            "segment: last page", "port monitor's EndDocPort failed: error 31",
                            "job 3 end: printed"}),
        "");
    ExpectWellFormed(lines);
}

}  // namespace
