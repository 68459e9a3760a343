// The archive library "ziVur.dll": mount table, member handles and the eight entry points.

#include "platform/sfs/sfs.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/modules.h"
#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/text.h"
#include "platform/sfs/sfsformat.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using platform::SfsFormatError;

struct Archive {
    std::filesystem::path hostPath;   // the archive file, resolved
    std::filesystem::path hostFolder; // the mount folder, resolved
    std::filesystem::path deviceRoot; // and as written, for unmounting after it is gone
    std::u16string folderKey;
    std::shared_ptr<platform::HostFile> file;
    std::vector<platform::SfsMember> members;
};

struct OpenMember {
    std::shared_ptr<const Archive> archive; // keeps the archive readable after an unmount
    const platform::SfsMember* member = nullptr;
    std::mutex mutex;
    std::uint64_t position = 0;
};

struct Library {
    std::mutex mutex;
    std::vector<std::shared_ptr<const Archive>> archives; // in mount order
    std::map<DWORD, std::shared_ptr<OpenMember>> handles;
    DWORD nextHandle = 1;
};

Library& TheLibrary() {
    static Library* library = new Library; // never destroyed: used by exit-time code
    return *library;
}

thread_local DWORD t_lastError = ERROR_SUCCESS;

template <class Result> Result Fail(DWORD error, Result result) {
    t_lastError = error;
    SetLastError(error);
    return result;
}

void Report(std::u16string_view path, std::string_view problem) {
    std::u16string line(path);
    line += u": ";
    line += platform::Utf8ToUtf16(problem);
    line += u"\n";
    OutputDebugStringW(line.c_str());
}

// Resolves a folder that must exist; empty on failure.
std::filesystem::path ResolveFolder(std::u16string_view devicePath) {
    const platform::ResolvedPath resolved = platform::ResolveDevicePath(devicePath);
    std::error_code error;
    if (resolved.status != platform::PathStatus::Exists ||
        !std::filesystem::is_directory(resolved.host, error)) {
        return {};
    }
    return resolved.host;
}

std::u16string FolderKey(std::u16string_view devicePath) {
    return platform::ToLower(platform::NormalizeDevicePath(devicePath));
}

// True when all count bytes at offset were read.
bool ReadAt(const platform::HostFile& file, std::uint8_t* buffer, std::size_t count,
            std::uint64_t offset) {
    DWORD transferred = 0;
    return count <= std::numeric_limits<DWORD>::max() &&
           file.ReadAt(offset, buffer, static_cast<DWORD>(count), transferred) == ERROR_SUCCESS &&
           transferred == count;
}

SfsFormatError ReadDirectory(Archive& archive) {
    std::uint64_t fileSize = 0;
    if (archive.file->Size(fileSize) != ERROR_SUCCESS) {
        return SfsFormatError::ReadFailed;
    }
    std::uint8_t headerBytes[platform::kSfsHeaderSize] = {};
    if (fileSize < platform::kSfsHeaderSize) {
        return SfsFormatError::TooSmall;
    }
    if (!ReadAt(*archive.file, headerBytes, sizeof headerBytes, 0)) {
        return SfsFormatError::ReadFailed;
    }
    platform::SfsHeader header;
    const SfsFormatError headerError = platform::ParseSfsHeader(headerBytes, fileSize, header);
    if (headerError != SfsFormatError::None) {
        return headerError;
    }
    // The directory size was checked against the real file size, so this allocation is bounded.
    std::vector<std::uint8_t> directory(header.directorySize);
    if (!ReadAt(*archive.file, directory.data(), directory.size(), header.directoryOffset)) {
        return SfsFormatError::ReadFailed;
    }
    return platform::ParseSfsDirectory(directory, header, fileSize, archive.members);
}

std::shared_ptr<OpenMember> Lookup(DWORD handle) {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    const auto it = library.handles.find(handle);
    return it == library.handles.end() ? nullptr : it->second;
}

int SFS_Mount(LPCWSTR archivePath, LPCWSTR mountFolder, DWORD, DWORD, DWORD) {
    if (archivePath == nullptr || mountFolder == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    auto archive = std::make_shared<Archive>();
    archive->hostFolder = ResolveFolder(mountFolder);
    archive->deviceRoot = platform::DeviceRoot();
    archive->folderKey = FolderKey(mountFolder);
    if (archive->hostFolder.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND, 0);
    }
    platform::OpenedFile opened = platform::OpenDeviceFile(
        archivePath, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS);
    if (!opened.file) {
        return Fail(opened.error, 0);
    }
    archive->file = std::move(opened.file);
    archive->hostPath = platform::ResolveDevicePath(archivePath).host;
    const SfsFormatError error = ReadDirectory(*archive);
    if (error != SfsFormatError::None) {
        Report(archivePath, platform::SfsFormatErrorText(error));
        return Fail(ERROR_FILE_CORRUPT, 0);
    }
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    for (const auto& mounted : library.archives) {
        if (mounted->hostPath == archive->hostPath) {
            return Fail(ERROR_ALREADY_EXISTS, 0);
        }
    }
    library.archives.push_back(std::move(archive));
    t_lastError = ERROR_SUCCESS;
    return 1;
}

int SFS_UnMount(LPCWSTR mountFolder) {
    if (mountFolder == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    const std::filesystem::path folder = ResolveFolder(mountFolder);
    const std::filesystem::path root = platform::DeviceRoot();
    const std::u16string key = FolderKey(mountFolder);
    const auto isAtFolder = [&](const std::shared_ptr<const Archive>& archive) {
        return (!folder.empty() && archive->hostFolder == folder) ||
               (archive->deviceRoot == root && archive->folderKey == key);
    };
    std::vector<std::shared_ptr<const Archive>> released; // closed outside the lock
    {
        Library& library = TheLibrary();
        std::lock_guard lock(library.mutex);
        auto keep =
            std::stable_partition(library.archives.begin(), library.archives.end(),
                                  [&](const auto& archive) { return !isAtFolder(archive); });
        released.assign(keep, library.archives.end());
        library.archives.erase(keep, library.archives.end());
    }
    if (released.empty()) {
        return Fail(ERROR_FILE_NOT_FOUND, 0);
    }
    t_lastError = ERROR_SUCCESS;
    return 1;
}

// The member that a folder and name open, searching the archives of that folder in mount order.
std::shared_ptr<OpenMember> FindMember(std::u16string_view path) {
    const std::size_t cut = path.find_last_of(u"\\/");
    const std::u16string_view name = cut == path.npos ? path : path.substr(cut + 1);
    const std::filesystem::path folder =
        ResolveFolder(cut == path.npos ? std::u16string_view() : path.substr(0, cut));
    if (folder.empty() || name.empty()) {
        return nullptr;
    }
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    for (const auto& archive : library.archives) {
        if (archive->hostFolder != folder) {
            continue;
        }
        for (const platform::SfsMember& member : archive->members) {
            if (platform::DeviceNamesEqual(member.name, name)) {
                auto open = std::make_shared<OpenMember>();
                open->archive = archive;
                open->member = &member;
                return open;
            }
        }
    }
    return nullptr;
}

DWORD SFS_CreateFile(LPCWSTR path, DWORD desiredAccess, DWORD, LPVOID, DWORD creationDisposition,
                     DWORD, LPVOID) {
    if (path == nullptr || creationDisposition < CREATE_NEW ||
        creationDisposition > TRUNCATE_EXISTING) {
        return Fail(ERROR_INVALID_PARAMETER, platform::kSfsInvalidHandle);
    }
    std::shared_ptr<OpenMember> open = FindMember(path);
    if (!open) {
        const bool mayCreate =
            creationDisposition != OPEN_EXISTING && creationDisposition != TRUNCATE_EXISTING;
        return Fail(mayCreate ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND,
                    platform::kSfsInvalidHandle);
    }
    if (creationDisposition == CREATE_NEW) {
        return Fail(ERROR_FILE_EXISTS, platform::kSfsInvalidHandle);
    }
    if ((desiredAccess & GENERIC_WRITE) != 0 || creationDisposition == CREATE_ALWAYS ||
        creationDisposition == TRUNCATE_EXISTING) {
        return Fail(ERROR_ACCESS_DENIED, platform::kSfsInvalidHandle);
    }
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    DWORD handle = library.nextHandle;
    while (handle == 0 || handle == platform::kSfsInvalidHandle ||
           library.handles.count(handle) != 0) {
        ++handle;
    }
    library.nextHandle = handle + 1;
    library.handles.emplace(handle, std::move(open));
    t_lastError = ERROR_SUCCESS;
    return handle;
}

BOOL SFS_ReadFile(DWORD handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
                  LPVOID overlapped) {
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    const std::shared_ptr<OpenMember> open = Lookup(handle);
    if (!open) {
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    if (overlapped != nullptr || (buffer == nullptr && bytesToRead != 0)) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    std::lock_guard lock(open->mutex);
    const std::uint64_t size = open->member->size;
    const std::uint64_t available = open->position < size ? size - open->position : 0;
    const auto count = static_cast<DWORD>(std::min<std::uint64_t>(bytesToRead, available));
    if (count > 0 && !ReadAt(*open->archive->file, static_cast<std::uint8_t*>(buffer), count,
                             open->member->offset + open->position)) {
        return Fail(ERROR_READ_FAULT, FALSE);
    }
    open->position += count;
    if (bytesRead != nullptr) {
        *bytesRead = count;
    }
    t_lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SFS_WriteFile(DWORD handle, LPCVOID, DWORD, LPDWORD bytesWritten, LPVOID) {
    if (bytesWritten != nullptr) {
        *bytesWritten = 0;
    }
    return Fail(Lookup(handle) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE, FALSE);
}

DWORD SFS_SetFilePointer(DWORD handle, LONG distanceToMove, LPLONG distanceHigh, DWORD moveMethod) {
    const std::shared_ptr<OpenMember> open = Lookup(handle);
    if (!open) {
        return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
    }
    std::int64_t distance = distanceToMove;
    if (distanceHigh != nullptr) {
        distance = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
            static_cast<std::uint32_t>(distanceToMove));
    }
    std::lock_guard lock(open->mutex);
    std::int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = static_cast<std::int64_t>(open->position);
    } else if (moveMethod == FILE_END) {
        base = open->member->size;
    } else if (moveMethod != FILE_BEGIN) {
        return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    }
    if (distance < -base) {
        return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
    }
    // Positions stay within 32 bits (members are smaller than 4 GiB).
    const std::int64_t target = base + std::min<std::int64_t>(distance, 0xFFFFFFFFll);
    if (target >= 0xFFFFFFFFll) {
        return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    }
    open->position = static_cast<std::uint64_t>(target);
    if (distanceHigh != nullptr) {
        *distanceHigh = 0;
    }
    t_lastError = ERROR_SUCCESS;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(target);
}

BOOL SFS_CloseHandle(DWORD handle) {
    std::shared_ptr<OpenMember> closed; // released outside the lock
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    const auto it = library.handles.find(handle);
    if (it == library.handles.end()) {
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    closed = std::move(it->second);
    library.handles.erase(it);
    t_lastError = ERROR_SUCCESS;
    return TRUE;
}

DWORD SFS_GetLastError() {
    return t_lastError;
}

const platform::ModuleRegistration kRegistration(
    platform::kSfsModuleName,
    {platform::Export(u"SFS_Mount", &SFS_Mount), platform::Export(u"SFS_UnMount", &SFS_UnMount),
     platform::Export(u"SFS_CreateFile", &SFS_CreateFile),
     platform::Export(u"SFS_ReadFile", &SFS_ReadFile),
     platform::Export(u"SFS_WriteFile", &SFS_WriteFile),
     platform::Export(u"SFS_SetFilePointer", &SFS_SetFilePointer),
     platform::Export(u"SFS_CloseHandle", &SFS_CloseHandle),
     platform::Export(u"SFS_GetLastError", &SFS_GetLastError)});

} // namespace

// Referenced by the linker option that nav_builtin_module adds, so that this file (and the
// registration above) is linked into every program that links the library.
extern "C" void NavBuiltinModule_ziVur() {}
