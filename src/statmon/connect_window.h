// The connect window, through which the application's replies come in.
#pragma once

#include <windows.h>

// The window procedure of the hidden connect window; exported by the DLL.
extern "C" LRESULT CALLBACK ConnectThreadProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);
