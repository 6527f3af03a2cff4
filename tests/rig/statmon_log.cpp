// Reads the status monitor application stand-in's log and sets its environment.
#include "rig/statmon_log.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

u32 Number(const std::string& word) {
    return static_cast<u32>(std::strtoul(word.c_str(), nullptr, 0));
}

std::vector<u8> FromHex(const std::string& hex) {
    std::vector<u8> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<u8>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return bytes;
}

// "PID TICK notify CODE LPARAM [block NAME (missing | SIZE HEX)]", "PID TICK reply STATE", ...
StatmonRecord ParseLine(const std::string& line) {
    StatmonRecord record;
    record.line = line;
    std::istringstream words(line);
    std::string pid, tick, word;
    words >> pid >> tick >> record.event;
    record.processId = Number(pid);
    record.tick = Number(tick);
    if (record.event == "notify") {
        std::string code, lParam;
        words >> code >> lParam;
        record.code = Number(code);
        record.lParam = Number(lParam);
        if (words >> word && word == "block") {
            record.hasBlock = true;
            std::string size, hex;
            words >> record.blockName >> size;
            if (size != "missing") {
                record.blockOpened = true;
                words >> hex;
                record.block = FromHex(hex);
            }
        }
    } else if (record.event == "reply") {
        words >> word;
        record.code = Number(word);
    }
    return record;
}

struct SectionBasicInformation {
    void* base;
    ULONG attributes;
    LARGE_INTEGER size;
};
using NtQuerySectionFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// The section's size as its creator asked for it.
SIZE_T SectionSize(HANDLE mapping) {
    auto query = reinterpret_cast<NtQuerySectionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySection")));
    SectionBasicInformation info = {};
    if (query != nullptr && query(mapping, 0, &info, sizeof info, nullptr) >= 0) {
        return static_cast<SIZE_T>(info.size.QuadPart);
    }
    return 0;
}

void SetOrClear(const char* name, const std::string& value) {
    SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

}  // namespace

bool ReadSharedBlock(u32 number, std::vector<u8>& bytes) {
    char name[16];
    std::snprintf(name, sizeof name, "%08x.mmf", static_cast<unsigned>(number));
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | SECTION_QUERY, FALSE, name);
    if (mapping == nullptr) return false;
    SIZE_T size = SectionSize(mapping);
    bytes.clear();
    if (const void* view = size > 0 ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size) : nullptr) {
        bytes.assign(static_cast<const u8*>(view), static_cast<const u8*>(view) + size);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return true;
}

std::vector<StatmonRecord> ReadStatmonLog(const std::string& path) {
    std::vector<StatmonRecord> records;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    // A line still being written has no end yet: leave it for the next read.
    while (std::getline(in, line)) {
        if (in.eof()) break;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) records.push_back(ParseLine(line));
    }
    return records;
}

std::vector<StatmonRecord> Notifications(const std::vector<StatmonRecord>& records) {
    std::vector<StatmonRecord> out;
    for (const auto& record : records) {
        if (record.event == "notify") out.push_back(record);
    }
    return out;
}

std::vector<u32> NotifyCodes(const std::vector<StatmonRecord>& records) {
    std::vector<u32> codes;
    for (const auto& record : records) {
        if (record.event == "notify") codes.push_back(record.code);
    }
    return codes;
}

StatmonEnvironment::StatmonEnvironment(const std::string& mode, const std::string& script,
                                       const std::string& lifetimeMs) {
    char directory[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    GetTempFileNameA(directory, "QXS", 0, path);  // creates it empty
    logPath = path;
    SetOrClear("QXSMON_LOG", logPath);
    SetOrClear("QXSMON_MODE", mode);
    SetOrClear("QXSMON_SCRIPT", script);
    SetOrClear("QXSMON_LIFETIME", lifetimeMs);
}

StatmonEnvironment::~StatmonEnvironment() {
    for (const char* name : {"QXSMON_LOG", "QXSMON_MODE", "QXSMON_SCRIPT", "QXSMON_LIFETIME"}) {
        SetEnvironmentVariableA(name, nullptr);
    }
    DeleteFileA(logPath.c_str());
}
