#pragma once
// The resource bundle: the file that stands for a language resource library ("LangEngCE.dll"
// ...). It holds typed sections; this version reads the string table and the bitmaps (testdata/
// writes them). The byte layout is described in docs/resources.md. Reading checks every count,
// offset and length.

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The layout: a header, a directory of section records, the sections; a string section is a
// table of entries (id, text offset in the section, length in characters), then the texts.
inline constexpr std::uint8_t kBundleMagic[4] = {'N', 'R', 'S', 'B'};
constexpr WORD kBundleVersion = 1;
constexpr std::size_t kBundleHeaderSize = 16;
constexpr std::size_t kBundleSectionRecordSize = 16;
constexpr std::size_t kBundleStringEntrySize = 12;
constexpr std::size_t kBundleBitmapEntrySize = 12; // id, data offset in the section, size

// Section kinds of a bundle. Readers skip kinds they do not know.
enum class ResourceKind : WORD {
    Strings = 1,
    Bitmaps = 2,
    Accelerators = 3, // reserved
    Icons = 4,        // reserved
    Menus = 5,        // reserved
};

// Why a bundle was refused. Append only.
enum class BundleError : int {
    None = 0,
    TooShort = 1,          // shorter than the header or the section directory
    BadMagic = 2,          // not a resource bundle
    BadVersion = 3,        // a layout version this reader does not know
    SizeMismatch = 4,      // the header's file size differs from the data's size
    SectionOutOfRange = 5, // a section reaches past the end of the file
    EntryOutOfRange = 6,   // a string or bitmap entry reaches past its section
    UnorderedIds = 7,      // ids not strictly ascending (duplicate or out of order)
    DuplicateSection = 8,  // the same kind twice
};
[[nodiscard]] std::u16string_view BundleErrorText(BundleError error);

struct ResourceBundle {
    std::map<UINT, std::u16string> strings;            // id -> text
    std::map<UINT, std::vector<std::uint8_t>> bitmaps; // id -> bitmap file (".bmp" layout)
};

// Reads a bundle; nullopt with error set when the data is refused.
[[nodiscard]] std::optional<ResourceBundle> ReadResourceBundle(std::span<const std::uint8_t> data,
                                                               BundleError* error = nullptr);
// Reads the bitmap file a source names (relative to the source); nullopt when it cannot.
using BitmapFileLoader =
    std::function<std::optional<std::vector<std::uint8_t>>(std::string_view name)>;

// Compiles the human-editable source of a bundle (UTF-8 text, format in docs/resources.md).
// Returns nullopt and fills message (with the line number) when the source is refused; a
// [bitmaps] section needs loadBitmap.
[[nodiscard]] std::optional<ResourceBundle>
CompileResourceSource(std::string_view source, std::string* message,
                      const BitmapFileLoader& loadBitmap = {});

} // namespace platform
