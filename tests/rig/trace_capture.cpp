// Trace lines from a file or from the debug output.
#include "rig/trace_capture.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace {

std::mutex g_captureMutex;
std::vector<std::string> g_captured;

void WINAPI CaptureDebugOutput(LPCSTR text) {
    std::lock_guard<std::mutex> lock(g_captureMutex);
    g_captured.emplace_back(text != nullptr ? text : "");
}

}  // namespace

DebugOutputCapture::DebugOutputCapture(HMODULE module)
    : hook(module, "kernel32.dll", "OutputDebugStringA",
           reinterpret_cast<void*>(CaptureDebugOutput)) {
    std::lock_guard<std::mutex> lock(g_captureMutex);
    g_captured.clear();
}

DebugOutputCapture::~DebugOutputCapture() = default;

std::vector<std::string> DebugOutputCapture::texts() const {
    std::lock_guard<std::mutex> lock(g_captureMutex);
    return g_captured;
}

std::vector<std::string> ReadTraceLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        end = end == std::string::npos ? all.size() : end + 1;
        lines.push_back(all.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string MissingStep(const std::vector<std::string>& lines,
                        const std::vector<std::string>& steps) {
    size_t next = 0;
    for (const std::string& step : steps) {
        while (next < lines.size() && lines[next].find(step) == std::string::npos) ++next;
        if (next == lines.size()) return step;
        ++next;
    }
    return "";
}

std::string TempTracePath(const char* name) {
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    std::string path = std::string(directory) + name;
    DeleteFileA(path.c_str());
    return path;
}
