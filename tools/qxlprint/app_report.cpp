// Notifications and replies from the stand-in's log.
#include "qxlprint/app_report.h"

#include "common/text.h"
#include "core/statmon_interface.h"
#include "qxsmon/blocks.h"

namespace {

constexpr char PARTY[] = "application";

// The block's fields as text, and the same fields on the JSON line, read
// with the application's own decoders.
std::string DecodeBlock(const StatmonRecord& r, JsonLine& event) {
    const std::vector<u8>& b = r.block;
    if (r.hasBlock && !r.blockOpened) return "  (its block could not be opened)";
    switch (r.code) {
        case NotifyJobStart: {
            JobStartBlock start;
            if (!DecodeJobStart(b.data(), b.size(), start)) break;
            event.add("jobId", start.jobId)
                .add("printer", start.printer)
                .add("document", start.document);
            return Format("  job %u, printer \"%s\", document \"%s\"", start.jobId,
                          start.printer.c_str(), start.document.c_str());
        }
        case NotifyMediaSettings: {
            MediaSettingsBlock media;
            if (!DecodeMediaSettings(b.data(), b.size(), media)) break;
            event.add("caption", media.caption)
                .add("mediaWidth", media.width)
                .add("mediaType", media.type)
                .add("mediaExtra", media.extra)
                .add("pages", media.pageTotal);
            return Format("  caption \"%s\", media %u mm type 0x%02x extra 0x%02x, %u page%s",
                          media.caption.c_str(), media.width, media.type, media.extra,
                          media.pageTotal, media.pageTotal == 1 ? "" : "s");
        }
        case NotifyProgress: {
            ProgressBlock progress;
            if (!DecodeProgress(b.data(), b.size(), progress)) break;
            event.add("page", progress.page).add("percent", progress.percent);
            if (progress.page == 0) return "  all zeros: the page starts again";
            return Format("  page %u, %u%%", progress.page, progress.percent);
        }
        case NotifyMediaStatus: {
            MediaStatusBlock media;
            if (!DecodeMediaStatus(b.data(), b.size(), media)) break;
            event.add("mediaWidth", media.width)
                .add("mediaType", media.type)
                .add("mediaExtra", media.extra);
            return Format("  loaded media %u mm type 0x%02x extra 0x%02x", media.width, media.type,
                          media.extra);
        }
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
        out.live(ms, PARTY,
                 Format("%3d  0x%05x  %s", notifications, r.code, NotifyText(r.code).c_str()),
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
    ProgressBlock page;
    if (r.code == NotifyProgress && DecodeProgress(r.block.data(), r.block.size(), page) &&
        page.page != 0)
        Appendf(progress[page.page], " %u", page.percent);
}

void AppReporter::finish() {
    if (notifications == 0)
        out.item("(the application heard nothing)", JsonLine("notify").add("n", 0LL));
    for (const auto& [page, percents] : progress)
        out.text(Format("  progress of page %u:%s", page, percents.c_str()));
}
