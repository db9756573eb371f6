// End-to-end checks of the real WqRT.dll under Wine against a running qorvad started with --demo.
// The mailbox exports, the logon dialog after a refused LOGIN (in English and in Czech) and the
// alias and ACL readers run over real sockets; what they changed is read back on a connection
// of this program's own.
//
// usage: wine_server_test.exe DIR_OF_WqRT.dll HOST PORT USER PASSWORD SCREENSHOT.bmp
#include <windows.h>
#include <winsock2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

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
// The server's side, seen through a plain IMAP connection of our own.

struct MailboxState {
    bool read = false;               // the session got through LOGIN and SELECT
    std::vector<std::string> flags;  // per message, the flag list as the server sent it
    bool Has(size_t i, const char* flag) const {
        return i < flags.size() && flags[i].find(flag) != std::string::npos;
    }
};

class Session {
  public:
    bool Open(const std::string& host, int port) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (socket_ == INVALID_SOCKET) {
            return false;
        }
        DWORD timeout = 10000;  // no reply within that is a failed check, not a hang
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(port));
        address.sin_addr.s_addr = inet_addr(host.c_str());
        if (connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            return false;
        }
        std::string greeting;
        return ReadLine(&greeting) && greeting.rfind("* OK", 0) == 0;
    }

    ~Session() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
    }

    // Sends one tagged command; collects the untagged lines; true when the status is OK.
    bool Run(const std::string& command, std::vector<std::string>* untagged) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "C%d ", ++counter_);
        std::string line = tag + command + "\r\n";
        if (send(socket_, line.data(), static_cast<int>(line.size()), 0) !=
            static_cast<int>(line.size())) {
            return false;
        }
        std::string reply;
        while (ReadLine(&reply)) {
            if (reply.rfind(tag, 0) == 0) {
                return reply.compare(std::strlen(tag), 3, "OK ") == 0;
            }
            if (untagged) {
                untagged->push_back(reply);
            }
        }
        return false;
    }

  private:
    bool ReadLine(std::string* line) {
        line->clear();
        for (;;) {
            size_t end = buffer_.find("\r\n");
            if (end != std::string::npos) {
                *line = buffer_.substr(0, end);
                buffer_.erase(0, end + 2);
                return true;
            }
            char chunk[4096];
            int n = recv(socket_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                return false;
            }
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    SOCKET socket_ = INVALID_SOCKET;
    std::string buffer_;
    int counter_ = 0;
};

// The flags of every message in the INBOX. Adding an empty flag list changes nothing but makes
// the server list each message's flags; LOGOUT (not CLOSE) leaves deleted messages in place.
MailboxState ReadInbox(const std::string& host, int port, const std::string& user,
                       const std::string& password) {
    MailboxState state;
    Session s;
    std::vector<std::string> lines;
    if (!s.Open(host, port) || !s.Run("LOGIN " + user + " " + password, nullptr) ||
        !s.Run("SELECT INBOX", nullptr) || !s.Run("STORE 1:* +FLAGS ()", &lines)) {
        return state;
    }
    state.read = true;
    for (const std::string& line : lines) {
        size_t open = line.find(" FETCH (FLAGS (");
        if (line.rfind("* ", 0) == 0 && open != std::string::npos) {
            size_t number = std::strtoul(line.c_str() + 2, nullptr, 10);
            if (number >= 1 && number <= 1000) {
                state.flags.resize(std::max(state.flags.size(), number));
                size_t start = open + std::strlen(" FETCH (FLAGS (");
                state.flags[number - 1] = line.substr(start, line.find(')', start) - start);
            }
        }
    }
    s.Run("LOGOUT", nullptr);
    return state;
}

bool AllHave(const MailboxState& s, const char* flag, bool wanted) {
    if (!s.read || s.flags.empty()) {
        return false;
    }
    for (size_t i = 0; i < s.flags.size(); ++i) {
        if (s.Has(i, flag) != wanted) {
            return false;
        }
    }
    return true;
}

std::string Describe(const MailboxState& s) {
    if (!s.read) {
        return "(not read)";
    }
    std::string text;
    for (const std::string& f : s.flags) {
        text += (text.empty() ? "[" : " [") + f + "]";
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Windows of the library, driven from a second thread while an export runs modally.

const char kMessageCaption[] = "Qorva Outlook Express Extensions";
const int kMessageTextId = 0xFFFF;  // the static text of a standard message box
const int kServerId = 223, kUserNameId = 219, kPasswordId = 220, kRememberId = 221;

std::string ItemText(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

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

// Answers the refusal message with OK, then the logon dialog with the given password and OK
// (or Cancel). Every wait is bounded; on a timeout whatever is open is cancelled so that the
// export returns.
struct LogonProbe {
    std::string title;        // expected: "Logon - host"
    std::string password;     // typed into the dialog
    bool cancel = false;      // press Cancel instead of OK
    bool expectNone = false;  // no window is expected: cancel any that appears
    std::string screenshot;   // empty: no picture

    bool messageFound = false;
    std::string messageCaption, messageText;
    bool dialogFound = false;
    std::string shownTitle, server, userName, shownPassword, cancelText;
    bool passwordStyle = false, serverReadOnly = false, iconShown = false;
    bool rememberEnabled = true, rememberChecked = false;
    bool saved = false;
    bool unexpected = false;  // a window had to be cancelled
    volatile LONG done = 0;   // set by the caller once the export has returned
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
    HWND box = probe->expectNone ? nullptr : WaitForDialog(kMessageTextId, *probe);
    if (box) {
        probe->messageFound = true;
        probe->messageCaption = WindowText(box);
        probe->messageText = ItemText(box, kMessageTextId);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    HWND dialog = box ? WaitForDialog(kServerId, *probe) : nullptr;
    if (dialog) {
        probe->dialogFound = true;
        probe->shownTitle = WindowText(dialog);
        probe->cancelText = ItemText(dialog, IDCANCEL);
        probe->iconShown = IconShown(dialog);
        probe->server = ItemText(dialog, kServerId);
        probe->userName = ItemText(dialog, kUserNameId);
        probe->shownPassword = ItemText(dialog, kPasswordId);
        LONG_PTR passwordStyle = GetWindowLongPtrA(GetDlgItem(dialog, kPasswordId), GWL_STYLE);
        LONG_PTR serverStyle = GetWindowLongPtrA(GetDlgItem(dialog, kServerId), GWL_STYLE);
        probe->passwordStyle = (passwordStyle & ES_PASSWORD) != 0;
        probe->serverReadOnly = (serverStyle & ES_READONLY) != 0;
        HWND remember = GetDlgItem(dialog, kRememberId);
        probe->rememberEnabled = remember && IsWindowEnabled(remember);
        probe->rememberChecked =
            remember && SendMessageA(remember, BM_GETCHECK, 0, 0) == BST_CHECKED;
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

// For calls that should log in at once: a refusal would otherwise wait for a user forever.
template <typename Call>
WqResult Guarded(const std::string& host, Call call) {
    LogonProbe probe;
    probe.title = "Logon - " + host;
    probe.expectNone = true;
    WqResult r = WithLogon(probe, call);
    if (probe.unexpected) {
        Check(false, "no window appears while the password is right");
    }
    return r;
}

void CheckDialog(const LogonProbe& p, const std::string& name, const std::string& host,
                 const std::string& user, const std::string& wrongPassword) {
    Check(p.messageFound && p.messageCaption == kMessageCaption &&
              p.messageText == "The user name or password is incorrect.",
          name + ": message 135 appears with caption \"" + kMessageCaption + "\": \"" +
              p.messageText + "\"");
    Check(p.dialogFound && p.shownTitle == p.title && p.iconShown,
          name + ": the dialog \"" + p.title + "\" appears after OK, with its icon");
    Check(p.server == host && p.userName == user && p.shownPassword == wrongPassword,
          name + ": fields show the server, user and refused password (\"" + p.server + "\", \"" +
              p.userName + "\", \"" + p.shownPassword + "\")");
    Check(p.dialogFound && p.passwordStyle && p.serverReadOnly,
          name + ": password field hides its text, server field is read-only");
    Check(p.dialogFound && !p.rememberEnabled, name + ": the Remember Password box is disabled");
    Check(p.dialogFound && !p.unexpected, name + ": no second refusal after the typed password");
}

// ---------------------------------------------------------------------------------------------
// Aliases and ACLs.

struct Alias {
    uint32_t kind;
    std::string folder, alias;
};

void WQ_API CollectAlias(uint32_t kind, const char* folder, const char* alias, void* context) {
    static_cast<std::vector<Alias>*>(context)->push_back({kind, folder, alias});
}

std::string Describe(const std::vector<Alias>& aliases) {
    std::string text;
    for (const Alias& a : aliases) {
        text +=
            (text.empty() ? "" : ", ") + a.alias + "=" + std::to_string(a.kind) + ":" + a.folder;
    }
    return text;
}

std::string Describe(const AclList& list) {
    std::string text;
    for (uint32_t i = 0; i < list.count; ++i) {
        const AclEntry& e = list.data[i];
        text += std::string(text.empty() ? "" : ", ") + e.identifier + " " + e.rights + " (" +
                std::to_string(e.kind) + ")";
    }
    return text;
}

bool HasEntry(const AclList& list, const char* id, const char* rights, uint32_t kind) {
    for (uint32_t i = 0; i < list.count; ++i) {
        const AclEntry& e = list.data[i];
        if (std::strcmp(e.identifier, id) == 0 && std::strcmp(e.rights, rights) == 0 &&
            e.kind == kind) {
            return true;
        }
    }
    return false;
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

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        std::fprintf(stderr, "WSAStartup failed\n");
        return 2;
    }
    std::string dllPath = std::string(argv[1]) + "\\WqRT.dll";
    HMODULE dll = LoadLibraryA(dllPath.c_str());
    Check(dll != nullptr, "WqRT.dll loads");
    if (!dll) {
        std::printf("%d passed, %d failed\n", g_passed, g_failed);
        return 1;
    }
    using FolderFn = WqResult(WINAPI*)(AccountSettings*, const char*);
    using AliasesFn = WqResult(WINAPI*)(AccountSettings*, WqAliasCallback, void*);
    using AclFn = WqResult(WINAPI*)(WqWindow, AccountSettings*, FolderAclList*);
    auto setAllRead = Bind<FolderFn>(dll, "WqSetAllRead");
    auto setAllUnread = Bind<FolderFn>(dll, "WqSetAllUnread");
    auto expunge = Bind<FolderFn>(dll, "WqExpunge");
    auto getAliases = Bind<AliasesFn>(dll, "WqGetAliases");
    auto getAcl = Bind<AclFn>(dll, "WqGetACL");
    Check(setAllRead && setAllUnread && expunge && getAliases && getAcl,
          "the exports under test are bound");
    if (!setAllRead || !setAllUnread || !expunge || !getAliases || !getAcl) {
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
    AccountSettings good = makeAccount(password);

    // Mailbox commands. The demo INBOX starts with four messages: seen, unseen, deleted, flagged.
    MailboxState before = ReadInbox(host, port, user, password);
    Check(before.read && before.flags.size() == 4 && !AllHave(before, "\\Seen", true),
          "the INBOX holds 4 messages, not all seen: " + Describe(before));

    WqResult r = Guarded(host, [&] { return setAllRead(&good, "Inbox"); });
    MailboxState after = ReadInbox(host, port, user, password);
    Check(r == WQ_S_OK, "WqSetAllRead(Inbox) returns 0: " + Hex(r));
    Check(AllHave(after, "\\Seen", true) && after.flags.size() == 4,
          "every INBOX message is \\Seen afterwards: " + Describe(after));

    r = Guarded(host, [&] { return setAllUnread(&good, "Inbox"); });
    after = ReadInbox(host, port, user, password);
    Check(r == WQ_S_OK, "WqSetAllUnread(Inbox) returns 0: " + Hex(r));
    Check(AllHave(after, "\\Seen", false) && after.Has(2, "\\Deleted") &&
              after.Has(3, "\\Flagged") && after.flags.size() == 4,
          "no message is \\Seen, the other flags are kept: " + Describe(after));

    r = Guarded(host, [&] { return setAllRead(&good, "No Such Folder"); });
    Check(r == WQ_S_FALSE,
          "WqSetAllRead on a folder the server does not know returns 1: " + Hex(r));

    r = Guarded(host, [&] { return expunge(&good, "Inbox"); });
    after = ReadInbox(host, port, user, password);
    Check(r == WQ_S_OK, "WqExpunge(Inbox) returns 0: " + Hex(r));
    Check(after.read && after.flags.size() == 3 && AllHave(after, "\\Deleted", false) &&
              after.Has(2, "\\Flagged"),
          "the deleted message is gone, three remain: " + Describe(after));

    // The logon dialog: a refused LOGIN, message 135, the dialog, the right password, OK.
    const std::string title = "Logon - " + host;
    {
        AccountSettings wrong = makeAccount(wrongPassword);
        wrong.rememberPassword = 7;
        LogonProbe probe;
        probe.title = title;
        probe.password = password;
        probe.screenshot = screenshot;
        r = WithLogon(probe, [&] { return setAllRead(&wrong, "Inbox"); });
        CheckDialog(probe, "WqSetAllRead", host, user, wrongPassword);
        Check(probe.saved, "WqSetAllRead: screenshot of the dialog saved to " + screenshot);
        Check(r == WQ_S_OK, "WqSetAllRead succeeds with the password typed in: " + Hex(r));
        Check(wrong.rememberPassword == 7, "WqSetAllRead leaves rememberPassword as it was (7): " +
                                               std::to_string(wrong.rememberPassword));
        after = ReadInbox(host, port, user, password);
        Check(AllHave(after, "\\Seen", true), "the retried LOGIN did the work: " + Describe(after));
    }
    {
        AccountSettings wrong = makeAccount(wrongPassword);
        LogonProbe probe;
        probe.title = title;
        probe.password = password;
        probe.cancel = true;
        r = WithLogon(probe, [&] { return setAllUnread(&wrong, "Inbox"); });
        after = ReadInbox(host, port, user, password);
        Check(probe.dialogFound && r == WQ_S_FALSE,
              "WqSetAllUnread: Cancel in the dialog stops silently with 1: " + Hex(r));
        Check(AllHave(after, "\\Seen", true), "nothing changed after Cancel: " + Describe(after));
    }
    std::vector<Alias> aliases;
    {
        // A flag other than 0 or 1 shows the box unchecked, and OK writes 0 back.
        AccountSettings wrong = makeAccount(wrongPassword);
        wrong.rememberPassword = 5;
        LogonProbe probe;
        probe.title = title;
        probe.password = password;
        r = WithLogon(probe, [&] { return getAliases(&wrong, CollectAlias, &aliases); });
        CheckDialog(probe, "WqGetAliases", host, user, wrongPassword);
        Check(probe.dialogFound && !probe.rememberChecked,
              "WqGetAliases: the box shows a flag of 5 unchecked");
        Check(r == WQ_S_OK, "WqGetAliases succeeds with the password typed in: " + Hex(r));
        Check(wrong.rememberPassword == 0, "WqGetAliases writes rememberPassword 0 on OK: " +
                                               std::to_string(wrong.rememberPassword));
    }

    // The demo's aliases, in the order they were set: sales, support, info, accounts; a shared
    // target reads in display form, an own one keeps INBOX as the server spells it.
    Check(aliases.size() == 4 && aliases[0].alias == "sales" && aliases[0].kind == 1 &&
              aliases[0].folder == "INBOX/Orders" && aliases[1].alias == "support" &&
              aliases[1].kind == 2 && aliases[1].folder == "Public Folders/Support" &&
              aliases[2].alias == "info" && aliases[2].kind == 1 && aliases[2].folder == "INBOX" &&
              aliases[3].alias == "accounts" && aliases[3].kind == 1 && !aliases[3].folder.empty(),
          "WqGetAliases lists the demo aliases: " + Describe(aliases));

    // ACLs of a private and a shared folder, read over one connection; the logon dialog on the
    // way keeps a flag of 1 checked and at 1.
    {
        AccountSettings wrong = makeAccount(wrongPassword);
        wrong.rememberPassword = 1;
        AclList inbox{}, projects{};
        FolderAcl folders[2]{};
        std::strcpy(folders[0].name, "INBOX");
        folders[0].acl = &inbox;
        std::strcpy(folders[1].name, "#public/Projects");
        folders[1].acl = &projects;
        folders[0].result = folders[1].result = -1;
        FolderAclList request{folders, 2, 2};
        LogonProbe probe;
        probe.title = title;
        probe.password = password;
        r = WithLogon(probe, [&] { return getAcl(nullptr, &wrong, &request); });
        CheckDialog(probe, "WqGetACL", host, user, wrongPassword);
        Check(probe.dialogFound && probe.rememberChecked,
              "WqGetACL: the box shows a flag of 1 checked");
        Check(wrong.rememberPassword == 1,
              "WqGetACL keeps rememberPassword 1 on OK: " + std::to_string(wrong.rememberPassword));
        Check(r == WQ_S_OK && folders[0].result == 0 && folders[1].result == 0,
              "WqGetACL returns 0 for both folders: " + Hex(r) + " " + Hex(folders[0].result) +
                  " " + Hex(folders[1].result));
        Check(inbox.count == 3 && HasEntry(inbox, user.c_str(), "lrswipcda", 0) &&
                  HasEntry(inbox, "anna", "lr", 1) && HasEntry(inbox, "staff", "lrs", 2),
              "INBOX: owner, anna and the group staff: " + Describe(inbox));
        Check(projects.count == 3 && HasEntry(projects, "anna", "lrswipcd", 1) &&
                  HasEntry(projects, "anyone", "lr", 1),
              "#public/Projects: demo, anna and anyone: " + Describe(projects));
        std::free(inbox.data);
        std::free(projects.data);
    }

    // In Czech the dialog's template comes from WqRT405.dll and its icon from WqRT.dll.
    {
        using InitFn = WqResult(WINAPI*)(uint32_t, uint16_t);
        auto init = Bind<InitFn>(dll, "WqInit");
        AccountSettings wrong = makeAccount(wrongPassword);
        LogonProbe probe;
        probe.password = password;
        r = init ? init(0, 0x0405) : WQ_E_FAIL;
        Check(r == WQ_S_OK, "WqInit(0x0405) returns 0: " + Hex(r));
        r = WithLogon(probe, [&] { return setAllUnread(&wrong, "Inbox"); });
        Check(
            probe.dialogFound && probe.cancelText == "Storno" && probe.iconShown,
            "in Czech the logon dialog (Cancel reads \"" + probe.cancelText + "\") shows its icon");
        Check(r == WQ_S_OK, "WqSetAllUnread in Czech succeeds after the logon: " + Hex(r));
    }

    FreeLibrary(dll);
    WSACleanup();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed ? 1 : 0;
}
