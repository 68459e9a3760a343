#include "utilities/usefulcode/handlefile.h"

#include "platform/files/files.h"

HandleFile::HandleFile(const std::u16string& path, FileAccess access, FileShare share,
                       FileCreation creation, FileHint hint) {
    (void)Open(path, access, share, creation, hint);
}

HandleFile::~HandleFile() {
    Close();
}

bool HandleFile::Open(const std::u16string& path, FileAccess access, FileShare share,
                      FileCreation creation, FileHint hint) {
    Close(); // an open handle would otherwise leak
    const auto arguments =
        TranslateOpenArguments(access, share, creation, hint, OpenTable::LooseFile);
    if (!arguments) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    m_handle = CreateFileW(path.c_str(), arguments->access, arguments->share, nullptr,
                           arguments->creation, arguments->flags, nullptr);
    return IsOpen();
}

bool HandleFile::IsOpen() const {
    return m_handle != INVALID_HANDLE_VALUE;
}

bool HandleFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    const BOOL closed = CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    return closed != FALSE;
}

DWORD HandleFile::Seek(LONG offset, SeekOrigin origin) {
    return SetFilePointer(m_handle, offset, nullptr, ToPlatformOrigin(origin));
}

DWORD HandleFile::Read(void* buffer, DWORD count) {
    DWORD transferred = 0;
    if (ReadFile(m_handle, buffer, count, &transferred, nullptr) == FALSE) {
        return 0;
    }
    return transferred;
}

DWORD HandleFile::Write(const void* buffer, DWORD count) {
    DWORD transferred = 0;
    if (WriteFile(m_handle, buffer, count, &transferred, nullptr) == FALSE) {
        return 0;
    }
    return transferred;
}

DWORD HandleFile::GetSize() {
    return GetFileSize(m_handle, nullptr);
}

bool HandleFile::Truncate(LONG sizeBytes) {
    return TruncateHandle(m_handle, sizeBytes);
}

bool TruncateHandle(HANDLE handle, LONG sizeBytes) {
    const DWORD position = SetFilePointer(handle, sizeBytes, nullptr, FILE_BEGIN);
    if (static_cast<LONG>(position) < 0) {
        return false;
    }
    return SetEndOfFile(handle) != FALSE;
}
