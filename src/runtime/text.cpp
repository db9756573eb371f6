#include "runtime/text.h"

#include <cstdio>
#include <vector>

#include "platform/module.h"
#include "runtime/module_state.h"

namespace wq {
namespace {

// Reads string `id` from one module. The buffer starts at 256 characters and grows by 256
// while the text fills it to within 2 characters, so that a text is never silently cut.
std::string ReadString(platform::ModuleHandle module, unsigned id) {
    std::vector<char> buffer(256);
    for (;;) {
        int size = static_cast<int>(buffer.size());
        int n = platform::LoadResourceString(module, id, buffer.data(), size);
        if (size - n >= 3) {
            return std::string(buffer.data(), static_cast<size_t>(n > 0 ? n : 0));
        }
        buffer.resize(buffer.size() + 256);
    }
}

}  // namespace

std::string LoadText(unsigned id) {
    platform::ModuleHandle resources = GetResourceInstance();
    std::string text = ReadString(resources, id);
    // A language resource library that lacks a text falls back to the library's own.
    if (text.empty() && resources != Module().moduleInstance) {
        text = ReadString(Module().moduleInstance, id);
    }
    return text;
}

std::string FormatTextV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatTextV(format, args);
    va_end(args);
    return out;
}

}  // namespace wq
