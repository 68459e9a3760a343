#pragma once
// The resource bundle: the file that stands for a language resource library ("LangEngCE.dll"
// ...). It holds typed sections; this version reads and writes the string table and the bitmaps.
// The byte layout is described in docs/resources.md. Reading checks every count, offset and length.

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
// Faults the writer can build into a bundle, so that tests of readers need no byte poking.
enum class BundleFault {
    None,
    DirectoryPastEnd, // the section count reaches past the end of the file
    BadMagic,
    FutureVersion,
    WrongFileSize,    // the header's file size is one too large
    SectionPastEnd,   // the string section's size reaches one byte past the end
    TextPastSection,  // the last text is one character longer than its data
    HugeEntryCount,   // the string section claims 0x20000000 entries
    UnorderedIds,     // the first two entries swap their ids (needs two strings)
    DuplicateSection, // the string section is listed twice
};

// Serialises a bundle, optionally with one fault (built into the string section). Ids above 0xFFFF
// are kept (the format stores 32 bits).
[[nodiscard]] std::vector<std::uint8_t> WriteResourceBundle(const ResourceBundle& bundle,
                                                            BundleFault fault = BundleFault::None);

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
