// End-to-end checks of the real WqRT.dll under Wine against a running qorvad started with --demo:
// the mailbox exports over Winsock, the real logon dialog after a refused LOGIN (in English and
// in Czech) and the alias and ACL readers. That the commands do what they should is the native
// tests' to prove; here the replies come through Winsock and the windows are real.
//
// usage: wine_server_test.exe DIR_OF_WqRT.dll HOST PORT USER PASSWORD SCREENSHOT.bmp
#include <windows.h>
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "wine_check.h"
#include "wqrt.h"

namespace {

using wine_test::Bind;
using wine_test::Check;
using wine_test::g_failed;
using wine_test::g_passed;
using wine_test::SaveScreenshot;

std::string Hex(WqResult r) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(r));
    return text;
}

// ---------------------------------------------------------------------------------------------
// Windows of the library, driven from a second thread while an export runs modally.

const char kMessageCaption[] = "Qorva Outlook Express Extensions";
const char kIncorrect[] = "The user name or password is incorrect.";
const int kMessageTextId = 0xFFFF;  // the static text of a standard message box
const int kServerId = 223, kUserNameId = 219, kPasswordId = 220, kRememberId = 221;

std::string WindowText(HWND w) {
    char text[512] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

// Whether the dialog's icon control (a static with SS_ICON) holds an icon.
bool IconShown(HWND dialog) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char kind[16] = {};
        GetClassNameA(c, kind, sizeof kind);
        if (lstrcmpiA(kind, "Static") == 0 &&
            (GetWindowLongPtrA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            return SendMessageA(c, STM_GETICON, 0, 0) != 0;
        }
    }
    return false;
}

bool HasStyle(HWND dialog, int id, LONG_PTR style) {
    return (GetWindowLongPtrA(GetDlgItem(dialog, id), GWL_STYLE) & style) != 0;
}

// A visible window of this process with control `id`: the message box by its text (0xFFFF), the
// logon dialog by its Server field, whatever the language of their captions.
HWND FindDialog(int id) {
    std::pair<int, HWND> search{id, nullptr};
    EnumWindows(
        [](HWND w, LPARAM arg) -> BOOL {
            auto* s = reinterpret_cast<std::pair<int, HWND>*>(arg);
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(w) && GetDlgItem(w, s->first)) {
                s->second = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Answers the refusal message with OK, then the logon dialog with the password and OK (or
// Cancel). Every wait is bounded; whatever else opens is cancelled so that the export returns.
struct LogonProbe {
    std::string password;    // typed into the dialog; empty: no window is expected
    bool cancel = false;     // press Cancel instead of OK
    std::string screenshot;  // empty: no picture

    std::string message;  // "caption|text" of the message box
    std::string shown;    // the dialog: "title|server|user|password|cancel button" and its states
    bool saved = false;
    bool unexpected = false;  // a window had to be cancelled
    volatile LONG done = 0;   // set once the export has returned
};

HWND WaitForDialog(int id, const LogonProbe& probe) {
    for (int i = 0; i < 150 && !probe.done; ++i) {  // 15 seconds
        if (HWND w = FindDialog(id)) {
            Sleep(300);  // let the dialog finish painting
            return w;
        }
        Sleep(100);
    }
    return nullptr;
}

DWORD WINAPI DriveLogon(LPVOID arg) {
    auto* probe = static_cast<LogonProbe*>(arg);
    HWND box = probe->password.empty() ? nullptr : WaitForDialog(kMessageTextId, *probe);
    if (box) {
        probe->message = WindowText(box) + "|" + WindowText(GetDlgItem(box, kMessageTextId));
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    HWND dialog = box ? WaitForDialog(kServerId, *probe) : nullptr;
    if (dialog) {
        HWND remember = GetDlgItem(dialog, kRememberId);
        probe->shown = WindowText(dialog) + "|" + WindowText(GetDlgItem(dialog, kServerId)) + "|" +
                       WindowText(GetDlgItem(dialog, kUserNameId)) + "|" +
                       WindowText(GetDlgItem(dialog, kPasswordId)) + "|" +
                       WindowText(GetDlgItem(dialog, IDCANCEL)) +
                       (HasStyle(dialog, kPasswordId, ES_PASSWORD) ? "|hidden" : "") +
                       (HasStyle(dialog, kServerId, ES_READONLY) ? "|read-only" : "") +
                       (IconShown(dialog) ? "|icon" : "") +
                       (IsWindowEnabled(remember) ? "|remember enabled" : "") +
                       (SendMessageA(remember, BM_GETCHECK, 0, 0) == BST_CHECKED ? "|checked" : "");
        SetDlgItemTextA(dialog, kPasswordId, probe->password.c_str());
        if (!probe->screenshot.empty()) {
            Sleep(200);
            probe->saved = SaveScreenshot(dialog, probe->screenshot);
        }
        int button = probe->cancel ? IDCANCEL : IDOK;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        for (int i = 0; i < 100 && IsWindow(dialog); ++i) {
            Sleep(100);
        }
    }
    // Something did not appear, nothing should, or the server refused again: cancel whatever
    // opens until the export gives up.
    for (int i = 0; i < 1200 && !probe->done; ++i) {
        for (int id : {kMessageTextId, kServerId}) {
            if (HWND w = FindDialog(id)) {
                probe->unexpected = true;
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            }
        }
        Sleep(100);
    }
    return 0;
}

// Runs call() with the probe driving the windows on a second thread; returns call()'s result.
template <typename Call>
WqResult WithLogon(LogonProbe& probe, Call call) {
    HANDLE thread = CreateThread(nullptr, 0, DriveLogon, &probe, 0, nullptr);
    WqResult r = call();
    InterlockedExchange(&probe.done, 1);
    if (thread) {
        WaitForSingleObject(thread, 180000);
        CloseHandle(thread);
    }
    return r;
}

void WQ_API CollectAlias(uint32_t kind, const char* folder, const char* alias, void* context) {
    auto* text = static_cast<std::string*>(context);
    *text +=
        (text->empty() ? "" : " ") + std::string(alias) + "=" + std::to_string(kind) + ":" + folder;
}

std::string Describe(const AclList& list) {
    std::string text;
    for (uint32_t i = 0; i < list.count; ++i) {
        const AclEntry& e = list.data[i];
        text += std::string(text.empty() ? "" : ", ") + e.identifier + " " + e.rights + " " +
                std::to_string(e.kind);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: wine_server_test DLL_DIR HOST PORT USER PASSWORD SCREENSHOT.bmp\n");
        return 2;
    }
    const std::string host = argv[2];
    const int port = std::atoi(argv[3]);
    const std::string user = argv[4];
    const std::string password = argv[5];
    const std::string wrongPassword = password + "-wrong";
    const std::string screenshot = argv[6];

    // The host starts Windows Sockets, as a mail client has. (Under Wine the library's probe of the
    // layer finds it started even when it is not, so the library's own start cannot be shown.)
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        std::fprintf(stderr, "WSAStartup failed\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA((std::string(argv[1]) + "\\WqRT.dll").c_str());
    using FolderFn = WqResult(WINAPI*)(AccountSettings*, const char*);
    using AliasesFn = WqResult(WINAPI*)(AccountSettings*, WqAliasCallback, void*);
    using AclFn = WqResult(WINAPI*)(WqWindow, AccountSettings*, FolderAclList*);
    using InitFn = WqResult(WINAPI*)(uint32_t, uint16_t);
    auto setAllRead = Bind<FolderFn>(dll, "WqSetAllRead");
    auto setAllUnread = Bind<FolderFn>(dll, "WqSetAllUnread");
    auto expunge = Bind<FolderFn>(dll, "WqExpunge");
    auto getAliases = Bind<AliasesFn>(dll, "WqGetAliases");
    auto getAcl = Bind<AclFn>(dll, "WqGetACL");
    auto init = Bind<InitFn>(dll, "WqInit");
    if (!Check(setAllRead && setAllUnread && expunge && getAliases && getAcl && init,
               "WqRT.dll loads and has the exports under test")) {
        std::printf("%d passed, %d failed\n", g_passed, g_failed);
        return 1;
    }

    auto makeAccount = [&](const std::string& pass) {
        AccountSettings a{};
        a.hostName = host.c_str();
        a.userName = user.c_str();
        a.password = pass.c_str();
        a.timeout = 10;
        a.port = static_cast<uint32_t>(port);
        return a;
    };

    // Mailbox commands with the right password: no window, the server's answer as the result.
    AccountSettings good = makeAccount(password);
    const struct {
        const char* call;
        FolderFn fn;
        const char* folder;
        WqResult result;
    } steps[] = {{"WqSetAllRead(Inbox)", setAllRead, "Inbox", WQ_S_OK},
                 {"WqSetAllUnread(Inbox)", setAllUnread, "Inbox", WQ_S_OK},
                 {"WqSetAllRead(No Such Folder)", setAllRead, "No Such Folder", WQ_S_FALSE},
                 {"WqExpunge(Inbox)", expunge, "Inbox", WQ_S_OK}};
    for (const auto& step : steps) {
        LogonProbe none;
        WqResult r = WithLogon(none, [&] { return step.fn(&good, step.folder); });
        Check(r == step.result && !none.unexpected,
              std::string(step.call) + " returns " + Hex(r) + " without a window");
    }

    // The exports with a refused password: the probe types the right one into the dialog.
    AccountSettings wrong{};
    auto refused = [&](LogonProbe& probe, uint8_t remember, auto call) {
        wrong = makeAccount(wrongPassword);
        wrong.rememberPassword = remember;
        probe.password = password;
        return WithLogon(probe, [&] { return call(&wrong); });
    };
    // A refused LOGIN, message 135, the logon dialog, the right password, OK.
    const std::string dialog = "Logon - " + host + "|" + host + "|" + user + "|" + wrongPassword +
                               "|Cancel|hidden|read-only|icon";
    {
        LogonProbe probe;
        probe.screenshot = screenshot;
        WqResult r = refused(probe, 0, [&](AccountSettings* a) { return setAllRead(a, "Inbox"); });
        Check(probe.message == kMessageCaption + std::string("|") + kIncorrect &&
                  probe.shown == dialog && probe.saved,
              "message 135, then the logon dialog (screenshot " + screenshot +
                  "): " + probe.message + "; " + probe.shown);
        Check(r == WQ_S_OK && !probe.unexpected,
              "WqSetAllRead with the password typed in returns " + Hex(r));
    }
    {
        LogonProbe probe;
        probe.cancel = true;
        WqResult r =
            refused(probe, 0, [&](AccountSettings* a) { return setAllUnread(a, "Inbox"); });
        Check(!probe.shown.empty() && r == WQ_S_FALSE,
              "Cancel in the dialog stops WqSetAllUnread with " + Hex(r));
    }
    {
        // A flag other than 0 or 1 shows the box unchecked, and OK writes 0 back.
        LogonProbe probe;
        std::string aliases;
        WqResult r = refused(
            probe, 5, [&](AccountSettings* a) { return getAliases(a, CollectAlias, &aliases); });
        Check(probe.shown == dialog && wrong.rememberPassword == 0,
              "WqGetAliases: a flag of 5 shows unchecked, OK writes " +
                  std::to_string(wrong.rememberPassword) + ": " + probe.shown);
        // The demo's aliases in the order they were set; a shared target reads in display form,
        // an own one keeps INBOX as the server spells it.
        const std::string own =
            "sales=1:INBOX/Orders support=2:Public Folders/Support info=1:INBOX accounts=1:";
        Check(
            r == WQ_S_OK && aliases.size() > own.size() && aliases.compare(0, own.size(), own) == 0,
            "WqGetAliases returns " + Hex(r) + " with the demo aliases: " + aliases);
    }
    {
        // ACLs of a private and a shared folder over one connection; a flag of 1 shows checked.
        AclList inbox{}, projects{};
        FolderAcl folders[2]{{"INBOX", -1, &inbox}, {"#public/Projects", -1, &projects}};
        FolderAclList request{folders, 2, 2};
        LogonProbe probe;
        WqResult r =
            refused(probe, 1, [&](AccountSettings* a) { return getAcl(nullptr, a, &request); });
        Check(probe.shown == dialog + "|checked" && wrong.rememberPassword == 1,
              "WqGetACL: a flag of 1 shows checked and stays: " + probe.shown);
        const std::string acls = Describe(inbox) + "; " + Describe(projects);
        Check(r == WQ_S_OK && folders[0].result == 0 && folders[1].result == 0 &&
                  acls == user + " lrswipcda 0, anna lr 1, staff lrs 2; " + user +
                              " lrswipcda 0, anna lrswipcd 1, anyone lr 1",
              "WqGetACL returns " + Hex(r) + " with both lists: " + acls);
        std::free(inbox.data);
        std::free(projects.data);
    }
    {
        // In Czech the dialog's template comes from WqRT405.dll and its icon from WqRT.dll.
        LogonProbe probe;
        WqResult language = init(0, 0x0405);
        WqResult r =
            refused(probe, 0, [&](AccountSettings* a) { return setAllUnread(a, "Inbox"); });
        Check(language == WQ_S_OK && r == WQ_S_OK &&
                  probe.shown.find("|Storno|hidden|read-only|icon") != std::string::npos,
              "in Czech WqSetAllUnread returns " + Hex(r) + " after the dialog: " + probe.shown);
    }

    FreeLibrary(dll);
    WSACleanup();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed ? 1 : 0;
}
