// ReadPort and GetPrinterDataFromPort: placeholder until the job start lands.
#include "monitor/monitor_ops.h"

WinBool QXL_WINAPI ReadPort(Handle, u8*, u32, u32* read) {
    *read = 0;
    return FALSE;
}

WinBool QXL_WINAPI GetPrinterDataFromPort(Handle, u32, char*, char*, u32, char*, u32, u32*) {
    return FALSE;
}
