#include "utilities/usefulcode/rawfile.h"

#include "utilities/usefulcode/sfsarchivefile.h"
#include "utilities/usefulcode/win32file.h"

#include <new>

std::unique_ptr<RawFile> CreateRawFile(const std::u16string& path, RawFileMode mode,
                                       bool archived) {
    std::unique_ptr<RawFile> file;
    if (archived) {
        file.reset(new (std::nothrow) SfsArchiveFile());
    } else {
        file.reset(new (std::nothrow) Win32File());
    }
    if (file) {
        (void)OpenOnSearchPath(*file, path, mode);
    }
    return file;
}

bool OpenOnSearchPath(RawFile& file, const std::u16string& path, RawFileMode mode) {
    file.Close();
    file.Open(path, mode);
    return file.IsOpen();
}
