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

std::vector<std::uint8_t> WriteFuzzTexts(const std::vector<std::u16string>& texts) {
    std::vector<std::uint8_t> bytes;
    for (const std::u16string& text : texts) {
        for (const char16_t unit : text) {
            bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<std::u16string> ReadFuzzTexts(const std::uint8_t* data, std::size_t size) {
    std::vector<std::u16string> texts(1);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) {
            texts.emplace_back();
        } else {
            texts.back().push_back(unit);
        }
    }
    return texts;
}

} // namespace testdata
