// Whole jobs through the real DLL, loaded as the spooler loads it. Each flow
// runs through InitializeMonitorEx and again through InitializePrintMonitor2:
// the bytes at the port, the port monitor's calls and the application's
// notifications are the same through either.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "core/port_monitor.h"
#include "rig/bytes.h"
#include "rig/driver_registry.h"
#include "rig/job_run.h"
#include "rig/network_monitor.h"
#include "rig/trace_capture.h"
#include "core/statmon_interface.h"

namespace {

struct DllFlow {
    std::string name;
    std::string port;
    std::vector<u8> stream;
    std::vector<u8> expected;              // at the port, status requests left out
    std::string script;                    // the application stand-in's
    std::function<void(JobRun&)> arrange;  // the printer, once the port is open
    size_t waits = 0;          // the application hears the job wait this often, when set
    bool passThrough = false;  // the spooler reads the port and asks for its status mid-job
};

void PrintTo(const DllFlow& flow, std::ostream* out) { *out << flow.name; }

// What a run left at the port monitor and the application. The port
// monitor's reads and control requests repeat as often as the printer's
// timing makes them: they count once each, apart from the calls in order.
struct FlowRecord {
    std::vector<u8> bytes;
    std::vector<std::string> calls;
    std::set<std::string> asked;
    std::vector<u32> notifications;
    std::vector<BOOL> passThrough;
};

// Every argument a call of any kind records (what a read brought is the printer's).
std::string Describe(const PortCall& c) {
    size_t given = c.op == PortOp::ReadPort ? 0 : c.data.size();
    return std::string(PortOpName(c.op)) + " '" + c.text + "' '" + c.docName + "' job " +
           std::to_string(c.jobId) + "/" + std::to_string(c.level) + " control " +
           std::to_string(c.controlId) + " size " + std::to_string(c.size) + " given " +
           std::to_string(given) + " timeouts " +
           std::to_string(c.timeouts.readTotalTimeoutConstant) + "/" +
           std::to_string(c.timeouts.writeTotalTimeoutConstant);
}

FlowRecord RunFlow(Entry entry, const DllFlow& flow) {
    SCOPED_TRACE(EntryName(entry));
    FlowRecord record;
    JobRun run(ProgramDll().face(entry), flow.port, "normal", flow.script);
    EXPECT_TRUE(run.opened);
    if (!run.opened) return record;
    if (flow.arrange) flow.arrange(run);
    EXPECT_TRUE(run.start());
    if (flow.passThrough) {
        u8 buffer[32];
        u32 count = 0;
        u32 status = 0;
        record.passThrough = {
            run.spooler.read(buffer, sizeof buffer, &count),
            run.spooler.getData(CONTROL_USB_STATUS, "Status", &status, sizeof status, &count),
            run.spooler.getData(0, "Status", &status, sizeof status, &count)};
    }
    EXPECT_TRUE(run.write(flow.stream, 1000));
    EXPECT_TRUE(run.end());
    EXPECT_TRUE(run.spooler.close());
    run.opened = false;
    record.bytes = WithoutStatusRequests(run.received());
    record.notifications = run.notifications();
    for (const PortCall& call : run.lower.calls(run.name)) {
        bool repeats = call.op == PortOp::ReadPort || call.op == PortOp::GetPrinterDataFromPort;
        if (repeats)
            record.asked.insert(Describe(call));
        else
            record.calls.push_back(Describe(call));
    }
    return record;
}

void CoverOpenOnPage2(JobRun& run) {
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = 0x10;  // the cover open
}

const BuiltJob kJob = BuildSimpleJob(3);

const DllFlow kFlows[] = {
    {.name = "UsbPort",
     .port = "QXUSB81",
     .stream = kJob.stream,
     .expected = kJob.portBytes,
     .waits = 3},
    {.name = "NetworkPort",
     .port = "NX81",
     .stream = kJob.stream,
     .expected = kJob.portBytes,
     .waits = 3},
    {.name = "SerialPort",
     .port = "QXCOM8",
     .stream = kJob.stream,
     .expected = kJob.portBytes,
     .waits = 3},
    {.name = "ParallelPort",
     .port = "LPT8",
     .stream = kJob.stream,
     .expected = kJob.portBytes,
     .waits = 3},
    {.name = "OtherPort",
     .port = "FILE81",
     .stream = kJob.stream,
     .expected = kJob.portBytes,
     .waits = 3},
    // The printer reports its cover open before page 2; the user answers continue.
    {.name = "CoverOpenIsAnsweredAndThePageSentAgain",
     .port = "QXUSB82",
     .stream = kJob.stream,
     .expected = kJob.pages[0] + ResetSequenceBytes() + kJob.pages[1] + kJob.pages[2],
     .script = "on 0x20014 reply 1",
     .arrange = CoverOpenOnPage2},
    {.name = "MultiCopyJobIsRebuiltAtTheEnd",
     .port = "QXUSB85",
     .stream = MultiCopySpoolFile(2),
     .arrange =
         [](JobRun& run) { run.printer().mediaWidth = 18; }},  // the tape the spool file asks for
    {.name = "PassThroughRequestsReachThePort",
     .port = "QXUSB86",
     .stream = kJob.stream,
     .expected = kJob.portBytes,
     .passThrough = true},
};

class BothEntries : public ::testing::TestWithParam<DllFlow> {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterNetworkPortMonitor());
        SetNetworkPorts("NX81");
    }
};

TEST_P(BothEntries, JobIsTheSameThroughEither) {
    const DllFlow& flow = GetParam();
    FlowRecord ex = RunFlow(Entry::MonitorEx, flow);
    FlowRecord wide = RunFlow(Entry::PrintMonitor2, flow);

    if (!flow.expected.empty()) {
        EXPECT_EQ(ex.bytes, flow.expected);
    }
    EXPECT_FALSE(ex.bytes.empty());
    const std::vector<u32>& codes = ex.notifications;
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[0], NotifyConnect);
    EXPECT_EQ(codes[1], NotifyJobStart);
    EXPECT_EQ(Count(codes, NotifyJobEnd), 1u);
    EXPECT_EQ(Count(codes, 0x20014u), flow.script.empty() ? 0u : 1u);
    if (flow.waits != 0) {
        EXPECT_EQ(Count(codes, NotifyWaiting), flow.waits);
    }
    EXPECT_EQ(std::count_if(ex.calls.begin(), ex.calls.end(),
                            [](const std::string& call) { return call.starts_with("EndDocPort"); }),
              1);
    if (flow.passThrough) {
        // Nothing waits to be read; the status is answered; a request by value name never is.
        EXPECT_EQ(ex.passThrough, (std::vector<BOOL>{FALSE, TRUE, FALSE}));
    }

    EXPECT_EQ(wide.bytes, ex.bytes);
    EXPECT_EQ(wide.calls, ex.calls);
    EXPECT_EQ(wide.asked, ex.asked);
    EXPECT_EQ(wide.notifications, ex.notifications);
    EXPECT_EQ(wide.passThrough, ex.passThrough);
}

std::string FlowName(const ::testing::TestParamInfo<DllFlow>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Flows, BothEntries, ::testing::ValuesIn(kFlows), FlowName);

// The real DLL reads the driver's trace values, by the printer's name, and
// writes its lines.
class DllTrace : public ::testing::TestWithParam<Entry> {};

TEST_P(DllTrace, JobIsTracedToTheDriversFile) {
    // Names of each entry's own: the two may run in test programs side by side.
    std::string entry = EntryName(GetParam());
    std::string port = GetParam() == Entry::MonitorEx ? "QXUSB83" : "QXUSB83W";
    DriverRegistry registry("QX Dll Trace Printer " + entry, "QX Dll Trace Driver " + entry);
    ASSERT_TRUE(registry.setDriver());
    ASSERT_TRUE(registry.setDword("Trace", 1));
    std::string file = TempTracePath(("qxtrace-dll-" + entry + ".log").c_str());
    ASSERT_TRUE(registry.setText("TraceFile", file));
    BuiltJob job = BuildSimpleJob(1);
    MonitorFace face = ProgramDll().face(GetParam());
    {
        JobRun run(face, port);
        ASSERT_TRUE(run.spooler.startDoc(registry.printer.c_str(), 5, "Doc1"));
        ASSERT_TRUE(run.write(job.stream, 4096));
        ASSERT_TRUE(run.end());
        EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
    }
    EXPECT_EQ(MissingStep(ReadTraceLines(file), {port + " job 5 start", "segment: last page",
                                                 "job 5 end: printed", port + " close"}),
              "");
    // Ports opened later trace as the last job start said: a job without the
    // trace switches it off again for the tests that follow.
    JobRun untraced(face, port + "4");
    EXPECT_TRUE(untraced.start());
    EXPECT_TRUE(untraced.end());
    DeleteFileA(file.c_str());
}

INSTANTIATE_TEST_SUITE_P(Entries, DllTrace,
                         ::testing::Values(Entry::MonitorEx, Entry::PrintMonitor2),
                         [](const ::testing::TestParamInfo<Entry>& info) {
                             return EntryName(info.param);
                         });

}  // namespace
