#pragma once
// File names of the running program and of its loaded modules, as device paths.

#include "platform/types.h"

#include <string>
#include <string_view>

// Writes the device path of module (null: the executable) into buffer, cut to size - 1
// characters and always terminated. Returns the characters written without the terminator;
// size when the path was cut (ERROR_INSUFFICIENT_BUFFER); 0 with ERROR_MOD_NOT_FOUND for a
// module that is not loaded, or ERROR_INSUFFICIENT_BUFFER for size 0.
[[nodiscard]] DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

namespace platform {

// The executable's device path. Until set: the program folder (platform/modules.h) followed by
// "\Navigator.exe". An empty path restores that default.
void SetExecutablePath(std::u16string_view devicePath);
[[nodiscard]] std::u16string ExecutablePath();

} // namespace platform
