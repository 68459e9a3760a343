// Sign tables from arbitrary bytes: the input read as each of the three files, then looked up.
#include "basiccomp/retrievalengine/code/signtables.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SignTables tables;
    tables.ReadCookie2Sign(bytes);
    tables.ReadSign2Enum(bytes);
    tables.ReadEnum2Info(bytes);
    for (const std::uint32_t cookie : {0u, 1u, 12u, 65535u, 70000u}) {
        (void)tables.GetSignText(cookie);
    }
    return 0;
}
