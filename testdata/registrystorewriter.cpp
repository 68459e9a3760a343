#include "testdata/registrystorewriter.h"

#include "platform/kernel/codepage.h"
#include "platform/registry/registry.h"

namespace testdata {

namespace {

void AppendHex(std::string& text, const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
}

} // namespace

RegistryStoreWriter& RegistryStoreWriter::Key(std::u16string_view subKey) {
    m_text += "[HKEY_LOCAL_MACHINE\\" + platform::Utf16ToUtf8(subKey) + "]\n";
    return *this;
}

RegistryStoreWriter& RegistryStoreWriter::String(std::u16string_view name, std::u16string_view text,
                                                 bool terminated) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return Raw(name, REG_SZ, bytes);
}

RegistryStoreWriter& RegistryStoreWriter::Dword(std::u16string_view name, std::uint32_t value) {
    return Raw(name, REG_DWORD,
               {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

RegistryStoreWriter& RegistryStoreWriter::Raw(std::u16string_view name, std::uint32_t type,
                                              const std::vector<std::uint8_t>& bytes) {
    m_text += "\"" + platform::Utf16ToUtf8(name) + "\"=" + std::to_string(type) + ":";
    AppendHex(m_text, bytes);
    m_text += '\n';
    return *this;
}

std::string RegistryStoreWriter::Build(std::size_t keepBytes) const {
    std::string text = "NAVREG 1\n" + m_text + "END\n";
    if (keepBytes < text.size()) {
        text.resize(keepBytes);
    }
    return text;
}

bool RegistryStoreWriter::WriteTo(const TempDeviceRoot& root, std::size_t keepBytes) const {
    return root.WriteFile(platform::kRegistryStorePath, Build(keepBytes));
}

} // namespace testdata
