// The port monitor stand-in: a 13-slot table and a MONITOR2 face over emulated
// ports that record every call and inject faults, with an emulated printer
// behind each port.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/monitor2_table.h"
#include "rig/emulated_printer.h"

enum class PortOp {
    OpenPort,
    StartDocPort,
    WritePort,
    ReadPort,
    EndDocPort,
    ClosePort,
    GetPrinterDataFromPort,
    SetPortTimeOuts,
};
const char* PortOpName(PortOp op);

struct PortCall {
    PortOp op;
    std::string text;            // port name, printer name, value name (UTF-8 from the wide face)
    std::string docName;         // StartDocPort: the document information's first field
    u32 controlId = 0;           // GetPrinterDataFromPort
    u32 jobId = 0, level = 0;    // StartDocPort
    u32 size = 0;                // bytes offered, asked for, or output size
    u32 result = 0;              // bytes written/read, or returned size
    std::vector<u8> data;        // bytes written, or input buffer
    CommTimeouts timeouts = {};  // SetPortTimeOuts
    DWORD threadId = 0;
    DWORD tick = 0;
    LONGLONG counter = 0;  // QueryPerformanceCounter at the call, for timings
    BOOL returned = FALSE;
};

// What ReadPort does when no byte waits: Brief reports it after a 2 ms pause;
// Blocking waits for data up to the read time-out the port was given (as a
// serial port does), AtOnce reports it at once (as some port monitors do).
enum class EmptyReads { Brief, Blocking, AtOnce };

// What a rule does to the call it applies to, besides a failure.
enum class FaultEffect {
    Error,    // FALSE with lastError, or (fail false) TRUE with lastError left behind
    Half,     // WritePort takes half of what is offered; ReadPort brings half of what waits
    Nothing,  // WritePort takes nothing and says so with TRUE
    Garbage,  // ReadPort brings as many bytes as asked for, none of them a packet
};

// A failure, or a last error left behind after a call that succeeds.
struct FaultRule {
    bool fail = true;  // FALSE is returned with lastError; else TRUE with lastError left
    DWORD lastError = ERROR_GEN_FAILURE;
    int times = 1;      // how many calls it applies to; -1 for all
    int passFirst = 0;  // calls of the operation that go through before it applies
    FaultEffect effect = FaultEffect::Error;
};

class FakePortMonitor;

// The stand-in's 13-slot table (SetPortTimeOuts only when asked for), and its
// MONITOR2 face with the same slots filled.
MonitorTable FakePortMonitorTable(bool withSetTimeouts);
Monitor2Table FakePortMonitorTable2(const MonitorTable& like);

struct FakePort {
    FakePortMonitor* owner = nullptr;
    std::string name;
    EmulatedPrinter printer;
    std::vector<PortCall> calls;
    std::map<PortOp, size_t> callCounts;
    // Largest count a WritePort takes (-1: all). 0 takes nothing.
    long writeLimit = -1;
    // The next refusedWrites writes of at least refuseMinSize bytes take nothing.
    int refusedWrites = 0;
    u32 refuseMinSize = 4;
    CommTimeouts timeouts = {};  // as SetPortTimeOuts set them last
    bool open = false;
};

class FakePortMonitor {
public:
    // Ports opened through the table belong to the newest live stand-in.
    explicit FakePortMonitor(bool withSetTimeouts = true);
    ~FakePortMonitor();
    FakePortMonitor(const FakePortMonitor&) = delete;
    FakePortMonitor& operator=(const FakePortMonitor&) = delete;

    MonitorTable* table() { return &table_; }
    // The MONITOR2 face, with the slots empty that like (table() as a test
    // edited it) has empty, and the monitor handle its OpenPort expects.
    Monitor2Table table2(const MonitorTable& like) const { return FakePortMonitorTable2(like); }
    Handle instance() { return this; }

    // The port of that name (made on first use); OpenPort hands it out.
    FakePort& port(const std::string& name);

    void inject(PortOp op, FaultRule rule);
    void setWriteLimit(const std::string& portName, long limit);
    // false: the printers keep no bytes (they count them) and calls are counted,
    // not recorded, so that a job of any size runs in fixed memory.
    void keepBytes(bool keep);

    EmptyReads emptyReads = EmptyReads::Brief;

    // Runs at the start of every call of the table, on the caller's thread and
    // outside the stand-in's lock (it may sleep, or hold a port busy).
    std::function<void(PortOp op)> beforeCall;

    // Thread-safe snapshots. A port keeps its first RECORD_LIMIT calls of each
    // kind; count() counts every call.
    static constexpr size_t RECORD_LIMIT = 20000;
    std::vector<PortCall> calls(const std::string& portName);
    std::vector<PortCall> calls(const std::string& portName, PortOp op);
    size_t count(const std::string& portName, PortOp op);
    std::vector<u8> received(const std::string& portName);
    void clearCalls(const std::string& portName);

    // Runs f under the stand-in's lock (for direct access to a port or printer).
    void withLock(const std::function<void()>& f);

    // Internal: used by the table's static functions.
    static FakePortMonitor* current();
    // The live stand-in whose instance() this is, or null.
    static FakePortMonitor* fromInstance(Handle instance);
    std::recursive_mutex& mutex() { return mutex_; }
    // The rule that applies to this call of op, consumed; Error with fail
    // false and lastError 0 when none does.
    FaultRule takeFault(PortOp op);
    void record(FakePort& port, PortCall call);

private:
    MonitorTable table_{};
    std::recursive_mutex mutex_;
    std::map<std::string, std::unique_ptr<FakePort>> ports_;
    std::multimap<PortOp, FaultRule> faults_;
    bool keepBytes_ = true;
};
