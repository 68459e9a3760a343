#include "utilities/usefulcode/win32file.h"

#include "platform/files/files.h"

#include <array>

namespace {

struct ModeArguments {
    DWORD access;
    DWORD creation;
    DWORD flags;
};

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kDeleteOnClose = FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL;

constexpr std::array<ModeArguments, 6> kModes = {{
    {GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL},
    {GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL},
    {kReadWrite, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL},
    {kReadWrite, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL},
    {kReadWrite, OPEN_ALWAYS, kDeleteOnClose},
    {kReadWrite, TRUNCATE_EXISTING, kDeleteOnClose},
}};

DWORD ToMoveMethod(int origin) {
    if (origin == kRawSeekBegin) {
        return FILE_BEGIN;
    }
    return origin == kRawSeekCurrent ? FILE_CURRENT : FILE_END;
}

LONG ToPosition(DWORD position) {
    return position == INVALID_SET_FILE_POINTER ? -1 : static_cast<LONG>(position);
}

} // namespace

Win32File::~Win32File() {
    Close();
}

void Win32File::Open(const std::u16string& path, RawFileMode mode) {
    const auto index = static_cast<std::size_t>(mode);
    if (index >= kModes.size()) {
        return;
    }
    Close(); // an open handle would otherwise leak
    const ModeArguments& arguments = kModes[index];
    m_handle = CreateFileW(path.c_str(), arguments.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, arguments.creation, arguments.flags, nullptr);
    m_isAtEnd = false;
}

LONG Win32File::Seek(LONG offset, int origin) {
    m_isAtEnd = false;
    return ToPosition(SetFilePointer(m_handle, offset, nullptr, ToMoveMethod(origin)));
}

bool Win32File::Read(void* buffer, DWORD count) {
    DWORD transferred = 0;
    if (ReadFile(m_handle, buffer, count, &transferred, nullptr) == FALSE) {
        return false;
    }
    if (transferred == 0) {
        m_isAtEnd = true;
    }
    return transferred == count;
}

bool Win32File::Write(const void* buffer, DWORD count) {
    DWORD transferred = 0;
    return WriteFile(m_handle, buffer, count, &transferred, nullptr) != FALSE &&
           transferred == count;
}

bool Win32File::IsOpen() const {
    return m_handle != INVALID_HANDLE_VALUE;
}

LONG Win32File::Tell() {
    return ToPosition(SetFilePointer(m_handle, 0, nullptr, FILE_CURRENT));
}

int Win32File::Close() {
    if (IsOpen()) {
        CloseHandle(m_handle);
    }
    m_handle = INVALID_HANDLE_VALUE;
    return 1;
}
