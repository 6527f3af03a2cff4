// Pictures of QXSMON.EXE, the status monitor application, as a person sees it
// during a job through the real DLL: printing, paused, and a cover open that
// waits for an answer. Run inside a Wine virtual desktop, which draws the
// window frames (tools/app-screenshots): qxlshots.exe OUTDIR
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/app_rig.h"
#include "qxsmon/resource.h"
#include "rig/network_monitor.h"

extern "C" {
// The flat GDI+ calls that save a bitmap as PNG.
struct GdiplusStartupInput {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};
int WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
int WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, void** image);
int WINAPI GdipSaveImageToFile(void* image, const WCHAR* file, const CLSID* encoder,
                               const void* parameters);
int WINAPI GdipDisposeImage(void* image);
}

namespace {

constexpr DWORD REPAINT_MS = 300;

bool SavePng(HBITMAP bitmap, const std::string& path) {
    static const CLSID PNG_ENCODER = {
        0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    void* image = nullptr;
    if (GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) != 0) return false;
    std::wstring file(path.begin(), path.end());
    bool saved = GdipSaveImageToFile(image, file.c_str(), &PNG_ENCODER, nullptr) == 0;
    GdipDisposeImage(image);
    return saved;
}

// The window as it is on the screen, frame included.
bool Capture(HWND window, const std::string& path) {
    Sleep(REPAINT_MS);
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) &&
              SavePng(bitmap, path);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qxlshots.exe OUTDIR\n");
        return 2;
    }
    std::string out = std::string(argv[1]) + "\\qxsmon-";
    ULONG_PTR token = 0;
    GdiplusStartupInput gdiplus = {1, nullptr, FALSE, FALSE};
    LoadedMonitor monitor;
    if (GdiplusStartup(&token, &gdiplus, nullptr) != 0 ||
        !LoadMonitorDll((ProgramDirectory() + "..\\bin\\qxlmon.dll").c_str(), monitor)) {
        std::fprintf(stderr, "qxlshots: no GDI+ or no qxlmon.dll\n");
        return 1;
    }

    JobRun run(&monitor.table, "QXUSB001");
    run.printer().errorPage = 3;
    run.printer().pageErrorInfo2 = 0x10;  // the cover opens before page 3
    BuiltJob job = BuildSimpleJob(3, 60);
    size_t midPage2 = (job.pageStreamEnds[0] + job.pageStreamEnds[1]) / 2;
    JobThread thread(run, "Label Printer", "Shipping labels", job.stream, midPage2);
    HWND window = thread.waitHeld() ? WaitForAppWindow("Shipping labels") : nullptr;
    if (window == nullptr) {
        std::fprintf(stderr, "qxlshots: no status window\n");
        return 1;
    }
    bool ok = Capture(window, out + "printing.png");
    Click(window, IDC_PAUSE);
    ok = Capture(window, out + "paused.png") && ok;
    Click(window, IDC_PAUSE);
    thread.release();
    ok = WaitUntil([&] { return ItemText(window, IDC_STATE) == "Cover open"; }) &&
         Capture(window, out + "error.png") && ok;
    Click(window, IDC_CONTINUE);
    thread.join();
    return ok && thread.ended ? 0 : 1;
}
