// QXSMON.EXE, the status monitor application: started by the print monitor as
// "QXSMON.EXE QX28" for each job, it shows the job's progress and the
// printer's states, and gives the monitor the user's answers (or the policy's,
// where nobody can see the window). It exits at the job end.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "qxsmon/app.h"
#include "qxsmon/resource.h"
#include "qxsmon/trace.h"

namespace {

constexpr char MONITOR_ARGUMENT[] = "QX28";
constexpr int WINDOW_MARGIN = 8;

bool StartedByMonitor(const char* commandLine) {
    while (*commandLine == ' ' || *commandLine == '\t') ++commandLine;
    size_t length = std::strlen(commandLine);
    while (length > 0 && (commandLine[length - 1] == ' ' || commandLine[length - 1] == '\t'))
        --length;
    return length == sizeof MONITOR_ARGUMENT - 1 &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, commandLine, static_cast<int>(length),
                          MONITOR_ARGUMENT, -1) == CSTR_EQUAL;
}

void RegisterStatusClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = STATUS_WINDOW_CLASS;
    RegisterClassExA(&windowClass);
}

// Bottom right of the work area; each further instance (one per job) goes above the ones before.
void PlaceWindow(HWND dialog) {
    RECT work = {}, own = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(dialog, &own);
    int width = own.right - own.left;
    int height = own.bottom - own.top + WINDOW_MARGIN;
    int others = 0;
    for (HWND window = nullptr;
         (window = FindWindowExA(nullptr, window, STATUS_WINDOW_CLASS, nullptr)) != nullptr;) {
        if (window != dialog) ++others;
    }
    int slots = (work.bottom - work.top) / height;
    int slot = slots > 0 ? others % slots : 0;
    SetWindowPos(dialog, nullptr, work.right - width - WINDOW_MARGIN,
                 work.bottom - height * (slot + 1), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    App app;
    app.startTick = GetTickCount();
    app.invisibleSession = InInvisibleSession();
    if (!StartedByMonitor(commandLine)) {
        if (!app.invisibleSession)
            MessageBoxA(nullptr, Text(IDS_NOT_STARTED_BY_MONITOR).c_str(),
                        Text(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONINFORMATION);
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    RegisterStatusClass(instance);
    // The monitor looks for this window on this thread from 200 ms after the start.
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_STATUS), nullptr,
                                     StatusDialogProc, reinterpret_cast<LPARAM>(&app));
    if (dialog == nullptr) return 1;
    Trace("start thread %lu", GetCurrentThreadId());
    PlaceWindow(dialog);
    // Progress alone does not take the focus from what the user is doing.
    bool plainShow = show == SW_SHOW || show == SW_SHOWNORMAL || show == SW_SHOWDEFAULT;
    ShowWindow(dialog, plainShow ? SW_SHOWNOACTIVATE : show);

    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (app.headlineFont != nullptr) DeleteObject(app.headlineFont);
    EndTrace();
    return 0;
}
