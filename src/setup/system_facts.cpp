// What qxlsetup needs to know about the machine and the files on it.
#include "setup/system_facts.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/scoped.h"
#include "setup/setup.h"

namespace {

#if defined(_WIN64)
constexpr WORD kImageMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kImageMachine = IMAGE_FILE_MACHINE_I386;
#endif

// The machine field of a PE image's file header; 0 when the bytes are not one.
WORD ImageMachine(const BYTE* head, DWORD length) {
    if (length < 0x40 || head[0] != 'M' || head[1] != 'Z') return 0;
    DWORD peOffset;
    memcpy(&peOffset, head + 0x3C, sizeof peOffset);
    if (peOffset > length - 6) return 0;
    const BYTE* pe = head + peOffset;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return 0;
    WORD machine;
    memcpy(&machine, pe + 4, sizeof machine);
    return machine;
}

}  // namespace

std::string SystemDirectory() {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "C:\\Windows\\System32";
    return std::string(path, length);
}

std::string SystemDllPath() { return SystemDirectory() + "\\" + kMonitorDll; }

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return !known || elevation.TokenIsElevated != 0;
}

bool RunsUnderWow64() {
#if defined(_WIN64)
    return false;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// A file that exists but cannot be read is taken as present: the spooler's
// own load then reports what is wrong with it.
DllState ProbeDll(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return DLL_MISSING;
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return DLL_PRESENT;
    BYTE head[4096];
    DWORD length = 0;
    if (!ReadFile(file.get(), head, sizeof head, &length, nullptr)) return DLL_PRESENT;
    return ImageMachine(head, length) == kImageMachine ? DLL_PRESENT : DLL_WRONG_ARCH;
}

std::string FileVersionText(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof *fixed)
        return {};
    char text[64];
    snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
             LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
             LOWORD(fixed->dwFileVersionLS));
    return text;
}

std::string Win32ErrorText(DWORD error) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    while (length > 0 &&
           (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        --length;
    std::string result = "error " + std::to_string(error);
    if (length > 0) result += ": " + std::string(text, length);
    return result;
}
