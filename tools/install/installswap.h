#pragma once
// Putting a new demo install in place of the earlier one so that a crash or a power loss at any
// point leaves a whole install at the output, or the earlier one put aside beside it where the
// next install takes it back; one install at a time on an output; recognising and removing the
// installer's own folders, and nothing else.

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>
#include <vector>

namespace demoinstall {

// The file by which the installer knows its staging folder and an earlier install it put aside:
// written first into such a folder, it names the folder's device and inode, so that a copy of the
// folder (the user's backup, say) is never taken for the installer's own.
inline constexpr char kOwnFolderMark[] = ".installdemo-folder";
// The mark while it is written, renamed to kOwnFolderMark once whole; a folder holding nothing but
// this is as good as empty.
inline constexpr char kOwnFolderMarkPart[] = ".installdemo-folder.part";
// Whether a path below a folder is its mark, whole or not yet written whole.
inline bool IsOwnFolderMarkName(std::string_view name) {
    return name == kOwnFolderMark || name == kOwnFolderMarkPart;
}
// A folder of the installer's own that it could not remove is moved out of the way of later
// installs to "<output><kLeftoverInfix><inode>" (with "-2", "-3", ... after it while an entry that
// is not the installer's holds the name), where every later install tries again.
inline constexpr char kLeftoverInfix[] = ".left-";

// The steps of SwapIntoPlace, each told as it is done to the caller's StepReached (tests stop an
// install there, as a kill would).
inline constexpr char kStepNewMarked[] = "the new install marked with the root's mode";
inline constexpr char kStepRootOpened[] = "the earlier root given its owner's permissions";
inline constexpr char kStepEarlierMarked[] = "the earlier install marked";
inline constexpr char kStepPutAside[] = "the earlier install put aside";
inline constexpr char kStepInPlace[] = "the new install in place";
inline constexpr char kStepUnmarked[] = "the new install's mark removed";
inline constexpr char kStepModeGiven[] = "the root given its mode";
// The steps of MarkOwnFolder, told at each mark it writes.
inline constexpr char kStepMarking[] = "a mark about to be written under its other name";
inline constexpr char kStepMarkWritten[] = "a mark written whole under its other name";
using StepReached = std::function<void(std::string_view step)>;

// The mode an install's root is to have, by the root folder's inode, kept in the marks while the
// root's own mode is another (SwapIntoPlace), so that the next install gives it back.
struct RootMode {
    ino_t inode = 0;
    mode_t mode = 0;
};

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

// Marks a folder as the installer's own (see kOwnFolderMark), with `rootModes`, written whole under
// another name first and through to the storage unless `isWrittenThrough` is false, then renamed
// over the mark the folder bears, if any, so that a folder of the installer's own bears a whole
// mark at every moment. Each step is told to `reached`. On failure the folder's mark is as it was
// and the part written is removed where it can be. Empty, or why not.
[[nodiscard]] std::string MarkOwnFolder(const std::filesystem::path& folder, bool isWrittenThrough,
                                        const std::vector<RootMode>& rootModes = {},
                                        const StepReached& reached = {});

// Whether a folder (not a link) bears the mark written into it, not into another folder.
[[nodiscard]] bool IsOwnFolder(const std::filesystem::path& folder);

// Whether a folder may be replaced: nothing there, an empty folder, or, `isWhole`, an earlier
// install (the program, its settings file and the database folder), else a folder of the
// installer's own or one holding nothing but a mark not yet written whole.
[[nodiscard]] bool IsReplaceable(const std::filesystem::path& path, bool isWhole);

// Why an entry is left where the installer found a file system mounted, which it never enters.
inline constexpr char kMountedHere[] = ": a file system is mounted here";

// Whether the folder at `path` (a link not followed) is a mount point: its file system is another
// than its parent folder's, or the system says a mount begins there (a bind mount).
[[nodiscard]] bool IsMountPoint(const std::filesystem::path& path);

// The folders below `root` (never through a link) where another file system than the root's is
// mounted, in order; the installer enters none of them. `device` stands for the root's own device
// (another one takes every folder below the root as mounted). A folder it cannot read, below which
// a file system may be mounted unseen, the first in order is named in `unread` with the system's
// reason ("<folder>: cannot be read: Permission denied"), and its path in `unreadFolder`; empty
// when it read every one.
[[nodiscard]] std::vector<std::filesystem::path>
MountPointsBelow(const std::filesystem::path& root, std::optional<dev_t> device = std::nullopt,
                 std::string* unread = nullptr, std::filesystem::path* unreadFolder = nullptr);

// Whether the folder at `path` (a link not followed) lies on another file system than `device`, or
// a mount begins there.
[[nodiscard]] bool IsOnAnotherFileSystem(const std::filesystem::path& path, dev_t device);

// Removes a folder of the installer's own (or an empty folder) so that, cut short at any point,
// what is left is still recognised as one: its mark goes last. In each of its folders it gives the
// owner the permissions removing needs first; a link below it is removed, never followed, and a
// folder on another file system (see MountPointsBelow, whose `device` it takes) is never entered.
// It goes on past what it cannot remove. Empty, or each entry left with why ("; " between them).
[[nodiscard]] std::string RemoveInstallFolder(const std::filesystem::path& path,
                                              std::optional<dev_t> device = std::nullopt);

// Where a folder of the installer's own beside `output` goes when it cannot be removed (see
// kLeftoverInfix: the name before any "-2"), and those of them that are there, in order.
[[nodiscard]] std::filesystem::path LeftoverPath(const std::filesystem::path& output,
                                                 const std::filesystem::path& folder);
[[nodiscard]] std::vector<std::filesystem::path> Leftovers(const std::filesystem::path& output);

// Moves a folder of the installer's own that cannot be removed to its LeftoverPath, or the first
// name after it that nothing holds (`leftover`), out of the way of this install and the later
// ones. Empty, or why not.
[[nodiscard]] std::string PutOutOfTheWay(const std::filesystem::path& folder,
                                         const std::filesystem::path& output,
                                         std::filesystem::path& leftover);

// With no install at `output` (nothing, or an empty folder) beside a whole one of the
// installer's own at `previous` (an earlier install put aside by an install cut short between
// its renames), puts that one back and says so in a line to `log`. Empty, or why not.
[[nodiscard]] std::string TakeBackPutAside(const std::filesystem::path& output,
                                           const std::filesystem::path& previous,
                                           std::ostream& log);

// Gives the root at `output` the mode that a mark of the installer's own (its own, or one of
// `marked`) keeps for its inode, which an install cut short during SwapIntoPlace left there, and
// says so in a line to `log`.
void RestoreRootMode(const std::filesystem::path& output,
                     std::initializer_list<std::filesystem::path> marked, std::ostream& log);

// Writes the complete staging folder and the folder holding it through to the storage (unless
// `isWrittenThrough` is false), then puts the staging folder at `output`: exchanged with the
// earlier install in one step where the file system can, otherwise by two renames through
// `previous`; the earlier install is marked as the installer's own first (its root given its
// owner's write permission for that, where it lacks it) and left, marked, at
// `staging` or `previous` for the caller to remove. The root in place gets `rootMode` last. While
// a root's mode is not its own (the earlier one opened, the new one before it gets `rootMode`),
// both marks keep the mode it is to have (RestoreRootMode). Each step is told to `reached`. On
// failure the output is as it was. Empty, or why not.
[[nodiscard]] std::string SwapIntoPlace(const std::filesystem::path& staging,
                                        const std::filesystem::path& output,
                                        const std::filesystem::path& previous,
                                        bool isWrittenThrough, std::optional<mode_t> rootMode,
                                        const StepReached& reached);

// A file of an install as the installer reads it: opened without waiting (a FIFO never blocks it)
// and not through a link at its last component, and read only when it is a regular file.
struct FileRead {
    bool isThere = false;             // anything at the path, a link included
    std::optional<std::string> bytes; // a regular file's, read whole
    std::string problem;              // else, when it is there, why not: what it is, or the reason
};
[[nodiscard]] FileRead ReadRegularFile(const std::filesystem::path& path);

// A regular file of an install read as ReadRegularFile reads it, handed to `take` block by block
// in order, so that no more than a block of it is held; `bytes` stays empty.
[[nodiscard]] FileRead ReadRegularFileInBlocks(const std::filesystem::path& path,
                                               const std::function<void(std::string_view)>& take);

// Copies a regular file of an install over `to` with its permissions, opened as ReadRegularFile
// opens it; `to` is never followed through a link. Empty, or the system's reason.
[[nodiscard]] std::error_code CopyRegularFile(const std::filesystem::path& from,
                                              const std::filesystem::path& to);

// `path`, what could not be done to it ("cannot be read"), and the system's reason for the last
// failed call (errno).
[[nodiscard]] std::string Failed(const std::filesystem::path& path, const char* what);

// What a file system entry of this mode is, in words ("a FIFO", "a link", ...).
[[nodiscard]] std::string KindOfEntry(unsigned mode);

} // namespace demoinstall
