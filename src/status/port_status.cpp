// The port's status for Windows, through the spooler's SetPort.
#include "status/port_status.h"

#include <windows.h>
#include <winspool.h>

#include "core/printer_states.h"
#include "core/scoped.h"
#include "core/statmon_interface.h"
#include "core/trace.h"

namespace {

static_assert(PORT_STATE_OFFLINE == PORT_STATUS_OFFLINE &&
              PORT_STATE_PAPER_JAM == PORT_STATUS_PAPER_JAM &&
              PORT_STATE_PAPER_OUT == PORT_STATUS_PAPER_OUT &&
              PORT_STATE_PAPER_PROBLEM == PORT_STATUS_PAPER_PROBLEM &&
              PORT_STATE_DOOR_OPEN == PORT_STATUS_DOOR_OPEN);
static_assert(PORT_SEVERITY_ERROR == PORT_STATUS_TYPE_ERROR &&
              PORT_SEVERITY_WARNING == PORT_STATUS_TYPE_WARNING);

constexpr int WIDE_NAME_SIZE = 260;

// Port names and state texts are short; one that does not convert is sent
// as far as it does, never as a name it is not.
void Widen(const char* text, wchar_t (&wide)[WIDE_NAME_SIZE]) {
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, WIDE_NAME_SIZE) == 0) wide[0] = L'\0';
}

// Wine's spooler has no SetPort: its export is a stub that ends the process,
// and nothing there would show a port's status. The tests, which run under
// Wine, put a SetPort of their own in the import table and say so
// (QXLMON_TEST_SETPORT).
bool SpoolerTakesPortStatus() {
    static const bool takes = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
        return !wine || GetEnvironmentVariableA("QXLMON_TEST_SETPORT", nullptr, 0) != 0;
    }();
    return takes;
}

// Called outside monitorLock and portMutex: the spooler may take its time,
// and no other port waits for it. A failure is said once a job and changes
// nothing else.
void SetPortStatus(PortSession& session, u32 status, const char* text, u32 severity) {
    if (!SpoolerTakesPortStatus()) return;
    wchar_t port[WIDE_NAME_SIZE];
    wchar_t statusText[WIDE_NAME_SIZE];
    Widen(session.portName, port);
    Widen(text != nullptr ? text : "", statusText);
    PORT_INFO_3W info = {status, text != nullptr ? statusText : nullptr, severity};
    TracePortStatus(session, status, text, severity);
    KeepLastError keep;
    BOOL ok = SetPortW(nullptr, port, 3, reinterpret_cast<BYTE*>(&info));
    if (!ok && !session.job.portStatusFailed) {
        session.job.portStatusFailed = true;
        TracePortStatusFailed(session, GetLastError());
    }
}

}  // namespace

void ShowPortState(PortSession& session, i16 stateClass, i16 stateCode) {
    u32 code = StateNotifyCode(stateClass, stateCode);
    if (session.shownState == code) return;
    const PrinterState* state = FindPrinterState(stateClass, stateCode);
    if (state != nullptr && state->kind == StateKind::Internal) return;
    session.shownState = code;
    if (state == nullptr) {  // a printer code no table knows: said as a printer error
        SetPortStatus(session, PORT_STATE_SAID_BY_TEXT, "Printer error", PORT_SEVERITY_ERROR);
        return;
    }
    bool byText = state->portStatus == PORT_STATE_SAID_BY_TEXT;
    SetPortStatus(session, state->portStatus, byText ? state->text : nullptr, PortSeverity(*state));
}

void ClearPortState(PortSession& session) {
    if (session.shownState == 0) return;
    session.shownState = 0;
    SetPortStatus(session, 0, nullptr, 0);
}

void EndPortState(PortSession& session) {
    const PrinterState* shown = FindPrinterState(session.shownState);
    if (shown != nullptr && shown->portStatus == PORT_STATE_OFFLINE) return;
    ClearPortState(session);
}
