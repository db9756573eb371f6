#include <cstdio>
#include <string>

#include "platform/headless/headless.h"
#include "wqhost_ui.h"

namespace wqhost {

namespace {

// Indents the lines of a multi-line text under its label.
void PrintBlock(const char* label, const std::string& text) {
    std::printf("  %s", label);
    for (char c : text) {
        std::putchar(c);
        if (c == '\n') {
            std::printf("  %*s", static_cast<int>(std::string(label).size()), "");
        }
    }
    std::putchar('\n');
}

void Echo(const wq::headless::Event& e) {
    using Kind = wq::headless::Event::Kind;
    switch (e.kind) {
        case Kind::kMessageBox:
            std::printf("[message box] %s\n", e.caption.c_str());
            PrintBlock("", e.text);
            std::printf("  -> button %d\n", e.result);
            break;
        case Kind::kDialog:
        case Kind::kPropertySheet:
            std::printf("[%s] %s\n", e.kind == Kind::kDialog ? "dialog" : "property sheet",
                        e.caption.c_str());
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

}  // namespace wqhost
