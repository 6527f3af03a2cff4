// Port monitor calls, as the emulated printer saw them.
#include "qxlprint/port_report.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "common/text.h"
#include "core/printer_commands.h"

namespace {

bool Is(const std::vector<u8>& d, const u8* bytes, size_t size) {
    return d.size() == size && std::equal(d.begin(), d.end(), bytes);
}
bool IsStatusRequest(const std::vector<u8>& d) {
    return Is(d, STATUS_REQUEST, sizeof STATUS_REQUEST);
}
bool IsResetZeros(const std::vector<u8>& d) {
    return d.size() == RESET_ZEROS && std::all_of(d.begin(), d.end(), [](u8 b) { return b == 0; });
}
bool IsResetInit(const std::vector<u8>& d) { return Is(d, RESET_COMMAND, sizeof RESET_COMMAND); }
bool EndsPage(const std::vector<u8>& d) {
    return !d.empty() && (d.back() == CMD_FF || d.back() == CMD_SUB);
}

constexpr char PARTY[] = "port";

}  // namespace

void PortReporter::flushData(bool endsPage) {
    if (groupWrites == 0) return;
    std::string what = endsPage ? Format(", then page end %zu at the port", ++pagesEnded) : "";
    out.live(groupMs, PARTY,
             Format("page data: %zu bytes in %zu write%s%s", groupBytes, groupWrites,
                    groupWrites == 1 ? "" : "s", what.c_str()),
             JsonLine("write")
                 .add("what", "page data")
                 .add("bytes", static_cast<long long>(groupBytes))
                 .add("writes", static_cast<long long>(groupWrites))
                 .add("pageEnd", endsPage ? static_cast<long long>(pagesEnded) : 0));
    groupWrites = groupBytes = 0;
}

void PortReporter::write(const PortCall& call) {
    const char* what = IsStatusRequest(call.data) ? "status request ESC i S"
                       : IsResetZeros(call.data)  ? "reset sequence: 48 zero bytes"
                       : IsResetInit(call.data)   ? "reset sequence: ESC @"
                                                  : nullptr;
    if (what == nullptr) {
        ++groupWrites;
        groupBytes += call.result;
        groupMs = now;
        if (EndsPage(call.data)) flushData(true);
        return;
    }
    flushData(false);
    out.live(now, PARTY, what, JsonLine("write").add("what", what).add("bytes", call.result));
}

// Cuts whole packets out of what the printer sent, at their 0x80 0x20 header.
void PortReporter::read(const PortCall& call) {
    fromPrinter.insert(fromPrinter.end(), call.data.begin(), call.data.end());
    for (;;) {
        // A header, or its first byte at the very end, starts a packet.
        size_t start = 0;
        const size_t size = fromPrinter.size();
        while (start < size && !(fromPrinter[start] == 0x80 &&
                                 (start + 1 == size || fromPrinter[start + 1] == 0x20)))
            ++start;
        if (start != 0) {
            out.live(now, PARTY,
                     Format("%zu bytes from the printer that are not a status packet", start),
                     JsonLine("noise").add("bytes", static_cast<long long>(start)));
            fromPrinter.erase(fromPrinter.begin(), fromPrinter.begin() + static_cast<long>(start));
        }
        if (fromPrinter.size() < sizeof(StatusPacket)) return;
        StatusPacket packet;
        std::memcpy(&packet, fromPrinter.data(), sizeof packet);
        fromPrinter.erase(fromPrinter.begin(), fromPrinter.begin() + sizeof packet);
        JsonLine event("status");
        event.add("statusType", packet.statusType).add("text", DescribePacket(packet, checks));
        StateWords state{};
        if (PacketState(packet, checks, state)) {
            lastState = state;
            ++states;
            event.raw("state", StateJson(state))
                .add("mediaWidth", packet.mediaWidth)
                .add("mediaType", packet.mediaType)
                .add("mediaExtra", packet.mediaExtra);
        }
        if (packet.statusType == STATUS_PHASE_CHANGE)
            event.raw("phase", Format("[%u,%u]", packet.phaseType,
                                      (packet.phaseNumberHigh << 8) | packet.phaseNumberLow));
        out.live(now, PARTY, DescribePacket(packet, checks), event);
    }
}

void PortReporter::other(const PortCall& call) {
    std::string text = PortOpName(call.op);
    if (call.op == PortOp::OpenPort) text += Format("(\"%s\")", call.text.c_str());
    if (call.op == PortOp::StartDocPort)
        text += Format("(\"%s\", job %u)", call.text.c_str(), call.jobId);
    if (call.op == PortOp::SetPortTimeOuts)
        text += Format("(read %u ms, write %u ms)",
                       static_cast<unsigned>(call.timeouts.readTotalTimeoutConstant),
                       static_cast<unsigned>(call.timeouts.writeTotalTimeoutConstant));
    out.live(now, PARTY, Format("%s -> %s", text.c_str(), call.returned ? "TRUE" : "FALSE"),
             JsonLine("port-call")
                 .add("call", PortOpName(call.op))
                 .flag("result", call.returned != FALSE));
}

void PortReporter::call(const PortCall& call, unsigned long ms) {
    now = ms;
    switch (call.op) {
        case PortOp::WritePort:
            bytes += call.result;
            write(call);
            break;
        case PortOp::ReadPort:
            if (call.data.empty()) {
                ++emptyReads;
            } else {
                flushData(false);
                read(call);
            }
            break;
        case PortOp::GetPrinterDataFromPort: ++controls[call.controlId]; break;
        default:
            flushData(false);
            other(call);
            break;
    }
}

void PortReporter::finish() {
    flushData(false);
    std::string ids;
    for (const auto& [id, count] : controls) Appendf(ids, " 0x%x x %zu", id, count);
    out.item(Format("the port: %zu bytes written in all; %zu reads found nothing; control "
                    "requests:%s",
                    bytes, emptyReads, ids.empty() ? " none" : ids.c_str()),
             JsonLine("port-totals")
                 .add("bytes", static_cast<long long>(bytes))
                 .add("emptyReads", static_cast<long long>(emptyReads)));
}
