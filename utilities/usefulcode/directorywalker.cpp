#include "utilities/usefulcode/directorywalker.h"

#include "platform/files/paths.h"

#include <algorithm>
#include <optional>
#include <system_error>

namespace {

bool IsFolder(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsDotName(const WIN32_FIND_DATAW& data) {
    return data.cFileName[0] == u'.';
}

std::u16string DropTrailingSeparator(std::u16string path) {
    if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) {
        path.pop_back();
    }
    return path;
}

// The host folder a device path leads to after every link is followed; two paths with the same
// identity are the same folder.
std::optional<std::filesystem::path> FolderIdentity(const std::u16string& devicePath) {
    const platform::ResolvedPath resolved = platform::ResolveDevicePath(devicePath);
    if (resolved.status != platform::PathStatus::Exists) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::path identity = std::filesystem::canonical(resolved.host, error);
    if (error) {
        return std::nullopt;
    }
    return identity;
}

} // namespace

DirectoryWalker::DirectoryWalker(const std::u16string& startPath, const std::u16string& pattern,
                                 bool isRecursive)
    : m_pattern(pattern)
    , m_isRecursive(isRecursive) {
    HANDLE start = FindFirstFileW(startPath.c_str(), &m_folderData);
    if (startPath.empty() || (start != INVALID_HANDLE_VALUE && IsFolder(m_folderData))) {
        m_stack.push_back(Level{start, startPath});
        (void)IsNewFolder(startPath);
        StartSearch();
    } else if (start != INVALID_HANDLE_VALUE) {
        FindClose(start);
    }
}

DirectoryWalker::~DirectoryWalker() {
    if (m_patternSearch != INVALID_HANDLE_VALUE) {
        FindClose(m_patternSearch);
    }
    for (const Level& level : m_stack) {
        if (level.search != INVALID_HANDLE_VALUE) {
            FindClose(level.search);
        }
    }
}

const std::u16string& DirectoryWalker::CurrentDirectory() const {
    static const std::u16string none;
    return m_stack.empty() ? none : m_stack.back().path;
}

void DirectoryWalker::StartSearch() {
    for (;;) {
        const std::u16string search = m_stack.back().path + u"\\" + m_pattern;
        m_patternSearch = FindFirstFileW(search.c_str(), &m_match);
        if (m_patternSearch != INVALID_HANDLE_VALUE) {
            return;
        }
        if (!m_isRecursive || !Advance()) {
            return;
        }
    }
}

bool DirectoryWalker::Next() {
    if (m_patternSearch == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (FindNextFileW(m_patternSearch, &m_match)) {
        return true;
    }
    FindClose(m_patternSearch);
    m_patternSearch = INVALID_HANDLE_VALUE;
    if (m_isRecursive && Advance()) {
        StartSearch();
    }
    return HasMatch();
}

bool DirectoryWalker::Advance() {
    return EnterSubdirectory() || MoveToSibling();
}

// Pushes the first sub-folder of the top folder that may be entered.
bool DirectoryWalker::EnterSubdirectory() {
    if (m_stack.size() >= kMaxDepth) {
        return false;
    }
    const std::u16string parent = m_stack.back().path;
    HANDLE search = FindFirstFileW((parent + u"\\*").c_str(), &m_folderData);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        if (IsFolder(m_folderData) && !IsDotName(m_folderData)) {
            const std::u16string path = parent + u"\\" + m_folderData.cFileName;
            if (IsNewFolder(path)) {
                m_stack.push_back(Level{search, path});
                return true;
            }
        }
    } while (FindNextFileW(search, &m_folderData));
    FindClose(search);
    return false;
}

// Replaces the top folder by its next sibling that may be entered, climbing up as the
// searches run out; false when the walk has ended.
bool DirectoryWalker::MoveToSibling() {
    while (!m_stack.empty()) {
        Level& top = m_stack.back();
        while (top.search != INVALID_HANDLE_VALUE && FindNextFileW(top.search, &m_folderData)) {
            if (!IsFolder(m_folderData) || IsDotName(m_folderData)) {
                continue;
            }
            const std::size_t slash = top.path.find_last_of(u'\\');
            const std::u16string path =
                (slash == std::u16string::npos ? std::u16string() : top.path.substr(0, slash + 1)) +
                m_folderData.cFileName;
            if (IsNewFolder(path)) {
                top.path = path;
                return true;
            }
        }
        if (top.search != INVALID_HANDLE_VALUE) {
            FindClose(top.search);
        }
        m_stack.pop_back();
    }
    return false;
}

// Notes a folder as entered; false when it was entered before (a link back into the tree).
bool DirectoryWalker::IsNewFolder(const std::u16string& path) {
    const auto identity = FolderIdentity(path);
    if (!identity) {
        return true; // nothing to compare: the file system gives no identity
    }
    if (std::find(m_visited.begin(), m_visited.end(), *identity) != m_visited.end()) {
        return false;
    }
    m_visited.push_back(*identity);
    return true;
}

bool PathExists(const std::u16string& path) {
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return true;
}

bool IsDatasetFolder(const std::u16string& folder) {
    const std::u16string base = DropTrailingSeparator(folder);
    return PathExists(base + u"/kwa") && PathExists(base + u"/db") && PathExists(base + u"/maps");
}

void EnumDatasetFolders(const std::u16string& startFolder, std::vector<std::u16string>& folders) {
    const std::u16string start = DropTrailingSeparator(startFolder);
    std::vector<std::filesystem::path> listed;
    auto append = [&](const std::u16string& folder) {
        if (!IsDatasetFolder(folder)) {
            return;
        }
        if (const auto identity = FolderIdentity(folder)) {
            if (std::find(listed.begin(), listed.end(), *identity) != listed.end()) {
                return;
            }
            listed.push_back(*identity);
        }
        folders.push_back(folder);
    };
    append(start);
    DirectoryWalker walker(start, u"*", true);
    for (bool hasMatch = walker.HasMatch(); hasMatch; hasMatch = walker.Next()) {
        const WIN32_FIND_DATAW& match = walker.Match();
        const std::u16string_view name = match.cFileName;
        if (IsFolder(match) && name != u"." && name != u"..") {
            append(walker.CurrentDirectory() + u"\\" + std::u16string(name));
        }
    }
}
