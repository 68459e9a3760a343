#include "app/destinations/poicategory.h"

#include "utilities/usefulcode/blowfish.h"

#include "platform/files/stdio.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/text.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace {

constexpr std::size_t kBlockSize = 8;
constexpr char kRecordEnd = '#';
constexpr char16_t kFieldSeparator = u'|';
constexpr std::size_t kMaxTextLength = PoiCategory::kTextSize - 1;
// Files beyond this size are no category files; reading them would only cost memory.
constexpr long kMaxFileSize = 1L << 24;

void CopyText(PoiCategory& category, std::u16string_view text) {
    const std::size_t length = std::min(text.size(), kMaxTextLength);
    std::copy_n(text.data(), length, category.text);
    category.text[length] = u'\0';
}

// The next piece of text between separators, as wcstok finds it: empty pieces are skipped.
std::u16string_view NextToken(std::u16string_view& rest) {
    while (!rest.empty() && rest.front() == kFieldSeparator) {
        rest.remove_prefix(1);
    }
    const std::size_t end = std::min(rest.find(kFieldSeparator), rest.size());
    const std::u16string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

// The token's leading number as _wtol reads it. A plain number of up to nine digits, perhaps
// after a minus sign, is read here; anything else goes to _wtol, short tokens copied on the stack.
std::int32_t ReadBound(std::u16string_view token) {
    constexpr std::size_t kPlainDigits = 9;
    const bool isNegative = !token.empty() && token.front() == u'-';
    const std::u16string_view digits = token.substr(isNegative ? 1 : 0);
    if (!digits.empty() && digits.size() <= kPlainDigits &&
        std::all_of(digits.begin(), digits.end(),
                    [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        std::int32_t value = 0;
        for (const char16_t c : digits) {
            value = value * 10 + (c - u'0');
        }
        return isNegative ? -value : value;
    }
    std::array<char16_t, 32> buffer{};
    if (token.size() < buffer.size()) {
        std::copy(token.begin(), token.end(), buffer.begin());
        return static_cast<std::int32_t>(_wtol(buffer.data()));
    }
    const std::u16string text(token);
    return static_cast<std::int32_t>(_wtol(text.c_str()));
}

// ParsePoiCategory with the text left in the record.
bool SplitPoiCategory(std::u16string_view record, std::u16string_view& text, std::int32_t& lower,
                      std::int32_t& upper) {
    const std::u16string_view first = NextToken(record);
    const std::u16string_view second = NextToken(record);
    const std::u16string_view third = NextToken(record);
    if (first.empty() || second.empty() || third.empty()) {
        return false;
    }
    text = first;
    lower = ReadBound(second);
    upper = ReadBound(third);
    return lower >= -1 && upper >= -1;
}

// The cipher set up with the category key: the key schedule is run once for the process (the
// context is only read afterwards, so any thread may use it). Null when the key is refused.
const Blowfish* CategoryCipher() {
    static const std::optional<Blowfish> cipher = []() -> std::optional<Blowfish> {
        Blowfish context;
        if (!context.Init(reinterpret_cast<const std::uint8_t*>(kPoiCategoryKey.data()),
                          kPoiCategoryKey.size(), 0, 0)) {
            return std::nullopt;
        }
        return context;
    }();
    return cipher ? &*cipher : nullptr;
}

// The executable's folder with its last separator.
std::u16string ExecutableFolder() {
    std::array<WCHAR, MAX_PATH> path{};
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), path.size());
    const std::u16string_view text(path.data(), std::min<std::size_t>(length, path.size()));
    const std::size_t slash = text.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? std::u16string()
                                              : std::u16string(text.substr(0, slash + 1));
}

bool ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
    NavFile* file = _wfopen(path.c_str(), u"rb");
    if (file == nullptr) {
        return false;
    }
    bool isRead = fseek(file, 0, SEEK_END) == 0;
    const long size = isRead ? ftell(file) : -1;
    isRead = isRead && size >= 0 && size <= kMaxFileSize && fseek(file, 0, SEEK_SET) == 0;
    if (isRead) {
        bytes.resize(static_cast<std::size_t>(size));
        isRead = fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    (void)fclose(file);
    if (!isRead) {
        const std::u16string line = u"PoiCategory: " + path + u": cannot be read\n";
        OutputDebugStringW(line.c_str());
    }
    return isRead;
}

// Sorts the records from the third on by their text without letter case, in _wcsicmp's order
// (code units after TowLower); equal texts keep their order. Each text is folded once.
void SortFromThird(std::vector<PoiCategory>& categories) {
    constexpr std::size_t kKept = 2;
    if (categories.size() <= kKept + 1) {
        return;
    }
    // The keys, one after another in one buffer, hold the folded code units big-endian, so that
    // comparing their bytes (memcmp) orders them as numbers.
    std::string keyBytes;
    keyBytes.reserve(categories.size() * 2 * 16);
    std::vector<std::pair<std::size_t, std::size_t>> keys(categories.size()); // offset, length
    std::vector<std::size_t> order;
    order.reserve(categories.size() - kKept);
    for (std::size_t i = kKept; i < categories.size(); ++i) {
        keys[i].first = keyBytes.size();
        for (const char16_t* c = categories[i].text; *c != u'\0'; ++c) {
            const char16_t folded =
                *c < 0x80 ? static_cast<char16_t>(*c >= u'A' && *c <= u'Z' ? *c + 0x20 : *c)
                          : TowLower(*c);
            const char pair[2] = {static_cast<char>(folded >> 8), static_cast<char>(folded & 0xFF)};
            keyBytes.append(pair, 2);
        }
        keys[i].second = keyBytes.size() - keys[i].first;
        order.push_back(i);
    }
    std::vector<std::string_view> views(categories.size());
    for (const std::size_t index : order) {
        views[index] = std::string_view(keyBytes).substr(keys[index].first, keys[index].second);
    }
    std::sort(order.begin(), order.end(), [&views](std::size_t a, std::size_t b) {
        const int comparison = views[a].compare(views[b]);
        return comparison < 0 || (comparison == 0 && a < b);
    });
    std::vector<PoiCategory> sorted(categories.begin(), categories.begin() + kKept);
    sorted.reserve(categories.size());
    for (const std::size_t index : order) {
        sorted.push_back(categories[index]);
    }
    categories = std::move(sorted);
}

} // namespace

std::u16string_view PoiCategoryFileName(std::int32_t languageIndex) {
    switch (languageIndex) {
    case 1:
        return u"PoiEng.bin";
    case 3:
        return u"PoiFre.bin";
    case 4:
        return u"PoiSpa.bin";
    case 5:
        return u"PoiIta.bin";
    case 6:
        return u"PoiDut.bin";
    default:
        return u"PoiGer.bin";
    }
}

bool ParsePoiCategory(std::u16string_view record, std::u16string& text, std::int32_t& lower,
                      std::int32_t& upper) {
    std::u16string_view found;
    if (!SplitPoiCategory(record, found, lower, upper)) {
        return false;
    }
    text = found;
    return true;
}

void MakePoiCategoryFromString(PoiCategory& category, UINT stringId, std::int32_t lower,
                               std::int32_t upper) {
    std::array<WCHAR, PoiCategory::kTextSize + 1> text{};
    const int length = LoadStringW(platform::ResourceInstance(), stringId, text.data(),
                                   static_cast<int>(text.size()));
    CopyText(category,
             std::u16string_view(text.data(), static_cast<std::size_t>(std::max(length, 0))));
    category.lowerType = lower;
    category.upperType = upper;
}

std::u16string NarrowToWide(const char* text) {
    return text != nullptr ? platform::AnsiToWide(text) : std::u16string();
}

std::vector<PoiCategory> ReadPoiCategories(std::span<const std::uint8_t> bytes) {
    std::vector<PoiCategory> categories;
    // A file enciphered block by block is whole blocks long: a last partial block, padded with
    // zeros, deciphers into garbage, so the data ends before it.
    const std::size_t whole = bytes.size() / kBlockSize * kBlockSize;
    if (whole != bytes.size()) {
        OutputDebugStringW(u"PoiCategory: the category file ends inside a block; the part "
                           u"block is left out\n");
    }
    std::vector<std::uint8_t> plain(bytes.begin(),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(whole));
    const Blowfish* cipher = CategoryCipher();
    if (cipher == nullptr) {
        return categories;
    }
    cipher->ProcessBuffer(plain.data(), plain.size(), Blowfish::kModeEcb);

    // The data ends at the first zero byte (the padding, or a garbled last block).
    const auto* begin = reinterpret_cast<const char*>(plain.data());
    std::string_view data(begin, plain.size());
    data = data.substr(0, std::min(data.find('\0'), data.size()));
    categories.reserve(static_cast<std::size_t>(std::count(data.begin(), data.end(), kRecordEnd)) +
                       1);
    std::u16string wide; // one record at a time, as NarrowToWide converts it
    while (!data.empty()) {
        const std::size_t end = std::min(data.find(kRecordEnd), data.size());
        const std::string_view record = data.substr(0, end);
        data.remove_prefix(std::min(end + 1, data.size()));
        if (record.empty()) {
            break; // an empty record ends the list
        }
        wide.resize(record.size());
        std::transform(record.begin(), record.end(), wide.begin(), [](char byte) {
            const auto code = static_cast<unsigned char>(byte);
            return code < 0x80 ? static_cast<char16_t>(code) : platform::AnsiToWideChar(code);
        });
        std::u16string_view text;
        PoiCategory& category = categories.emplace_back();
        if (SplitPoiCategory(wide, text, category.lowerType, category.upperType)) {
            CopyText(category, text);
        } else {
            categories.pop_back();
        }
    }
    SortFromThird(categories);
    return categories;
}

void ApplyPoiCategory(QueryDefaults& defaults, const PoiCategory& category) {
    defaults.fromLevel = category.lowerType;
    defaults.toLevel = category.upperType == -1 || category.upperType == INT32_MAX
                           ? category.upperType
                           : category.upperType + 1;
}

void LoadPoiCategories(std::vector<PoiCategory>& categories, std::int32_t languageIndex) {
    categories.clear();
    const std::u16string path =
        ExecutableFolder() + std::u16string(PoiCategoryFileName(languageIndex));
    std::vector<std::uint8_t> bytes;
    if (ReadWholeFile(path, bytes)) {
        categories = ReadPoiCategories(bytes);
    }
    if (categories.empty()) {
        PoiCategory all;
        MakePoiCategoryFromString(all, kAllTypesStringId, -1, -1);
        categories.push_back(all);
    }
}
