#pragma once
// Special folders of the device.

#include "platform/types.h"

constexpr int CSIDL_PERSONAL = 0x0005;

// Writes the device path of the special folder into path (MAX_PATH characters). Only
// CSIDL_PERSONAL is known: "\My Documents", created when create is TRUE and it is missing.
// FALSE for other folder ids, a null buffer, or a folder that is missing or cannot be created.
[[nodiscard]] BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create);
