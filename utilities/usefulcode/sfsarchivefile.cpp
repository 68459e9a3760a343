#include "utilities/usefulcode/sfsarchivefile.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/memory.h"
#include "platform/files/modules.h"
#include "platform/kernel/format.h"
#include "platform/kernel/messagebox.h"
#include "platform/sfs/sfs.h"

#include <mutex>
#include <set>
#include <string>

namespace {

constexpr DWORD kClosed = 0xFFFFFFFFu;
constexpr std::size_t kBoxTextCapacity = 512;
constexpr const WCHAR* kCannotLoadText = u"Cannot load ZIVUR.DLL";
constexpr const WCHAR* kMissingFunctionFormat = u"Cannot find function %s in %s!";

// The library as all instances share it; loaded means every entry point is present.
struct SharedLibrary {
    std::mutex mutex;
    int instanceCount = 0;
    std::set<std::u16string> shownFailures; // each failure text is shown once per process
    HMODULE module = nullptr;
    platform::SfsCreateFileFunction createFile = nullptr;
    platform::SfsReadFileFunction readFile = nullptr;
    platform::SfsWriteFileFunction writeFile = nullptr;
    platform::SfsSetFilePointerFunction setFilePointer = nullptr;
    platform::SfsCloseHandleFunction closeHandle = nullptr;
};

// Never destroyed, so that files living in static objects can still close at exit.
SharedLibrary& Library() {
    static auto* library = new SharedLibrary();
    return *library;
}

void ShowError(SharedLibrary& library, const WCHAR* text) {
    if (library.shownFailures.insert(text).second) {
        MessageBoxW(nullptr, text, nullptr, MB_ICONHAND);
    }
}

void ShowLoadFailure(SharedLibrary& library, DWORD errorCode) {
    WCHAR* systemText = nullptr;
    (void)FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                         errorCode, 0, reinterpret_cast<LPWSTR>(&systemText), 0, nullptr);
    WCHAR text[kBoxTextCapacity] = {};
    (void)swprintf(text, kBoxTextCapacity, u"%s\r\n%s", kCannotLoadText,
                   systemText != nullptr ? systemText : u"");
    LocalFree(systemText);
    ShowError(library, text);
}

template <class Function>
bool Resolve(SharedLibrary& library, HMODULE module, const WCHAR* name, Function& function) {
    function = reinterpret_cast<Function>(GetProcAddressW(module, name));
    if (function != nullptr) {
        return true;
    }
    WCHAR text[kBoxTextCapacity] = {};
    (void)swprintf(text, kBoxTextCapacity, kMissingFunctionFormat, name, platform::kSfsModuleName);
    ShowError(library, text);
    return false;
}

// Called with the mutex held by the first instance.
void LoadLocked(SharedLibrary& library) {
    HMODULE module = LoadLibraryW(platform::kSfsModuleName);
    if (module == nullptr) {
        ShowLoadFailure(library, GetLastError());
        return;
    }
    if (!Resolve(library, module, u"SFS_CreateFile", library.createFile) ||
        !Resolve(library, module, u"SFS_ReadFile", library.readFile) ||
        !Resolve(library, module, u"SFS_WriteFile", library.writeFile) ||
        !Resolve(library, module, u"SFS_SetFilePointer", library.setFilePointer) ||
        !Resolve(library, module, u"SFS_CloseHandle", library.closeHandle)) {
        // Without every entry point the library counts as not loaded, so nothing calls a gap.
        FreeLibrary(module);
        library.createFile = nullptr;
        library.readFile = nullptr;
        library.writeFile = nullptr;
        library.setFilePointer = nullptr;
        library.closeHandle = nullptr;
        return;
    }
    library.module = module;
}

} // namespace

SfsArchiveFile::SfsArchiveFile() {
    SharedLibrary& library = Library();
    std::lock_guard lock(library.mutex);
    if (library.instanceCount == 0) {
        LoadLocked(library);
    }
    ++library.instanceCount;
}

SfsArchiveFile::~SfsArchiveFile() {
    Close();
    SharedLibrary& library = Library();
    std::lock_guard lock(library.mutex);
    if (--library.instanceCount == 0 && library.module != nullptr) {
        FreeLibrary(library.module);
        library.module = nullptr;
    }
}

bool SfsArchiveFile::IsLibraryLoaded() {
    SharedLibrary& library = Library();
    std::lock_guard lock(library.mutex);
    return library.module != nullptr;
}

void SfsArchiveFile::Open(const std::u16string& path, RawFileMode mode) {
    if (mode != RawFileMode::Read) {
        return;
    }
    Close();
    if (!IsLibraryLoaded()) {
        return;
    }
    // While this instance lives the library stays loaded, so the entry points stay valid.
    m_handle = Library().createFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
}

LONG SfsArchiveFile::Seek(LONG offset, int origin) {
    const SharedLibrary& library = Library();
    if (!IsOpen() || library.setFilePointer == nullptr) {
        return -1;
    }
    const DWORD moveMethod = origin == kRawSeekBegin
                                 ? FILE_BEGIN
                                 : (origin == kRawSeekCurrent ? FILE_CURRENT : FILE_END);
    const DWORD position = library.setFilePointer(m_handle, offset, nullptr, moveMethod);
    return position == kClosed ? -1 : static_cast<LONG>(position);
}

bool SfsArchiveFile::Read(void* buffer, DWORD count) {
    const SharedLibrary& library = Library();
    if (!IsOpen() || library.readFile == nullptr) {
        return false;
    }
    DWORD transferred = 0;
    return library.readFile(m_handle, buffer, count, &transferred, nullptr) != FALSE &&
           transferred == count;
}

bool SfsArchiveFile::Write(const void*, DWORD) {
    return false;
}

bool SfsArchiveFile::WriteData(const void*, DWORD) {
    return false;
}

bool SfsArchiveFile::IsOpen() const {
    return m_handle != kClosed;
}

LONG SfsArchiveFile::Tell() {
    return -1;
}

int SfsArchiveFile::Close() {
    // An open handle means the library is loaded, and this instance keeps it loaded.
    const SharedLibrary& library = Library();
    if (IsOpen() && library.closeHandle != nullptr) {
        (void)library.closeHandle(m_handle);
    }
    m_handle = kClosed;
    return 1;
}
