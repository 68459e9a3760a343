#include "app/destinations/storeddestinationlist.h"

#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/files.h"
#include "platform/files/stdio.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/format.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

// Settings files are small; a larger one is read in pieces of this size.
constexpr std::size_t kReadPiece = 4096;

void Report(const std::u16string& path, std::u16string_view what) {
    const std::u16string line =
        u"StoredDestinationList: " + path + u": " + std::u16string(what) + u"\n";
    OutputDebugStringW(line.c_str());
}

enum class FileState { Missing, Whole, Damaged };

// Reads the whole file into bytes; damaged when it cannot be read through or holds a NUL byte.
FileState ReadListFile(const std::u16string& path, std::string& bytes) {
    NavFile* file = _wfopen(path.c_str(), u"rb");
    if (file == nullptr) {
        // A file that is there but does not open (a folder in its place, say) is damaged.
        return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? FileState::Missing
                                                                           : FileState::Damaged;
    }
    std::array<char, kReadPiece> piece{};
    bool isWhole = true;
    for (;;) {
        const std::size_t got = fread(piece.data(), 1, piece.size(), file);
        bytes.append(piece.data(), got);
        if (got < piece.size()) {
            isWhole = feof(file) != 0;
            break;
        }
    }
    (void)fclose(file);
    return isWhole && bytes.find('\0') == std::string::npos ? FileState::Whole : FileState::Damaged;
}

std::u16string KeyOf(std::size_t index) {
    return platform::FormatW(u"%d", static_cast<int>(index));
}

} // namespace

StoredDestinationList::StoredDestinationList(const std::u16string& file, std::u16string section)
    : m_path(file.empty() ? AppPaths::GetSettingsFilePath() : AppPaths::MakeFullPath(file))
    , m_section(std::move(section)) {
    std::string bytes;
    const FileState state = ReadListFile(m_path, bytes);
    if (state == FileState::Damaged) {
        m_isDamaged = true;
        Report(m_path, u"cannot be read or holds NUL bytes; its list is left empty");
        return;
    }
    // The first line of a key counts, as for IniProfile::GetString.
    std::map<std::u16string, std::u16string> values;
    for (auto& [key, value] : IniProfile::GetSectionOfText(bytes, m_section.c_str())) {
        values.emplace(std::move(key), std::move(value));
    }
    for (std::size_t index = 0;; ++index) {
        const auto found = values.find(KeyOf(index));
        if (found == values.end() || found->second.empty()) {
            break;
        }
        m_records.push_back(std::move(found->second));
    }
}

bool StoredDestinationList::Replace(std::vector<std::u16string> records) {
    if (m_isDamaged) {
        Report(m_path, u"is damaged; the list was not written");
        return false;
    }
    std::vector<std::pair<std::u16string, std::u16string>> keys;
    keys.reserve(records.size());
    for (std::size_t index = 0; index < records.size(); ++index) {
        if (records[index].empty()) {
            return false;
        }
        keys.emplace_back(KeyOf(index), records[index]);
    }
    if (!IniProfile::WriteSection(m_section.c_str(), keys, m_path.c_str())) {
        return false;
    }
    m_records = std::move(records);
    return true;
}

bool StoredDestinationList::Remove(std::size_t index) {
    if (index >= m_records.size()) {
        return false;
    }
    std::vector<std::u16string> records = m_records;
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(index));
    return Replace(std::move(records));
}

void StoredDestinationList::ShowUnusableMessage(HWND owner) const {
    ShowFileMessage(owner, kUnusableFileMessageId, m_path);
}
