// Reads arbitrary text as a ".rd" description ("[section]" and "key=value" lines, held in
// memory) and checks it against file sizes taken from its first bytes.
#include "routing/networkdescription.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

namespace {

class TextSource final : public DescriptionSource {
public:
    explicit TextSource(std::string_view text) {
        std::u16string section;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
            if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos) {
                section = Wide(line.substr(1, line.find(']') - 1));
            } else if (const std::size_t equals = line.find('=');
                       equals != std::string_view::npos) {
                m_values[{section, Wide(line.substr(0, equals))}] = line.substr(equals + 1);
            }
        }
    }
    int GetInt(const char16_t* section, const char16_t* key, int fallback) const override {
        const std::string* value = Find(section, key);
        int result = 0;
        if (value == nullptr) {
            return fallback;
        }
        (void)std::from_chars(value->data(), value->data() + value->size(), result);
        return result;
    }
    std::u16string GetString(const char16_t* section, const char16_t* key) const override {
        const std::string* value = Find(section, key);
        return value != nullptr ? Wide(*value) : u"";
    }
    double GetDouble(const char16_t* section, const char16_t* key, double fallback) const override {
        const std::string* value = Find(section, key);
        double result = fallback;
        if (value != nullptr) {
            (void)std::from_chars(value->data(), value->data() + value->size(), result);
        }
        return result;
    }

private:
    static std::u16string Wide(std::string_view text) { return {text.begin(), text.end()}; }
    const std::string* Find(const char16_t* section, const char16_t* key) const {
        const auto found = m_values.find({section, key});
        return found != m_values.end() ? &found->second : nullptr;
    }
    std::map<std::pair<std::u16string, std::u16string>, std::string> m_values;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint64_t pageBytes = std::uint64_t{data[0]} << 12 | data[1];
    const std::uint64_t positionBytes = std::uint64_t{data[2]} << 8 | data[3];
    const TextSource source({reinterpret_cast<const char*>(data + 4), size - 4});
    const NetworkDescription description = ReadNetworkDescription(source, u"\\Net\\Net.rd");
    if (!IsDescriptionValid(description)) {
        return 0;
    }
    for (int level = 0; level < description.maps; ++level) {
        const PageStoreParameters& p = description.levels[static_cast<std::size_t>(level)];
        if (p.pageSize < 12 || p.pageSize % 4 != 0) {
            std::abort(); // a valid description has usable page sizes
        }
        if (CheckMapFileSizes(p, pageBytes, positionBytes) && p.crossingCount > 0) {
            const auto last = PositionEntryOffset(p.crossingCount - 1, p.crossingCount, p.pageSize);
            if (p.isSeparated && (!last || *last + 12 > positionBytes)) {
                std::abort();
            }
        }
    }
    return 0;
}
