// A Windows host of WqRT.dll under Wine against a running qorvad --demo: it puts the page from
// WqCreatePageSecurity into a property sheet of its own, ticks a right and adds a group through
// the real windows, applies, and reads the folder's rights back; then it opens IMAP Folders and
// finds the change there. Screenshots of the page, Add User/Group and IMAP Folders are kept.
//
// usage: wine_sharing_test.exe DIR_OF_WqRT.dll HOST PORT USER PASSWORD ARTIFACTS_DIR
#include <winsock2.h>
// after winsock2.h
#include <commctrl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "wine_check.h"
#include "wqrt.h"

namespace {

using wine_test::Bind;
using wine_test::Check;

std::string g_artifacts;
std::string g_seen;  // what the probes read from the windows, one "name=value;" each

// A visible window of this process with control `id` (a child window of it too, for a page).
HWND WaitFor(int id, bool child) {
    for (int i = 0; i < 150; ++i, Sleep(100)) {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            HWND inner = child ? FindWindowExA(w, nullptr, nullptr, nullptr) : w;
            for (; inner && !GetDlgItem(inner, id);
                 inner = FindWindowExA(w, inner, nullptr, nullptr)) {
            }
            if (process == GetCurrentProcessId() && IsWindowVisible(w) && inner &&
                GetDlgItem(inner, id)) {
                Sleep(400);  // let it paint
                return inner;
            }
        }
    }
    return nullptr;
}

void Shot(HWND w, const char* name) {
    std::string path = g_artifacts + "\\" + name + ".bmp";
    Check(wine_test::SaveScreenshot(GetAncestor(w, GA_ROOT), path), "screenshot " + path);
}

std::string Text(HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// On the page: tick "Create" of the selected entry, add the group staff2, Apply, then OK.
DWORD WINAPI DrivePage(LPVOID) {
    HWND page = WaitFor(222, true);
    if (!page) {
        return 0;
    }
    HWND sheet = GetParent(page), rights = GetDlgItem(page, 222);
    for (int i = 0; i < 100 && !IsWindowEnabled(GetDlgItem(page, 219)); ++i) {
        Sleep(100);  // the page reads the list as it opens
    }
    Sleep(400);
    Shot(page, "sharing_page");
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(rights, LVM_GETITEMRECT, 4, LPARAM(&r));
    for (LVHITTESTINFO hit{}; r.left < r.right; ++r.left) {  // the box of row 4
        hit.pt = {r.left, (r.top + r.bottom) / 2};
        if (SendMessageA(rights, LVM_HITTEST, 0, LPARAM(&hit)) == 4 &&
            (hit.flags & LVHT_ONITEMSTATEICON)) {
            PostMessageA(rights, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(hit.pt.x, hit.pt.y));
            PostMessageA(rights, WM_LBUTTONUP, 0, MAKELPARAM(hit.pt.x, hit.pt.y));
            break;
        }
    }
    PostMessageA(GetDlgItem(page, 220), BM_CLICK, 0, 0);
    if (HWND add = WaitFor(256, false)) {
        SendMessageA(GetDlgItem(add, 231), WM_SETTEXT, 0, LPARAM("[staff2"));
        g_seen +=
            "name=" + Text(GetDlgItem(add, 231)) + ";kind=" + Text(GetDlgItem(add, 256)) + ";";
        Shot(add, "add_user");
        PostMessageA(add, WM_COMMAND, IDOK, 0);
    }
    Sleep(500);
    g_seen += std::string("apply=") + (IsWindowEnabled(GetDlgItem(sheet, 0x3021)) ? "on;" : "off;");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    return 0;
}

// In IMAP Folders: the row of Inbox/Work, then Close.
DWORD WINAPI DriveFolders(LPVOID) {
    HWND dialog = WaitFor(270, false);
    if (dialog) {
        Shot(dialog, "imap_folders");
        char text[256] = {};
        LVITEMA item{};
        item.iSubItem = 1;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(GetDlgItem(dialog, 270), LVM_GETITEMTEXTA, 2, LPARAM(&item));  // Work
        g_seen += std::string("work=") + text + ";";
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
        std::fprintf(stderr,
                     "usage: wine_sharing_test DLL_DIR HOST PORT USER PASSWORD ARTIFACTS\n");
        return 2;
    }
    g_artifacts = argv[6];
    // The mail client has Windows Sockets started (under Wine the library cannot tell otherwise).
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    InitCommonControls();
    HMODULE dll = LoadLibraryA((std::string(argv[1]) + "\\WqRT.dll").c_str());
    auto create =
        Bind<WqResult(WINAPI*)(const char*, AccountSettings*, void**)>(dll, "WqCreatePageSecurity");
    auto folders = Bind<WqResult(WINAPI*)(AccountSettings*)>(dll, "WqImapFolders");
    auto getAcl =
        Bind<WqResult(WINAPI*)(WqWindow, AccountSettings*, FolderAclList*)>(dll, "WqGetACL");
    auto toText = Bind<int32_t(WINAPI*)(const AclList*, char*)>(dll, "WqAclToString");
    if (!Check(create && folders && getAcl && toText, "WqRT.dll loads with the sharing exports")) {
        return 1;
    }
    AccountSettings account{};
    account.hostName = argv[2];
    account.port = static_cast<uint32_t>(std::atoi(argv[3]));
    account.userName = argv[4];
    account.password = argv[5];
    account.timeout = 10;

    void* page = nullptr;
    Check(create(nullptr, &account, &page) == WQ_E_INVALIDARG &&
              create("Inbox/Work", &account, nullptr) == WQ_E_INVALIDARG,
          "WqCreatePageSecurity refuses a missing folder or handle");
    Check(create("Inbox/Work", &account, &page) == WQ_S_OK &&
              DestroyPropertySheetPage(HPROPSHEETPAGE(page)),
          "a page the host never shows is destroyed by the host");
    Check(create("Inbox/Work", &account, &page) == WQ_S_OK && page,
          "WqCreatePageSecurity gives a page");
    HPROPSHEETPAGE pages[] = {HPROPSHEETPAGE(page)};
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.pszCaption = "Work";
    header.nPages = 1;
    header.phpage = pages;
    INT_PTR shown = WithProbe(DrivePage, [&] { return WqResult(PropertySheetA(&header)); });
    Check(shown == 1, "the host's sheet closes with OK");

    AclList list{};
    FolderAcl folder{"Inbox/Work", -1, &list};
    FolderAclList request{&folder, 1, 1};
    char text[256] = {};
    Check(getAcl(nullptr, &account, &request) == WQ_S_OK && toText(&list, text) > 0,
          "WqGetACL reads the folder");
    Check(std::string(text) == "anna (lrswic), [staff2] (lr)",
          std::string("the server has the change: ") + text);
    std::free(list.data);

    WqResult r = WithProbe(DriveFolders, [&] { return folders(&account); });
    Check(r == WQ_S_OK, "WqImapFolders returns 0 after Close");
    Check(g_seen == "name=staff2;kind=group;apply=on;work=anna (lrswic), [staff2] (lr);",
          "the windows showed: " + g_seen);
    FreeLibrary(dll);
    std::printf("%d passed, %d failed\n", wine_test::g_passed, wine_test::g_failed);
    return wine_test::g_failed ? 1 : 0;
}
