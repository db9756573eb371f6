// Subcommands that reach the library's internal operations (folder listing, script transfer),
// which the DLL does not export; native build only, where wqhost links the library's objects.
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/account.h"
#include "folders/folder_list.h"
#include "folders/folder_names.h"
#include "net/script_transfer.h"
#include "text/charset.h"
#include "wqhost_ui.h"

namespace wqhost {
namespace {

// One line per folder: the display path indented by its depth, the server name, and
// "(not selectable)" where it applies.
int ListFoldersCommand() {
    std::vector<wq::FolderEntry> folders;
    const WqResult r = wq::ListFolders(&folders);
    for (const wq::FolderEntry& e : folders) {
        std::printf("%*s%s\t[%s]%s\n", 2 * e.depth, "",
                    ForTerminal(wq::MapServerToDisplay(e.serverName)).c_str(),
                    ForTerminal(e.serverName).c_str(), e.selectable ? "" : " (not selectable)");
    }
    return Report("ListFolders", r);
}

int GetScriptCommand() {
    std::string script;
    const WqResult r = wq::net::FetchScript(&script);
    if (r == 0) {
        std::string text = ForTerminal(script);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
    }
    return Report("FetchScript", r);
}

// The file's text (ANSI, "-" for standard input) stored with X-PUTSCRIPT.
int PutScriptCommand(const std::string& file) {
    std::stringstream text;
    if (file == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "wqhost: cannot read %s\n", file.c_str());
            return 2;
        }
        text << in.rdbuf();
    }
    return Report("StoreScript", wq::net::StoreScript(wq::ansiToUtf8(text.str())));
}

}  // namespace

int RunNativeCommand(const std::vector<std::string>& args, AccountSettings& account) {
    const std::string& cmd = args[0];
    wq::SetCurrentAccount(&account);
    if (cmd == "folders") {
        return ListFoldersCommand();
    }
    if (cmd == "get-script") {
        return GetScriptCommand();
    }
    if (cmd == "put-script" && args.size() >= 2) {
        return PutScriptCommand(args[1]);
    }
    return -1;
}

}  // namespace wqhost
