// The address book on POSIX: the contacts of vCard files. WQ_CONTACTS names a file or a folder;
// without it the folder is $XDG_DATA_HOME/contacts (~/.local/share/contacts). A folder gives its
// *.vcf files (any case of the ending) in name order. Files that cannot be read, and files
// larger than kMaxFileSize, give nothing.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/address_book.h"
#include "platform/codepage.h"
#include "platform/posix/vcard.h"

namespace wq::platform {
namespace {

constexpr long kMaxFileSize = 16L * 1024 * 1024;

std::string ContactsLocation() {
    if (const char* set = std::getenv("WQ_CONTACTS")) {
        return set;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::string(data) + "/contacts";
    }
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/.local/share/contacts" : std::string();
}

bool IsVCardFile(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string ending = name.substr(name.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return ending == ".vcf";
}

std::vector<std::string> VCardFiles(const std::string& location) {
    struct stat info {};
    if (location.empty() || stat(location.c_str(), &info) != 0) {
        return {};
    }
    if (!S_ISDIR(info.st_mode)) {
        return {location};
    }
    std::vector<std::string> files;
    if (DIR* dir = opendir(location.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (IsVCardFile(name)) {
                files.push_back(location + "/" + name);
            }
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool ReadFile(const std::string& path, std::string* text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    text->clear();
    char buffer[65536];
    size_t n = 0;
    bool fits = true;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text->size() + n > static_cast<size_t>(kMaxFileSize)) {
            fits = false;
            break;
        }
        text->append(buffer, n);
    }
    bool ok = fits && !std::ferror(file);
    std::fclose(file);
    return ok;
}

std::string ToAnsi(const std::string& utf8) {
    return utf8.empty() ? utf8
                        : WideToMultiByte(kCodePageAnsi, MultiByteToWide(kCodePageUtf8, utf8));
}

}  // namespace

void ReadAddressBook(void* owner, std::vector<Contact>* contacts) {
    (void)owner;  // vCard files bring no prompts of their own
    if (!contacts) {
        return;
    }
    std::string text;
    for (const std::string& path : VCardFiles(ContactsLocation())) {
        if (!ReadFile(path, &text)) {
            continue;
        }
        for (Contact& c : ParseVCardContacts(text)) {
            contacts->push_back({ToAnsi(c.name), ToAnsi(c.email)});
        }
    }
}

}  // namespace wq::platform
