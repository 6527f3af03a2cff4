// StartDocPort: placeholder until the job start lands.
#include "monitor/monitor_ops.h"

WinBool QXL_WINAPI StartDocPort(Handle, char*, u32, u32, u8*) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
