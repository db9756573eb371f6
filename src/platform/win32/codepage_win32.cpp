// Code pages on Windows: MultiByteToWideChar and WideCharToMultiByte with default flags.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace wq::platform {

static_assert(kCodePageAnsi == CP_ACP && kCodePageUtf8 == CP_UTF8, "Windows code page numbers");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

unsigned AnsiCodePage() {
    return GetACP();
}

std::u16string MultiByteToWide(unsigned codePage, std::string_view text) {
    std::u16string result;
    if (text.empty() || text.size() > 0x7FFFFFFF) {
        return result;
    }
    const int length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return result;
    }
    result.resize(static_cast<size_t>(needed));
    int n = MultiByteToWideChar(codePage, 0, text.data(), length,
                                reinterpret_cast<wchar_t*>(&result[0]), needed);
    result.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return result;
}

std::string WideToMultiByte(unsigned codePage, std::u16string_view text) {
    std::string result;
    if (text.empty() || text.size() > 0x7FFFFFFF) {
        return result;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return result;
    }
    result.resize(static_cast<size_t>(needed));
    int n = WideCharToMultiByte(codePage, 0, wide, length, &result[0], needed, nullptr, nullptr);
    result.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return result;
}

}  // namespace wq::platform
