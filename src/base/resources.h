// The resource module: where the library's texts and dialog templates come from. The library's
// own module, or the language resource library that WqInit asked for, loaded on the first text
// lookup after that. Bitmaps always come from the library's own module.
#pragma once

#include <cstdint>
#include <string>

#include "platform/module.h"

namespace wq {

// Base name of the library's files, used to build the language resource library's name.
inline constexpr const char* kModuleBaseName = "WqRT";

// At attach: the library's own module becomes the resource module.
void SetOwnModule(platform::ModuleHandle self);
platform::ModuleHandle OwnModule();

// WqInit's choice: texts and dialogs from the language resource library for `language`
// (0: the library's own). A language library once loaded stays in use until detach.
void SetUiLanguage(uint16_t language);
uint16_t UiLanguage();

// The module whose strings and dialogs are used; loads the language resource library on the
// first lookup after SetUiLanguage chose a language (a failed load is tried again next time).
platform::ModuleHandle GetResourceInstance();

// Counts the changes of the resource module, so that a cache of texts can tell that it must be
// read again.
uint32_t ResourceGeneration();

// At detach: releases the language resource library.
void ReleaseResources();

// The file name of the language resource library for `language`, beside the library:
// "WqRT405.dll" on Windows, "WqRT405.so" on POSIX.
std::string LanguageLibraryPath(uint16_t language);

}  // namespace wq
