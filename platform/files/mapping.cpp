#include "platform/files/mapping.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/memory.h"

#include <map>
#include <mutex>
#include <sys/mman.h>

namespace {

constexpr std::uint64_t kAllocationGranularity = 65536;

// Holds the file open (its descriptor) while the mapping handle lives.
struct MappingObject : platform::KernelObject {
    std::shared_ptr<platform::HostFile> file;
    std::uint64_t size = 0;
};

struct ViewTable {
    std::mutex mutex;
    std::map<const void*, std::size_t> views; // start -> length
};

ViewTable& Views() {
    static ViewTable* table = new ViewTable; // never destroyed: used by exit-time code
    return *table;
}

HANDLE FailMapping(DWORD error) {
    SetLastError(error);
    return nullptr;
}

} // namespace

HANDLE CreateFileForMappingW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                             LPVOID securityAttributes, DWORD creationDisposition,
                             DWORD flagsAndAttributes, HANDLE templateFile) {
    return CreateFileW(fileName, desiredAccess, shareMode, securityAttributes, creationDisposition,
                       flagsAndAttributes, templateFile);
}

HANDLE CreateFileMappingW(HANDLE file, LPVOID, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
    auto hostFile = platform::LookupHandleAs<platform::HostFile>(file);
    if (!hostFile) {
        return FailMapping(ERROR_INVALID_HANDLE);
    }
    if (protect != PAGE_READONLY || name != nullptr) {
        return FailMapping(ERROR_INVALID_PARAMETER);
    }
    if ((hostFile->Access() & GENERIC_READ) == 0) {
        return FailMapping(ERROR_ACCESS_DENIED);
    }
    std::uint64_t fileSize = 0;
    const DWORD sizeError = hostFile->Size(fileSize);
    if (sizeError != ERROR_SUCCESS) {
        return FailMapping(sizeError);
    }
    const std::uint64_t asked = (std::uint64_t{maximumSizeHigh} << 32) | maximumSizeLow;
    if (asked == 0 && fileSize == 0) {
        return FailMapping(ERROR_FILE_INVALID);
    }
    if (asked > fileSize) {
        return FailMapping(ERROR_INVALID_PARAMETER); // a read-only mapping cannot grow the file
    }
    auto mapping = std::make_shared<MappingObject>();
    mapping->file = std::move(hostFile);
    mapping->size = asked == 0 ? fileSize : asked;
    HANDLE handle = platform::RegisterHandle(mapping);
    if (handle == nullptr) {
        return FailMapping(ERROR_TOO_MANY_OPEN_FILES);
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

LPVOID MapViewOfFile(HANDLE fileMappingObject, DWORD desiredAccess, DWORD fileOffsetHigh,
                     DWORD fileOffsetLow, SIZE_T numberOfBytesToMap) {
    const auto mapping = platform::LookupHandleAs<MappingObject>(fileMappingObject);
    if (!mapping) {
        return FailMapping(ERROR_INVALID_HANDLE);
    }
    if ((desiredAccess & ~FILE_MAP_READ) != 0 || desiredAccess == 0) {
        return FailMapping(ERROR_ACCESS_DENIED);
    }
    const std::uint64_t offset = (std::uint64_t{fileOffsetHigh} << 32) | fileOffsetLow;
    if (offset % kAllocationGranularity != 0) {
        return FailMapping(ERROR_MAPPED_ALIGNMENT);
    }
    if (offset > mapping->size || (numberOfBytesToMap == 0 && offset == mapping->size) ||
        numberOfBytesToMap > mapping->size - offset) {
        return FailMapping(ERROR_ACCESS_DENIED);
    }
    const std::size_t length = numberOfBytesToMap == 0
                                   ? static_cast<std::size_t>(mapping->size - offset)
                                   : numberOfBytesToMap;
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, mapping->file->Descriptor(),
                        static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        return FailMapping(ERROR_NOT_ENOUGH_MEMORY);
    }
    ViewTable& table = Views();
    std::lock_guard lock(table.mutex);
    table.views[view] = length;
    SetLastError(ERROR_SUCCESS);
    return view;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
    std::size_t length = 0;
    {
        ViewTable& table = Views();
        std::lock_guard lock(table.mutex);
        const auto it = table.views.find(baseAddress);
        if (it == table.views.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        length = it->second;
        table.views.erase(it);
    }
    ::munmap(const_cast<void*>(baseAddress), length);
    return TRUE;
}
