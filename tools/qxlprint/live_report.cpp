// Merging the application's and the port's events by time, as they come.
#include "qxlprint/live_report.h"

#include <algorithm>

#include "common/text.h"
#include "core/printer_states.h"
#include <vector>

namespace {

constexpr DWORD WATCH_MS = 100;
// EndDocPort has waited for the application; its last lines may still be on their way.
constexpr DWORD APPLICATION_EXIT_WAIT_MS = 10000;

// ms after start; an event stamped before it (another clock's rounding) at 0.
unsigned long Since(DWORD start, DWORD tick) {
    const LONG ms = static_cast<LONG>(tick - start);
    return ms < 0 ? 0 : static_cast<unsigned long>(ms);
}

}  // namespace

LiveReport::LiveReport(const Transcript& transcript, FakePortMonitor& lower,
                       const std::string& port, const StatmonEnvironment* log,
                       const PageChecks& page)
    : out(transcript),
      app(transcript),
      port(transcript, page),
      lower_(lower),
      portName_(port),
      log_(log),
      startTick_(GetTickCount()) {}

LiveReport::~LiveReport() {
    if (thread_ == nullptr) return;
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

void LiveReport::start() {
    if (log_ == nullptr)
        out.live(0, "application", "(the product application keeps no log for qxlprint)",
                 JsonLine("notify").add("n", 0LL));
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (stop_ != nullptr) thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

DWORD WINAPI LiveReport::Watch(void* context) {
    auto* self = static_cast<LiveReport*>(context);
    // Bounded by the stop event, which finish() and the destructor set.
    while (WaitForSingleObject(self->stop_, WATCH_MS) == WAIT_TIMEOUT) self->drain();
    return 0;
}

void LiveReport::spooler(const std::string& text, const JsonLine& event) {
    std::lock_guard guard(lock_);
    drainLocked();
    out.live(elapsed(), "spooler", text, event);
}

void LiveReport::drain() {
    std::lock_guard guard(lock_);
    drainLocked();
}

// What the monitor asked the spooler's SetPort to show for the port.
void LiveReport::portStatus(const PortStatusCall& call, unsigned long ms) {
    JsonLine event("port_status");
    event.add("status", static_cast<long long>(call.status))
        .add("severity", static_cast<long long>(call.severity))
        .flag("cleared", call.cleared());
    if (call.hasText) event.add("text", call.text);
    const char* name = PortStatusName(call.status);
    const char* weight = PortSeverityName(call.severity);
    if (name != nullptr) event.add("name", name);
    std::string text = call.cleared()
                           ? "Windows is told: the port's status cleared"
                           : Format("Windows is told: %s, %s",
                                    name != nullptr ? name : ("\"" + call.text + "\"").c_str(),
                                    weight != nullptr ? weight : "?");
    if (call.level != 3 || !call.local)
        text += Format(" (level %lu, %s)", call.level, call.local ? "local" : "remote");
    out.live(ms, "windows", text, event);
    ++portStatusCalls;
}

void LiveReport::drainLocked() {
    std::vector<StatmonRecord> records;
    if (log_ != nullptr) {
        records = log_->records();
        records.erase(records.begin(),
                      records.begin() + static_cast<long>(std::min(recordsSeen_, records.size())));
        recordsSeen_ += records.size();
    }
    std::vector<PortCall> calls;
    lower_.withLock([&] {
        const std::vector<PortCall>& all = lower_.port(portName_).calls;
        calls.assign(all.begin() + static_cast<long>(std::min(callsSeen_, all.size())), all.end());
        callsSeen_ = all.size();
    });
    std::vector<PortStatusCall> statuses = SetPortCalls(portName_);
    statuses.erase(statuses.begin(),
                   statuses.begin() + static_cast<long>(std::min(statusesSeen_, statuses.size())));
    statusesSeen_ += statuses.size();

    // Each source is in time order; the three are merged by their ticks.
    struct Next {
        DWORD tick;
        int source;  // 0 application, 1 port, 2 SetPort
        size_t index;
    };
    std::vector<Next> order;
    for (size_t i = 0; i < records.size(); ++i) order.push_back({records[i].tick, 0, i});
    for (size_t i = 0; i < calls.size(); ++i) order.push_back({calls[i].tick, 1, i});
    for (size_t i = 0; i < statuses.size(); ++i) order.push_back({statuses[i].tick, 2, i});
    const DWORD start = startTick_;
    std::stable_sort(order.begin(), order.end(), [start](const Next& a, const Next& b) {
        return static_cast<LONG>(a.tick - start) < static_cast<LONG>(b.tick - start);
    });
    bool wrote = false;
    for (const Next& next : order) {
        const unsigned long ms = Since(startTick_, next.tick);
        if (next.source == 0) {
            const size_t before = app.states;
            app.record(records[next.index], ms);
            if (app.states != before) {
                haveState_ = true;
                lastState_ = app.lastState;
            }
        } else if (next.source == 1) {
            const PortCall& call = calls[next.index];
            wrote = wrote || call.op == PortOp::WritePort;
            const size_t before = port.states;
            port.call(call, ms);
            if (port.states != before) {
                haveState_ = true;
                lastState_ = port.lastState;
            }
        } else {
            portStatus(statuses[next.index], ms);
        }
    }
    if (!wrote) port.quiet();
}

void LiveReport::finish() {
    const DWORD start = GetTickCount();
    while (log_ != nullptr && GetTickCount() - start < APPLICATION_EXIT_WAIT_MS) {
        std::vector<StatmonRecord> records = log_->records();
        bool exited = false;
        for (const StatmonRecord& record : records) exited = exited || record.event == "exit";
        if (exited) break;
        Sleep(50);
    }
    if (thread_ != nullptr) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
        thread_ = stop_ = nullptr;
    }
    std::lock_guard guard(lock_);
    drainLocked();
    port.finish();
    app.finish();
}

bool LiveReport::lastState(StateWords& state) {
    std::lock_guard guard(lock_);
    state = lastState_;
    return haveState_;
}
