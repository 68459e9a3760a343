// Fuzzes the "encode.properties" reader: the input is the file, placed on a temporary device
// once per run in memory-backed host storage; every line must be read without a fault.

#include "advisor/encodeproperties.h"
#include "testdata/tempdir.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testdata::TempDeviceRoot root;
    if (!root.WriteFile(u"\\encode.properties",
                        std::string(reinterpret_cast<const char*>(data), size))) {
        std::abort();
    }
    EncodeProperties properties;
    if (!properties.Load(u"\\encode.properties")) {
        std::abort();
    }
    for (const auto& [name, code] : properties.GetCodes()) {
        if (name.find(u'#') != std::u16string::npos || name.find(u'\n') != std::u16string::npos) {
            std::abort();
        }
    }
    return 0;
}
