// Modules: the library itself, language resource libraries and system libraries bound at run
// time (the SSL library, the address book). LoadLibrary and friends on Windows, dlopen on POSIX.
#pragma once

#include <cstdint>
#include <string>

namespace wq::platform {

// A loaded module. Null means "none". Not owned unless it came from LoadModule.
using ModuleHandle = void*;

// The library's own module (the DLL, or on POSIX the object that holds this code).
ModuleHandle SelfModule();

// Full path of a module's file; empty when it cannot be had.
std::string ModuleFileName(ModuleHandle module);

// The file-name ending of loadable modules on this platform: ".dll" or ".so".
const char* ModuleSuffix();

// The directory separator of module paths: '\\' on Windows, '/' elsewhere.
char PathSeparator();

// Loads a module by name or path; null when it cannot be loaded.
ModuleHandle LoadModule(const std::string& name);

// Loads a module by full path, looking for its own dependencies in its folder first.
ModuleHandle LoadModuleAlteredSearchPath(const std::string& path);

// A function exported by a module, by name; null when absent.
void* ModuleFunction(ModuleHandle module, const char* name);

void ReleaseModule(ModuleHandle module);

// Copies string `id` of the module's string table into buffer (at most size - 1 characters,
// always terminated when size > 0) and returns the number of characters copied; 0 when the
// module has no such string.
int LoadResourceString(ModuleHandle module, unsigned id, char* buffer, int size);

// Loads the rich-edit library whose window class the rules dialogs use ("RICHED20.DLL" on
// Windows). The headless backend has its own rich text, so elsewhere this gives the library's
// own module. Null when it cannot be loaded.
ModuleHandle LoadRichEditLibrary();

// Calls the module's "DllGetVersion" with a version record of size 20; false when it has no
// such function or the call fails.
bool QueryDllVersion(ModuleHandle module, uint32_t* major, uint32_t* minor);

// The module's file version from its version resource; false when it has none.
bool ModuleFileVersion(ModuleHandle module, uint16_t version[4]);

}  // namespace wq::platform
