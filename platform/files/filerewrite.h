#pragma once
// Rewriting a whole device file in one step, for files that several threads and processes
// rewrite (settings files): the new contents go into a temporary file beside the file, which
// then takes the file's place. One object is one rewrite; use it on one thread.

#include "platform/types.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace platform {

// The mode of a file that replaces `old`, now owned as `made` is. An owner or group that could not
// be kept is the writer's: it loses the set-ID bit, and a group gets no more than everybody had,
// so that the old group's permissions do not pass to another group.
[[nodiscard]] mode_t KeptMode(const struct stat& old, const struct stat& made);

// One rewrite of a device file. While the object lives it holds an advisory lock, taken by every
// rewrite in every process, on the folder where the file really lies (after its symbolic links),
// so that what a writer read is still the file when its new contents take its place; a folder
// that this process may write but not read cannot be locked, and its rewrites go without the
// lock. The new file keeps the old one's owner, group and permissions as far as the host lets
// the writer give them: an owner or group it cannot keep becomes the writer's, and that group
// gets no more permissions than everybody has. A symbolic link stays a link whose target is
// replaced, and a rewrite that ends before Commit (its process killed) leaves no file behind:
// the temporary file has no name until Commit where the host allows that, and otherwise the next
// rewrite in that folder removes the temporary files that no live rewrite holds.
class FileRewrite {
public:
    // Locks the folder of the file at devicePath (waiting a few seconds at most for another
    // writer) and removes what killed rewrites left there, where the folder may be read. Temporary
    // files are named prefix, five characters of the local time in seconds as "%5X", and ".tmp".
    FileRewrite(std::u16string_view devicePath, std::u16string_view temporaryPrefix);
    ~FileRewrite();
    FileRewrite(const FileRewrite&) = delete;
    FileRewrite& operator=(const FileRewrite&) = delete;

    // ERROR_SUCCESS when the folder is locked or cannot be read; otherwise why not
    // (ERROR_PATH_NOT_FOUND and the like for a folder that is missing, ERROR_SHARING_VIOLATION when
    // another writer keeps the lock), and the rewrite can only fail.
    [[nodiscard]] DWORD Error() const { return m_error; }

    // Makes the empty temporary file; ERROR_SUCCESS or why not.
    [[nodiscard]] DWORD Create();
    // Appends bytes to the temporary file; ERROR_DISK_FULL when the storage is full,
    // ERROR_WRITE_FAULT for other failures.
    [[nodiscard]] DWORD Write(const void* bytes, std::size_t count);
    // Writes the temporary file through to the storage and puts it in the file's place. On
    // failure the file is as it was and the temporary file is gone.
    [[nodiscard]] DWORD Commit();

    // Test switch: false makes rewrites use named temporary files, as on hosts that cannot make
    // unnamed ones.
    static void AllowUnnamedFiles(bool isAllowed);

private:
    void RemoveLeftovers();
    [[nodiscard]] bool IsLeftoverName(std::string_view name) const;
    [[nodiscard]] DWORD Link(std::string& name);
    void Discard();

    DWORD m_error = ERROR_SUCCESS;
    std::filesystem::path m_target; // the real file, links followed
    std::string m_prefix;           // of temporary file names, as the host spells it
    int m_folder = -1;              // the folder, locked where it may be read
    int m_temporary = -1;           // the temporary file, locked while it is written
    std::string m_temporaryName;    // its name in the folder; empty while it has none
};

} // namespace platform
