// A Windows test host for WqRT.dll, run under Wine with a virtual display. It loads the DLL
// like a real host, checks the argument checks of two exports, opens the About sheet, reads the
// version text back from the real window, saves a screenshot and closes the sheet.
//
// usage: wine_host.exe DIR_OF_WqRT.dll SCREENSHOT.bmp
#include <windows.h>

#include <cstdio>
#include <string>

#include "wine_check.h"
#include "wqrt.h"

namespace {

using wine_test::Bind;
using wine_test::Check;
using wine_test::g_failed;
using wine_test::g_passed;
using wine_test::SaveScreenshot;

// The DLL's file version as the About page should show it, read independently of the library.
std::string FileVersion(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::string data(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!size || !GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length)) {
        return "?";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                  LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                  LOWORD(info->dwFileVersionLS));
    return text;
}

struct AboutProbe {
    std::string caption;
    std::string screenshot;
    std::string versionText;
    bool found = false;
    bool saved = false;
};

// Runs beside the modal sheet: waits for it, reads the page, takes the picture, presses OK.
DWORD WINAPI Probe(LPVOID arg) {
    auto* probe = static_cast<AboutProbe*>(arg);
    for (int i = 0; i < 200 && !probe->found; ++i) {
        HWND sheet = FindWindowA(nullptr, probe->caption.c_str());
        HWND page = sheet ? FindWindowExA(sheet, nullptr, nullptr, nullptr) : nullptr;
        for (; page && !GetDlgItem(page, 401);
             page = FindWindowExA(sheet, page, nullptr, nullptr)) {
        }
        if (page) {
            probe->found = true;
            Sleep(500);  // let the sheet paint before the picture is taken
            char text[512] = {};
            GetDlgItemTextA(page, 401, text, sizeof text);
            probe->versionText = text;
            probe->saved = SaveScreenshot(sheet, probe->screenshot);
            PostMessageA(sheet, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(100);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: wine_host DLL_DIR SCREENSHOT.bmp\n");
        return 2;
    }
    std::string dllPath = std::string(argv[1]) + "\\WqRT.dll";
    HMODULE dll = LoadLibraryA(dllPath.c_str());
    if (!Check(dll != nullptr, "WqRT.dll loads")) {
        return 1;
    }

    // The exports of the windows this host does not open refuse a null record without a window.
    using AccountFn = WqResult(WINAPI*)(AccountSettings*);
    using RulesFn = WqResult(WINAPI*)(WqWindow, AccountSettings*);
    using AboutFn = WqResult(WINAPI*)(uint32_t, WqWindow);
    auto rules = Bind<RulesFn>(dll, "WqMailRules");
    auto folders = Bind<AccountFn>(dll, "WqImapFolders");
    Check(rules && rules(nullptr, nullptr) == WQ_E_INVALIDARG && folders &&
              folders(nullptr) == WQ_E_INVALIDARG,
          "WqMailRules and WqImapFolders refuse a null record");

    AboutProbe probe;
    probe.caption = "About Qorva Outlook Express Extensions";
    probe.screenshot = argv[2];
    HANDLE thread = CreateThread(nullptr, 0, Probe, &probe, 0, nullptr);
    auto about = Bind<AboutFn>(dll, "WqAbout");
    WqResult r = about ? about(0, nullptr) : WQ_E_FAIL;
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    Check(r == WQ_S_OK, "WqAbout returns 0 after OK");
    Check(probe.found, "the About sheet appears with its General page");
    std::string expected =
        "Qorva Outlook Express Extensions Runtime Library,\nversion " + FileVersion(dllPath);
    Check(probe.versionText == expected,
          "the page shows the version resource: \"" + probe.versionText + "\"");
    Check(probe.saved, "screenshot saved to " + probe.screenshot);

    FreeLibrary(dll);
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed ? 1 : 0;
}
