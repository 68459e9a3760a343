#include "utilities/usefulcode/cache/mappedfile.h"

#include "utilities/usefulcode/filecheck.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/mapping.h"
#include "platform/files/memory.h"
#include "platform/kernel/messagebox.h"

namespace {

constexpr std::size_t kErrorTextCapacity = 512;

// The system's text of an error code in a box without caption.
void ShowSystemError(DWORD errorCode) {
    WCHAR text[kErrorTextCapacity] = {};
    (void)FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         errorCode, 0, text, kErrorTextCapacity, nullptr);
    MessageBoxW(nullptr, text, nullptr, MB_OK);
}

} // namespace

MappedFile::MappedFile(std::weak_ptr<CacheLruList> list, const std::u16string& name,
                       FileShare share, DWORD unitSize)
    : CachedFile(std::move(list), name, 0, unitSize) {
    const auto arguments =
        TranslateOpenArguments(FileAccess::Read, share, FileCreation::OpenExisting,
                               FileHint::RandomAccess, OpenTable::ArchiveMember);
    if (!arguments) {
        return;
    }
    HANDLE file = CreateFileForMappingW(name.c_str(), arguments->access, arguments->share, nullptr,
                                        OPEN_EXISTING, arguments->flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD sizeHigh = 0;
    DWORD size = GetFileSize(file, &sizeHigh);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        size = 0;
        sizeHigh = 0;
    }
    m_wholeUnits = unitSize != 0 ? size / unitSize : 0;
    // An empty file cannot be mapped; it gets the same box as any other refused mapping.
    m_mapping =
        size != 0 ? CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
    if (m_mapping == nullptr) {
        const DWORD errorCode = size != 0 ? GetLastError() : ERROR_FILE_INVALID;
        (void)ShowFileCheckMessage(name, errorCode, (std::uint64_t{sizeHigh} << 32) | size);
        CloseHandle(file);
        return;
    }
    SetBlockSize(size);
    m_roundedUpUnits =
        unitSize != 0 ? static_cast<DWORD>((std::uint64_t{size} + unitSize - 1) / unitSize) : 0;
    // Views outlive the file handle, so only the mapping is kept.
    CloseHandle(file);
}

MappedFile::~MappedFile() {
    Close();
}

bool MappedFile::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_mapping != nullptr;
}

void MappedFile::Close() {
    std::lock_guard lock(m_mutex);
    if (m_mapping != nullptr) {
        CloseHandle(m_mapping);
        m_mapping = nullptr;
    }
}

BYTE* MappedFile::LoadBlock(DWORD blockIndex) {
    SetLastLoadLackedMemory(false);
    BYTE* view = nullptr;
    {
        // Held while mapping, so that a Close on another thread cannot close the mapping under
        // the call.
        std::lock_guard lock(m_mutex);
        if (m_mapping == nullptr) {
            return nullptr;
        }
        view = static_cast<BYTE*>(MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 0));
    }
    if (view == nullptr) {
        ShowSystemError(GetLastError());
        return nullptr;
    }
    GetFilter().OnLoad(view, *this, blockIndex);
    return view;
}

void MappedFile::ReleaseBlock(BYTE* data, DWORD blockIndex) {
    GetFilter().OnRelease(data, *this, blockIndex);
    if (data != nullptr) {
        (void)UnmapViewOfFile(data);
    }
}

CachedBlockPtr MappedFile::GetBlock(DWORD blockIndex) {
    (void)blockIndex;
    if (!IsOpen()) {
        return CachedBlockPtr();
    }
    return GetListedBlock(0);
}
