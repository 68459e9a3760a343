#include "app/destinations/storeddestinationlist.h"

#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/files.h"
#include "platform/files/stdio.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/format.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/resources.h"

#include <algorithm>
#include <array>

namespace {

// Characters of the message text read from the language library.
constexpr int kMessageTextMax = 255;
// Settings files are small; a larger one is read in pieces of this size.
constexpr std::size_t kReadPiece = 4096;

void Report(const std::u16string& path, std::u16string_view what) {
    const std::u16string line =
        u"StoredDestinationList: " + path + u": " + std::u16string(what) + u"\n";
    OutputDebugStringW(line.c_str());
}

// True when the file can be read through and holds no NUL byte. A missing file is whole (and
// empty); isMissing tells it apart.
bool IsWholeFile(const std::u16string& path, bool& isMissing) {
    isMissing = false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        isMissing = true;
        return true;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    NavFile* file = _wfopen(path.c_str(), u"rb");
    if (file == nullptr) {
        return false;
    }
    std::array<char, kReadPiece> piece{};
    bool isWhole = true;
    for (;;) {
        const std::size_t got = fread(piece.data(), 1, piece.size(), file);
        if (std::find(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got), '\0') !=
            piece.begin() + static_cast<std::ptrdiff_t>(got)) {
            isWhole = false;
            break;
        }
        if (got < piece.size()) {
            isWhole = feof(file) != 0;
            break;
        }
    }
    (void)fclose(file);
    return isWhole;
}

std::u16string KeyOf(std::size_t index) {
    return platform::FormatW(u"%d", static_cast<int>(index));
}

} // namespace

StoredDestinationList::StoredDestinationList(std::u16string file, std::u16string section)
    : m_path(file.empty() ? AppPaths::GetSettingsFilePath() : AppPaths::MakeFullPath(file))
    , m_section(std::move(section)) {
    bool isMissing = false;
    if (!IsWholeFile(m_path, isMissing)) {
        m_isDamaged = true;
        Report(m_path, u"cannot be read or holds NUL bytes; its list is left empty");
        return;
    }
    if (isMissing) {
        return;
    }
    for (std::size_t index = 0;; ++index) {
        const std::u16string key = KeyOf(index);
        std::u16string value =
            IniProfile::GetString(m_section.c_str(), key.c_str(), m_path.c_str(), u"");
        if (value.empty()) {
            break;
        }
        m_records.push_back(std::move(value));
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
    std::array<WCHAR, kMessageTextMax + 1> format{};
    const int length = LoadStringW(platform::ResourceInstance(), kUnusableFileMessageId,
                                   format.data(), static_cast<int>(format.size()));
    // The text names the file where it says "%s".
    std::u16string text(format.data(), static_cast<std::size_t>(std::max(length, 0)));
    const std::size_t mark = text.find(u"%s");
    if (mark == std::u16string::npos) {
        text += text.empty() ? m_path : u" " + m_path;
    } else {
        text.replace(mark, 2, m_path);
    }
    (void)MessageBoxW(owner, text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
}
