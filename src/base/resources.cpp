#include "base/resources.h"

#include <atomic>

#include "base/text.h"

namespace wq {
namespace {

// The process-wide resource state, in one place.
struct ResourceState {
    platform::ModuleHandle own = nullptr;  // the library's own module
    // The module that supplies strings and dialog templates: `own`, or the language resource
    // library once loaded. Replaced with an interlocked exchange.
    std::atomic<platform::ModuleHandle> current{nullptr};
    uint16_t language = 0;  // 0: no language library wanted
    std::atomic<uint32_t> generation{0};
};

ResourceState& State() {
    static ResourceState state;
    return state;
}

// Makes `module` the resource module and releases the one it replaces, unless that is the
// library's own.
void Exchange(platform::ModuleHandle module) {
    ResourceState& s = State();
    platform::ModuleHandle previous = s.current.exchange(module);
    if (previous != module) {
        s.generation.fetch_add(1);
        if (previous && previous != s.own) {
            platform::ReleaseModule(previous);
        }
    }
}

}  // namespace

void SetOwnModule(platform::ModuleHandle self) {
    State().own = self;
    Exchange(self);
}

platform::ModuleHandle OwnModule() {
    return State().own;
}

void SetUiLanguage(uint16_t language) {
    State().language = language;
}

uint16_t UiLanguage() {
    return State().language;
}

platform::ModuleHandle GetResourceInstance() {
    ResourceState& s = State();
    platform::ModuleHandle current = s.current.load();
    if (s.language == 0 || current != s.own) {
        return current;
    }
    platform::ModuleHandle language = platform::LoadModule(LanguageLibraryPath(s.language));
    if (language) {
        Exchange(language);
    }
    return s.current.load();
}

uint32_t ResourceGeneration() {
    return State().generation.load();
}

void ReleaseResources() {
    Exchange(State().own);
}

std::string LanguageLibraryPath(uint16_t language) {
    std::string path = platform::ModuleFileName(State().own);
    size_t cut = path.rfind(platform::PathSeparator());
    path.erase(cut == std::string::npos ? 0 : cut + 1);
    return path + kModuleBaseName + FormatText("%X", static_cast<unsigned>(language)) +
           platform::ModuleSuffix();
}

}  // namespace wq
