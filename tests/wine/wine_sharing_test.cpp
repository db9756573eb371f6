// A Windows host of WqRT.dll under Wine against a running qorvad --demo: it puts the page from
// WqCreatePageSecurity into a property sheet of its own, ticks a right and adds a group through
// the real windows, applies, and reads the folder's rights back; then it opens IMAP Folders and
// finds the change there. Screenshots of the page, Add User/Group and IMAP Folders are kept.
//
// usage: wine_sharing_test.exe DIR_OF_WqRT.dll HOST PORT USER PASSWORD ARTIFACTS_DIR
#include <winsock2.h>
// after winsock2.h
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "wine_check.h"
#include "wqrt.h"

namespace {

using wine_test::Check;
std::string g_artifacts, g_seen;  // what the probes read from the windows

// A visible window of this process, or a page in one, that has control `id`; it waits for
// `ready` (a control of it that is enabled once the window has what it shows).
HWND WaitFor(int id, bool page, int ready, const char* picture) {
    for (int i = 0; i < 150; ++i, Sleep(100)) {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            HWND in = page ? FindWindowExA(w, nullptr, nullptr, nullptr) : w;
            for (; in && !GetDlgItem(in, id); in = FindWindowExA(w, in, nullptr, nullptr)) {
            }
            if (process == GetCurrentProcessId() && IsWindowVisible(w) && in &&
                IsWindowEnabled(GetDlgItem(in, ready))) {
                Sleep(400);  // let it paint
                std::string path = g_artifacts + "\\" + picture + ".bmp";
                Check(wine_test::SaveScreenshot(w, path), "screenshot " + path);
                return in;
            }
        }
    }
    return nullptr;
}

std::string Text(HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// On the page: tick "Create" of the selected entry (row 4), add the group staff2, then OK.
DWORD WINAPI DrivePage(LPVOID) {
    HWND page = WaitFor(222, true, 219, "sharing_page");
    HWND rights = page ? GetDlgItem(page, 222) : nullptr;
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(rights, LVM_GETITEMRECT, 4, LPARAM(&r));
    for (LVHITTESTINFO hit{}; rights && r.left < r.right; ++r.left) {  // the row's check box
        hit.pt = {r.left, (r.top + r.bottom) / 2};
        if (SendMessageA(rights, LVM_HITTEST, 0, LPARAM(&hit)) == 4 &&
            (hit.flags & LVHT_ONITEMSTATEICON)) {
            PostMessageA(rights, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(hit.pt.x, hit.pt.y));
            PostMessageA(rights, WM_LBUTTONUP, 0, MAKELPARAM(hit.pt.x, hit.pt.y));
            break;
        }
    }
    PostMessageA(GetDlgItem(page, 220), BM_CLICK, 0, 0);
    if (HWND add = WaitFor(256, false, IDCANCEL, "add_user")) {
        SendMessageA(GetDlgItem(add, 231), WM_SETTEXT, 0, LPARAM("[staff2"));
        g_seen += Text(GetDlgItem(add, 231)) + " " + Text(GetDlgItem(add, 256));
        PostMessageA(add, WM_COMMAND, IDOK, 0);
    }
    Sleep(500);
    g_seen += IsWindowEnabled(GetDlgItem(GetParent(page), 0x3021)) ? ", apply on" : "";
    PostMessageA(GetParent(page), PSM_PRESSBUTTON, PSBTN_OK, 0);
    return 0;
}

DWORD WINAPI DriveFolders(LPVOID) {
    if (HWND dialog = WaitFor(270, false, 270, "imap_folders")) {
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    return 0;
}

template <typename F>
WqResult WithProbe(LPTHREAD_START_ROUTINE probe, F call) {
    HANDLE thread = CreateThread(nullptr, 0, probe, nullptr, 0, nullptr);
    WqResult r = call();
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: wine_sharing_test DLL_DIR HOST PORT USER PASSWORD DIR\n");
        return 2;
    }
    g_artifacts = argv[6];
    // The mail client has Windows Sockets started (under Wine the library cannot tell otherwise).
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    HMODULE dll = LoadLibraryA((std::string(argv[1]) + "\\WqRT.dll").c_str());
    using wine_test::Bind;
    auto create =
        Bind<WqResult(WINAPI*)(const char*, AccountSettings*, void**)>(dll, "WqCreatePageSecurity");
    auto folders = Bind<WqResult(WINAPI*)(AccountSettings*)>(dll, "WqImapFolders");
    auto getAcl =
        Bind<WqResult(WINAPI*)(WqWindow, AccountSettings*, FolderAclList*)>(dll, "WqGetACL");
    auto toText = Bind<int32_t(WINAPI*)(const AclList*, char*)>(dll, "WqAclToString");
    if (!Check(create && folders && getAcl && toText, "WqRT.dll loads with the sharing exports")) {
        return 1;
    }
    AccountSettings account{argv[2], argv[4], argv[5], 0, 0, 10, uint32_t(std::atoi(argv[3])), 0};

    void* page = nullptr;
    Check(create("Inbox/Work", &account, &page) == WQ_S_OK &&
              DestroyPropertySheetPage(HPROPSHEETPAGE(page)),
          "a page the host never shows is destroyed by the host");
    Check(create("Inbox/Work", &account, &page) == WQ_S_OK, "WqCreatePageSecurity gives a page");
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.pszCaption = "Work";
    header.nPages = 1;
    header.phpage = reinterpret_cast<HPROPSHEETPAGE*>(&page);
    Check(WithProbe(DrivePage, [&] { return WqResult(PropertySheetA(&header)); }) == 1,
          "the host's sheet closes with OK");
    Check(g_seen == "staff2 group, apply on", "the windows showed: " + g_seen);

    AclList list{};
    FolderAcl folder{"Inbox/Work", -1, &list};
    FolderAclList request{&folder, 1, 1};
    char text[256] = {};
    bool read = getAcl(nullptr, &account, &request) == WQ_S_OK && toText(&list, text) > 0;
    Check(read && std::string(text) == "anna (lrswic), [staff2] (lr)",
          std::string("the server has the change: ") + text);
    std::free(list.data);
    Check(WithProbe(DriveFolders, [&] { return folders(&account); }) == WQ_S_OK,
          "WqImapFolders returns 0 after Close");
    FreeLibrary(dll);
    std::printf("%d passed, %d failed\n", wine_test::g_passed, wine_test::g_failed);
    return wine_test::g_failed ? 1 : 0;
}
