#include "advisor/encodeproperties.h"

#include "platform/files/stdio.h"
#include "platform/kernel/text.h"

#include <array>

namespace {

constexpr int kLineBufferCharacters = 512;
constexpr std::uint8_t kUnknownCode = 255;

} // namespace

bool EncodeProperties::Load(const std::u16string& path) {
    if (m_isLoaded) {
        return true;
    }
    NavFile* stream = _wfopen(path.c_str(), u"r");
    if (stream == nullptr) {
        return false;
    }
    std::array<WCHAR, kLineBufferCharacters> buffer{};
    while (fgetws(buffer.data(), kLineBufferCharacters, stream) != nullptr) {
        AddPiece(buffer.data());
    }
    fclose(stream);
    m_isLoaded = true;
    return true;
}

void EncodeProperties::AddPiece(std::u16string piece) {
    const std::size_t lineEnd = piece.find(u'\n');
    if (lineEnd != std::u16string::npos) {
        piece.erase(lineEnd);
    }
    const std::size_t equals = piece.find(u'=');
    if (piece.empty() || piece.find(u'#') != std::u16string::npos ||
        equals == std::u16string::npos) {
        return;
    }
    m_codes.emplace(piece.substr(0, equals), _wtol(piece.c_str() + equals + 1));
}

std::uint8_t EncodeProperties::CodeOf(const std::u16string& name) const {
    const auto found = m_codes.find(name);
    return found == m_codes.end() ? kUnknownCode : static_cast<std::uint8_t>(found->second);
}

std::u16string EncodeProperties::NameOf(std::uint8_t code) const {
    for (const auto& [name, value] : m_codes) {
        if (static_cast<std::uint8_t>(value) == code) {
            return name;
        }
    }
    return {};
}
