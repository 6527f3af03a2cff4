// The DLL shell: the C runtime's entry hands process events to DllEntryPoint.
#include "monitor/monitor_ops.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return DllEntryPoint(instance, reason, reserved);
}
