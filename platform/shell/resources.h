#pragma once
// Resources of the language resource libraries ("LangGerCE.dll", "LangEngCE.dll",
// "LangFreCE.dll", "LangSpaCE.dll", "LangItaCE.dll", "LangDutCE.dll"). Each is a built-in module
// that LoadLibraryW finds while its file exists on the device; that file is a resource bundle
// (platform/resourcebundle.h), read when a resource is first asked for and again whenever the
// file changes. Safe from any thread.

#include "platform/shell/resourcebundle.h"
#include "platform/types.h"

#include <cstdint>
#include <vector>

constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// Copies string id of the module into buffer, cut to bufferMax - 1 characters and terminated,
// and returns the characters copied without the terminator. With bufferMax 0, buffer is taken
// as a const WCHAR** and receives a pointer to the stored text, which is not terminated and
// stays valid for the life of the process; the text's length is returned. 0 for a missing or
// empty string (the buffer then holds an empty text; ERROR_RESOURCE_NAME_NOT_FOUND), a module
// that is not loaded (ERROR_MOD_NOT_FOUND) or a bundle that cannot be read
// (ERROR_RESOURCE_DATA_NOT_FOUND; a debug line names the file and the fault).
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);

namespace platform {

// Copies bitmap id (a bitmap file, ".bmp" layout) of the module into bytes; false with the last
// error set as LoadStringW sets it when the module, bundle or bitmap is missing.
[[nodiscard]] bool LoadResourceBitmap(HINSTANCE instance, UINT id,
                                      std::vector<std::uint8_t>* bytes);

// Copies the picture of icon id (a bitmap file) of the module; false as LoadResourceBitmap.
[[nodiscard]] bool LoadResourceIcon(HINSTANCE instance, UINT id, std::vector<std::uint8_t>* bytes);

// The module that holds the application's resources (the loaded language library); null until
// the application sets it.
void SetResourceInstance(HINSTANCE instance);
[[nodiscard]] HINSTANCE ResourceInstance();

// The entries of accelerator table id of the module, in the order they are tried; empty with the
// last error set as by LoadStringW when the table, the module or its bundle is missing.
[[nodiscard]] std::vector<BundleAccelerator> LoadAcceleratorEntries(HINSTANCE instance, UINT id);
// Whether the module's bundle holds menu bar id; false with the last error set as by
// LoadStringW otherwise.
[[nodiscard]] bool HasMenuBar(HINSTANCE instance, UINT id);

} // namespace platform
