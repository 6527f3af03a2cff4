// A whole job as the spooler runs it: a port opened through a monitor table,
// the QXSMON.EXE stand-in's environment, the emulated printer, and helpers to
// read what reached the port.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "rig/bytes.h"
#include "rig/fake_port_monitor.h"
#include "rig/job_builder.h"
#include "rig/spooler.h"
#include "rig/statmon_log.h"

// 48 zero bytes and ESC @.
std::vector<u8> ResetSequenceBytes();
// The received bytes without the status requests (ESC i S) among them.
std::vector<u8> WithoutStatusRequests(const std::vector<u8>& bytes);
bool EndsWith(const std::vector<u8>& bytes, const std::vector<u8>& tail);

PrinterPort PrinterPortFor(const std::string& portName);

// A multi-copy spool file of one record: a one-page job, copies times.
std::vector<u8> MultiCopySpoolFile(int copies);

struct JobRun {
    StatmonEnvironment statmon;
    FakePortMonitor lower;
    SpoolerPort spooler;
    std::string name;
    bool opened = false;

    // Opens the port through face (the linked monitor or the real DLL, by
    // either entry point), over the stand-in's table as editLower leaves it
    // (for example with empty slots; through the MONITOR2 face the same slots
    // are empty). A network port name must be among the network monitor
    // stand-in's ports.
    JobRun(const MonitorFace& face, const std::string& portName, const std::string& mode = "normal",
           const std::string& script = "",
           const std::function<void(MonitorTable&)>& editLower = nullptr);
    ~JobRun();

    EmulatedPrinter& printer() { return lower.port(name).printer; }
    std::vector<u8> received() { return lower.received(name); }
    std::vector<u32> notifications() const { return NotifyCodes(statmon.records()); }

    BOOL start(const char* docName = "Doc1") { return spooler.startDoc("Label", 7, docName); }
    BOOL write(const std::vector<u8>& data, u32 chunk) { return spooler.writeAll(data, chunk); }
    BOOL end() { return spooler.endDoc(); }
};
