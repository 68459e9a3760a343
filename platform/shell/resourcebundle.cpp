#include "platform/shell/resourcebundle.h"

#include "platform/kernel/codepage.h"
#include "platform/littleendian.h"

#include <algorithm>
#include <charconv>
#include <functional>
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
    u"a string, bitmap or icon entry reaches past its section",
    u"ids are not strictly ascending",
    u"a section kind occurs twice",
    u"an accelerator has unknown flags or no valid virtual key",
};
static_assert(std::size(kErrorTexts) == static_cast<std::size_t>(BundleError::BadAccelerator) + 1);

constexpr BYTE kKnownAcceleratorFlags =
    kAcceleratorVirtualKey | kAcceleratorShift | kAcceleratorControl | kAcceleratorAlt;

// Entries of 8 bytes: table id (2), flags (1), reserved (1), key (2), command (2); the entries of
// one table together, tables in ascending order.
BundleError ReadAccelerators(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                             ResourceBundle& bundle) {
    if (std::uint64_t{entryCount} * kBundleAcceleratorEntrySize > section.size()) {
        return BundleError::EntryOutOfRange;
    }
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::size_t at = i * kBundleAcceleratorEntrySize;
        const UINT table = ReadU16(section, at);
        BundleAccelerator entry;
        entry.flags = section[at + 2];
        entry.key = ReadU16(section, at + 4);
        entry.command = ReadU16(section, at + 6);
        if (!bundle.accelerators.empty() && table < bundle.accelerators.rbegin()->first) {
            return BundleError::UnorderedIds;
        }
        if ((entry.flags & kAcceleratorVirtualKey) == 0 ||
            (entry.flags & ~kKnownAcceleratorFlags) != 0 || section[at + 3] != 0 ||
            entry.key == 0 || entry.key > 254) {
            return BundleError::BadAccelerator;
        }
        bundle.accelerators[table].push_back(entry);
    }
    return BundleError::None;
}

// Entries of 4 bytes: the bar ids, strictly ascending.
BundleError ReadMenuBars(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                         ResourceBundle& bundle) {
    if (std::uint64_t{entryCount} * kBundleMenuBarEntrySize > section.size()) {
        return BundleError::EntryOutOfRange;
    }
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::uint32_t id = ReadU32(section, i * kBundleMenuBarEntrySize);
        if (!bundle.menuBars.empty() && id <= *bundle.menuBars.rbegin()) {
            return BundleError::UnorderedIds;
        }
        bundle.menuBars.insert(id);
    }
    return BundleError::None;
}

// Walks a table of 12-byte entries (id, offset in the section, count of units of unitSize bytes)
// whose ids ascend strictly, each pointing behind the table and inside the section, and hands
// each id with its bytes to take.
template <class Take>
BundleError ReadEntryTable(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                           std::size_t unitSize, Take take) {
    static_assert(kBundleStringEntrySize == kBundleBitmapEntrySize);
    const std::uint64_t tableSize = std::uint64_t{entryCount} * kBundleStringEntrySize;
    if (tableSize > section.size()) {
        return BundleError::EntryOutOfRange;
    }
    std::uint64_t previousId = 0;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        const std::size_t at = i * kBundleStringEntrySize;
        const std::uint32_t id = ReadU32(section, at);
        const std::uint32_t offset = ReadU32(section, at + 4);
        const std::uint32_t count = ReadU32(section, at + 8);
        if (i > 0 && id <= previousId) {
            return BundleError::UnorderedIds;
        }
        previousId = id;
        const std::uint64_t end = std::uint64_t{offset} + std::uint64_t{count} * unitSize;
        if (offset < tableSize || end > section.size()) {
            return BundleError::EntryOutOfRange;
        }
        take(id, section.subspan(offset, static_cast<std::size_t>(count * unitSize)));
    }
    return BundleError::None;
}

BundleError ReadStrings(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                        ResourceBundle& bundle) {
    return ReadEntryTable(section, entryCount, 2,
                          [&](std::uint32_t id, std::span<const std::uint8_t> bytes) {
                              std::u16string text(bytes.size() / 2, u'\0');
                              for (std::size_t c = 0; c < text.size(); ++c) {
                                  text[c] = static_cast<char16_t>(ReadU16(bytes, 2 * c));
                              }
                              bundle.strings.emplace(id, std::move(text));
                          });
}

// A bitmap or icon section: each entry a bitmap file.
BundleError ReadPictures(std::span<const std::uint8_t> section, std::uint32_t entryCount,
                         std::map<UINT, std::vector<std::uint8_t>>& pictures) {
    return ReadEntryTable(
        section, entryCount, 1, [&](std::uint32_t id, std::span<const std::uint8_t> bytes) {
            pictures.emplace(id, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        });
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
        const auto section = data.subspan(offset, size);
        BundleError error = BundleError::None;
        switch (static_cast<ResourceKind>(kind)) {
        case ResourceKind::Strings:
            error = ReadStrings(section, entryCount, bundle);
            break;
        case ResourceKind::Bitmaps:
            error = ReadPictures(section, entryCount, bundle.bitmaps);
            break;
        case ResourceKind::Icons:
            error = ReadPictures(section, entryCount, bundle.icons);
            break;
        case ResourceKind::Accelerators:
            error = ReadAccelerators(section, entryCount, bundle);
            break;
        case ResourceKind::Menus:
            error = ReadMenuBars(section, entryCount, bundle);
            break;
        default:
            break;
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

// One "id<TAB>file" line of the [bitmaps] or [icons] section (kind "bitmap" or "icon"): the file
// goes into pictures.
bool CompilePictureLine(std::string_view line, const BitmapFileLoader& loadBitmap,
                        const std::string& kind,
                        std::map<UINT, std::vector<std::uint8_t>>& pictures, std::string& problem) {
    UINT id = 0;
    const auto [idEnd, status] = std::from_chars(line.data(), line.data() + line.size(), id);
    if (status != std::errc() || id > kMaxStringId) {
        problem =
            "expected " + std::string(kind == "icon" ? "an " : "a ") + kind + " id from 0 to 65535";
        return false;
    }
    std::string_view name = line.substr(static_cast<std::size_t>(idEnd - line.data()));
    while (!name.empty() && (name.front() == '\t' || name.front() == ' ')) {
        name.remove_prefix(1);
    }
    if (name.empty() ||
        name.size() == line.size() - static_cast<std::size_t>(idEnd - line.data())) {
        problem = "expected a tab or blank and a file name after the " + kind + " id";
        return false;
    }
    if (!loadBitmap) {
        problem = kind + "s need a folder to load their files from";
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
    if (!pictures.emplace(id, std::move(*bytes)).second) {
        problem = kind + " id " + std::to_string(id) + " is defined twice";
        return false;
    }
    return true;
}

// The blank- or tab-separated fields of a line.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) {
            break;
        }
        line.remove_prefix(start);
        const std::size_t end = std::min(line.find_first_of(" \t"), line.size());
        fields.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    return fields;
}

// A whole field that is a decimal number from 0 to 65535.
bool ParseId(std::string_view field, UINT& id) {
    const auto [end, status] = std::from_chars(field.data(), field.data() + field.size(), id);
    return status == std::errc() && end == field.data() + field.size() && id <= kMaxStringId;
}

// "[Ctrl+][Shift+][Alt+]KEY" with KEY a letter A to Z, a digit or F1 to F24.
bool ParseKey(std::string_view text, BundleAccelerator& entry) {
    entry.flags = kAcceleratorVirtualKey;
    const struct {
        std::string_view name;
        BYTE flag;
    } modifiers[] = {
        {"Ctrl+", kAcceleratorControl}, {"Shift+", kAcceleratorShift}, {"Alt+", kAcceleratorAlt}};
    for (bool isModifier = true; isModifier;) {
        isModifier = false;
        for (const auto& modifier : modifiers) {
            if (text.starts_with(modifier.name) && (entry.flags & modifier.flag) == 0) {
                entry.flags |= modifier.flag;
                text.remove_prefix(modifier.name.size());
                isModifier = true;
            }
        }
    }
    if (text.size() == 1 &&
        ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= '0' && text[0] <= '9'))) {
        entry.key = static_cast<WORD>(text[0]);
        return true;
    }
    UINT number = 0;
    if (text.size() >= 2 && text[0] == 'F' && ParseId(text.substr(1), number) && number >= 1 &&
        number <= 24 && text[1] != '0') {
        entry.key = static_cast<WORD>(0x70 + number - 1); // VK_F1 onwards
        return true;
    }
    return false;
}

// One "table<TAB>command<TAB>key" line of the [accelerators] section.
bool CompileAcceleratorLine(std::string_view line, ResourceBundle& bundle, std::string& problem) {
    const std::vector<std::string_view> fields = Fields(line);
    UINT table = 0;
    UINT command = 0;
    BundleAccelerator entry;
    if (fields.empty() || !ParseId(fields[0], table)) {
        problem = "expected an accelerator table id from 0 to 65535";
        return false;
    }
    if (fields.size() < 2 || !ParseId(fields[1], command)) {
        problem = "expected a command id from 0 to 65535";
        return false;
    }
    if (fields.size() != 3 || !ParseKey(fields[2], entry)) {
        problem = "expected one key such as Ctrl+D or F2 after the command";
        return false;
    }
    entry.command = static_cast<WORD>(command);
    std::vector<BundleAccelerator>& entries = bundle.accelerators[table];
    for (const BundleAccelerator& other : entries) {
        if (other.key == entry.key && other.flags == entry.flags) {
            problem = "the key " + std::string(fields[2]) + " is bound twice in table " +
                      std::to_string(table);
            return false;
        }
    }
    entries.push_back(entry);
    return true;
}

// One "id" line of the [menus] section: an empty menu bar.
bool CompileMenuBarLine(std::string_view line, ResourceBundle& bundle, std::string& problem) {
    const std::vector<std::string_view> fields = Fields(line);
    UINT id = 0;
    if (fields.size() != 1 || !ParseId(fields[0], id)) {
        problem = "expected a menu bar id from 0 to 65535 alone on its line";
        return false;
    }
    if (!bundle.menuBars.insert(id).second) {
        problem = "menu bar " + std::to_string(id) + " is defined twice";
        return false;
    }
    return true;
}

using LineCompiler = std::function<bool(std::string_view, ResourceBundle&, std::string&)>;

// The compiler of the lines of a section; empty for a section this version does not know.
LineCompiler SectionCompiler(std::string_view section, const BitmapFileLoader& loadBitmap) {
    if (section == "strings") {
        return CompileStringLine;
    }
    if (section == "bitmaps") {
        return [&loadBitmap](std::string_view line, ResourceBundle& bundle, std::string& problem) {
            return CompilePictureLine(line, loadBitmap, "bitmap", bundle.bitmaps, problem);
        };
    }
    if (section == "icons") {
        return [&loadBitmap](std::string_view line, ResourceBundle& bundle, std::string& problem) {
            return CompilePictureLine(line, loadBitmap, "icon", bundle.icons, problem);
        };
    }
    if (section == "accelerators") {
        return CompileAcceleratorLine;
    }
    if (section == "menus") {
        return CompileMenuBarLine;
    }
    return {};
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
    LineCompiler compileLine = nullptr;
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
            const std::string_view section = line.substr(1, line.size() - 2);
            compileLine = SectionCompiler(section, loadBitmap);
            if (!compileLine) {
                return fail("unknown section [" + std::string(section) +
                            "] (this version knows [strings], [bitmaps], [icons], [accelerators] "
                            "and [menus])");
            }
            continue;
        }
        if (compileLine == nullptr) {
            return fail("text before the first section header");
        }
        std::string problem;
        if (!compileLine(line, bundle, problem)) {
            return fail(problem);
        }
    }
    return bundle;
}

} // namespace platform
