// The case generator of the fault matrix.
#include "faults/fault_case.h"

#include <cstdio>
#include <sstream>

#include "core/port_monitor.h"

namespace {

struct ErrorClass {
    const char* name;
    DWORD error;
};
// Every class of last error the monitor tells apart.
const ErrorClass kErrors[] = {
    {"fatal", PORTERR_FATAL},
    {"gone", PORTERR_GONE},
    {"no-data", ERROR_COUNTER_TIMEOUT_CODE},
    {"other", ERROR_GEN_FAILURE},
};

struct Effect {
    const char* name;
    PortOp op;
    FaultEffect effect;
};
const Effect kEffects[] = {
    {"half", PortOp::WritePort, FaultEffect::Half},
    {"nothing", PortOp::WritePort, FaultEffect::Nothing},
    {"split", PortOp::ReadPort, FaultEffect::Half},
    {"garbage", PortOp::ReadPort, FaultEffect::Garbage},
};

const PortOp kFaultedOps[] = {
    PortOp::StartDocPort,           PortOp::SetPortTimeOuts, PortOp::WritePort, PortOp::ReadPort,
    PortOp::GetPrinterDataFromPort, PortOp::EndDocPort,      PortOp::ClosePort};

struct PrinterCase {
    const char* name;
    PrinterFault fault;
};
const PrinterCase kPrinterFaults[] = {
    {"error-before-page", PrinterFault::ErrorBeforePage},
    {"error-while-printing", PrinterFault::ErrorWhilePrinting},
    {"error-after-last-page", PrinterFault::ErrorAfterLastPage},
    {"cover-open", PrinterFault::CoverOpenThenClosed},
    {"media-out", PrinterFault::MediaOutThenIn},
    {"silent", PrinterFault::SilentMidHandshake},
    {"never-quiet", PrinterFault::NeverQuiet},
};

struct AppCase {
    const char* name;
    std::string mode;
    std::string script;
    PrinterFault printer;
    bool hears;
    bool exits;
    bool cannotStart;
};
const AppCase kAppFaults[] = {
    {"not-found", "normal", "", PrinterFault::None, false, true, true},
    {"no-window", "nowindow", "", PrinterFault::None, false, false, false},
    {"exits-mid-page", "normal", "on 0x50022 exit after 200", PrinterFault::None, false, true,
     false},
    {"closes-while-awaited", "closeonstate", "", PrinterFault::CoverOpenThenClosed, false, true,
     false},
    {"hangs", "normal", "on 0x50022 hang 5000", PrinterFault::None, false, false, false},
    {"pause-then-cancel", "normal", "on 0x20014 reply 2; on 0x20014 reply 3 after 1500",
     PrinterFault::CoverOpenThenClosed, true, true, false},
    {"answers-twice", "normal", "on 0x20014 reply 1; on 0x20014 reply 1 after 100",
     PrinterFault::CoverOpenThenClosed, true, true, false},
    {"answers-after-the-end", "neverexit", "on error reply 1; on 0x40000 reply 3 after 300",
     PrinterFault::None, true, false, false},
};

const char* const kFileFunctions[] = {"CreateFileA", "WriteFile", "ReadFile"};

// The calls at which a fault is tried: every one of a few, else the first
// few and a spread over the rest; the sample takes the middle one.
std::vector<int> Positions(size_t count, bool sample) {
    std::vector<int> at;
    if (count == 0) return at;
    if (sample) return {static_cast<int>((count + 1) / 2)};
    size_t every = count <= 12 ? count : 6;
    for (size_t k = 1; k <= every; ++k) at.push_back(static_cast<int>(k));
    for (size_t step = 1; count > 12 && step <= 6; ++step)
        at.push_back(static_cast<int>(6 + (count - 6) * step / 6));
    return at;
}

std::string KindName(const std::string& port) {
    if (port.rfind("QXUSB", 0) == 0) return "usb";
    if (port.rfind("NX", 0) == 0) return "network";
    if (port.rfind("QXCOM", 0) == 0) return "serial";
    if (port.rfind("LPT", 0) == 0) return "parallel";
    return "other";
}

FaultCase Base(const std::string& name, const std::string& port, bool multiCopy = false) {
    FaultCase c;
    c.name = name;
    c.port = port;
    c.multiCopy = multiCopy;
    return c;
}

const std::string kPlainPort = "LPT6";  // the fastest kind, for the faults that do not depend on it

void AddPortFaults(std::vector<FaultCase>& cases, const Censuses& censuses, bool sample) {
    const std::vector<std::string>& ports = MatrixPorts();
    size_t turn = 0;
    for (PortOp op : kFaultedOps) {
        for (const ErrorClass& error : kErrors) {
            for (size_t p = 0; p < ports.size(); ++p) {
                // The sample takes each fault once, on the port kinds in turn.
                if (sample && p != turn % ports.size()) continue;
                const std::string& port = ports[p];
                auto found = censuses.find(JobKey(port, false));
                if (found == censuses.end()) continue;
                auto calls = found->second.calls.find(op);
                size_t count = calls == found->second.calls.end() ? 0 : calls->second;
                for (int k : Positions(count, sample)) {
                    FaultCase c = Base(KindName(port) + "/" + PortOpName(op) + "#" +
                                           std::to_string(k) + "/" + error.name,
                                       port);
                    c.portFault = true;
                    c.op = op;
                    c.rule = {true, error.error, 1, k - 1};
                    cases.push_back(c);
                }
            }
            ++turn;
        }
    }
    for (const Effect& effect : kEffects) {
        for (size_t p = 0; p < ports.size(); ++p) {
            if (sample && p != turn % ports.size()) continue;
            auto found = censuses.find(JobKey(ports[p], false));
            if (found == censuses.end()) continue;
            for (int k : Positions(
                     found->second.calls.count(effect.op) ? found->second.calls.at(effect.op) : 0,
                     sample)) {
                FaultCase c = Base(KindName(ports[p]) + "/" + PortOpName(effect.op) + "#" +
                                       std::to_string(k) + "/" + effect.name,
                                   ports[p]);
                c.portFault = true;
                c.op = effect.op;
                c.rule = {false, 0, 1, k - 1, effect.effect};
                cases.push_back(c);
            }
        }
        ++turn;
    }
    for (size_t p = 0; p < ports.size(); ++p) {
        if (sample && p != turn % ports.size()) continue;
        FaultCase c = Base(KindName(ports[p]) + "/EnumPorts/fails", ports[p]);
        c.enumPortsFails = true;
        cases.push_back(c);
    }
}

void AddPrinterAndAppFaults(std::vector<FaultCase>& cases, bool sample) {
    const std::vector<std::string>& ports = MatrixPorts();
    size_t turn = 0;
    for (const PrinterCase& printer : kPrinterFaults) {
        for (size_t p = 0; p < ports.size(); ++p) {
            if (sample && p != turn % ports.size()) continue;
            FaultCase c = Base(KindName(ports[p]) + "/printer/" + printer.name, ports[p]);
            c.printer = printer.fault;
            // The user answers the silent printer with a cancel, a while after it went quiet.
            if (printer.fault == PrinterFault::SilentMidHandshake)
                c.appScript = "on error reply 1; on 0x50022 reply 3 after 1500 once";
            cases.push_back(c);
        }
        ++turn;
    }
    for (const AppCase& app : kAppFaults) {
        for (const std::string& port : {kPlainPort, std::string("QXUSB61")}) {
            if (sample && port != kPlainPort) continue;
            FaultCase c = Base(KindName(port) + "/application/" + app.name, port);
            c.appMode = app.mode;
            c.appScript = app.script;
            c.printer = app.printer;
            c.appHears = app.hears;
            c.appExits = app.exits;
            c.appCannotStart = app.cannotStart;
            cases.push_back(c);
        }
    }
}

void AddSystemFaults(std::vector<FaultCase>& cases, const Censuses& censuses, bool sample) {
    for (bool multiCopy : {false, true}) {
        auto found = censuses.find(JobKey(kPlainPort, multiCopy));
        if (found == censuses.end()) continue;
        const Census& census = found->second;
        std::string kind = multiCopy ? "copies" : "plain";
        std::vector<int> at;
        if (sample) {
            at = {1, static_cast<int>(census.allocations / 2),
                  static_cast<int>(census.allocations)};
        } else {
            for (size_t n = 1; n <= census.allocations; ++n) at.push_back(static_cast<int>(n));
        }
        for (int n : at) {
            if (n <= 0) continue;
            FaultCase c =
                Base("allocation/" + kind + "#" + std::to_string(n), kPlainPort, multiCopy);
            c.allocationFailsAt = n;
            cases.push_back(c);
        }
        if (!multiCopy) continue;
        for (const char* function : kFileFunctions) {
            auto calls = census.fileCalls.find(function);
            size_t count = calls == census.fileCalls.end() ? 0 : calls->second;
            for (int k : Positions(count, false)) {
                if (sample && k != 1) continue;
                FaultCase c = Base("file/" + std::string(function) + "#" + std::to_string(k),
                                   kPlainPort, true);
                c.fileFunction = function;
                c.fileFailsAt = k;
                cases.push_back(c);
            }
        }
    }
}

}  // namespace

std::string PortForSlot(const std::string& port, int slot) {
    return port.substr(0, port.size() - 1) + static_cast<char>('0' + slot);
}

std::string JobKey(const std::string& port, bool multiCopy) {
    return multiCopy ? port + "+copies" : port;
}

const std::vector<std::string>& MatrixPorts() {
    static const std::vector<std::string> ports = {"QXUSB61", "LPT6", "NX61", "QXCOM6", "FILE61"};
    return ports;
}

std::vector<FaultCase> GenerateCases(const Censuses& censuses, bool sample) {
    std::vector<FaultCase> cases;
    AddPortFaults(cases, censuses, sample);
    AddPrinterAndAppFaults(cases, sample);
    AddSystemFaults(cases, censuses, sample);
    return cases;
}

// "KEY op=n ... allocations=n CreateFileA=n ...;KEY ..."
std::string EncodeCensuses(const Censuses& censuses) {
    std::string text;
    for (const auto& [key, census] : censuses) {
        text += key;
        for (const auto& [op, count] : census.calls)
            text += " " + std::string(PortOpName(op)) + "=" + std::to_string(count);
        text += " allocations=" + std::to_string(census.allocations);
        for (const auto& [function, count] : census.fileCalls)
            text += " " + function + "=" + std::to_string(count);
        text += ";";
    }
    return text;
}

Censuses DecodeCensuses(const std::string& text) {
    Censuses censuses;
    std::istringstream entries(text);
    std::string entry;
    while (std::getline(entries, entry, ';')) {
        std::istringstream words(entry);
        std::string key, word;
        if (!(words >> key)) continue;
        Census& census = censuses[key];
        while (words >> word) {
            size_t equals = word.find('=');
            if (equals == std::string::npos) continue;
            std::string name = word.substr(0, equals);
            size_t count = std::stoul(word.substr(equals + 1));
            bool isOp = false;
            for (PortOp op : kFaultedOps) {
                if (name == PortOpName(op)) {
                    census.calls[op] = count;
                    isOp = true;
                }
            }
            if (isOp) continue;
            if (name == "allocations")
                census.allocations = count;
            else
                census.fileCalls[name] = count;
        }
    }
    return censuses;
}
