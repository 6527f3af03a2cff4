// What the status window shows: the job, its media and progress, and the state
// with what to do about it; which buttons mean something at the moment.
#include <windows.h>
#include <commctrl.h>

#include <cstdarg>
#include <cstdio>

#include "qxsmon/app.h"
#include "qxsmon/resource.h"
#include "qxsmon/states.h"
#include "qxsmon/trace.h"
#include "core/statmon_interface.h"

namespace {

constexpr u8 MEDIA_CONTINUOUS = 0x0A;
constexpr u8 MEDIA_DIE_CUT = 0x0B;

struct Look {
    std::string headline;
    std::string advice;
    LPCSTR icon = IDI_INFORMATION;
    bool canContinue = false;
    bool canPause = false;
    bool canCancel = true;
    int pauseLabel = IDS_PAUSE;
    int cancelLabel = IDS_CANCEL;
};

std::string MediaText(u8 width, u8 type) {
    if (width == 0) return Text(IDS_MEDIA_NONE);
    std::string kind = type == MEDIA_CONTINUOUS ? Text(IDS_MEDIA_CONTINUOUS)
                       : type == MEDIA_DIE_CUT  ? Text(IDS_MEDIA_DIE_CUT)
                                                : FormatText(IDS_MEDIA_TYPE, type);
    return FormatText(IDS_MEDIA_FORMAT, width, kind.c_str());
}

std::string JobMediaText(const App& app) {
    if (!app.haveJobMedia || app.jobMedia.width == 0) return Text(IDS_JOB_MEDIA_UNKNOWN);
    std::string media = MediaText(app.jobMedia.width, app.jobMedia.type);
    if (app.jobMedia.caption.empty()) return media;
    return FormatText(IDS_MEDIA_CAPTION_FORMAT, media.c_str(), app.jobMedia.caption.c_str());
}

Look StateLook(const App& app) {
    Look look;
    if (app.stateCode == 0) {  // the monitor has gone
        look.headline = Text(IDS_MONITOR_GONE);
        look.advice = Text(IDS_MONITOR_GONE_ADVICE);
        look.icon = IDI_ERROR;
        look.cancelLabel = IDS_CLOSE;
        return look;
    }
    StateText state = LookUpState(app.stateCode);
    look.headline =
        state.generic ? FormatText(state.headlineId, app.stateCode) : Text(state.headlineId);
    look.advice = state.namesJobMedia ? FormatText(state.adviceId, JobMediaText(app).c_str())
                                      : Text(state.adviceId);
    if (app.phase == JobPhase::Stopped) {
        look.icon = IDI_ERROR;
        look.cancelLabel = IDS_CLOSE;
        return look;
    }
    look.icon = IDI_WARNING;
    if (app.connectWindow == nullptr) {
        look.advice += " " + Text(IDS_CANNOT_ANSWER_ADVICE);
        return look;
    }
    look.canContinue = true;
    if (app.answerByPolicy &&
        HeadlessAnswer(app.stateCode, app.policyContinues,
                       {app.settings.headlessDelayMs, app.settings.headlessRetries})
                .reply == REPLY_CONTINUE) {
        look.advice +=
            " " + FormatText(IDS_AUTO_CONTINUE, (app.settings.headlessDelayMs + 999) / 1000);
    }
    return look;
}

Look PhaseLook(const App& app) {
    Look look;
    // Without a connect window nothing can be answered; only a state that
    // awaits an answer is cancelled by closing the window.
    bool canAnswer = app.connectWindow != nullptr;
    look.canCancel = canAnswer;
    switch (app.phase) {
        case JobPhase::Connecting: look.headline = Text(IDS_CONNECTING); return look;
        case JobPhase::Printing:
        case JobPhase::Waiting:
            look.headline = Text(IDS_PRINTING);
            look.advice = Text(app.noticeShown                  ? IDS_NOTICE_ADVICE
                               : app.phase == JobPhase::Waiting ? IDS_WAITING_ADVICE
                                                                : IDS_PRINTING_ADVICE);
            look.canPause = canAnswer;
            return look;
        case JobPhase::Paused:
            look.headline = Text(IDS_PAUSED);
            look.advice = Text(IDS_PAUSED_ADVICE);
            look.canPause = canAnswer;
            look.pauseLabel = IDS_RESUME;
            return look;
        case JobPhase::Resuming:
            look.headline = Text(IDS_RESUMING);
            look.advice = Text(IDS_RESUMING_ADVICE);
            return look;
        case JobPhase::Awaiting:
        case JobPhase::Stopped: return StateLook(app);
    }
    return look;
}

void SetItemText(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
}

void SetButton(HWND dialog, int id, bool enabled, int labelId) {
    SetItemText(dialog, id, Text(labelId));
    EnableWindow(GetDlgItem(dialog, id), enabled);
}

}  // namespace

std::string Text(int id) {
    char buffer[512];
    int length =
        LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string FormatText(int id, ...) {
    std::string format = Text(id);
    char buffer[1024];
    va_list args;
    va_start(args, id);
    std::vsnprintf(buffer, sizeof buffer, format.c_str(), args);
    va_end(args);
    return buffer;
}

void ShowJob(App& app) {
    SetWindowTextA(
        app.dialog,
        FormatText(IDS_WINDOW_TITLE, app.job.printer.c_str(), app.job.document.c_str()).c_str());
    SetItemText(app.dialog, IDC_PRINTER, app.job.printer);
    SetItemText(app.dialog, IDC_DOCUMENT, app.job.document);
}

void ShowMedia(App& app) {
    std::string media = app.haveLoadedMedia ? MediaText(app.loadedMedia.width, app.loadedMedia.type)
                        : app.haveJobMedia  ? JobMediaText(app)
                                            : std::string();
    SetItemText(app.dialog, IDC_MEDIA, media);
}

// The line says where the job is and whether it moves: printing, paused, or
// stopped at a state that awaits an answer (or has ended it). The bar shows
// the whole job where its page count is known, else the page.
void ShowProgress(App& app) {
    u32 page = app.progress.page;
    u32 total = app.haveJobMedia ? app.jobMedia.pageTotal : 0;
    if (page == 0) return;
    bool ofTotal = total != 0 && page <= total;
    bool stopped = app.phase == JobPhase::Awaiting || app.phase == JobPhase::Stopped;
    int pageOf = stopped                         ? IDS_STOPPED_AT_OF
                 : app.phase == JobPhase::Paused ? IDS_PAUSED_AT_OF
                                                 : IDS_PAGE_OF;
    int pageAlone = stopped                         ? IDS_STOPPED_AT
                    : app.phase == JobPhase::Paused ? IDS_PAUSED_AT
                                                    : IDS_PAGE;
    SetItemText(app.dialog, IDC_PAGE,
                ofTotal ? FormatText(pageOf, page, total) : FormatText(pageAlone, page));
    u32 position =
        ofTotal ? ((page - 1) * 100 + app.progress.percent) / total : app.progress.percent;
    SendDlgItemMessageA(app.dialog, IDC_PROGRESS, PBM_SETPOS, position, 0);
}

void ShowPhase(App& app) {
    Look look = PhaseLook(app);
    std::string headline, advice;
    headline.resize(512);
    headline.resize(GetDlgItemTextA(app.dialog, IDC_STATE, headline.data(), 512));
    advice.resize(1024);
    advice.resize(GetDlgItemTextA(app.dialog, IDC_ADVICE, advice.data(), 1024));
    if (headline != look.headline || advice != look.advice)
        Trace("show %s | %s", look.headline.c_str(), look.advice.c_str());
    SetItemText(app.dialog, IDC_STATE, look.headline);
    SetItemText(app.dialog, IDC_ADVICE, look.advice);
    SendDlgItemMessageA(app.dialog, IDC_STATE_ICON, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconA(nullptr, look.icon)), 0);
    SetButton(app.dialog, IDC_CONTINUE, look.canContinue, IDS_CONTINUE);
    SetButton(app.dialog, IDC_PAUSE, look.canPause, look.pauseLabel);
    SetButton(app.dialog, IDC_CANCEL_JOB, look.canCancel, look.cancelLabel);
}
