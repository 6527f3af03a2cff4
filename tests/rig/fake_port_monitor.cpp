// The port monitor stand-in's bookkeeping: its ports, rules and call records.
#include "rig/fake_port_monitor.h"

#include <algorithm>
#include <vector>

namespace {

// Live stand-ins, newest last; OpenPort (which has no handle yet) uses the newest.
std::vector<FakePortMonitor*> g_live;

}  // namespace

const char* PortOpName(PortOp op) {
    switch (op) {
        case PortOp::OpenPort: return "OpenPort";
        case PortOp::StartDocPort: return "StartDocPort";
        case PortOp::WritePort: return "WritePort";
        case PortOp::ReadPort: return "ReadPort";
        case PortOp::EndDocPort: return "EndDocPort";
        case PortOp::ClosePort: return "ClosePort";
        case PortOp::GetPrinterDataFromPort: return "GetPrinterDataFromPort";
        case PortOp::SetPortTimeOuts: return "SetPortTimeOuts";
    }
    return "?";
}

FakePortMonitor::FakePortMonitor(bool withSetTimeouts)
    : table_(FakePortMonitorTable(withSetTimeouts)) {
    g_live.push_back(this);
}

FakePortMonitor::~FakePortMonitor() { std::erase(g_live, this); }

FakePortMonitor* FakePortMonitor::current() { return g_live.empty() ? nullptr : g_live.back(); }

FakePortMonitor* FakePortMonitor::fromInstance(Handle instance) {
    auto found = std::find(g_live.begin(), g_live.end(), instance);
    return found != g_live.end() ? *found : nullptr;
}

FakePort& FakePortMonitor::port(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto& slot = ports_[name];
    if (!slot) {
        slot = std::make_unique<FakePort>();
        slot->owner = this;
        slot->name = name;
        slot->printer.keepBytes = keepBytes_;
    }
    return *slot;
}

void FakePortMonitor::keepBytes(bool keep) {
    std::lock_guard lock(mutex_);
    keepBytes_ = keep;
    for (auto& [name, port] : ports_) port->printer.keepBytes = keep;
}

void FakePortMonitor::inject(PortOp op, FaultRule rule) {
    std::lock_guard lock(mutex_);
    faults_.emplace(op, rule);
}

void FakePortMonitor::setWriteLimit(const std::string& portName, long limit) {
    std::lock_guard lock(mutex_);
    port(portName).writeLimit = limit;
}

FaultRule FakePortMonitor::takeFault(PortOp op) {
    auto it = faults_.find(op);
    if (it == faults_.end()) return {false, 0, 0};
    FaultRule& rule = it->second;
    if (rule.passFirst > 0) {
        --rule.passFirst;
        return {false, 0, 0};
    }
    FaultRule applied = rule;
    if (rule.times > 0 && --rule.times == 0) faults_.erase(it);
    return applied;
}

// A port monitor asked again and again (a long wait on a silent printer) must
// not exhaust a 32-bit test process: past the limit only the count grows.
void FakePortMonitor::record(FakePort& port, PortCall call) {
    if (++port.callCounts[call.op] <= RECORD_LIMIT && keepBytes_)
        port.calls.push_back(std::move(call));
}

std::vector<PortCall> FakePortMonitor::calls(const std::string& portName) {
    std::lock_guard lock(mutex_);
    return port(portName).calls;
}

std::vector<PortCall> FakePortMonitor::calls(const std::string& portName, PortOp op) {
    std::lock_guard lock(mutex_);
    std::vector<PortCall> result;
    for (const PortCall& call : port(portName).calls)
        if (call.op == op) result.push_back(call);
    return result;
}

size_t FakePortMonitor::count(const std::string& portName, PortOp op) {
    std::lock_guard lock(mutex_);
    return port(portName).callCounts[op];
}

std::vector<u8> FakePortMonitor::received(const std::string& portName) {
    std::lock_guard lock(mutex_);
    return port(portName).printer.received;
}

void FakePortMonitor::clearCalls(const std::string& portName) {
    std::lock_guard lock(mutex_);
    port(portName).calls.clear();
    port(portName).callCounts.clear();
}

void FakePortMonitor::withLock(const std::function<void()>& f) {
    std::lock_guard lock(mutex_);
    f();
}
