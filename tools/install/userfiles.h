#pragma once
// The user's files of an earlier demo install carried into a new one, and the list of the files
// an install lays out itself ("InstalledFiles.txt" at its root), by which a later install tells
// the user's files from its own.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace demoinstall {

inline constexpr char kManifestFile[] = "InstalledFiles.txt";

// The files of a new install that KeepUserFiles leaves to the user: those that now hold the
// user's and not the install's own, and the install's own documents that the user removed from
// the earlier one (paths below the root, '/' separators).
struct UserFiles {
    std::vector<std::string> kept;
    std::vector<std::string> removed;
};

// Puts the user's files of the earlier install at `earlier` into the complete new one at
// `staging`: the documents folder "My Documents" as the user left it; the lines of the logbook
// and the user's sections of the settings files (the map-specific list only when the new map
// covers the area of the earlier one); and every other file the earlier install did not lay out
// itself (by its list; without one, every file the new install does not lay out too). A file of
// the earlier install's own that the user changed and the new install replaces is named in a
// line to `log`, as is each line left out for its NUL bytes. Empty, or why a file cannot be read
// or written.
[[nodiscard]] std::string KeepUserFiles(const std::filesystem::path& earlier,
                                        const std::filesystem::path& staging, UserFiles& userFiles,
                                        std::ostream& log);

// Writes the list of the install's own files at `staging`, each with its size and hash (of a
// settings file whose user sections are kept, only the lines outside them count): every file
// but userFiles.kept. Then leaves out userFiles.removed, which stay listed, so that a later
// install leaves them out too. Empty, or why not.
[[nodiscard]] std::string WriteManifest(const std::filesystem::path& staging,
                                        const UserFiles& userFiles);

} // namespace demoinstall
