// Resources in the form the POSIX build carries them: string table, dialog templates, bitmap
// sizes, icon ids and the version, generated from the same .rc files that windres compiles for
// Windows.
//
// The library's own table is linked into it; a language resource library exports its table
// under the C name WqResourceTable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wq::platform {

struct StringResource {
    unsigned id;
    const char* text;
};

struct ControlTemplate {
    int id;
    const char* className;  // "Button", "Edit", "Static", "SysListView32", ...
    const char* text;
    uint32_t style;
    uint32_t exStyle;  // WS_EX_ bits
    int x, y, cx, cy;
};

struct DialogTemplate {
    int id;
    const char* caption;
    uint32_t style;
    int x, y, cx, cy;
    const ControlTemplate* controls;
    size_t controlCount;
};

struct BitmapResource {
    int id;
    int width, height;
};

struct ResourceTable {
    const StringResource* strings;  // sorted by id
    size_t stringCount;
    const DialogTemplate* dialogs;
    size_t dialogCount;
    const BitmapResource* bitmaps;
    size_t bitmapCount;
    const int* icons;  // icon ids
    size_t iconCount;
    uint16_t version[4];  // file version; all zero for a resource-only library
};

// The table of a module loaded by the POSIX module layer; null when it has none.
const ResourceTable* ModuleResources(void* module);

const DialogTemplate* FindDialog(const ResourceTable* table, int id);

}  // namespace wq::platform

// Exported by every resource module built for the POSIX build.
extern "C" const wq::platform::ResourceTable* WqResourceTable();
