// wqhost: a host program for WqRT. It fills an AccountSettings record from its options and
// calls one export per subcommand, printing the result code. In the native build the library's
// windows are headless: every message box and dialog is printed as it closes, answered with its
// default (Cancel, No, or OK for an OK-only box), unless --answer or --answers give commands
// that act in them as a person would; then each window is printed as it opens.
//
// usage: wqhost [options] SUBCOMMAND [ARGS]
// Exit status: 0, or 1 for a failure code; 2 for a wrong call; 3 when a command given to answer
// a window could not be done or was never used.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "wqhost_ui.h"
#include "wqrt.h"

namespace {

using wqhost::Report;

struct Options {
    std::string host = "127.0.0.1";
    std::string user;
    std::string password;
    uint32_t port = 143;
    uint32_t timeout = 30;
    bool ssl = false;
    uint16_t language = 0;
    std::vector<std::string> answers;
    std::string answerFile;
};

void Usage() {
    std::fputs(
        "usage: wqhost [options] SUBCOMMAND [ARGS]\n"
        "options:\n"
        "  --host NAME          server host (default 127.0.0.1)\n"
        "  --port N             server port (default 143)\n"
        "  --user NAME          user name\n"
        "  --password-env VAR   take the password from environment variable VAR\n"
        "  --password-prompt    ask for the password on the terminal\n"
        "  --ssl                SSL before the greeting\n"
        "  --timeout SECONDS    response time-out (default 30)\n"
        "  --language HEX       call WqInit with this language first (e.g. 405)\n"
        "  --answer COMMANDS    act in the windows that open: \"tick Junk; ok\" (native build)\n"
        "  --answers FILE       the same, one command a line; - reads them from standard input,\n"
        "                       with a prompt on a terminal (\"help\" there lists the commands)\n"
        "subcommands:\n"
        "  about                show the About sheet\n"
        "  mail-rules           edit the mail rules (the server's Sieve script)\n"
        "  set-all-read FOLDER | set-all-unread FOLDER | expunge FOLDER\n"
        "  imap-folders         the IMAP Folders dialog\n"
        "  get-acl FOLDER...    read the folders' access control lists on one connection\n"
        "  aliases              list the aliases\n"
        "  add-alias FOLDER ALIAS | remove-alias ALIAS\n"
        "  folders              list the subscribed folders (native build)\n"
        "  get-script | put-script FILE   fetch or store the Sieve script (native build)\n",
        stderr);
}

std::string PromptPassword() {
    std::fputs("Password: ", stderr);
    std::string line;
    std::getline(std::cin, line);
    return line;
}

int GetAcl(AccountSettings& account, const std::vector<std::string>& folders) {
    std::vector<AclList> lists(folders.size(), AclList{nullptr, 0, 0});
    std::vector<FolderAcl> request(folders.size());
    for (size_t i = 0; i < folders.size(); ++i) {
        std::memset(&request[i], 0, sizeof request[i]);
        std::strncpy(request[i].name, folders[i].c_str(), sizeof request[i].name - 1);
        request[i].acl = &lists[i];
    }
    FolderAclList head{request.data(), static_cast<uint32_t>(request.size()),
                       static_cast<uint32_t>(request.size())};
    const WqResult r = WqGetACL(nullptr, &account, &head);
    static const char* const kKinds[] = {"owner", "user", "group"};
    for (size_t i = 0; i < request.size(); ++i) {
        std::printf("%s: 0x%08" PRIX32 "\n", wqhost::ForTerminal(folders[i]).c_str(),
                    static_cast<uint32_t>(request[i].result));
        for (uint32_t k = 0; k < lists[i].count; ++k) {
            const AclEntry& e = lists[i].data[k];
            std::printf("  %-5s %.127s %.15s (mask 0x%03X)\n", e.kind < 3 ? kKinds[e.kind] : "?",
                        e.identifier, e.rights, static_cast<unsigned>(e.mask));
        }
        std::vector<char> text(static_cast<size_t>(WqAclToString(&lists[i], nullptr)));
        WqAclToString(&lists[i], text.data());
        std::printf("  text: %s\n", text.data());
        std::free(lists[i].data);  // the library allocates the entries with malloc
    }
    return Report("WqGetACL", r);
}

void WQ_API PrintAlias(uint32_t kind, const char* folder, const char* alias, void* context) {
    ++*static_cast<int*>(context);
    std::printf("%s -> %s (%s)\n", wqhost::ForTerminal(alias).c_str(),
                wqhost::ForTerminal(folder).c_str(), kind == 2 ? "shared" : "own");
}

int Aliases(AccountSettings& account) {
    int count = 0;
    const WqResult r = WqGetAliases(&account, PrintAlias, &count);
    std::printf("%d alias(es)\n", count);
    return Report("WqGetAliases", r);
}

// Calls the export that `args` names; the process exit code.
int RunCommand(const std::vector<std::string>& args, AccountSettings& account) {
    const std::string& cmd = args[0];
    auto folder = [&]() -> const char* {
        if (args.size() < 2) {
            Usage();
            std::exit(2);
        }
        return args[1].c_str();
    };
    if (cmd == "about") {
        return Report("WqAbout", WqAbout(0, nullptr));
    }
    if (cmd == "mail-rules") {
        return Report("WqMailRules", WqMailRules(nullptr, &account));
    }
    if (cmd == "set-all-read") {
        return Report("WqSetAllRead", WqSetAllRead(&account, folder()));
    }
    if (cmd == "set-all-unread") {
        return Report("WqSetAllUnread", WqSetAllUnread(&account, folder()));
    }
    if (cmd == "expunge") {
        return Report("WqExpunge", WqExpunge(&account, folder()));
    }
    if (cmd == "imap-folders") {
        return Report("WqImapFolders", WqImapFolders(&account));
    }
    if (cmd == "get-acl") {
        folder();
        return GetAcl(account, std::vector<std::string>(args.begin() + 1, args.end()));
    }
    if (cmd == "aliases") {
        return Aliases(account);
    }
    if (cmd == "add-alias") {
        if (args.size() < 3) {
            Usage();
            return 2;
        }
        return Report("WqAddAlias", WqAddAlias(&account, args[1].c_str(), args[2].c_str()));
    }
    if (cmd == "remove-alias") {
        return Report("WqRemoveAlias", WqRemoveAlias(&account, folder()));
    }
    int native = wqhost::RunNativeCommand(args, account);
    if (native >= 0) {
        return native;
    }
    std::fprintf(stderr, "wqhost: unknown subcommand %s\n", cmd.c_str());
    Usage();
    return 2;
}

}  // namespace

int wqhost::Report(const char* what, WqResult r) {
    std::printf("%s: 0x%08" PRIX32 "\n", what, static_cast<uint32_t>(r));
    return r < 0 ? 1 : 0;
}

int main(int argc, char** argv) {
    Options o;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                Usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--host") {
            o.host = value();
        } else if (a == "--port") {
            o.port = static_cast<uint32_t>(std::strtoul(value().c_str(), nullptr, 10));
        } else if (a == "--user") {
            o.user = value();
        } else if (a == "--password-env") {
            const char* p = std::getenv(value().c_str());
            o.password = p ? p : "";
        } else if (a == "--password-prompt") {
            o.password = PromptPassword();
        } else if (a == "--ssl") {
            o.ssl = true;
        } else if (a == "--timeout") {
            o.timeout = static_cast<uint32_t>(std::strtoul(value().c_str(), nullptr, 10));
        } else if (a == "--language") {
            o.language = static_cast<uint16_t>(std::strtoul(value().c_str(), nullptr, 16));
        } else if (a == "--answer") {
            o.answers.push_back(value());
        } else if (a == "--answers") {
            o.answerFile = value();
        } else if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) {
        Usage();
        return 2;
    }
    wqhost::StartUi();
    if (!wqhost::SetAnswers(o.answers, o.answerFile)) {
        return 2;
    }

    AccountSettings account{};
    account.hostName = o.host.c_str();
    account.userName = o.user.c_str();
    account.password = o.password.c_str();
    account.timeout = o.timeout;
    account.port = o.port;
    account.useSsl = o.ssl ? 1 : 0;
    if (o.language) {
        WqInit(0, o.language);
    }

    const int status = RunCommand(args, account);
    const std::string trouble = wqhost::AnswerTrouble();
    if (!trouble.empty()) {
        std::fprintf(stderr, "wqhost: the answers did not go as given: %s\n", trouble.c_str());
        return 3;
    }
    return status;
}
