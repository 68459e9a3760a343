#include "utilities/usefulcode/handlewait.h"

DWORD WaitForHandle(HANDLE handle, DWORD timeoutMs) {
    return WaitForSingleObject(handle, timeoutMs);
}

DWORD WaitForAnyHandle(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
    if (handles == nullptr || count == 0 || count > MAXIMUM_WAIT_OBJECTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
}
