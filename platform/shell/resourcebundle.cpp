#include "platform/shell/resourcebundle.h"

#include "platform/detail/littleendian.h"
#include "platform/kernel/codepage.h"

#include <array>
#include <charconv>
#include <set>

namespace platform {

namespace {

using detail::ReadU16;
using detail::ReadU32;

constexpr std::array<std::uint8_t, 4> kMagic = {'N', 'R', 'S', 'B'};
constexpr WORD kVersion = 1;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kSectionRecordSize = 16;
constexpr std::size_t kStringEntrySize = 12;
constexpr UINT kMaxStringId = 0xFFFF;
constexpr std::size_t kBitmapEntrySize = 12;
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

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PatchU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

BundleError ReadStrings(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                        ResourceBundle& bundle) {
    const std::uint64_t tableSize = std::uint64_t{entryCount} * kStringEntrySize;
    if (tableSize > section.size()) {
        return BundleError::EntryOutOfRange;
    }
    std::uint64_t previousId = 0;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::size_t at = i * kStringEntrySize;
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
    const std::uint64_t tableSize = std::uint64_t{entryCount} * kBitmapEntrySize;
    if (tableSize > section.size()) {
        return BundleError::EntryOutOfRange;
    }
    std::uint64_t previousId = 0;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::size_t at = i * kBitmapEntrySize;
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
    if (data.size() < kHeaderSize) {
        return BundleError::TooShort;
    }
    if (!std::equal(kMagic.begin(), kMagic.end(), data.begin())) {
        return BundleError::BadMagic;
    }
    if (ReadU16(data, 4) != kVersion) {
        return BundleError::BadVersion;
    }
    const std::uint16_t sectionCount = ReadU16(data, 6);
    if (ReadU32(data, 8) != data.size()) {
        return BundleError::SizeMismatch;
    }
    const std::size_t directoryEnd = kHeaderSize + std::size_t{sectionCount} * kSectionRecordSize;
    if (directoryEnd > data.size()) {
        return BundleError::TooShort;
    }
    std::set<WORD> kinds;
    for (std::size_t s = 0; s < sectionCount; ++s) {
        const std::size_t at = kHeaderSize + s * kSectionRecordSize;
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

std::vector<std::uint8_t> WriteResourceBundle(const ResourceBundle& bundle, BundleFault fault) {
    const WORD stringSections = fault == BundleFault::DuplicateSection ? 2 : 1;
    const bool hasBitmaps = !bundle.bitmaps.empty();
    const WORD sectionCount = stringSections + (hasBitmaps ? 1 : 0);
    std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
    PutU16(out, fault == BundleFault::FutureVersion ? kVersion + 1 : kVersion);
    PutU16(out, fault == BundleFault::DirectoryPastEnd ? 0xFFFF : sectionCount);
    PutU32(out, 0); // file size, patched below
    PutU32(out, 0); // reserved

    const std::size_t sectionStart = kHeaderSize + sectionCount * kSectionRecordSize;
    const std::size_t tableSize = bundle.strings.size() * kStringEntrySize;
    for (WORD s = 0; s < stringSections; ++s) {
        PutU16(out, static_cast<WORD>(ResourceKind::Strings));
        PutU16(out, 0);
        PutU32(out, fault == BundleFault::HugeEntryCount
                        ? 0x20000000u
                        : static_cast<std::uint32_t>(bundle.strings.size()));
        PutU32(out, static_cast<std::uint32_t>(sectionStart));
        PutU32(out, 0); // section size, patched below
    }
    if (hasBitmaps) {
        PutU16(out, static_cast<WORD>(ResourceKind::Bitmaps));
        PutU16(out, 0);
        PutU32(out, static_cast<std::uint32_t>(bundle.bitmaps.size()));
        PutU32(out, 0); // offset and size, patched below
        PutU32(out, 0);
    }

    std::size_t textOffset = tableSize;
    std::size_t index = 0;
    for (const auto& [id, text] : bundle.strings) {
        const bool isLast = ++index == bundle.strings.size();
        PutU32(out, id);
        PutU32(out, static_cast<std::uint32_t>(textOffset));
        const bool isLonger = isLast && fault == BundleFault::TextPastSection;
        PutU32(out, static_cast<std::uint32_t>(text.size() + (isLonger ? 1 : 0)));
        textOffset += text.size() * 2;
    }
    for (const auto& entry : bundle.strings) {
        for (const char16_t c : entry.second) {
            PutU16(out, c);
        }
    }
    if (fault == BundleFault::UnorderedIds && bundle.strings.size() >= 2) {
        const std::uint32_t first = ReadU32(out, sectionStart);
        const std::uint32_t second = ReadU32(out, sectionStart + kStringEntrySize);
        PatchU32(out, sectionStart, second);
        PatchU32(out, sectionStart + kStringEntrySize, first);
    }
    if (fault == BundleFault::BadMagic) {
        out[0] = 'X';
    }
    std::size_t sectionSize = out.size() - sectionStart;
    if (hasBitmaps) {
        const std::size_t bitmapStart = out.size();
        std::size_t dataOffset = bundle.bitmaps.size() * kBitmapEntrySize;
        for (const auto& [id, bytes] : bundle.bitmaps) {
            PutU32(out, id);
            PutU32(out, static_cast<std::uint32_t>(dataOffset));
            PutU32(out, static_cast<std::uint32_t>(bytes.size()));
            dataOffset += bytes.size();
        }
        for (const auto& entry : bundle.bitmaps) {
            out.insert(out.end(), entry.second.begin(), entry.second.end());
        }
        const std::size_t record = kHeaderSize + stringSections * kSectionRecordSize;
        PatchU32(out, record + 8, static_cast<std::uint32_t>(bitmapStart));
        PatchU32(out, record + 12, static_cast<std::uint32_t>(out.size() - bitmapStart));
    }
    if (fault == BundleFault::SectionPastEnd) {
        sectionSize = out.size() - sectionStart + 1;
    }
    for (WORD s = 0; s < stringSections; ++s) {
        PatchU32(out, kHeaderSize + s * kSectionRecordSize + 12,
                 static_cast<std::uint32_t>(sectionSize));
    }
    PatchU32(
        out, 8,
        static_cast<std::uint32_t>(out.size() + (fault == BundleFault::WrongFileSize ? 1 : 0)));
    return out;
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
