#include "testdata/fuzzinput.h"

#include "platform/littleendian.h"

namespace testdata {

std::vector<std::uint8_t> FileFromFuzzInput(const std::vector<std::uint8_t>& base,
                                            const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return {};
    }
    if ((data[0] & 1) != 0) {
        return {data + 1, data + size};
    }
    if (base.empty()) {
        return {};
    }
    std::vector<std::uint8_t> file = base;
    std::size_t at = 1;
    for (; at + 3 <= size; at += 3) {
        const std::size_t offset = platform::ReadU16(data + at) % file.size();
        file[offset] = data[at + 2];
    }
    if (at + 2 <= size) {
        file.resize(platform::ReadU16(data + at) % (file.size() + 1));
    }
    return file;
}

} // namespace testdata
