// qxlsetup.exe run as a person runs it: for each state of the registry and the
// system directory, its exit code, the line it prints and the registry it leaves.
// Wine's spooler loads the monitor through InitializePrintMonitor2, as the
// spooler of Windows does; no driver can hold the monitor in use here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "qxl_version.h"
#include "rig/network_monitor.h"
#include "rig/run_program.h"

namespace {

constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
constexpr char kTestMonitor[] = "QXL Setup Test";
constexpr char kVersion[] = "version " QXL_VERSION_TEXT ".0";
#if defined(_WIN64)
constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_I386;
#else
constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_AMD64;
#endif

// The test monitor's key: "Driver" qxlmon.dll, or the full path as REG_EXPAND_SZ.
enum class Key { NoKey, Registered, RegisteredExpandable };
enum class Dll { NoDll, Product, OtherArch };  // qxlmon.dll in the system directory
enum class Token { Elevated, Limited };
using enum Key;
using enum Dll;
using enum Token;

struct SetupCase {
    const char* name;
    const char* args;
    Key key;
    Dll dll;
    Token token;
    DWORD exitCode;
    const char* says;  // part of what it prints
    Key keyAfter;
};

std::string SystemDll() {
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\qxlmon.dll";
}

std::string MonitorKey(const char* name) { return std::string(kMonitorsKey) + name; }

bool KeyRegistered(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, MonitorKey(name).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    bool driver =
        RegQueryValueExA(key, "Driver", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return driver;
}

// As an installer leaves it: the key with its "Driver" value.
void RegisterKey(const char* name, bool expandable) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, MonitorKey(name).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    static const char plain[] = "qxlmon.dll";
    static const char full[] = "%SystemRoot%\\system32\\qxlmon.dll";
    if (expandable)
        RegSetValueExA(key, "Driver", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(full),
                       sizeof full);
    else
        RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(plain),
                       sizeof plain);
    RegCloseKey(key);
}

// Just enough of a PE header to name the other architecture's machine.
void WriteOtherArchDll(const std::string& path) {
    BYTE image[0x48] = {'M', 'Z'};
    image[0x3C] = 0x40;
    memcpy(image + 0x40, "PE\0\0", 4);
    memcpy(image + 0x44, &kOtherMachine, sizeof kOtherMachine);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, image, sizeof image, &written, nullptr);
    CloseHandle(file);
}

void Clean() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, MonitorKey(kTestMonitor).c_str());
    DeleteFileA(SystemDll().c_str());
}

class Qxlsetup : public testing::TestWithParam<SetupCase> {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
};

TEST_P(Qxlsetup, ExitCodeMessageAndRegistry) {
    const SetupCase& c = GetParam();
    if (c.key != NoKey) RegisterKey(kTestMonitor, c.key == RegisteredExpandable);
    if (c.dll == Product) {
        ASSERT_TRUE(
            CopyFileA((ProgramDirectory() + "qxlmon.dll").c_str(), SystemDll().c_str(), FALSE));
    }
    if (c.dll == OtherArch) WriteOtherArchDll(SystemDll());

    ProgramRun run = RunProgram("qxlsetup.exe " + std::string(c.args), c.token == Limited);
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_EQ(KeyRegistered(kTestMonitor), c.keyAfter == Registered);
}

// The test monitor's name is "QXL Setup Test".
const SetupCase kCases[] = {
    {"NoCommand", "", NoKey, NoDll, Elevated, 2, "usage: qxlsetup add|remove|status [NAME]", NoKey},
    {"UnknownCommand", "install", NoKey, NoDll, Elevated, 2, "unknown command 'install'", NoKey},
    {"TooManyArguments", "status a b", NoKey, NoDll, Elevated, 2, "too many arguments", NoKey},
    {"NameWithBackslash", R"(status a\b)", NoKey, NoDll, Elevated, 2, "must not be empty", NoKey},
    {"HelpListsExitCodes", "/?", NoKey, NoDll, Elevated, 0, "7 not installed", NoKey},
    {"AddNeedsElevation", R"(add "QXL Setup Test")", NoKey, Product, Limited, 3,
     "elevated command prompt", NoKey},
    {"RemoveNeedsElevation", R"(remove "QXL Setup Test")", Registered, Product, Limited, 3,
     "elevated command prompt", Registered},
    {"AddWithoutDll", R"(add "QXL Setup Test")", NoKey, NoDll, Elevated, 4, "qxlmon.dll is missing",
     NoKey},
    {"AddWithOtherArchDll", R"(add "QXL Setup Test")", NoKey, OtherArch, Elevated, 4,
     "qxlmon.dll is not an x", NoKey},
    {"AddTwice", R"(add "QXL Setup Test")", Registered, Product, Elevated, 5,
     "is already installed", Registered},
    {"RemoveInstalled", R"(remove "QXL Setup Test")", Registered, Product, Elevated, 0,
     R"(monitor "QXL Setup Test" removed)", NoKey},
    {"RemoveNotInstalled", R"(remove "QXL Setup Test")", NoKey, Product, Elevated, 7,
     "is not installed", NoKey},
    {"StatusInstalledWithoutElevation", R"(status "QXL Setup Test")", Registered, Product, Limited,
     0, kVersion, Registered},
    {"StatusInstalledDllMissing", R"(status "QXL Setup Test")", Registered, NoDll, Elevated, 4,
     "is installed, but", Registered},
    {"StatusInstalledOtherArchDll", R"(status "QXL Setup Test")", Registered, OtherArch, Elevated,
     4, "is not an x", Registered},
    {"StatusExpandsTheDriverPath", R"(status "QXL Setup Test")", RegisteredExpandable, Product,
     Elevated, 0, kVersion, Registered},
    {"StatusNotInstalledShowsDll", R"(status "QXL Setup Test")", NoKey, Product, Elevated, 7,
     kVersion, NoKey},
    {"StatusDefaultName", "status", NoKey, NoDll, Elevated, 7,
     R"(monitor "QXL Language Monitor" is not installed)", NoKey},
};

INSTANTIATE_TEST_SUITE_P(Cases, Qxlsetup, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SetupCase>& info) {
                             return std::string(info.param.name);
                         });

// One install's course through the spooler, which loads and initialises the
// DLL at add: each step's exit code, line and registry.
TEST(QxlsetupThroughTheSpooler, AddStatusAndRemove) {
    struct Step {
        const char* args;
        DWORD exitCode;
        const char* says;
        Key keyAfter;
    };
    const Step steps[] = {
        {R"(add "QXL Setup Test")", 0, R"(monitor "QXL Setup Test" added: )", Registered},
        {R"(status "QXL Setup Test")", 0, kVersion, Registered},
        {R"(add "QXL Setup Test")", 5, "is already installed", Registered},
        {R"(remove "QXL Setup Test")", 0, R"(monitor "QXL Setup Test" removed)", NoKey},
        {R"(status "QXL Setup Test")", 7, "is not installed", NoKey},
    };
    Clean();
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "qxlmon.dll").c_str(), SystemDll().c_str(), FALSE));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args);
        ProgramRun run = RunProgram("qxlsetup.exe " + std::string(step.args));
        ASSERT_TRUE(run.finished) << run.output;
        EXPECT_EQ(run.exitCode, step.exitCode) << run.output;
        EXPECT_NE(run.output.find(step.says), std::string::npos) << run.output;
        EXPECT_EQ(KeyRegistered(kTestMonitor), step.keyAfter == Registered);
    }
    Clean();
}

}  // namespace
