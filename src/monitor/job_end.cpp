// EndDocPort: placeholder until the job end lands.
#include "monitor/monitor_ops.h"

WinBool QXL_WINAPI EndDocPort(Handle) { return TRUE; }
