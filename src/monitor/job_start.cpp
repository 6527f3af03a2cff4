// StartDocPort: claims the port for the job, starts its record afresh, starts
// it on the port monitor, makes its buffers and handles and reads its
// timeouts from the driver's registry settings.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/driver_settings.h"
#include "core/port_calls.h"
#include "core/port_monitor.h"
#include "core/process_state.h"
#include "core/scoped.h"
#include "core/statmon_interface.h"
#include "core/trace.h"
#include "monitor/job_end.h"
#include "monitor/monitor_ops.h"

namespace {

constexpr DWORD OPEN_PORT_WAIT_MS = 60000;
constexpr u32 DRIVER_NAME_SIZE = 260;

// The longest the registry may set. Seconds become milliseconds in 64 bits
// and are held below these, so that no value wraps to a short wait or runs
// for weeks; a pause of more than a second before every 256 bytes written to
// a network port would only hold the port.
constexpr u64 STATUS_TIMEOUT_MAX_MS = 600 * 1000;
constexpr u64 PRINT_TIMEOUT_MAX_MS = 3600 * 1000;
constexpr u32 LAN_SLEEP_MAX_MS = 1000;

u32 SecondsToBoundedMs(u32 seconds, u64 maxMs) {
    u64 ms = static_cast<u64>(seconds) * 1000;
    return static_cast<u32>(ms < maxMs ? ms : maxMs);
}

struct JobSettings {
    u32 statusTimeout = 5;  // seconds
    u32 printTimeout = 60;  // seconds
    u32 lanSleep = 0;       // milliseconds
    TraceSettings trace;
};

// Missing keys and values are not failures: the defaults stay.
JobSettings ReadJobSettings(const char* printerName) {
    JobSettings settings;
    HKEY printerKey = nullptr;
    if (!OpenSettingsKey(PRINTERS_KEY_FORMAT, printerName, printerKey)) return settings;
    char driver[DRIVER_NAME_SIZE + 1] = {};  // one spare byte keeps it terminated
    DWORD size = DRIVER_NAME_SIZE;
    LONG read = RegQueryValueExA(printerKey, "Printer Driver", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(driver), &size);
    RegCloseKey(printerKey);
    if (read != ERROR_SUCCESS) return settings;

    HKEY settingsKey = nullptr;
    if (!OpenSettingsKey(SETTINGS_KEY_FORMAT, driver, settingsKey)) return settings;
    ReadFourByteSetting(settingsKey, "Status Timeout", settings.statusTimeout);
    ReadFourByteSetting(settingsKey, "Print Timeout", settings.printTimeout);
    ReadFourByteSetting(settingsKey, "LanSleep", settings.lanSleep);
    ReadFourByteSetting(settingsKey, "Trace", settings.trace.on);
    ReadTraceFile(settingsKey, settings.trace);
    RegCloseKey(settingsKey);
    return settings;
}

// "<printer> - <document>" on the global heap; a missing name counts as empty.
char* MakeWindowTitle(const char* printerName, const char* documentName) {
    static constexpr char SEPARATOR[] = " - ";
    const char* printer = printerName != nullptr ? printerName : "";
    const char* document = documentName != nullptr ? documentName : "";
    size_t printerLength = std::strlen(printer);
    size_t documentLength = std::strlen(document);
    size_t separatorLength = sizeof SEPARATOR - 1;
    auto* title =
        static_cast<char*>(AllocZeroed(printerLength + separatorLength + documentLength + 1));
    if (title == nullptr) return nullptr;
    std::memcpy(title, printer, printerLength);
    std::memcpy(title + printerLength, SEPARATOR, separatorLength);
    std::memcpy(title + printerLength + separatorLength, document, documentLength);
    return title;
}

// A wait that timed out leaves the mutex unowned: only an owned one is released.
void ReleaseOpenPortMutex(PortSession& session, bool owned) {
    if (owned && session.openPortMutex != nullptr) ReleaseMutex(session.openPortMutex);
}

// What a job holds besides its state: the copies of its names, the carry
// buffer, the reply event, the connect window's title and the port mutex.
// False when one cannot be had; what was made is in the record either way,
// for ReleaseJob.
bool AcquireJob(JobRecord& job, const char* printerName, const char* documentName) {
    job.printerName = DuplicateText(printerName);
    job.documentName = DuplicateText(documentName);
    job.ownerThreadId = GetCurrentThreadId();
    job.data.carryBuffer = static_cast<u8*>(AllocZeroed(CARRY_BUFFER_SIZE));
    job.link.replyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    job.link.windowTitle = MakeWindowTitle(printerName, documentName);
    // Every user of the port mutex expects it for the whole job, so it is made
    // whether or not the driver's settings were found.
    job.portMutex = CreateMutexA(nullptr, FALSE, nullptr);
    return job.data.carryBuffer != nullptr && job.link.replyEvent != nullptr &&
           job.portMutex != nullptr;
}

void ApplySettings(JobRecord& job, const JobSettings& settings) {
    job.status.statusTimeout = SecondsToBoundedMs(settings.statusTimeout, STATUS_TIMEOUT_MAX_MS);
    job.status.printTimeout = SecondsToBoundedMs(settings.printTimeout, PRINT_TIMEOUT_MAX_MS);
    job.data.lanSleep = settings.lanSleep < LAN_SLEEP_MAX_MS ? settings.lanSleep : LAN_SLEEP_MAX_MS;
}

// A job start the port monitor refused: the port is free again, and the
// port monitor's reason stays for the spooler.
WinBool Refuse(PortSession& session, const char* printerName, const char* reason, bool startedBelow,
               bool ownsOpenPortMutex) {
    KeepLastError keep;
    TraceJobRefused(session, ReadJobSettings(printerName).trace, reason, keep.error);
    if (startedBelow) LowerEndDocPort(session);
    ReleaseOpenPortMutex(session, ownsOpenPortMutex);
    session.job.flags &= ~PSF_BUSY;
    return FALSE;
}

}  // namespace

// The job's record starts afresh as a whole; the port claimed, the job is
// started on the port monitor and then given what it holds.
WinBool QXL_WINAPI StartDocPort(Handle port, char* printerName, u32 jobId, u32 level, u8* docInfo) {
    auto* session = static_cast<PortSession*>(port);
    if (session->job.flags & PSF_BUSY) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    if (!session->lowerCanRunJobs) {
        TraceJobRefused(*session, ReadJobSettings(printerName).trace,
                        "the port monitor lacks an operation this port needs", ERROR_NOT_SUPPORTED);
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    JobRecord& job = session->job;
    job = FreshJob();
    job.flags = PSF_BUSY;

    // A job of another process on this port name holds the mutex to its end;
    // after the wait the job goes on, owned or not.
    bool ownsOpenPortMutex = false;
    if (session->openPortMutex != nullptr) {
        DWORD wait = WaitForSingleObject(session->openPortMutex, OPEN_PORT_WAIT_MS);
        ownsOpenPortMutex = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }

    if (!LowerStartDocPort(*session, printerName, jobId, level, docInfo))
        return Refuse(*session, printerName, "StartDocPort failed", false, ownsOpenPortMutex);
    CommTimeouts timeouts = JOB_COMM_TIMEOUTS;
    if (!LowerSetPortTimeOuts(*session, &timeouts))
        return Refuse(*session, printerName, "SetPortTimeOuts failed", true, ownsOpenPortMutex);

    job.flags |= PSF_LAUNCH_STATMON | PSF_SEND_MEDIA;
    // The document name is the first field of the document information at levels 1 and 2.
    const char* documentName = docInfo != nullptr ? *reinterpret_cast<char**>(docInfo) : nullptr;
    if (!AcquireJob(job, printerName, documentName)) {
        ReleaseJob(*session, ownsOpenPortMutex);
        return FALSE;
    }
    JobSettings settings = ReadJobSettings(printerName);
    StartTrace(*session, settings.trace);
    ApplySettings(job, settings);
    job.flags |= PSF_STARTED;
    job.jobId = jobId;
    TraceJobStart(*session);
    return TRUE;
}
