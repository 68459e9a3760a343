// Feeds arbitrary formats and arguments to the formatting engine, arbitrary text and formats to
// the scanning engine, and arbitrary bytes to the UTF-8 and code page decoders.

#include "platform/kernel/codepage.h"
#include "platform/kernel/detail/formatengine.h"
#include "platform/littleendian.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Arguments drawn from the fuzz input; strings are fixed, terminated texts.
class FuzzArgs final : public platform::detail::FormatArgs {
public:
    FuzzArgs(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size) {}

    std::uint64_t NextInteger(int bytes) override {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = (value << 8) | NextByte();
        }
        return value;
    }
    double NextDouble() override {
        const std::uint64_t bits = NextInteger(8);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    const WCHAR* NextWideString() override {
        return NextByte() % 4 == 0 ? nullptr : u"w\u00E4\u20AC";
    }
    const char* NextNarrowString() override { return NextByte() % 4 == 0 ? nullptr : "n\xE4\x80"; }
    const void* NextPointer() override { return reinterpret_cast<const void*>(NextInteger(8)); }

private:
    std::uint8_t NextByte() { return m_position < m_size ? m_data[m_position++] : 0; }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

class FuzzTargets final : public platform::detail::ScanTargets {
public:
    void StoreInteger(int bytes, std::uint64_t value) override {
        m_sum += value + static_cast<unsigned>(bytes);
    }
    void StoreReal(bool isDouble, double value) override {
        m_sum += isDouble ? 1 : 0;
        m_real = value;
    }
    bool StoreText(bool, std::u16string_view text, bool, bool hasSizes) override {
        m_sum += text.size();
        return !hasSizes || text.size() < 8;
    }

private:
    std::uint64_t m_sum = 0;
    double m_real = 0;
};

std::u16string WideFrom(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<char16_t>(platform::ReadU16(data + i)));
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte splits the rest into a format and its arguments (or the scanned text).
    const std::size_t split = std::min<std::size_t>(data[0] * 2u, size - 1);
    const std::u16string format = WideFrom(data + 1, split);
    const std::uint8_t* rest = data + 1 + split;
    const std::size_t restSize = size - 1 - split;

    FuzzArgs args(rest, restSize);
    std::u16string out;
    (void)platform::detail::FormatTo(out, format.c_str(), args);

    const std::u16string text = WideFrom(rest, restSize);
    FuzzTargets targets;
    (void)platform::detail::ScanFrom(text.c_str(), format.c_str(), targets, (data[0] & 1) != 0);

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string decoded = platform::Utf8ToUtf16(bytes);
    (void)platform::Utf16ToUtf8(decoded);
    (void)platform::WideToAnsi(platform::AnsiToWide(bytes));
    return 0;
}
