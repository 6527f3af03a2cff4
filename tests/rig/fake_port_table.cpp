// The port monitor stand-in's table: each operation records its call, asks
// the rule table whether to fail, and acts on the port's emulated printer.
#include "rig/fake_port_monitor.h"

#include <algorithm>
#include <cstring>

#include "rig/wide_text.h"

namespace {

FakePort* AsPort(Handle handle) { return static_cast<FakePort*>(handle); }

// Common prologue: the fault decision for one call, made under the lock.
struct CallGate {
    bool fail = false;
    bool leave = false;
    DWORD error = 0;
    FaultEffect effect = FaultEffect::Error;
    CallGate(FakePortMonitor* monitor, PortOp op) {
        FaultRule rule = monitor->takeFault(op);
        effect = rule.effect;
        if (effect != FaultEffect::Error) return;
        fail = rule.fail;
        leave = !rule.fail && rule.lastError != 0;
        error = rule.lastError;
    }
    // Sets the last error the way the rule asks; returns the call's result.
    BOOL finish(BOOL result) const {
        if (fail) {
            SetLastError(error);
            return FALSE;
        }
        if (leave) SetLastError(error);
        return result;
    }
};

PortCall MakeCall(PortOp op) {
    PortCall call;
    call.op = op;
    call.threadId = GetCurrentThreadId();
    call.tick = GetTickCount();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    call.counter = counter.QuadPart;
    return call;
}

// The read time-out of a read of size bytes as the port's time-outs give it;
// a port never given any waits 200 ms.
DWORD ReadTimeout(const CommTimeouts& timeouts, u32 size) {
    DWORD total = timeouts.readTotalTimeoutConstant + timeouts.readTotalTimeoutMultiplier * size;
    return total != 0 ? total : 200;
}

// A blocking port monitor's ReadPort returns once data has come or its read
// time-out has passed.
void WaitForData(FakePortMonitor* monitor, FakePort& port, u32 size) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD wait = 0;
        {
            std::lock_guard lock(monitor->mutex());
            DWORD elapsed = GetTickCount() - start;
            DWORD timeout = ReadTimeout(port.timeouts, size);
            if (elapsed >= timeout) return;
            wait = std::min(timeout - elapsed, port.printer.msUntilReadable());
        }
        if (wait == 0) return;
        Sleep(wait);
    }
}

void RunHook(FakePortMonitor* monitor, PortOp op) {
    if (monitor->beforeCall) monitor->beforeCall(op);
}

// OpenPort of either face, with the name as the spooler gave it (UTF-8 from the wide face).
WinBool OpenNamedPort(FakePortMonitor* monitor, const std::string& name, Handle* handle) {
    RunHook(monitor, PortOp::OpenPort);
    std::lock_guard lock(monitor->mutex());
    CallGate gate(monitor, PortOp::OpenPort);
    FakePort& port = monitor->port(name);
    PortCall call = MakeCall(PortOp::OpenPort);
    call.text = name;
    if (!gate.fail) {
        *handle = &port;
        port.open = true;
    }
    call.returned = gate.finish(TRUE);
    DWORD error = GetLastError();
    monitor->record(port, call);
    SetLastError(error);
    return call.returned;
}

WinBool QXL_WINAPI FakeOpenPort(char* name, Handle* handle) {
    return OpenNamedPort(FakePortMonitor::current(), name, handle);
}

// A port monitor of the wide face knows its ports by its own monitor handle.
WinBool QXL_WINAPI FakeOpenPortW(Handle instance, WideChar* name, Handle* handle) {
    FakePortMonitor* monitor = FakePortMonitor::fromInstance(instance);
    if (monitor == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return OpenNamedPort(monitor, Utf8Text(name), handle);
}

WinBool StartNamedDoc(Handle handle, const std::string& printer, const std::string& docName,
                      u32 jobId, u32 level) {
    FakePortMonitor* monitor = AsPort(handle)->owner;
    RunHook(monitor, PortOp::StartDocPort);
    std::lock_guard lock(monitor->mutex());
    CallGate gate(monitor, PortOp::StartDocPort);
    PortCall call = MakeCall(PortOp::StartDocPort);
    call.text = printer;
    call.docName = docName;
    call.jobId = jobId;
    call.level = level;
    call.returned = gate.finish(TRUE);
    DWORD error = GetLastError();
    monitor->record(*AsPort(handle), call);
    SetLastError(error);
    return call.returned;
}

// The document name is the first field of the document information at levels 1 and 2.
WinBool QXL_WINAPI FakeStartDocPort(Handle handle, char* printer, u32 jobId, u32 level,
                                    u8* docInfo) {
    const char* docName = docInfo != nullptr ? *reinterpret_cast<char**>(docInfo) : nullptr;
    return StartNamedDoc(handle, printer != nullptr ? printer : "",
                         docName != nullptr ? docName : "", jobId, level);
}

WinBool QXL_WINAPI FakeStartDocPortW(Handle handle, WideChar* printer, u32 jobId, u32 level,
                                     u8* docInfo) {
    const WideChar* docName = docInfo != nullptr ? *reinterpret_cast<WideChar**>(docInfo) : nullptr;
    return StartNamedDoc(handle, Utf8Text(printer), Utf8Text(docName), jobId, level);
}

WinBool QXL_WINAPI FakeWritePort(Handle handle, u8* buffer, u32 size, u32* written) {
    FakePortMonitor* monitor = AsPort(handle)->owner;
    RunHook(monitor, PortOp::WritePort);
    std::lock_guard lock(monitor->mutex());
    FakePort& port = *AsPort(handle);
    CallGate gate(monitor, PortOp::WritePort);
    PortCall call = MakeCall(PortOp::WritePort);
    call.size = size;
    u32 taken = 0;
    if (!gate.fail) {
        taken = size;
        if (port.writeLimit >= 0 && taken > static_cast<u32>(port.writeLimit))
            taken = static_cast<u32>(port.writeLimit);
        if (port.refusedWrites > 0 && size >= port.refuseMinSize) {
            taken = 0;
            --port.refusedWrites;
        }
        if (gate.effect == FaultEffect::Half) taken = size / 2;
        if (gate.effect == FaultEffect::Nothing) taken = 0;
        if (port.printer.keepBytes) call.data.assign(buffer, buffer + taken);
        port.printer.receive(buffer, taken);
    }
    *written = taken;
    call.result = taken;
    call.returned = gate.finish(TRUE);
    DWORD error = GetLastError();
    monitor->record(port, call);
    SetLastError(error);
    return call.returned;
}

WinBool QXL_WINAPI FakeReadPort(Handle handle, u8* buffer, u32 size, u32* read) {
    FakePortMonitor* monitor = AsPort(handle)->owner;
    RunHook(monitor, PortOp::ReadPort);
    if (monitor->emptyReads == EmptyReads::Blocking) WaitForData(monitor, *AsPort(handle), size);
    BOOL result;
    DWORD error = 0;
    {
        std::lock_guard lock(monitor->mutex());
        FakePort& port = *AsPort(handle);
        CallGate gate(monitor, PortOp::ReadPort);
        PortCall call = MakeCall(PortOp::ReadPort);
        call.size = size;
        *read = 0;
        if (gate.fail) {
            result = gate.finish(FALSE);
        } else if (gate.effect == FaultEffect::Garbage) {
            for (u32 i = 0; i < size; ++i) buffer[i] = static_cast<u8>(0x30 + i % 64);
            *read = size;
            result = TRUE;
        } else {
            u32 asked = gate.effect == FaultEffect::Half ? (size + 1) / 2 : size;
            result = port.printer.read(buffer, asked, read, &error);
            if (result) {
                call.data.assign(buffer, buffer + *read);
                result = gate.finish(TRUE);
            } else {
                SetLastError(error);
            }
        }
        call.result = *read;
        call.returned = result;
        error = GetLastError();
        monitor->record(port, call);
    }
    if (!result && error == ERROR_COUNTER_TIMEOUT && monitor->emptyReads == EmptyReads::Brief)
        Sleep(2);
    SetLastError(error);
    return result;
}

WinBool QXL_WINAPI FakeEndDocPort(Handle handle) {
    FakePortMonitor* monitor = AsPort(handle)->owner;
    RunHook(monitor, PortOp::EndDocPort);
    std::lock_guard lock(monitor->mutex());
    CallGate gate(monitor, PortOp::EndDocPort);
    PortCall call = MakeCall(PortOp::EndDocPort);
    call.returned = gate.finish(TRUE);
    DWORD error = GetLastError();
    monitor->record(*AsPort(handle), call);
    SetLastError(error);
    return call.returned;
}

WinBool QXL_WINAPI FakeClosePort(Handle handle) {
    FakePortMonitor* monitor = AsPort(handle)->owner;
    RunHook(monitor, PortOp::ClosePort);
    std::lock_guard lock(monitor->mutex());
    CallGate gate(monitor, PortOp::ClosePort);
    PortCall call = MakeCall(PortOp::ClosePort);
    call.returned = gate.finish(TRUE);
    DWORD error = GetLastError();
    AsPort(handle)->open = false;
    monitor->record(*AsPort(handle), call);
    SetLastError(error);
    return call.returned;
}

WinBool NamedPrinterData(Handle handle, u32 controlId, const std::string& valueName, char* in,
                         u32 inSize, char* out, u32 outSize, u32* returned) {
    FakePortMonitor* monitor = AsPort(handle)->owner;
    RunHook(monitor, PortOp::GetPrinterDataFromPort);
    std::lock_guard lock(monitor->mutex());
    FakePort& port = *AsPort(handle);
    CallGate gate(monitor, PortOp::GetPrinterDataFromPort);
    PortCall call = MakeCall(PortOp::GetPrinterDataFromPort);
    call.controlId = controlId;
    call.text = valueName;
    call.size = outSize;
    if (in != nullptr && inSize != 0) call.data.assign(in, in + inSize);
    BOOL result = FALSE;
    if (gate.fail) {
        result = gate.finish(FALSE);
    } else {
        ControlAnswer answer = port.printer.control(controlId, in, inSize, out, outSize, returned);
        if (answer.ok) {
            result = gate.finish(TRUE);
        } else {
            SetLastError(answer.lastError);
        }
    }
    call.result = returned != nullptr ? *returned : 0;
    call.returned = result;
    DWORD error = GetLastError();
    monitor->record(port, call);
    SetLastError(error);
    return result;
}

WinBool QXL_WINAPI FakeGetPrinterDataFromPort(Handle handle, u32 controlId, char* valueName,
                                              char* in, u32 inSize, char* out, u32 outSize,
                                              u32* returned) {
    return NamedPrinterData(handle, controlId, valueName != nullptr ? valueName : "", in, inSize,
                            out, outSize, returned);
}

WinBool QXL_WINAPI FakeGetPrinterDataFromPortW(Handle handle, u32 controlId, WideChar* valueName,
                                               WideChar* in, u32 inSize, WideChar* out, u32 outSize,
                                               u32* returned) {
    return NamedPrinterData(handle, controlId, Utf8Text(valueName), reinterpret_cast<char*>(in),
                            inSize, reinterpret_cast<char*>(out), outSize, returned);
}

WinBool QXL_WINAPI FakeSetPortTimeOuts(Handle handle, CommTimeouts* timeouts, u32) {
    FakePortMonitor* monitor = AsPort(handle)->owner;
    RunHook(monitor, PortOp::SetPortTimeOuts);
    std::lock_guard lock(monitor->mutex());
    CallGate gate(monitor, PortOp::SetPortTimeOuts);
    PortCall call = MakeCall(PortOp::SetPortTimeOuts);
    if (timeouts != nullptr) call.timeouts = *timeouts;
    call.returned = gate.finish(TRUE);
    if (call.returned && timeouts != nullptr) AsPort(handle)->timeouts = *timeouts;
    DWORD error = GetLastError();
    monitor->record(*AsPort(handle), call);
    SetLastError(error);
    return call.returned;
}
}  // namespace

MonitorTable FakePortMonitorTable(bool withSetTimeouts) {
    MonitorTable table{};
    table.OpenPort = FakeOpenPort;
    table.StartDocPort = FakeStartDocPort;
    table.WritePort = FakeWritePort;
    table.ReadPort = FakeReadPort;
    table.EndDocPort = FakeEndDocPort;
    table.ClosePort = FakeClosePort;
    table.GetPrinterDataFromPort = FakeGetPrinterDataFromPort;
    if (withSetTimeouts) table.SetPortTimeOuts = FakeSetPortTimeOuts;
    return table;
}

Monitor2Table FakePortMonitorTable2(const MonitorTable& like) {
    Monitor2Table table{};
    table.cbSize = sizeof table;
    if (like.OpenPort) table.OpenPort = FakeOpenPortW;
    if (like.StartDocPort) table.StartDocPort = FakeStartDocPortW;
    if (like.WritePort) table.WritePort = FakeWritePort;
    if (like.ReadPort) table.ReadPort = FakeReadPort;
    if (like.EndDocPort) table.EndDocPort = FakeEndDocPort;
    if (like.ClosePort) table.ClosePort = FakeClosePort;
    if (like.GetPrinterDataFromPort) table.GetPrinterDataFromPort = FakeGetPrinterDataFromPortW;
    if (like.SetPortTimeOuts) table.SetPortTimeOuts = FakeSetPortTimeOuts;
    return table;
}
