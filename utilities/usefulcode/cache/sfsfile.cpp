#include "utilities/usefulcode/cache/sfsfile.h"

#include "utilities/usefulcode/cache/sfslibrary.h"

bool SfsHandle::Close() {
    if (!IsOpen()) {
        return true;
    }
    // A bare word may be set while the library was never loaded: nothing can close it then.
    const SfsLibrary* library = SfsLibrary::Get();
    const BOOL closed = library != nullptr ? library->Functions().closeHandle(m_word) : FALSE;
    m_word = kClosed;
    return closed != FALSE;
}

DWORD SfsHandle::Read(void* buffer, DWORD count) const {
    const SfsLibrary* library = SfsLibrary::Get();
    if (!IsOpen() || library == nullptr) {
        return 0;
    }
    DWORD transferred = 0;
    if (library->Functions().readFile(m_word, buffer, count, &transferred, nullptr) == FALSE) {
        return 0;
    }
    return transferred;
}

DWORD SfsHandle::GetSize() const {
    const SfsLibrary* library = SfsLibrary::Get();
    if (!IsOpen() || library == nullptr) {
        return kInvalidFilePosition;
    }
    const auto setFilePointer = library->Functions().setFilePointer;
    const DWORD position = setFilePointer(m_word, 0, nullptr, 1);
    if (position == kInvalidFilePosition) {
        return kInvalidFilePosition;
    }
    const DWORD size = setFilePointer(m_word, 0, nullptr, 2);
    (void)setFilePointer(m_word, static_cast<LONG>(position), nullptr, 0);
    return size;
}

SfsFile::SfsFile(const std::u16string& path, FileAccess access, FileShare share,
                 FileCreation creation, FileHint hint) {
    (void)Open(path, access, share, creation, hint);
}

SfsFile::~SfsFile() {
    Close();
}

bool SfsFile::Open(const std::u16string& path, FileAccess access, FileShare share,
                   FileCreation creation, FileHint hint) {
    Close(); // an open handle would otherwise leak
    SfsLibrary* library = SfsLibrary::Get();
    const auto arguments =
        TranslateOpenArguments(access, share, creation, hint, OpenTable::ArchiveMember);
    if (library == nullptr || !arguments) {
        return false;
    }
    m_handle = SfsHandle(
        library->Functions().createFile(path.c_str(), arguments->access, arguments->share, nullptr,
                                        arguments->creation, arguments->flags, nullptr));
    return IsOpen();
}

DWORD SfsFile::Seek(LONG offset, SeekOrigin origin) {
    if (!IsOpen()) {
        return kInvalidFilePosition;
    }
    return SfsLibrary::Get()->Functions().setFilePointer(m_handle.GetWord(), offset, nullptr,
                                                         ToPlatformOrigin(origin));
}

DWORD SfsFile::Read(void* buffer, DWORD count) {
    return m_handle.Read(buffer, count);
}

DWORD SfsFile::Write(const void* buffer, DWORD count) {
    if (!IsOpen()) {
        return 0;
    }
    DWORD transferred = 0;
    if (SfsLibrary::Get()->Functions().writeFile(m_handle.GetWord(), buffer, count, &transferred,
                                                 nullptr) == FALSE) {
        return 0;
    }
    return transferred;
}

bool SfsFile::Truncate(LONG sizeBytes) {
    (void)sizeBytes;
    return false;
}
