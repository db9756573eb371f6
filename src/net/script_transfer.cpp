#include "net/script_transfer.h"

#include "base/text.h"
#include "net/imap.h"
#include "net/reply_text.h"
#include "text/charset.h"

namespace wq::net {
HResult ExtractScript(const std::string& reply, std::string* script) {
    script->clear();
    // The announcing line goes; its line feed stays and is the earliest the last line feed
    // can be.
    const size_t first = reply.find('\n');
    if (first == std::string::npos) {
        return E_FAIL;  // only the tagged completion came
    }
    // The session hands a literal's bytes over as they came: they are the script.
    size_t size = 0;
    if (LiteralSize(std::string_view(reply).substr(0, first), &size) &&
        size <= reply.size() - first - 1) {
        *script = utf8ToAnsi(reply.substr(first + 1, size));
        return S_OK;
    }
    std::string_view text = TrimSpaceRight(std::string_view(reply).substr(first));
    // The tagged completion is the last line.
    const size_t last = text.rfind('\n');
    if (last == std::string_view::npos) {
        return E_FAIL;
    }
    *script = utf8ToAnsi(std::string(TrimSpace(text.substr(0, last))));
    return S_OK;
}

HResult FetchScript(std::string* script) {
    script->clear();
    std::string reply;
    const HResult result = ImapRunCommand(kGetScriptCommand, &reply, nullptr);
    if (result != S_OK) {
        return result;
    }
    return ExtractScript(reply, script);
}

std::string StoreScriptCommand(const std::string& utf8Script) {
    std::string command =
        FormatText("X-PUTSCRIPT {%lu+}\r\n", static_cast<unsigned long>(utf8Script.size()));
    command.reserve(command.size() + utf8Script.size() + 2);
    command += utf8Script;
    command += "\r\n";
    return command;
}

HResult StoreScript(const std::string& utf8Script) {
    return ImapRunCommand(StoreScriptCommand(utf8Script), nullptr, nullptr);
}

}  // namespace wq::net
