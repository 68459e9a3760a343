#include "basiccomp/retrievalengine/code/signtables.h"

#include "utilities/usefulcode/handlefile.h"
#include "utilities/usefulcode/widetext.h"

#include <cstdlib>
#include <optional>
#include <vector>

namespace {

// Calls take(key text, value text) for every line with a TAB; the line break (LF or CR LF) is
// not part of the value.
template <class Take> void ForEachLine(std::string_view bytes, Take take) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t tab = line.find('\t');
        if (tab != std::string_view::npos) {
            take(line.substr(0, tab), line.substr(tab + 1));
        }
    }
}

// The decimal number at the start of the text after leading blanks; reading stops at the first
// other character.
std::uint32_t Number(std::string_view text) {
    const std::string terminated(text);
    return static_cast<std::uint32_t>(std::strtoul(terminated.c_str(), nullptr, 10));
}

std::optional<std::string> ReadFile(const std::u16string& path) {
    HandleFile file(path, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                    FileHint::SequentialScan);
    if (!file.IsOpen()) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    for (DWORD read = file.Read(buffer, sizeof buffer); read != 0 && read <= sizeof buffer;
         read = file.Read(buffer, sizeof buffer)) {
        bytes.append(buffer, read);
    }
    return bytes;
}

} // namespace

void SignTables::ReadCookie2Sign(std::string_view bytes) {
    m_cookieToSign.clear();
    ForEachLine(bytes, [this](std::string_view key, std::string_view value) {
        m_cookieToSign.emplace(Number(key), static_cast<std::uint16_t>(Number(value)));
    });
}

void SignTables::ReadSign2Enum(std::string_view bytes) {
    m_signToKind.clear();
    ForEachLine(bytes, [this](std::string_view key, std::string_view value) {
        m_signToKind.emplace(static_cast<std::uint16_t>(Number(key)),
                             static_cast<std::uint16_t>(Number(value)));
    });
}

void SignTables::ReadEnum2Info(std::string_view bytes) {
    m_kindToText.clear();
    ForEachLine(bytes, [this](std::string_view key, std::string_view value) {
        const std::string text(value);
        m_kindToText.emplace(static_cast<std::uint16_t>(Number(key)), AnsiToWide(text.c_str()));
    });
}

int SignTables::LoadFile(const char16_t* name, void (SignTables::*read)(std::string_view)) {
    const std::optional<std::string> bytes = ReadFile(m_folder + name);
    if (!bytes) {
        return -1;
    }
    (this->*read)(*bytes);
    return 0;
}

int SignTables::LoadCookie2Sign() {
    return LoadFile(u"\\Cookie2Sign.txt", &SignTables::ReadCookie2Sign);
}

int SignTables::LoadSign2Enum() {
    return LoadFile(u"\\Sign2Enum.txt", &SignTables::ReadSign2Enum);
}

int SignTables::LoadEnum2Info() {
    return LoadFile(u"\\Enum2Info.txt", &SignTables::ReadEnum2Info);
}

bool SignTables::Load(const std::u16string& folder) {
    if (folder.empty()) {
        return false;
    }
    m_folder = folder;
    if (LoadCookie2Sign() != 0) {
        return false;
    }
    (void)LoadSign2Enum();
    return LoadEnum2Info() == 0;
}

std::u16string SignTables::GetSignText(std::uint32_t cookie) const {
    const auto sign = m_cookieToSign.find(cookie);
    const auto kind = m_signToKind.find(sign != m_cookieToSign.end() ? sign->second : 0);
    if (kind == m_signToKind.end()) {
        return {};
    }
    const auto text = m_kindToText.find(kind->second);
    return text != m_kindToText.end() ? text->second : std::u16string();
}
