#pragma once
// The user's files of an earlier demo install carried into a new one, and the list of the files
// an install lays out itself ("InstalledFiles.txt" at its root), by which a later install tells
// the user's files from its own.

#include "tools/install/installedfiles.h"

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace demoinstall {

// The files of a new install that KeepUserFiles leaves to the user: those that now hold the
// user's and not the install's own, among them the settings files of the install's own that the
// user changed, kept with the new install's laid beside as "<name>.new" (`besideNew` too) unless
// the new install's is the one the earlier install laid or offered (`offered`, with its digest),
// and the install's own documents that the user removed from the earlier one (paths below the
// root, '/' separators).
struct UserFiles {
    std::vector<std::string> kept;
    std::vector<std::string> besideNew;
    std::map<std::string, Digest> offered;
    std::vector<std::string> removed;
};

// Puts the user's files of the earlier install at `earlier` into the complete new one at
// `staging`: the documents folder "My Documents" as the user left it; the lines of the logbook
// and the user's sections of the settings files (the map-specific list only when the new map
// covers the area of the earlier one, and sections as an install lays them left to the new one's);
// every link, as the link, and every entry that is not a regular file (a FIFO, say), made anew as
// what it is, but the program's instance-channel socket that a killed run of it left at the root;
// every settings file (".ini") of the earlier install's own that the user changed,
// with the new install's beside it when that one is new; and every other file the earlier
// install did not lay out itself (by its list; without one, or with one that does not read whole,
// every file the new install does not lay out too). Nothing is written through a link, and no
// file is read but a regular one, opened without waiting. A file of the earlier install's own that
// the user changed is named in a line to `log`, as is each entry that is not a regular file, each
// line left out for its NUL bytes and a list that does not read whole. Empty, or why a file
// cannot be read or written.
[[nodiscard]] std::string KeepUserFiles(const std::filesystem::path& earlier,
                                        const std::filesystem::path& staging, UserFiles& userFiles,
                                        std::ostream& log);

// Gives the new install at `staging`, complete, the modes of the earlier one's (see KeepUserFiles):
// each folder of both and each file kept or merged as the earlier one had them, with, where the
// installer may, their groups; a file of the install's own that replaces one, and one laid beside
// a kept settings file, no more open than that one. The root gets the earlier root's mode with
// the owner's permissions, and the mode it is to have once the install is in place is returned
// (SwapIntoPlace gives it); nullopt when the earlier root is not a folder.
[[nodiscard]] std::optional<mode_t> KeepModes(const std::filesystem::path& earlier,
                                              const std::filesystem::path& staging,
                                              const UserFiles& userFiles);

// Why the files of an earlier install at `earlier` whose lines or sections an install keeps (the
// logbook, the settings files) cannot all be told, found before anything is laid: one is a regular
// file that cannot be read ("<file>: cannot be read", as KeepUserFiles says). Empty when each is
// read, not there or not a regular file.
[[nodiscard]] std::string UnreadableKeptFile(const std::filesystem::path& earlier);

// What of the user's an earlier install holds that an install laid afresh at `staging` leaves
// behind, as the words of a line ("My Documents/Reisen/, My Documents/notes.txt, the lines of
// Fahrtenbuch.txt and the user's sections of PK.ini"; an empty folder the new install does not
// lay is named with a '/' after it); empty when there is none. The program's single-instance lock
// and instance-channel socket at the root are the program's, not the user's. A folder of the
// earlier install that cannot be read leaves what it holds untold: `unread` names it with the
// system's reason, as KeepUserFiles does ("<folder>: cannot be read: Permission denied"), and is
// empty otherwise.
[[nodiscard]] std::string UserFilesLeftBehind(const std::filesystem::path& earlier,
                                              const std::filesystem::path& staging,
                                              std::string& unread);

// Writes the list of the install's own files at `staging`, each with its size and hash (of a
// settings file whose user sections are kept, only the lines outside them count): every file
// but userFiles.kept, and under the name of each of userFiles.besideNew the new install's file
// laid beside it, so that a later install keeps the user's while it differs. Then leaves out
// userFiles.removed, which stay listed, so that a later install leaves them out too. Empty, or why
// not.
[[nodiscard]] std::string WriteManifest(const std::filesystem::path& staging,
                                        const UserFiles& userFiles);

} // namespace demoinstall
