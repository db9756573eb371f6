#include <cstdio>
#include <string>

#include "platform/codepage.h"
#include "platform/headless/headless.h"
#include "wqhost_ui.h"

namespace wqhost {

namespace {

// Indents the lines of a multi-line text under its label.
void PrintBlock(const char* label, const std::string& text) {
    std::printf("  %s", label);
    for (char c : ForTerminal(text)) {
        std::putchar(c);
        if (c == '\n') {
            std::printf("  %*s", static_cast<int>(std::string(label).size()), "");
        }
    }
    std::putchar('\n');
}

void Echo(const wq::headless::Event& e) {
    using Kind = wq::headless::Event::Kind;
    if (Answering() && e.kind != Kind::kPropertySheet) {
        // Printed as it opened; what it ended with is what is left to say.
        std::printf("== %s -> %d\n", ForTerminal(e.caption).c_str(), e.result);
        std::fflush(stdout);
        return;
    }
    switch (e.kind) {
        case Kind::kMessageBox:
            std::printf("[message box] %s\n", ForTerminal(e.caption).c_str());
            PrintBlock("", e.text);
            std::printf("  -> button %d\n", e.result);
            break;
        case Kind::kDialog:
        case Kind::kPropertySheet:
            std::printf("[%s] %s\n", e.kind == Kind::kDialog ? "dialog" : "property sheet",
                        ForTerminal(e.caption).c_str());
            for (const auto& [id, text] : e.texts) {
                if (!text.empty()) {
                    std::printf("  %5d: ", id);
                    PrintBlock("", text);
                }
            }
            std::printf("  -> %d\n", e.result);
            break;
    }
    std::fflush(stdout);
}

}  // namespace

void StartUi() {
    wq::headless::SetEcho(Echo);
}

// The library's texts are in the ANSI code page; the terminal wants UTF-8.
std::string ForTerminal(const std::string& ansi) {
    using namespace wq::platform;
    return WideToMultiByte(kCodePageUtf8, MultiByteToWide(kCodePageAnsi, ansi));
}

}  // namespace wqhost
