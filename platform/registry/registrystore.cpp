#include "platform/registry/detail/registrystore.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/text.h"

#include <charconv>

namespace platform::detail {

namespace {

constexpr std::string_view kHeader = "NAVREG 1";
constexpr std::string_view kEnd = "END";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool ParseHex(std::string_view hex, std::vector<std::uint8_t>& out) {
    if (hex.size() % 2 != 0 || hex.size() / 2 > kMaxRegistryValueBytes) {
        return false;
    }
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return true;
}

// "name"=type:hex
bool ParseValue(std::string_view line, RegistryValue& value) {
    if (line.size() < 2 || line.front() != '"') {
        return false;
    }
    const std::size_t close = line.find('"', 1);
    if (close == std::string_view::npos || close + 1 >= line.size() || line[close + 1] != '=') {
        return false;
    }
    value.name = Utf8ToUtf16(line.substr(1, close - 1));
    const std::string_view rest = line.substr(close + 2);
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    const std::string_view type = rest.substr(0, colon);
    const auto [end, error] = std::from_chars(type.data(), type.data() + type.size(), value.type);
    if (error != std::errc{} || end != type.data() + type.size()) {
        return false;
    }
    return ParseHex(rest.substr(colon + 1), value.data);
}

} // namespace

RegistryKey* RegistryStore::FindKey(std::u16string_view path) {
    for (RegistryKey& key : keys) {
        if (CompareNoCase(key.path, path) == 0) {
            return &key;
        }
    }
    return nullptr;
}

const RegistryValue* FindValue(const RegistryKey& key, std::u16string_view name) {
    for (const RegistryValue& value : key.values) {
        if (CompareNoCase(value.name, name) == 0) {
            return &value;
        }
    }
    return nullptr;
}

bool IsStorableText(std::u16string_view text) {
    return Utf8ToUtf16(Utf16ToUtf8(text)) == text;
}

std::optional<RegistryStore> ParseRegistryStore(std::string_view text) {
    if (text.size() > kMaxRegistryStoreBytes) {
        return std::nullopt;
    }
    RegistryStore store;
    bool hasHeader = false;
    bool hasEnd = false;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos || hasEnd) {
            return std::nullopt; // a line without its end, or anything after "END"
        }
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!hasHeader) {
            if (line != kHeader) {
                return std::nullopt;
            }
            hasHeader = true;
        } else if (line == kEnd) {
            hasEnd = true;
        } else if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            std::u16string path = Utf8ToUtf16(line.substr(1, line.size() - 2));
            if (path.empty() || store.FindKey(path) != nullptr) {
                return std::nullopt;
            }
            store.keys.push_back(RegistryKey{std::move(path), {}});
        } else {
            RegistryValue value;
            if (store.keys.empty() || !ParseValue(line, value) ||
                FindValue(store.keys.back(), value.name) != nullptr) {
                return std::nullopt;
            }
            store.keys.back().values.push_back(std::move(value));
        }
    }
    if (!hasEnd) {
        return std::nullopt;
    }
    return store;
}

std::string FormatRegistryStore(const RegistryStore& store) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(kHeader);
    text += '\n';
    for (const RegistryKey& key : store.keys) {
        text += '[';
        text += Utf16ToUtf8(key.path);
        text += "]\n";
        for (const RegistryValue& value : key.values) {
            text += '"';
            text += Utf16ToUtf8(value.name);
            text += "\"=";
            text += std::to_string(value.type);
            text += ':';
            for (const std::uint8_t byte : value.data) {
                text += kDigits[byte >> 4];
                text += kDigits[byte & 15];
            }
            text += '\n';
        }
    }
    text += kEnd;
    text += '\n';
    return text;
}

} // namespace platform::detail
