// wqhost on Windows: loads WqRT.dll at run time from beside the program, as an add-on host
// does, and reaches every export through its undecorated name.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "wqhost_ui.h"
#include "wqrt.h"

namespace {

HMODULE Library() {
    static HMODULE dll = LoadLibraryA("WqRT.dll");
    if (!dll) {
        std::fprintf(stderr, "wqhost: WqRT.dll cannot be loaded (error %lu)\n", GetLastError());
        std::exit(1);
    }
    return dll;
}

template <typename Fn>
Fn Bind(const char* name) {
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(Library(), name)));
    if (!fn) {
        std::fprintf(stderr, "wqhost: WqRT.dll does not export %s\n", name);
        std::exit(1);
    }
    return fn;
}

}  // namespace

namespace wqhost {

// The library shows real windows; nothing to set up.
void StartUi() {}

std::string ForTerminal(const std::string& ansi) {
    return ansi;
}

bool SetAnswers(const std::vector<std::string>& commands, const std::string& file) {
    if (!commands.empty() || !file.empty()) {
        std::fputs("wqhost: the windows are real here: answer them yourself\n", stderr);
    }
    return true;
}

bool Answering() {
    return false;
}

std::string AnswerTrouble() {
    return {};
}

// The internal operations are not exported by the DLL.
int RunNativeCommand(const std::vector<std::string>&, AccountSettings&) {
    return -1;
}

}  // namespace wqhost

extern "C" {

WqResult WQ_API WqInit(uint32_t reserved, uint16_t language) {
    return Bind<decltype(&WqInit)>("WqInit")(reserved, language);
}
WqResult WQ_API WqAbout(uint32_t reserved, WqWindow parent) {
    return Bind<decltype(&WqAbout)>("WqAbout")(reserved, parent);
}
WqResult WQ_API WqMailRules(WqWindow owner, AccountSettings* account) {
    return Bind<decltype(&WqMailRules)>("WqMailRules")(owner, account);
}
WqResult WQ_API WqSetAllRead(AccountSettings* account, const char* folder) {
    return Bind<decltype(&WqSetAllRead)>("WqSetAllRead")(account, folder);
}
WqResult WQ_API WqSetAllUnread(AccountSettings* account, const char* folder) {
    return Bind<decltype(&WqSetAllUnread)>("WqSetAllUnread")(account, folder);
}
WqResult WQ_API WqExpunge(AccountSettings* account, const char* folder) {
    return Bind<decltype(&WqExpunge)>("WqExpunge")(account, folder);
}
WqResult WQ_API WqImapFolders(AccountSettings* account) {
    return Bind<decltype(&WqImapFolders)>("WqImapFolders")(account);
}
WqResult WQ_API WqGetACL(WqWindow parent, AccountSettings* account, FolderAclList* request) {
    return Bind<decltype(&WqGetACL)>("WqGetACL")(parent, account, request);
}
int32_t WQ_API WqAclToString(const AclList* list, char* buffer) {
    return Bind<decltype(&WqAclToString)>("WqAclToString")(list, buffer);
}
WqResult WQ_API WqAddAlias(AccountSettings* account, const char* folder, const char* alias) {
    return Bind<decltype(&WqAddAlias)>("WqAddAlias")(account, folder, alias);
}
WqResult WQ_API WqRemoveAlias(AccountSettings* account, const char* alias) {
    return Bind<decltype(&WqRemoveAlias)>("WqRemoveAlias")(account, alias);
}
WqResult WQ_API WqGetAliases(AccountSettings* account, WqAliasCallback callback, void* context) {
    return Bind<decltype(&WqGetAliases)>("WqGetAliases")(account, callback, context);
}

}  // extern "C"
