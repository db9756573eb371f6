#include "folders/folder_names.h"

#include <array>
#include <string_view>

#include "base/resources.h"
#include "base/text.h"
#include "text/charset.h"

namespace wq {
namespace {

struct SpecialFolder {
    const char* serverName;
    unsigned displayId;
};

constexpr std::array<SpecialFolder, 3> kSpecialFolders{{
    {"INBOX", 1400},
    {"#public", 1404},
    {"#backup", 1405},
}};

// The display names are string-table texts, read again when the resource module has changed
// (a language library loaded after WqInit).
const std::array<std::string, 3>& DisplayNames() {
    static std::array<std::string, 3> names;
    static uint32_t readFor = 0;
    static bool read = false;
    const uint32_t generation = ResourceGeneration();
    if (!read || readFor != generation) {
        for (size_t i = 0; i < kSpecialFolders.size(); ++i) {
            names[i] = LoadText(kSpecialFolders[i].displayId);
        }
        readFor = generation;
        read = true;
    }
    return names;
}

// Replaces the first level of `path` when it equals one of `from`, by the same entry of `to`.
template <typename From, typename To>
std::string MapFirstLevel(const std::string& path, From from, To to) {
    size_t slash = path.find('/');
    std::string_view first = std::string_view(path).substr(0, slash);
    for (size_t i = 0; i < kSpecialFolders.size(); ++i) {
        if (first == from(i)) {
            return to(i) + (slash == std::string::npos ? std::string() : path.substr(slash));
        }
    }
    return path;
}

}  // namespace

std::string MapServerToDisplay(const std::string& serverPath) {
    return MapFirstLevel(
        serverPath, [](size_t i) { return std::string_view(kSpecialFolders[i].serverName); },
        [](size_t i) { return DisplayNames()[i]; });
}

std::string MapDisplayToServer(const std::string& displayPath) {
    return MapFirstLevel(
        displayPath, [](size_t i) { return std::string_view(DisplayNames()[i]); },
        [](size_t i) { return std::string(kSpecialFolders[i].serverName); });
}

std::string ServerFolderName(const std::string& displayPath) {
    return ansiToMutf7(MapDisplayToServer(displayPath));
}

int FolderIcon(const std::string& text) {
    for (unsigned id = 1400; id <= 1403; ++id) {
        if (text == LoadText(id)) {
            return static_cast<int>(id - 1400 + 1);
        }
    }
    return 0;
}

}  // namespace wq
