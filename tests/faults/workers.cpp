// Worker processes: started with a batch of case indices, read line by line.
#include "faults/workers.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <sstream>

#include "faults/fault_job.h"

namespace {

// A worker may take a case's bound and the time to settle after it, per case.
constexpr DWORD WORKER_CASE_BOUND_MS = JOB_BOUND_MS + 30000;

struct Worker {
    HANDLE process = nullptr;
    HANDLE output = nullptr;
    std::vector<size_t> batch;
    size_t next = 0;        // batch entries done
    bool running = false;   // a CASE line came without its result yet
    std::string pending;    // output not yet split into lines
    std::string lastWords;  // what it said outside the protocol, last
    DWORD caseStart = 0;
};

std::string ProgramPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

bool Start(Worker& worker, int slot, bool sample) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::string list;
    for (size_t i = worker.next; i < worker.batch.size(); ++i)
        list += (list.empty() ? "" : ",") + std::to_string(worker.batch[i]);
    std::string command = "\"" + ProgramPath() + "\" --worker --slot " + std::to_string(slot) +
                          " --cases " + list + (sample ? " --sample" : "");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started{};
    BOOL ok = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &started);
    CloseHandle(writeEnd);
    if (!ok) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(started.hThread);
    worker.process = started.hProcess;
    worker.output = readEnd;
    worker.pending.clear();
    worker.caseStart = GetTickCount();
    return true;
}

void Stop(Worker& worker) {
    if (worker.process != nullptr) {
        TerminateProcess(worker.process, 1);
        WaitForSingleObject(worker.process, 10000);
        CloseHandle(worker.process);
    }
    if (worker.output != nullptr) CloseHandle(worker.output);
    worker.process = worker.output = nullptr;
}

// "PASS i ms" or "FAIL i ms<TAB>invariant<TAB>...".
bool ParseResult(const std::string& line, CaseResult& result) {
    std::istringstream words(line);
    std::string verdict;
    if (!(words >> verdict >> result.index >> result.milliseconds)) return false;
    if (verdict != "PASS" && verdict != "FAIL") return false;
    result.passed = verdict == "PASS";
    size_t tab = line.find('\t');
    while (tab != std::string::npos) {
        size_t end = line.find('\t', tab + 1);
        result.broken.push_back(
            line.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1));
        tab = end;
    }
    return true;
}

void TakeLines(Worker& worker, std::vector<CaseResult>& results) {
    DWORD available = 0;
    while (PeekNamedPipe(worker.output, nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(worker.output, buffer, std::min<DWORD>(sizeof buffer, available), &got,
                      nullptr) ||
            got == 0)
            break;
        worker.pending.append(buffer, got);
    }
    size_t end;
    while ((end = worker.pending.find('\n')) != std::string::npos) {
        std::string line = worker.pending.substr(0, end);
        worker.pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        CaseResult result;
        if (line.rfind("CASE ", 0) == 0) {
            worker.running = true;
            worker.caseStart = GetTickCount();
        } else if (ParseResult(line, result)) {
            results.push_back(result);
            worker.running = false;
            ++worker.next;
        } else if (!line.empty() && line != "DONE") {
            worker.lastWords = line;
        }
    }
}

// The worker ended or hung: the case it was in fails, the rest goes on elsewhere.
void Lost(Worker& worker, bool hung, std::vector<CaseResult>& results) {
    if (worker.next < worker.batch.size()) {
        CaseResult result;
        result.index = worker.batch[worker.next];
        result.milliseconds = GetTickCount() - worker.caseStart;
        std::string said = worker.lastWords.empty() ? "" : ": " + worker.lastWords;
        bool crashed = worker.lastWords.find("exception") != std::string::npos;
        result.broken.push_back(hung      ? "1 the case did not end" + said
                                : crashed ? "2 the process crashed" + said
                                          : "1 the worker ended" + said);
        results.push_back(result);
        ++worker.next;
    }
    worker.lastWords.clear();
    worker.running = false;
}

}  // namespace

std::vector<CaseResult> RunInWorkers(const std::vector<size_t>& cases, int batch, int jobs,
                                     bool sample) {
    std::deque<std::vector<size_t>> batches;
    for (size_t i = 0; i < cases.size(); i += static_cast<size_t>(batch))
        batches.emplace_back(cases.begin() + static_cast<long>(i),
                             cases.begin() + static_cast<long>(std::min(cases.size(), i + batch)));
    std::vector<CaseResult> results;
    std::vector<Worker> workers(static_cast<size_t>(std::clamp(jobs, 1, 8)));
    for (;;) {
        bool busy = false;
        for (size_t w = 0; w < workers.size(); ++w) {
            Worker& worker = workers[w];
            if (worker.process == nullptr && !batches.empty()) {
                worker = Worker{};
                worker.batch = batches.front();
                batches.pop_front();
                // Each worker prints on ports of its own slot: side by side,
                // jobs of one port name would wait for each other.
                if (!Start(worker, static_cast<int>(w) + 1, sample)) {
                    for (size_t i : worker.batch)
                        results.push_back({i, "", false, 0, {"1 the worker did not start"}});
                    continue;
                }
            }
            if (worker.process == nullptr) continue;
            busy = true;
            TakeLines(worker, results);
            bool ended = WaitForSingleObject(worker.process, 0) == WAIT_OBJECT_0;
            bool hung = !ended && GetTickCount() - worker.caseStart > WORKER_CASE_BOUND_MS;
            if (!ended && !hung) continue;
            if (ended) TakeLines(worker, results);
            Stop(worker);
            if (worker.next < worker.batch.size()) {
                Lost(worker, hung, results);
                // The cases the worker did not reach run in a worker of their own.
                if (worker.next < worker.batch.size())
                    batches.emplace_front(worker.batch.begin() + static_cast<long>(worker.next),
                                          worker.batch.end());
            }
        }
        if (!busy && batches.empty()) break;
        Sleep(50);
    }
    return results;
}

int PrintTable(const std::vector<CaseResult>& results,
               const std::function<std::string(size_t)>& nameOf) {
    size_t passed = 0;
    const CaseResult* slowest = nullptr;
    auto name = [&](const CaseResult& r) { return r.name.empty() ? nameOf(r.index) : r.name; };
    for (const CaseResult& result : results) {
        if (result.passed) ++passed;
        if (slowest == nullptr || result.milliseconds > slowest->milliseconds) slowest = &result;
    }
    std::printf("\n%-12s %zu\n%-12s %zu\n%-12s %zu\n", "cases", results.size(), "passed", passed,
                "failed", results.size() - passed);
    if (slowest != nullptr)
        std::printf("%-12s %s (%lu ms)\n", "slowest", name(*slowest).c_str(),
                    slowest->milliseconds);
    for (const CaseResult& result : results) {
        if (result.passed) continue;
        std::printf("FAILED %s\n", name(result).c_str());
        for (const std::string& line : result.broken)
            std::printf("    invariant %s\n", line.c_str());
    }
    std::fflush(stdout);
    return passed == results.size() ? 0 : 1;
}
