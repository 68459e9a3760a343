#pragma once
// Built-in modules: the stand-ins of the device's libraries ("ziVur.dll", "gpstmc.dll",
// language bundles ...) are registered in this process under their file names with a table of
// named entry points. LoadLibraryW finds a module only while a file of its name exists on the
// device (program folder, then "\Windows", then the root), so a test makes a library "missing"
// by not creating or by deleting that file. Safe from any thread.
//
// To add a module, define in one source file of its library
//     const platform::ModuleRegistration kRegistration(u"gpstmc.dll", {
//         platform::Export(u"GpsTmc_Init", &GpsTmc_Init), ...});
// and keep that file linked (see nav_builtin_module in cmake/NavComponent.cmake).

#include "platform/types.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A generic entry point; callers cast it to the entry point's real type. (void (*)() is the one
// function pointer type that compilers accept casts to and from without warnings.)
using FARPROC = void (*)();

namespace platform {

struct ModuleExport {
    std::u16string_view name; // entry point name, matched exactly
    FARPROC address;
};

// Wraps any function as an entry point; the caller casts GetProcAddressW's result back.
template <class Function> ModuleExport Export(std::u16string_view name, Function* function) {
    return ModuleExport{name, reinterpret_cast<FARPROC>(function)};
}

// Registers a module under its file name (matched without letter case); false when a module of
// that name exists already (the first registration stays).
[[nodiscard]] bool RegisterModule(std::u16string_view fileName,
                                  std::initializer_list<ModuleExport> exports);

// Registers at static initialisation time.
class ModuleRegistration {
public:
    ModuleRegistration(std::u16string_view fileName, std::initializer_list<ModuleExport> exports);
};

// Test switch: GetProcAddressW of this entry point of this module gives null until reset.
void HideEntryPoint(std::u16string_view moduleFileName, std::u16string_view entryName);
void ResetHiddenEntryPoints();

// The program's own folder on the device (searched first by LoadLibraryW); "\" until set.
void SetProgramFolder(std::u16string_view devicePath);
[[nodiscard]] std::u16string ProgramFolder();

// Device path of the file a loaded module was found at (for GetModuleFileNameW); empty for a
// module handle that is not loaded.
[[nodiscard]] std::u16string LoadedModulePath(HMODULE module);

// Number of loads not yet freed, over all modules (for leak checks in tests).
[[nodiscard]] std::size_t LoadedModuleCount();

} // namespace platform

// Loads a built-in module by file name or device path. A bare name (".dll" is added when it has
// no extension) is searched in the program folder, "\Windows" and the root; a path must name an
// existing file. Each successful call adds one reference: two loaders of one library hold
// independent references to the same module. Null with ERROR_MOD_NOT_FOUND when no file of that
// name exists, ERROR_BAD_EXE_FORMAT when the file exists but no module of that name is built in.
[[nodiscard]] HMODULE LoadLibraryW(LPCWSTR fileName);

// Null with ERROR_PROC_NOT_FOUND for an unknown or hidden entry point, ERROR_INVALID_HANDLE for
// a module that is not loaded.
[[nodiscard]] FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);

// The handle of a loaded module by its file name (letter case ignored, ".dll" added when the
// name has no extension); null with ERROR_MOD_NOT_FOUND when no module of that name is loaded.
// Adds no reference.
[[nodiscard]] HMODULE GetModuleHandleW(LPCWSTR moduleName);

// Drops one reference; FALSE with ERROR_INVALID_HANDLE for null or a module not loaded.
BOOL FreeLibrary(HMODULE module);
