#include "platform/shell/resourcebundle.h"

#include "platform/kernel/codepage.h"
#include "platform/littleendian.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <set>

namespace platform {

namespace {

constexpr UINT kMaxStringId = 0xFFFF;
constexpr std::size_t kBitmapFileHeaderSize = 54; // file header and bitmap info header

constexpr std::u16string_view kErrorTexts[] = {
    u"no error",
    u"shorter than its header or section directory",
    u"not a resource bundle",
    u"unknown layout version",
    u"file size differs from the size in the header",
    u"a section reaches past the end of the file",
    u"a string or bitmap entry reaches past its section",
    u"ids are not strictly ascending",
    u"a section kind occurs twice",
};
static_assert(std::size(kErrorTexts) ==
              static_cast<std::size_t>(BundleError::DuplicateSection) + 1);

BundleError ReadStrings(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                        ResourceBundle& bundle) {
    const std::uint64_t tableSize = std::uint64_t{entryCount} * kBundleStringEntrySize;
    if (tableSize > section.size()) {
        return BundleError::EntryOutOfRange;
    }
    std::uint64_t previousId = 0;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::size_t at = i * kBundleStringEntrySize;
        const std::uint32_t id = ReadU32(section, at);
        const std::uint32_t textOffset = ReadU32(section, at + 4);
        const std::uint32_t textLength = ReadU32(section, at + 8);
        if (i > 0 && id <= previousId) {
            return BundleError::UnorderedIds;
        }
        previousId = id;
        const std::uint64_t textEnd = std::uint64_t{textOffset} + std::uint64_t{textLength} * 2;
        if (textOffset < tableSize || textEnd > section.size()) {
            return BundleError::EntryOutOfRange;
        }
        std::u16string text(textLength, u'\0');
        for (std::uint32_t c = 0; c < textLength; ++c) {
            text[c] = static_cast<char16_t>(ReadU16(section, textOffset + 2 * std::size_t{c}));
        }
        bundle.strings.emplace(id, std::move(text));
    }
    return BundleError::None;
}

BundleError ReadBitmaps(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                        ResourceBundle& bundle) {
    const std::uint64_t tableSize = std::uint64_t{entryCount} * kBundleBitmapEntrySize;
    if (tableSize > section.size()) {
        return BundleError::EntryOutOfRange;
    }
    std::uint64_t previousId = 0;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::size_t at = i * kBundleBitmapEntrySize;
        const std::uint32_t id = ReadU32(section, at);
        const std::uint32_t offset = ReadU32(section, at + 4);
        const std::uint32_t length = ReadU32(section, at + 8);
        if (i > 0 && id <= previousId) {
            return BundleError::UnorderedIds;
        }
        previousId = id;
        if (offset < tableSize || std::uint64_t{offset} + length > section.size()) {
            return BundleError::EntryOutOfRange;
        }
        bundle.bitmaps.emplace(id, std::vector<std::uint8_t>(section.begin() + offset,
                                                             section.begin() + offset + length));
    }
    return BundleError::None;
}

BundleError ReadBundle(std::span<const std::uint8_t> data, ResourceBundle& bundle) {
    if (data.size() < kBundleHeaderSize) {
        return BundleError::TooShort;
    }
    if (!std::equal(std::begin(kBundleMagic), std::end(kBundleMagic), data.begin())) {
        return BundleError::BadMagic;
    }
    if (ReadU16(data, 4) != kBundleVersion) {
        return BundleError::BadVersion;
    }
    const std::uint16_t sectionCount = ReadU16(data, 6);
    if (ReadU32(data, 8) != data.size()) {
        return BundleError::SizeMismatch;
    }
    const std::size_t directoryEnd =
        kBundleHeaderSize + std::size_t{sectionCount} * kBundleSectionRecordSize;
    if (directoryEnd > data.size()) {
        return BundleError::TooShort;
    }
    std::set<WORD> kinds;
    for (std::size_t s = 0; s < sectionCount; ++s) {
        const std::size_t at = kBundleHeaderSize + s * kBundleSectionRecordSize;
        const WORD kind = ReadU16(data, at);
        const std::uint32_t entryCount = ReadU32(data, at + 4);
        const std::uint32_t offset = ReadU32(data, at + 8);
        const std::uint32_t size = ReadU32(data, at + 12);
        if (offset < directoryEnd || std::uint64_t{offset} + size > data.size()) {
            return BundleError::SectionOutOfRange;
        }
        if (!kinds.insert(kind).second) {
            return BundleError::DuplicateSection;
        }
        BundleError error = BundleError::None;
        if (kind == static_cast<WORD>(ResourceKind::Strings)) {
            error = ReadStrings(data.subspan(offset, size), entryCount, bundle);
        } else if (kind == static_cast<WORD>(ResourceKind::Bitmaps)) {
            error = ReadBitmaps(data.subspan(offset, size), entryCount, bundle);
        }
        if (error != BundleError::None) {
            return error;
        }
    }
    return BundleError::None;
}

// Undoes the escapes of a source text: "\\" "\t" "\n"; false for any other escape.
bool Unescape(std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
        case u'\\':
            out.push_back(u'\\');
            break;
        case u't':
            out.push_back(u'\t');
            break;
        case u'n':
            out.push_back(u'\n');
            break;
        default:
            return false;
        }
    }
    text = std::move(out);
    return true;
}

std::string LineMessage(std::size_t lineNumber, std::string_view what) {
    return "line " + std::to_string(lineNumber) + ": " + std::string(what);
}

// One "id<TAB>text" line of the [strings] section.
bool CompileStringLine(std::string_view line, ResourceBundle& bundle, std::string& problem) {
    UINT id = 0;
    const auto [idEnd, status] = std::from_chars(line.data(), line.data() + line.size(), id);
    if (status != std::errc() || id > kMaxStringId) {
        problem = "expected a string id from 0 to 65535";
        return false;
    }
    std::string_view rest = line.substr(static_cast<std::size_t>(idEnd - line.data()));
    if (!rest.empty() && rest.front() != '\t' && rest.front() != ' ') {
        problem = "expected a tab or blank after the string id";
        return false;
    }
    while (!rest.empty() && (rest.front() == '\t' || rest.front() == ' ')) {
        rest.remove_prefix(1);
    }
    std::u16string text = Utf8ToUtf16(rest);
    if (Utf16ToUtf8(text) != rest) { // malformed bytes came back as U+FFFD
        problem = "the text is not valid UTF-8";
        return false;
    }
    if (!Unescape(text)) {
        problem = "unknown escape (use \\\\, \\t or \\n)";
        return false;
    }
    if (!bundle.strings.emplace(id, std::move(text)).second) {
        problem = "string id " + std::to_string(id) + " is defined twice";
        return false;
    }
    return true;
}

// One "id<TAB>file" line of the [bitmaps] section.
bool CompileBitmapLine(std::string_view line, const BitmapFileLoader& loadBitmap,
                       ResourceBundle& bundle, std::string& problem) {
    UINT id = 0;
    const auto [idEnd, status] = std::from_chars(line.data(), line.data() + line.size(), id);
    if (status != std::errc() || id > kMaxStringId) {
        problem = "expected a bitmap id from 0 to 65535";
        return false;
    }
    std::string_view name = line.substr(static_cast<std::size_t>(idEnd - line.data()));
    while (!name.empty() && (name.front() == '\t' || name.front() == ' ')) {
        name.remove_prefix(1);
    }
    if (name.empty() ||
        name.size() == line.size() - static_cast<std::size_t>(idEnd - line.data())) {
        problem = "expected a tab or blank and a file name after the bitmap id";
        return false;
    }
    if (!loadBitmap) {
        problem = "bitmaps need a folder to load their files from";
        return false;
    }
    auto bytes = loadBitmap(name);
    if (!bytes) {
        problem = "cannot read " + std::string(name);
        return false;
    }
    if (bytes->size() < kBitmapFileHeaderSize || (*bytes)[0] != 'B' || (*bytes)[1] != 'M') {
        problem = std::string(name) + " is not a bitmap file";
        return false;
    }
    if (!bundle.bitmaps.emplace(id, std::move(*bytes)).second) {
        problem = "bitmap id " + std::to_string(id) + " is defined twice";
        return false;
    }
    return true;
}

} // namespace

std::u16string_view BundleErrorText(BundleError error) {
    const auto index = static_cast<std::size_t>(error);
    return index < std::size(kErrorTexts) ? kErrorTexts[index] : u"unknown error";
}

std::optional<ResourceBundle> ReadResourceBundle(std::span<const std::uint8_t> data,
                                                 BundleError* error) {
    ResourceBundle bundle;
    const BundleError result = ReadBundle(data, bundle);
    if (error != nullptr) {
        *error = result;
    }
    if (result != BundleError::None) {
        return std::nullopt;
    }
    return bundle;
}

std::optional<ResourceBundle> CompileResourceSource(std::string_view source, std::string* message,
                                                    const BitmapFileLoader& loadBitmap) {
    ResourceBundle bundle;
    std::string_view section;
    std::size_t lineNumber = 0;
    auto fail = [&](std::string_view what) {
        if (message != nullptr) {
            *message = LineMessage(lineNumber, what);
        }
        return std::nullopt;
    };
    if (source.starts_with("\xEF\xBB\xBF")) {
        source.remove_prefix(3);
    }
    while (!source.empty() || lineNumber == 0) {
        ++lineNumber;
        const std::size_t end = source.find('\n');
        std::string_view line = source.substr(0, end);
        source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return fail("a section header must end with ']'");
            }
            section = line.substr(1, line.size() - 2);
            if (section != "strings" && section != "bitmaps") {
                return fail("unknown section [" + std::string(section) +
                            "] (this version knows [strings] and [bitmaps])");
            }
            continue;
        }
        if (section.empty()) {
            return fail("text before the first section header");
        }
        std::string problem;
        const bool isCompiled = section == "strings"
                                    ? CompileStringLine(line, bundle, problem)
                                    : CompileBitmapLine(line, loadBitmap, bundle, problem);
        if (!isCompiled) {
            return fail(problem);
        }
    }
    return bundle;
}

} // namespace platform
