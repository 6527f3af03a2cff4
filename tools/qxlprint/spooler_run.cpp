// One job through the monitor's table.
#include "qxlprint/spooler_run.h"

#include <windows.h>

#include <algorithm>

#include "common/text.h"
#include "rig/spooler.h"

namespace {

constexpr u32 JOB_ID = 7;

struct Calls {
    LiveReport& live;
    SpoolerResult result;

    BOOL show(const std::string& call, const char* name, BOOL returned) {
        DWORD error = GetLastError();
        std::string text = Format("%s -> %s", call.c_str(), returned ? "TRUE" : "FALSE");
        if (!returned) Appendf(text, " (last error %lu)", error);
        live.spooler(text, JsonLine("call")
                               .add("name", name)
                               .add("call", call)
                               .flag("result", returned != FALSE)
                               .add("lastError", returned ? 0 : static_cast<long long>(error)));
        if (!returned && result.callsSucceeded) {
            result.callsSucceeded = false;
            result.failedCall = name;
        }
        return returned;
    }
};

// Offers the job in chunks, offering again whatever a call did not take; the
// calls that return TRUE and take everything are summed up in one line.
void WriteJob(Calls& calls, MonitorTable* table, Handle port, const std::vector<u8>& job,
              u32 chunk) {
    size_t offset = 0, calm = 0;
    const size_t limit = job.size() / chunk * 4 + 100;  // a monitor that takes nothing ends here
    for (size_t n = 0; offset < job.size() && n < limit; ++n) {
        std::vector<u8> buffer(
            job.begin() + static_cast<long>(offset),
            job.begin() + static_cast<long>(offset + std::min<size_t>(chunk, job.size() - offset)));
        u32 written = 0;
        SetLastError(0);
        BOOL ok = table->WritePort(port, buffer.data(), static_cast<u32>(buffer.size()), &written);
        offset += std::min<size_t>(written, buffer.size());
        if (ok && written == buffer.size()) {
            ++calm;
            continue;
        }
        calls.show(Format("WritePort(%zu bytes at offset %zu): %u taken", buffer.size(),
                          offset - written, written),
                   "WritePort", ok);
        if (!ok && written == 0) break;
    }
    if (calm != 0)
        calls.live.spooler(
            Format("WritePort x %zu (chunks of up to %u bytes), all taken -> TRUE", calm, chunk),
            JsonLine("call")
                .add("name", "WritePort")
                .add("calls", static_cast<long long>(calm))
                .add("chunk", chunk)
                .flag("result", true));
    if (offset < job.size()) {
        calls.live.spooler(
            Format("the spooler could hand over only %zu of %zu bytes", offset, job.size()),
            JsonLine("handover").add("bytes", static_cast<long long>(offset)));
        if (calls.result.callsSucceeded) calls.result = {false, "WritePort"};
    }
}

}  // namespace

SpoolerResult RunSpooler(LiveReport& live, MonitorTable* table, FakePortMonitor& lower,
                         const PrintOptions& options, const std::vector<u8>& job) {
    Calls calls{live, {}};
    SpoolerPort spooler;
    spooler.table = table;
    const std::string open =
        Format("OpenPortEx(\"%s\", \"%s\")", options.port.c_str(), options.printer.c_str());
    if (!calls.show(open, "OpenPortEx",
                    spooler.open(options.port.c_str(), lower.table(), options.printer.c_str())))
        return calls.result;
    const std::string start = Format("StartDocPort(\"%s\", job %u, \"%s\")",
                                     options.printer.c_str(), JOB_ID, options.document.c_str());
    if (calls.show(start, "StartDocPort",
                   spooler.startDoc(options.printer.c_str(), JOB_ID, options.document.c_str()))) {
        WriteJob(calls, table, spooler.handle, job, static_cast<u32>(options.chunk));
        calls.show("EndDocPort", "EndDocPort", spooler.endDoc());
    }
    calls.show("ClosePort", "ClosePort", spooler.close());
    return calls.result;
}
