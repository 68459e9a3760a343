#pragma once
// Putting a new demo install in place of the earlier one so that a crash or a power loss at any
// point leaves a whole install at the output, or the earlier one put aside beside it where the
// next install takes it back; one install at a time on an output; recognising and removing the
// installer's own folders, and nothing else.

#include <filesystem>
#include <ostream>
#include <string>

namespace demoinstall {

// The file by which the installer knows its staging folder and an earlier install it put aside:
// written first into such a folder, it names the folder's device and inode, so that a copy of the
// folder (the user's backup, say) is never taken for the installer's own.
inline constexpr char kOwnFolderMark[] = ".installdemo-folder";

// The lock of an output ("<output>.lock" beside it), held by one install from its first check to
// its end; a second install on the same output does not wait for it but is refused.
class InstallLock {
public:
    InstallLock() = default;
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;

    // Empty once held; else why not, another install holding it among the reasons.
    [[nodiscard]] std::string Take(const std::filesystem::path& output);

private:
    int m_fd = -1;
};

// Marks a folder as the installer's own (see kOwnFolderMark), through to the storage unless
// `isWrittenThrough` is false. Empty, or why not.
[[nodiscard]] std::string MarkOwnFolder(const std::filesystem::path& folder, bool isWrittenThrough);

// Whether a folder (not a link) bears the mark written into it, not into another folder.
[[nodiscard]] bool IsOwnFolder(const std::filesystem::path& folder);

// Whether a folder may be replaced: nothing there, an empty folder, or, `isWhole`, an earlier
// install (the program, its settings file and the database folder), else a folder of the
// installer's own.
[[nodiscard]] bool IsReplaceable(const std::filesystem::path& path, bool isWhole);

// Removes a folder of the installer's own (or an empty folder) so that, cut short at any point,
// what is left is still recognised as one: its mark goes last. A link below it is removed, never
// followed. False when something is left or the folder is not the installer's.
[[nodiscard]] bool RemoveInstallFolder(const std::filesystem::path& path);

// With no install at `output` (nothing, or an empty folder) beside a whole one of the
// installer's own at `previous` (an earlier install put aside by an install cut short between
// its renames), puts that one back and says so in a line to `log`. Empty, or why not.
[[nodiscard]] std::string TakeBackPutAside(const std::filesystem::path& output,
                                           const std::filesystem::path& previous,
                                           std::ostream& log);

// Writes the complete staging folder and the folder holding it through to the storage (unless
// `isWrittenThrough` is false), then puts the staging folder at `output`: exchanged with the
// earlier install in one step where the file system can, otherwise by two renames through
// `previous`; the earlier install is marked as the installer's own first and removed after. On
// failure the output is as it was. Empty, or why not.
[[nodiscard]] std::string SwapIntoPlace(const std::filesystem::path& staging,
                                        const std::filesystem::path& output,
                                        const std::filesystem::path& previous,
                                        bool isWrittenThrough);

} // namespace demoinstall
