// Notifications and replies from the stand-in's log.
#include "qxlprint/app_report.h"

#include "common/text.h"
#include "core/statmon_interface.h"

namespace {

constexpr char PARTY[] = "application";

std::uint32_t U16(const std::vector<u8>& b, size_t at) {
    return b.size() >= at + 2 ? static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8)) : 0;
}

std::uint32_t U32(const std::vector<u8>& b, size_t at) {
    return b.size() >= at + 4 ? U16(b, at) | (U16(b, at + 2) << 16) : 0;
}

std::string Text(const std::vector<u8>& b, size_t at, size_t size) {
    std::string text;
    for (size_t i = at; i < at + size && i < b.size() && b[i] != 0; ++i)
        text += static_cast<char>(b[i]);
    return text;
}

// The block's fields as text, and the same fields on the JSON line.
std::string DecodeBlock(const StatmonRecord& r, JsonLine& event) {
    const std::vector<u8>& b = r.block;
    if (r.hasBlock && !r.blockOpened) return "  (its block could not be opened)";
    switch (r.code) {
        case NotifyJobStart:
            if (b.size() < JOB_START_BLOCK_SIZE) break;
            event.add("jobId", U32(b, 0))
                .add("printer", Text(b, 4, 128))
                .add("document", Text(b, 132, 128));
            return Format("  job %u, printer \"%s\", document \"%s\"", U32(b, 0),
                          Text(b, 4, 128).c_str(), Text(b, 132, 128).c_str());
        case NotifyMediaSettings:
            if (b.size() < MEDIA_SETTINGS_BLOCK_SIZE) break;
            event.add("caption", Text(b, 0, 64))
                .add("mediaWidth", b[67])
                .add("mediaType", b[68])
                .add("mediaExtra", b[69])
                .add("pages", U16(b, 71));
            return Format("  caption \"%s\", media %u mm type 0x%02x extra 0x%02x, %u page%s",
                          Text(b, 0, 64).c_str(), b[67], b[68], b[69], U16(b, 71),
                          U16(b, 71) == 1 ? "" : "s");
        case NotifyProgress:
            if (b.size() < PROGRESS_BLOCK_SIZE) break;
            event.add("page", U16(b, 4)).add("percent", U16(b, 6));
            if (U16(b, 4) == 0) return "  all zeros: the page starts again";
            return Format("  page %u, %u%%", U16(b, 4), U16(b, 6));
        case NotifyMediaStatus:
            if (b.size() < MEDIA_STATUS_BLOCK_SIZE) break;
            event.add("mediaWidth", b[2]).add("mediaType", b[3]).add("mediaExtra", b[4]);
            return Format("  loaded media %u mm type 0x%02x extra 0x%02x", b[2], b[3], b[4]);
        default: return "";
    }
    return r.hasBlock ? Format("  (a block of only %zu bytes)", b.size()) : "";
}

}  // namespace

void AppReporter::record(const StatmonRecord& r, unsigned long ms) {
    if (r.event == "reply") {
        heard.cancelled = heard.cancelled || r.code == REPLY_CANCEL;
        out.live(ms, PARTY, Format("      and replied %u (%s)", r.code, ReplyText(r.code)),
                 JsonLine("reply").add("reply", r.code).add("name", ReplyText(r.code)));
        return;
    }
    if (r.event != "notify") return;
    ++notifications;
    // A state carries its pair, its name and where it comes from apart.
    if (IsStateNotification(r.code)) {
        lastState = NotifiedState(r.code);
        ++states;
        out.live(ms, PARTY, Format("%3d  0x%05x  %s", notifications, r.code, NotifyText(r.code).c_str()),
                 JsonLine("state")
                     .add("n", notifications)
                     .add("code", r.code)
                     .raw("pair", Format("[%d,%d]", lastState.stateClass, lastState.stateCode))
                     .add("name", lastState.name)
                     .add("text", lastState.text));
    } else {
        JsonLine event("notify");
        event.add("n", notifications).add("code", r.code).add("name", NotifyText(r.code));
        const std::string block = DecodeBlock(r, event);
        out.live(ms, PARTY,
                 Format("%3d  0x%05x  %s%s", notifications, r.code, NotifyText(r.code).c_str(),
                        block.c_str()),
                 event);
    }
    if ((r.code >> 16) == 3 && heard.fatalCode == 0) heard.fatalCode = r.code;
    heard.jobEnd = heard.jobEnd || r.code == NotifyJobEnd;
    if (r.code == NotifyProgress && U16(r.block, 4) != 0)
        Appendf(progress[U16(r.block, 4)], " %u", U16(r.block, 6));
}

void AppReporter::finish() {
    if (notifications == 0) out.item("(the application heard nothing)", JsonLine("notify").add("n", 0LL));
    for (const auto& [page, percents] : progress)
        out.text(Format("  progress of page %u:%s", page, percents.c_str()));
}
