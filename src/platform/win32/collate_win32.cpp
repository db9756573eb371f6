// Collation on Windows: CompareStringA in the user's default locale.
#include <windows.h>

#include <string_view>

#include "platform/collate.h"

namespace wq::platform {
namespace {

int Compare(DWORD flags, std::string_view a, std::string_view b) {
    int result = CompareStringA(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()),
                                b.data(), static_cast<int>(b.size()));
    if (result == 0) {  // cannot compare: the bytes decide
        int bytes = a.compare(b);
        return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
    }
    return result - CSTR_EQUAL;
}

}  // namespace

int CollateText(std::string_view a, std::string_view b) {
    return Compare(0, a, b);
}

bool EqualTextNoCase(std::string_view a, std::string_view b) {
    return Compare(NORM_IGNORECASE, a, b) == 0;
}

}  // namespace wq::platform
