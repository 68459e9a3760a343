#pragma once
// Depth-first, pre-order walk over the files of a folder tree that match a pattern, and the
// search for data folders (folders with "/kwa", "/db" and "/maps"). Folders whose names begin
// with '.' are not entered; a folder reached a second time (through a link) is not entered
// again, and the walk goes at most kMaxDepth folders deep. One walker belongs to one thread.

#include "platform/files/files.h"

#include <filesystem>
#include <string>
#include <vector>

class DirectoryWalker {
public:
    static constexpr std::size_t kMaxDepth = 32;

    // Starts the walk in startPath (an empty path starts at the root); the walk is empty when
    // startPath is not a folder. pattern is a FindFirstFileW pattern ("*", "*.lvl").
    DirectoryWalker(const std::u16string& startPath, const std::u16string& pattern,
                    bool isRecursive);
    ~DirectoryWalker();
    DirectoryWalker(const DirectoryWalker&) = delete;
    DirectoryWalker& operator=(const DirectoryWalker&) = delete;

    // True while the walk has a current match.
    [[nodiscard]] bool HasMatch() const { return m_patternSearch != INVALID_HANDLE_VALUE; }
    // The find data of the current match.
    [[nodiscard]] const WIN32_FIND_DATAW& Match() const { return m_match; }
    // The folder the current match lies in.
    [[nodiscard]] const std::u16string& CurrentDirectory() const;
    // Advances to the next match; false when the walk has ended.
    [[nodiscard]] bool Next();

private:
    struct Level {
        HANDLE search; // enumerates the folder's siblings in its parent
        std::u16string path;
    };

    void StartSearch();
    [[nodiscard]] bool Advance();
    [[nodiscard]] bool EnterSubdirectory();
    [[nodiscard]] bool MoveToSibling();
    [[nodiscard]] bool IsNewFolder(const std::u16string& path);

    std::vector<Level> m_stack;
    std::vector<std::filesystem::path> m_visited; // host identities of the folders entered
    WIN32_FIND_DATAW m_match{};
    HANDLE m_patternSearch = INVALID_HANDLE_VALUE;
    std::u16string m_pattern;
    bool m_isRecursive;
    WIN32_FIND_DATAW m_folderData{};
};

// True when FindFirstFileW finds path: an existing file or folder, or a pattern with a match.
[[nodiscard]] bool PathExists(const std::u16string& path);

// True when folder (one trailing '\' or '/' ignored) has "/kwa", "/db" and "/maps".
[[nodiscard]] bool IsDatasetFolder(const std::u16string& folder);

// Appends the start folder (one trailing separator dropped) when it is a data folder, then every
// data folder below it in walk order. A folder reached again through a link is listed once.
void EnumDatasetFolders(const std::u16string& startFolder, std::vector<std::u16string>& folders);
