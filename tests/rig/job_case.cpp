// The driver of the whole-job cases.
#include <gtest/gtest.h>

#include "rig/job_case.h"

#include "rig/bytes.h"
#include "rig/driver_registry.h"
#include "rig/network_monitor.h"

#include <cstdio>
#include <optional>

namespace {

constexpr DWORD JOB_CASE_BOUND_MS = 120000;

struct BoundedWork {
    const std::function<void()>* fn;
};

DWORD WINAPI RunWork(LPVOID parameter) {
    (*static_cast<BoundedWork*>(parameter)->fn)();
    return 0;
}

DWORD WINAPI RunBackground(LPVOID parameter) {
    static_cast<Background*>(parameter)->fn();
    return 0;
}

DWORD WINAPI Hog(LPVOID parameter) {
    auto* hog = static_cast<PassThroughHog*>(parameter);
    u8 buffer[32];
    while (InterlockedCompareExchange(&hog->stop, 0, 0) == 0) {
        u32 read = 0;
        hog->run.spooler.read(buffer, sizeof buffer, &read);
        Sleep(200);  // long enough for every other user to get its turn, even on a loaded machine
    }
    return 0;
}

}  // namespace

void RunBounded(const std::string& what, DWORD ms, const std::function<void()>& fn) {
    BoundedWork work{&fn};
    HANDLE thread = CreateThread(nullptr, 0, RunWork, &work, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    if (WaitForSingleObject(thread, ms) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s did not end within %lu ms\n", what.c_str(), ms);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(thread);
}

Background::Background(std::function<void()> work) : fn(std::move(work)) {
    thread = CreateThread(nullptr, 0, RunBackground, this, 0, nullptr);
}

Background::~Background() {
    if (thread == nullptr) return;
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
}

std::vector<u8> ExpectedPrint(const BuiltJob& job, const std::vector<int>& print) {
    std::vector<u8> bytes;
    for (int part : print) {
        const std::vector<u8>& add = part == RESET ? ResetSequenceBytes() : job.pages.at(part);
        bytes.insert(bytes.end(), add.begin(), add.end());
    }
    return bytes;
}

void RunJobCase(const MonitorFace& face, const JobCase& c) {
    if (c.network) {
        ASSERT_TRUE(RegisterNetworkPortMonitor());
        SetNetworkPorts(c.port);
    }
    JobRun run(face, c.port, c.mode, c.script, c.editLower);
    ASSERT_TRUE(run.opened);
    std::shared_ptr<void> faults = c.arrange ? c.arrange(run) : nullptr;
    std::string printer = c.settings.empty() ? std::string("Label") : "QX " + c.name;
    std::optional<DriverRegistry> registry;
    if (!c.settings.empty()) {
        registry.emplace(printer, printer + " Driver");
        ASSERT_TRUE(registry->setDriver());
        for (const auto& [name, value] : c.settings) ASSERT_TRUE(registry->setDword(name, value));
    }
    BuiltJob job = BuildSimpleJob(3);
    job.stream.insert(job.stream.end(), c.trailingNuls, 0);
    BOOL started = FALSE;
    DWORD startError = 0;
    RunBounded(c.name, JOB_CASE_BOUND_MS, [&] {
        SetLastError(0xdeadbeef);
        started = run.spooler.startDoc(printer.c_str(), 7, "Doc1");
        startError = GetLastError();
        if (!started) return;
        run.write(job.stream, c.chunk);
        run.end();
    });
    faults.reset();
    if (c.startError != 0) {
        EXPECT_FALSE(started);
        EXPECT_EQ(startError, c.startError);
        EXPECT_TRUE(run.received().empty());
        return;
    }
    ASSERT_TRUE(started);
    std::vector<u8> expected = ExpectedPrint(job, c.print);
    expected.insert(expected.end(), c.trailingNuls, 0);
    EXPECT_EQ(WithoutStatusRequests(run.received()), expected);
    if (c.heard != 0) {
        EXPECT_GE(Count(run.notifications(), c.heard), 1u);
    }
}

PassThroughHog::PassThroughHog(JobRun& jobRun, DWORD hold) : run(jobRun), holdMs(hold) {
    thread = CreateThread(nullptr, 0, Hog, this, CREATE_SUSPENDED, &threadId);
    DWORD hogThread = threadId;
    DWORD holdFor = holdMs;
    run.lower.beforeCall = [hogThread, holdFor](PortOp op) {
        if (op == PortOp::ReadPort && GetCurrentThreadId() == hogThread) Sleep(holdFor);
    };
    if (thread != nullptr) ResumeThread(thread);
}

PassThroughHog::~PassThroughHog() {
    InterlockedExchange(&stop, 1);
    if (thread != nullptr) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    run.lower.beforeCall = nullptr;
}
