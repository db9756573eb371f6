// Modules on Windows: LoadLibrary, resources and version information.
#include <windows.h>
// after windows.h
#include <shlwapi.h>

#include <string>

#include "platform/module.h"

// The linker's symbol at the start of the image that holds this code: its module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace wq::platform {

namespace {
HMODULE AsModule(ModuleHandle m) {
    return static_cast<HMODULE>(m);
}
}  // namespace

ModuleHandle SelfModule() {
    return &__ImageBase;
}

std::string ModuleFileName(ModuleHandle module) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n =
            GetModuleFileNameA(AsModule(module), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

const char* ModuleSuffix() {
    return ".dll";
}

char PathSeparator() {
    return '\\';
}

ModuleHandle LoadModule(const std::string& name) {
    return LoadLibraryA(name.c_str());
}

ModuleHandle LoadModuleAlteredSearchPath(const std::string& path) {
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* ModuleFunction(ModuleHandle module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(AsModule(module), name));
}

void ReleaseModule(ModuleHandle module) {
    if (module && module != SelfModule()) {
        FreeLibrary(AsModule(module));
    }
}

int LoadResourceString(ModuleHandle module, unsigned id, char* buffer, int size) {
    if (size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    return LoadStringA(AsModule(module), id, buffer, size);
}

bool ModuleFileVersion(ModuleHandle module, uint16_t version[4]) {
    std::string path = ModuleFileName(module);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) {
        return false;
    }
    std::string data(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info) {
        return false;
    }
    version[0] = HIWORD(info->dwFileVersionMS);
    version[1] = LOWORD(info->dwFileVersionMS);
    version[2] = HIWORD(info->dwFileVersionLS);
    version[3] = LOWORD(info->dwFileVersionLS);
    return true;
}

ModuleHandle LoadRichEditLibrary() {
    return LoadLibraryA("RICHED20.DLL");
}

bool QueryDllVersion(ModuleHandle module, uint32_t* major, uint32_t* minor) {
    auto fn = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(AsModule(module), "DllGetVersion")));
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (!fn || FAILED(fn(&info))) {
        return false;
    }
    *major = info.dwMajorVersion;
    *minor = info.dwMinorVersion;
    return true;
}

}  // namespace wq::platform
