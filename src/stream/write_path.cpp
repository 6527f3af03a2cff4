// WritePort: placeholder until the data path lands.
#include "monitor/monitor_ops.h"

WinBool QXL_WINAPI WritePort(Handle, u8*, u32, u32* written) {
    *written = 0;
    return FALSE;
}
