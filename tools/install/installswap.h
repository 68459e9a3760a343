#pragma once
// Putting a new demo install in place of the earlier one so that a crash or a power loss at any
// point leaves a whole install at the output, or the earlier one put aside beside it where the
// next install takes it back; recognising and removing the installer's own folders.

#include <filesystem>
#include <ostream>
#include <string>

namespace demoinstall {

// Whether a folder may be replaced: nothing there, an empty folder, or a folder of ours. A whole
// install holds the program, its settings file and the database folder; a staging folder or one
// put aside holds the database folder from the first step on, or only folders once
// RemoveInstallFolder, cut short, removed every file.
[[nodiscard]] bool IsReplaceable(const std::filesystem::path& path, bool isWhole);

// Removes a folder of ours so that, cut short at any point, what is left is still recognised as
// one: the database folder goes after every file. False when something is left.
[[nodiscard]] bool RemoveInstallFolder(const std::filesystem::path& path);

// With no install at `output` (nothing, or an empty folder) beside a whole one at `previous` (an
// earlier install put aside by an install cut short between its renames), puts that one back and
// says so in a line to `log`. Empty, or why not.
[[nodiscard]] std::string TakeBackPutAside(const std::filesystem::path& output,
                                           const std::filesystem::path& previous,
                                           std::ostream& log);

// Writes the complete staging folder and the folder holding it through to the storage (unless
// `isWrittenThrough` is false), then puts the staging folder at `output`: exchanged with the
// earlier install in one step where the file system can, otherwise by two renames through
// `previous`. The earlier install is removed after. On failure the output is as it was. Empty,
// or why not.
[[nodiscard]] std::string SwapIntoPlace(const std::filesystem::path& staging,
                                        const std::filesystem::path& output,
                                        const std::filesystem::path& previous,
                                        bool isWrittenThrough);

} // namespace demoinstall
