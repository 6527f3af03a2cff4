// Merging the application's and the port's events by time, as they come.
#include "qxlprint/live_report.h"

#include <algorithm>
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
    : out(transcript), app(transcript), port(transcript, page), lower_(lower), portName_(port),
      log_(log), startTick_(GetTickCount()) {}

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

void LiveReport::drainLocked() {
    std::vector<StatmonRecord> records;
    if (log_ != nullptr) {
        records = log_->records();
        records.erase(records.begin(), records.begin() + static_cast<long>(std::min(recordsSeen_, records.size())));
        recordsSeen_ += records.size();
    }
    std::vector<PortCall> calls;
    lower_.withLock([&] {
        const std::vector<PortCall>& all = lower_.port(portName_).calls;
        calls.assign(all.begin() + static_cast<long>(std::min(callsSeen_, all.size())), all.end());
        callsSeen_ = all.size();
    });
    // Each side is in time order; the two are merged by their ticks.
    size_t r = 0, c = 0;
    bool wrote = false;
    while (r < records.size() || c < calls.size()) {
        const bool takeRecord =
            c == calls.size() ||
            (r < records.size() && static_cast<LONG>(records[r].tick - calls[c].tick) <= 0);
        if (takeRecord) {
            const StatmonRecord& record = records[r++];
            const size_t before = app.states;
            app.record(record, Since(startTick_, record.tick));
            if (app.states != before) {
                haveState_ = true;
                lastState_ = app.lastState;
            }
        } else {
            const PortCall& call = calls[c++];
            wrote = wrote || call.op == PortOp::WritePort;
            const size_t before = port.states;
            port.call(call, Since(startTick_, call.tick));
            if (port.states != before) {
                haveState_ = true;
                lastState_ = port.lastState;
            }
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
