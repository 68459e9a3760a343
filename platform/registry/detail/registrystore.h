#pragma once
// The registry store's text form, UTF-8 lines ending in LF (a CR before it is dropped):
//
//   NAVREG 1
//   [HKEY_LOCAL_MACHINE\Software\Apps\Example]
//   "Value name"=1:5C0057000000
//   END
//
// A key line holds the key's full path; each value line after it belongs to that key: its name
// in quotes (no quote inside), its type in decimal and its bytes as pairs of hex digits (REG_SZ
// bytes are UTF-16LE). The "END" line closes the store: a store without it was cut and is
// refused whole, as is any line of another form, a value before the first key, a repeated key
// or value name (without letter case), or a store or value above its size limit.

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::detail {

inline constexpr std::size_t kMaxRegistryStoreBytes = 1U << 20;
inline constexpr std::size_t kMaxRegistryValueBytes = 64U << 10;

struct RegistryValue {
    std::u16string name;
    DWORD type = 0;
    std::vector<std::uint8_t> data;
};

struct RegistryKey {
    std::u16string path; // "HKEY_LOCAL_MACHINE\..." as first written
    std::vector<RegistryValue> values;
};

struct RegistryStore {
    std::vector<RegistryKey> keys;

    // The key of the path (without letter case); null when missing.
    [[nodiscard]] RegistryKey* FindKey(std::u16string_view path);
};

// The value of the name (without letter case); null when missing.
[[nodiscard]] const RegistryValue* FindValue(const RegistryKey& key, std::u16string_view name);

// Whether the text (a key path or a value name) comes back unchanged from the store's UTF-8;
// false for a lone surrogate, which is written as U+FFFD.
[[nodiscard]] bool IsStorableText(std::u16string_view text);

// Nullopt when the text is not a whole store (see above).
[[nodiscard]] std::optional<RegistryStore> ParseRegistryStore(std::string_view text);
[[nodiscard]] std::string FormatRegistryStore(const RegistryStore& store);

// The REG_SZ text (up to its first zero) of a value of the store file, read without creating its
// key; nullopt when the key or value is missing or of another type.
[[nodiscard]] std::optional<std::u16string> QueryStoredText(std::u16string_view keyPath,
                                                            std::u16string_view name);

} // namespace platform::detail
