#include "testdata/destinationwriter.h"

#include "utilities/usefulcode/blowfish.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/format.h"

#include <charconv>

namespace testdata {

namespace {

constexpr std::string_view kCategoryKey = "73920514";
constexpr std::size_t kCategoryBlock = 8;
constexpr std::size_t kZeroedTailBytes = 16;

std::string CategoryRecord(const PoiCategorySource& category) {
    return category.text + "|" + std::to_string(category.lower) + "|" +
           std::to_string(category.upper) + "#";
}

bool ReadNumber(std::string_view text, std::int32_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::u16string FieldOrBlank(const std::u16string& text) {
    return text.empty() ? std::u16string(u" ") : text;
}

} // namespace

std::string PoiCategoryText(const std::vector<PoiCategorySource>& categories,
                            PoiCategoryFault fault) {
    std::string text;
    for (std::size_t i = 0; i < categories.size(); ++i) {
        PoiCategorySource category = categories[i];
        if (i == 0 && fault == PoiCategoryFault::BoundBelowMinusOne) {
            category.lower = -2;
        }
        if (i == 0 && fault == PoiCategoryFault::SeventyCharacters) {
            category.text.resize(70, 'x');
        }
        if (i == 0 && fault == PoiCategoryFault::TwoFields) {
            text += category.text + "|" + std::to_string(category.lower) + "#";
        } else {
            text += CategoryRecord(category);
        }
        if (i == 1 && fault == PoiCategoryFault::EmptyRecord) {
            text += "#";
        }
    }
    return text;
}

std::string EncipherPoiCategories(std::string_view plainText, bool cutToText) {
    std::string bytes(plainText);
    bytes.resize((bytes.size() + kCategoryBlock - 1) / kCategoryBlock * kCategoryBlock, '\0');
    Blowfish cipher;
    if (!cipher.Init(reinterpret_cast<const std::uint8_t*>(kCategoryKey.data()),
                     kCategoryKey.size(), 0, 0)) {
        return {};
    }
    cipher.EncipherBuffer(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(),
                          Blowfish::kModeEcb);
    if (cutToText) {
        bytes.resize(plainText.size());
    }
    return bytes;
}

std::string WritePoiCategoryFile(const std::vector<PoiCategorySource>& categories,
                                 PoiCategoryFault fault) {
    return EncipherPoiCategories(PoiCategoryText(categories, fault),
                                 fault == PoiCategoryFault::UnpaddedLength);
}

bool ReadPoiCategorySource(std::string_view source, std::vector<PoiCategorySource>& categories,
                           std::string& error) {
    categories.clear();
    std::size_t lineNumber = 0;
    while (!source.empty()) {
        ++lineNumber;
        const std::size_t end = std::min(source.find('\n'), source.size());
        std::string_view line = source.substr(0, end);
        source.remove_prefix(std::min(end + 1, source.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == ';') {
            continue;
        }
        const std::size_t firstTab = line.find('\t');
        const std::size_t secondTab =
            firstTab == std::string_view::npos ? firstTab : line.find('\t', firstTab + 1);
        PoiCategorySource category;
        if (secondTab == std::string_view::npos || firstTab == 0 ||
            !ReadNumber(line.substr(firstTab + 1, secondTab - firstTab - 1), category.lower) ||
            !ReadNumber(line.substr(secondTab + 1), category.upper) ||
            line.substr(0, firstTab).find_first_of("|#") != std::string_view::npos) {
            error = "line " + std::to_string(lineNumber) +
                    ": expected text, lower and upper type separated by tabs";
            return false;
        }
        category.text = std::string(line.substr(0, firstTab));
        categories.push_back(std::move(category));
    }
    return true;
}

std::u16string UddRecordText(const UddSource& source) {
    std::u16string record =
        u"2|" + platform::FormatW(u"%.5f", static_cast<double>(source.x)) + u"|" +
        platform::FormatW(u"%.5f", static_cast<double>(source.y)) + u"|" + source.place + u"|" +
        source.street + u"|" + FieldOrBlank(source.placeAddition) + u"|" +
        FieldOrBlank(source.streetAddition) + u"|" + FieldOrBlank(source.placeQualifier) + u"|" +
        FieldOrBlank(source.streetQualifier) + u"|";
    if (source.userDefined) {
        record += u"<UDD>|";
    }
    return record;
}

std::string WriteListSection(std::string_view section, const std::vector<std::u16string>& records,
                             std::string_view otherLines, ListSectionFault fault) {
    std::string text(otherLines);
    text += "[" + std::string(section) + "]\r\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        text += std::to_string(i) + "=" + platform::WideToAnsi(records[i]) + "\r\n";
    }
    if (fault == ListSectionFault::ZeroedTail) {
        text.replace(text.size() - std::min(kZeroedTailBytes, text.size()),
                     std::min(kZeroedTailBytes, text.size()),
                     std::min(kZeroedTailBytes, text.size()), '\0');
    }
    if (fault == ListSectionFault::Utf8MarkOverCodePage) {
        text.insert(0, "\xEF\xBB\xBF");
    }
    return text;
}

} // namespace testdata
