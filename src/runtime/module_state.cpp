#include "runtime/module_state.h"

#include <cstdio>

#include "base/resources.h"
#include "base/text.h"
#include "net/transport.h"
#include "platform/ui.h"

namespace wq {

namespace {

// Kept while the library is loaded, so that the rich-edit window class exists.
platform::ModuleHandle gRichEdit = nullptr;

}  // namespace

bool AttachRuntime(platform::ModuleHandle self) {
    gRichEdit = platform::LoadRichEditLibrary();
    if (!gRichEdit) {
        return false;
    }
    SetOwnModule(self);
    ui::SetTemplateModuleSource(&GetResourceInstance);
    return true;
}

void DetachRuntime() {
    net::TransportShutdown();
    platform::ReleaseModule(gRichEdit);
    gRichEdit = nullptr;
    ReleaseResources();
}

std::string GetModuleVersionString() {
    uint16_t v[4];
    if (!platform::ModuleFileVersion(OwnModule(), v)) {
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
