#include "platform/shell/specialfolder.h"

#include "platform/files/files.h"
#include "platform/kernel/handles.h"

#include <algorithm>
#include <string_view>

BOOL SHGetSpecialFolderPathW(HWND /*owner*/, LPWSTR path, int folder, BOOL create) {
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (folder != CSIDL_PERSONAL) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    constexpr std::u16string_view kPersonal = u"\\My Documents";
    const DWORD attributes = GetFileAttributesW(kPersonal.data());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (create == FALSE || CreateDirectoryW(kPersonal.data(), nullptr) == FALSE) {
            return FALSE;
        }
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::copy(kPersonal.begin(), kPersonal.end(), path);
    path[kPersonal.size()] = u'\0';
    return TRUE;
}
