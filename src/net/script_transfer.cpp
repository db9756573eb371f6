#include "net/script_transfer.h"

#include "base/text.h"
#include "net/imap.h"
#include "text/charset.h"

namespace wq::net {
namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

void TrimRight(std::string& text) {
    size_t end = text.size();
    while (end > 0 && IsSpace(text[end - 1])) {
        --end;
    }
    text.erase(end);
}

void TrimLeft(std::string& text) {
    size_t start = 0;
    while (start < text.size() && IsSpace(text[start])) {
        ++start;
    }
    text.erase(0, start);
}

}  // namespace

HResult ExtractScript(const std::string& reply, std::string* script) {
    script->clear();
    // The announcing line goes; its line feed stays and is the earliest the last line feed
    // can be.
    const size_t first = reply.find('\n');
    if (first == std::string::npos) {
        return E_FAIL;  // only the tagged completion came
    }
    std::string text = reply.substr(first);
    TrimRight(text);
    // The tagged completion is the last line.
    const size_t last = text.rfind('\n');
    if (last == std::string::npos) {
        return E_FAIL;
    }
    text.erase(last);
    TrimLeft(text);
    TrimRight(text);
    *script = utf8ToAnsi(text);
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
