#include "basiccomp/retrievalengine/code/leveltextfile.h"

#include "platform/files/files.h"

#include <algorithm>
#include <string_view>

namespace {

// The blanks that end a "%s" field.
bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool IsUsable(std::u16string_view line) {
    return !line.empty() && line[0] != u'\r' && line[0] != u'\n' &&
           line.find(u".iso") == std::u16string_view::npos;
}

std::u16string FirstField(std::u16string_view line) {
    const auto begin = std::find_if_not(line.begin(), line.end(), IsBlank);
    const auto end = std::find_if(begin, line.end(), IsBlank);
    return std::u16string(begin, end);
}

} // namespace

bool LevelTextFile::Open(const std::u16string& path) {
    Close();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_READONLY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD size = GetFileSize(file, nullptr);
    std::vector<std::uint8_t> bytes(size == INVALID_FILE_SIZE ? 0 : size);
    DWORD read = 0;
    const bool isRead = size != INVALID_FILE_SIZE &&
                        (bytes.empty() || ReadFile(file, bytes.data(), size, &read, nullptr) != 0);
    CloseHandle(file);
    if (!isRead) {
        return false;
    }
    bytes.resize(read);
    Attach(std::move(bytes));
    return true;
}

void LevelTextFile::Attach(std::vector<std::uint8_t> bytes) {
    m_bytes = std::move(bytes);
    m_position = 0;
    m_isOpen = true;
}

void LevelTextFile::Close() {
    m_bytes = {};
    m_position = 0;
    m_isOpen = false;
}

std::u16string LevelTextFile::ReadLine(std::size_t capacity) {
    std::u16string line;
    while (line.size() + 1 < capacity && m_position < m_bytes.size()) {
        const auto byte = static_cast<std::int8_t>(m_bytes[m_position++]);
        line.push_back(static_cast<char16_t>(static_cast<std::int16_t>(byte)));
        if (byte == '\n') {
            break;
        }
    }
    return line;
}

std::optional<std::u16string> LevelTextFile::ReadMapFileName() {
    while (!IsAtEnd()) {
        const std::u16string line = ReadLine();
        if (IsUsable(line)) {
            return FirstField(line);
        }
    }
    return std::nullopt;
}
