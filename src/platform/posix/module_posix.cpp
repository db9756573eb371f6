// Modules on POSIX: dlopen'ed shared objects. A module that carries resources (the library
// itself, a language resource library) exposes them as a generated table.
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/resource_table.h"

// The library's own resource table, generated from its .rc files and linked into it.
extern "C" const wq::platform::ResourceTable* WqOwnResources();

namespace wq::platform {
namespace {

struct PosixModule {
    void* handle = nullptr;  // owned dlopen handle; null for the library itself
    const ResourceTable* resources = nullptr;
    std::string path;
};

std::string OwnPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&WqOwnResources), &info) && info.dli_fname) {
        return info.dli_fname;
    }
    return {};
}

PosixModule& Own() {
    static PosixModule own{nullptr, WqOwnResources(), OwnPath()};
    return own;
}

PosixModule* AsModule(ModuleHandle m) {
    return static_cast<PosixModule*>(m);
}

ModuleHandle Open(const std::string& name) {
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        return nullptr;
    }
    auto* m = new PosixModule;
    m->handle = handle;
    m->path = name;
    using TableFn = const ResourceTable* (*)();
    if (auto fn = reinterpret_cast<TableFn>(dlsym(handle, "WqResourceTable"))) {
        m->resources = fn();
    }
    return m;
}

}  // namespace

ModuleHandle SelfModule() {
    return &Own();
}

std::string ModuleFileName(ModuleHandle module) {
    return module ? AsModule(module)->path : std::string();
}

const char* ModuleSuffix() {
    return ".so";
}

char PathSeparator() {
    return '/';
}

ModuleHandle LoadModule(const std::string& name) {
    return Open(name);
}

// dlopen looks for a library's own dependencies through its run path, so a full path already
// gives what the altered search path gives on Windows.
ModuleHandle LoadModuleAlteredSearchPath(const std::string& path) {
    return Open(path);
}

void* ModuleFunction(ModuleHandle module, const char* name) {
    PosixModule* m = AsModule(module);
    if (!m) {
        return nullptr;
    }
    return dlsym(m->handle ? m->handle : RTLD_DEFAULT, name);
}

void ReleaseModule(ModuleHandle module) {
    PosixModule* m = AsModule(module);
    if (!m || m == &Own()) {
        return;
    }
    dlclose(m->handle);
    delete m;
}

const ResourceTable* ModuleResources(void* module) {
    return module ? AsModule(module)->resources : nullptr;
}

const DialogTemplate* FindDialog(const ResourceTable* table, int id) {
    if (!table) {
        return nullptr;
    }
    for (size_t i = 0; i < table->dialogCount; ++i) {
        if (table->dialogs[i].id == id) {
            return &table->dialogs[i];
        }
    }
    return nullptr;
}

// Resource texts are stored in UTF-8; like LoadStringA, hand them out in the ANSI code page.
int LoadResourceString(ModuleHandle module, unsigned id, char* buffer, int size) {
    if (size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    const ResourceTable* table = ModuleResources(module);
    if (!table) {
        return 0;
    }
    const StringResource* end = table->strings + table->stringCount;
    const StringResource* it = std::lower_bound(
        table->strings, end, id, [](const StringResource& s, unsigned v) { return s.id < v; });
    if (it == end || it->id != id || !it->text) {
        return 0;
    }
    std::string text = WideToMultiByte(kCodePageAnsi, MultiByteToWide(kCodePageUtf8, it->text));
    int n = static_cast<int>(std::min(text.size(), static_cast<size_t>(size - 1)));
    std::memcpy(buffer, text.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

bool ModuleFileVersion(ModuleHandle module, uint16_t version[4]) {
    const ResourceTable* table = ModuleResources(module);
    if (!table ||
        (table->version[0] | table->version[1] | table->version[2] | table->version[3]) == 0) {
        return false;
    }
    std::copy(table->version, table->version + 4, version);
    return true;
}

}  // namespace wq::platform

namespace wq::platform {

ModuleHandle LoadRichEditLibrary() {
    return SelfModule();
}

bool QueryDllVersion(ModuleHandle module, uint32_t* major, uint32_t* minor) {
    struct DllVersionInfo {
        uint32_t size, major, minor, build, platform;
    };
    using Fn = int32_t (*)(DllVersionInfo*);
    auto fn = reinterpret_cast<Fn>(ModuleFunction(module, "DllGetVersion"));
    DllVersionInfo info{sizeof(DllVersionInfo), 0, 0, 0, 0};
    if (!fn || fn(&info) < 0) {
        return false;
    }
    *major = info.major;
    *minor = info.minor;
    return true;
}

}  // namespace wq::platform
