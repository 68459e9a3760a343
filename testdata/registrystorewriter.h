#pragma once
// Writer of the registry store (platform/registry/detail/registrystore.h): keys with text, DWORD
// or raw values, and knobs for what the registry must survive: a DWORD where text is expected
// (AddDword on that name), text stored without its terminating zero, and a store cut short. Not
// thread-safe.

#include "testdata/tempdir.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

class RegistryStoreWriter {
public:
    // A key given by its path below HKEY_LOCAL_MACHINE ("Software\Apps\X"); later values go to
    // the key last named.
    RegistryStoreWriter& Key(std::u16string_view subKey);
    // REG_SZ: the text as UTF-16LE, with its terminating zero unless terminated is false.
    RegistryStoreWriter& String(std::u16string_view name, std::u16string_view text,
                                bool terminated = true);
    RegistryStoreWriter& Dword(std::u16string_view name, std::uint32_t value);
    RegistryStoreWriter& Raw(std::u16string_view name, std::uint32_t type,
                             const std::vector<std::uint8_t>& bytes);

    // The store's text; keepBytes below its size cuts it there.
    [[nodiscard]] std::string Build(std::size_t keepBytes = std::string::npos) const;
    // Writes the store into the device root at its place; false on failure.
    [[nodiscard]] bool WriteTo(const TempDeviceRoot& root,
                               std::size_t keepBytes = std::string::npos) const;

private:
    std::string m_text;
};

} // namespace testdata
