#include "runtime/module_state.h"

#include <cstdio>

#include "net/transport.h"
#include "platform/ui.h"
#include "runtime/text.h"

namespace wq {

ModuleState& Module() {
    static ModuleState state;
    return state;
}

bool AttachRuntime(platform::ModuleHandle self) {
    ModuleState& m = Module();
    m.richEdit = platform::LoadRichEditLibrary();
    if (!m.richEdit) {
        return false;
    }
    m.moduleInstance = self;
    m.resourceInstance.store(self);
    ui::SetTemplateModuleSource(&GetResourceInstance);
    return true;
}

void DetachRuntime() {
    ModuleState& m = Module();
    net::TransportShutdown();
    platform::ReleaseModule(m.richEdit);
    m.richEdit = nullptr;
    platform::ModuleHandle resources = m.resourceInstance.exchange(m.moduleInstance);
    if (resources != m.moduleInstance) {
        platform::ReleaseModule(resources);
    }
}

std::string LanguageLibraryPath(uint16_t language) {
    std::string path = platform::ModuleFileName(Module().moduleInstance);
    size_t cut = path.rfind(platform::PathSeparator());
    path.erase(cut == std::string::npos ? 0 : cut + 1);
    return path + kModuleBaseName + FormatText("%X", static_cast<unsigned>(language)) +
           platform::ModuleSuffix();
}

platform::ModuleHandle GetResourceInstance() {
    ModuleState& m = Module();
    platform::ModuleHandle current = m.resourceInstance.load();
    if (m.uiLanguage == 0 || current != m.moduleInstance) {
        return current;
    }
    platform::ModuleHandle language = platform::LoadModule(LanguageLibraryPath(m.uiLanguage));
    if (language) {
        platform::ModuleHandle previous = m.resourceInstance.exchange(language);
        if (previous != m.moduleInstance) {
            platform::ReleaseModule(previous);  // another lookup got there first
        }
    }
    return m.resourceInstance.load();
}

std::string GetModuleVersionString() {
    uint16_t v[4];
    if (!platform::ModuleFileVersion(Module().moduleInstance, v)) {
        return {};
    }
    return FormatText("%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
}

uint32_t GetDllVersion(const std::string& libraryName) {
    platform::ModuleHandle library = platform::LoadModule(libraryName);
    if (!library) {
        return 0;
    }
    uint32_t major = 0, minor = 0;
    bool ok = platform::QueryDllVersion(library, &major, &minor);
    platform::ReleaseModule(library);
    return ok ? (major << 16) | minor : 0;
}

}  // namespace wq
