// The connect window's procedure: placeholder until the status monitor link lands.
#include "monitor/monitor_ops.h"

extern "C" LRESULT CALLBACK ConnectThreadProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
