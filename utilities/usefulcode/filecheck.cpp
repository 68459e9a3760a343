#include "utilities/usefulcode/filecheck.h"

#include "platform/files/files.h"
#include "platform/kernel/format.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace {

constexpr std::size_t kFileCheckTextCapacity = 512;

std::u16string WithDeviceSeparators(std::u16string name) {
    std::replace(name.begin(), name.end(), u'/', u'\\');
    return name;
}

struct NamedFiles {
    std::mutex mutex;
    std::set<std::u16string> names; // lower case, device separators
};

NamedFiles& FilesNamedThisRun() {
    static NamedFiles files;
    return files;
}

} // namespace

bool ShowFileCheckMessage(const std::u16string& name, DWORD errorCode, DWORD size) {
    const std::u16string shown = WithDeviceSeparators(name);
    {
        NamedFiles& files = FilesNamedThisRun();
        const std::lock_guard lock(files.mutex);
        if (!files.names.insert(platform::ToLower(shown)).second) {
            return false;
        }
    }
    WCHAR text[kFileCheckTextCapacity] = {};
    (void)swprintf(text, kFileCheckTextCapacity,
                   u"Error code %ld File name: %s, file size: %d bytes",
                   static_cast<long>(errorCode), shown.c_str(), static_cast<int>(size));
    (void)MessageBoxW(nullptr, text, nullptr, MB_OK);
    return true;
}

bool ShowDamagedFileMessage(const std::u16string& name) {
    WIN32_FIND_DATAW found{};
    DWORD size = 0;
    HANDLE search = FindFirstFileW(name.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        size = found.nFileSizeLow;
        (void)FindClose(search);
    }
    return ShowFileCheckMessage(name, ERROR_FILE_INVALID, size);
}

void ForgetFileCheckMessages() {
    NamedFiles& files = FilesNamedThisRun();
    const std::lock_guard lock(files.mutex);
    files.names.clear();
}
