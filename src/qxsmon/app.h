// The status monitor application's one record and the routines that share it:
// the notifications (notifications.cpp), what the window shows (view.cpp), and
// the answers and the window's life (status_window.cpp).
#pragma once

#include <windows.h>

#include <string>

#include "qxsmon/blocks.h"
#include "qxsmon/environment.h"

// Private messages of the status window.
constexpr UINT WM_APP_CLOSE = WM_APP + 1;  // close once the current message has been handled

enum class JobPhase {
    Connecting,  // the window exists; the job start block has not come yet
    Printing,
    Waiting,  // the printer is printing the page it was sent
    Paused,
    Awaiting,  // a state waits for Continue or Cancel
    Resuming,  // answered; the monitor checks the printer and sends the page again
    Stopped,   // a fatal state, or the monitor has gone: nothing is left to answer
};

struct App {
    HWND dialog = nullptr;
    HFONT headlineFont = nullptr;
    bool invisibleSession = false;
    bool answerByPolicy = false;
    AppSettings settings;
    DWORD startTick = 0;

    bool jobStarted = false;
    JobStartBlock job;
    HWND connectWindow = nullptr;  // null unless the block named a live connect window
    bool haveJobMedia = false;
    MediaSettingsBlock jobMedia;
    bool haveLoadedMedia = false;
    MediaStatusBlock loadedMedia;
    ProgressBlock progress;
    bool noticeShown = false;

    JobPhase phase = JobPhase::Connecting;
    u32 stateCode = 0;  // the state shown while Awaiting or Stopped; 0 when the monitor has gone
    u32 policyContinues = 0;  // Continue answers the policy has given in this job
};

// notifications.cpp
void HandleNotification(App& app, u32 code, LPARAM lParam);
// Only a window of the monitor's connect class is ever answered: a handle that
// has gone may have been reused by any other window.
bool IsConnectWindow(HWND window);

// view.cpp
std::string Text(int id);
std::string FormatText(int id, ...);
void ShowJob(App& app);
void ShowMedia(App& app);
void ShowProgress(App& app);
void ShowPhase(App& app);  // the state, its advice, the icon and the buttons

// status_window.cpp
void EnterPhase(App& app, JobPhase phase);
void AwaitAnswer(App& app, u32 code);
void StopWithState(App& app, u32 code);
bool Answer(App& app, u32 reply, const char* by);
void CloseSoon(App& app);
INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
