// What each notification from the monitor does to the job's view. Blocks are
// read while the message is handled: the monitor closes them right after.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "qxsmon/app.h"
#include "qxsmon/states.h"
#include "qxsmon/trace.h"
#include "core/scoped.h"
#include "core/statmon_interface.h"

namespace {

bool ReadBlock(u32 number, u32 size, std::vector<u8>& bytes) {
    char name[16];
    std::snprintf(name, sizeof name, BLOCK_NAME_FORMAT, static_cast<unsigned>(number));
    UniqueHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, name));
    if (!mapping) {
        Trace("block %s missing", name);
        return false;
    }
    // A section smaller than the block does not map at all.
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, size));
    if (!view) {
        Trace("block %s too small", name);
        return false;
    }
    const u8* data = static_cast<const u8*>(view.get());
    bytes.assign(data, data + size);
    return true;
}

void TakeJobStart(App& app, const JobStartBlock& block) {
    if (app.jobStarted) {
        Trace("second job start ignored");
        return;
    }
    app.jobStarted = true;
    app.job = block;
    app.settings = ReadAppSettings(block.printer);
    app.answerByPolicy = app.invisibleSession || app.settings.headless;
    StartTrace(app.settings);
    HWND named =
        reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<i32>(block.connectWindow)));
    app.connectWindow = IsConnectWindow(named) ? named : nullptr;
    // Never the document's name: the trace may be read by others than its owner.
    Trace("job %u printer \"%s\" connect window 0x%08x%s; answers by %s", block.jobId,
          block.printer.c_str(), block.connectWindow,
          app.connectWindow != nullptr ? "" : " (not a connect window)",
          app.answerByPolicy ? "policy" : "user");
    ShowJob(app);
}

void TakeBlock(App& app, u32 code, LPARAM lParam) {
    std::vector<u8> bytes;
    if (!ReadBlock(static_cast<u32>(lParam), BlockSizeOf(code), bytes)) return;
    if (code == NotifyJobStart) {
        JobStartBlock block;
        if (DecodeJobStart(bytes.data(), bytes.size(), block)) TakeJobStart(app, block);
    } else if (code == NotifyMediaSettings) {
        app.haveJobMedia = DecodeMediaSettings(bytes.data(), bytes.size(), app.jobMedia);
        ShowMedia(app);
        ShowProgress(app);
    } else if (code == NotifyMediaStatus) {
        app.haveLoadedMedia = DecodeMediaStatus(bytes.data(), bytes.size(), app.loadedMedia);
        ShowMedia(app);
    } else if (code == NotifyProgress) {
        ProgressBlock progress;
        if (!DecodeProgress(bytes.data(), bytes.size(), progress)) return;
        // An all-zero block starts the page again after an answer: same page, from 0.
        if (progress.page != 0) app.progress.page = progress.page;
        app.progress.percent = progress.percent;
        ShowProgress(app);
    }
}

void TakePhase(App& app, u32 code) {
    switch (code) {
        case NotifyConnect: return;
        case NotifyPrinting:
        case NotifyWaiting:
            // A paused job finishes its page first; a stopped one has nothing to show.
            if (app.phase == JobPhase::Paused || app.phase == JobPhase::Stopped) return;
            app.noticeShown = false;
            EnterPhase(app, code == NotifyPrinting ? JobPhase::Printing : JobPhase::Waiting);
            return;
        case NotifyPrinterNotice:
            app.noticeShown = true;
            ShowPhase(app);
            return;
        default: Trace("notification 0x%08x ignored", code);
    }
}

}  // namespace

bool IsConnectWindow(HWND window) {
    char className[64] = {};
    return window != nullptr && IsWindow(window) &&
           GetClassNameA(window, className, sizeof className) > 0 &&
           lstrcmpA(className, CONNECT_WINDOW_CLASS) == 0;
}

void HandleNotification(App& app, u32 code, LPARAM lParam) {
    Trace("notify 0x%08x 0x%08x", code, static_cast<unsigned>(lParam));
    if (BlockSizeOf(code) != 0) {
        TakeBlock(app, code, lParam);
    } else if (code == NotifyJobEnd) {
        CloseSoon(app);
    } else if (IsStateNotification(code)) {
        if (LookUpState(code).kind == StateKind::Fatal) {
            StopWithState(app, code);
        } else {
            AwaitAnswer(app, code);
        }
    } else {
        TakePhase(app, code);
    }
}
