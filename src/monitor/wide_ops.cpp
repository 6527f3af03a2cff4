// The wide table's own entries: the spooler's wide names become ANSI ones and
// the call goes on to the operation the 13-slot table has; the port monitor
// below is reached through the adapters of monitor/wide_lower.h.
#include <windows.h>
#include <winspool.h>

#include "core/process_state.h"
#include "monitor/monitor_ops.h"
#include "monitor/wide_lower.h"
#include "core/wide_text.h"

// The port's name is what tells ports apart (one open per name, the mutex
// that jobs of every process share, the spooler's list of network ports), so
// a name the ANSI code page cannot carry exactly is refused rather than
// opened under a name that may be another port's. The printer name is not
// used here, as in OpenPortEx.
WinBool QXL_WINAPI OpenPortExW(Handle /*monitor*/, Handle lowerMonitorHandle, WideChar* portName,
                               WideChar* /*printerName*/, Handle* port,
                               Monitor2Table* lowerMonitor) {
    if (lowerMonitor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool exact = false;
    UniqueBlock<char> ansiName(AnsiCopy(portName, exact));
    if (!ansiName && portName != nullptr) return FALSE;
    if (!ansiName || !exact) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    Monitor2Table lower = WholeMonitor2Table(*lowerMonitor);
    WideOpen open{&lower, lowerMonitorHandle, portName};
    return OpenPortSession(ansiName.get(), port, WideLowerTable(lower), {OpenWideLowerPort, &open});
}

// The monitor reads only the document name (the first field at every level)
// and the printer name: the name picks the driver's settings and titles the
// job's window. A character the ANSI code page lacks becomes its default
// character there; the port monitor below gets the spooler's own arguments.
WinBool QXL_WINAPI StartDocPortW(Handle port, WideChar* printerName, u32 jobId, u32 level,
                                 u8* docInfo) {
    bool exact = false;
    UniqueBlock<char> printer(AnsiCopy(printerName, exact));
    if (!printer && printerName != nullptr) return FALSE;
    WideChar* wideDocument = docInfo != nullptr ? *reinterpret_cast<WideChar**>(docInfo) : nullptr;
    UniqueBlock<char> document(AnsiCopy(wideDocument, exact));
    if (!document && wideDocument != nullptr) return FALSE;
    DOC_INFO_1A ansiInfo{document.get(), nullptr, nullptr};

    auto& below = *static_cast<WideLowerPort*>(static_cast<PortSession*>(port)->lowerPort);
    below.jobPrinterName = printerName;
    below.jobDocInfo = docInfo;
    WinBool started = StartDocPort(port, printer.get(), jobId, level,
                                   docInfo != nullptr ? reinterpret_cast<u8*>(&ansiInfo) : nullptr);
    below.jobPrinterName = nullptr;
    below.jobDocInfo = nullptr;
    return started;
}

// A value name goes below as the spooler gave it, so one that the ANSI code
// page cannot carry exactly is refused.
WinBool QXL_WINAPI GetPrinterDataFromPortW(Handle port, u32 controlId, WideChar* valueName,
                                           WideChar* inBuffer, u32 inSize, WideChar* outBuffer,
                                           u32 outSize, u32* returned) {
    bool exact = false;
    UniqueBlock<char> name(AnsiCopy(valueName, exact));
    if (!name && valueName != nullptr) return FALSE;
    if (!exact) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    return GetPrinterDataFromPort(port, controlId, name.get(), reinterpret_cast<char*>(inBuffer),
                                  inSize, reinterpret_cast<char*>(outBuffer), outSize, returned);
}
