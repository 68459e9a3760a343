#pragma once
// The resource bundle: the file that stands for a language resource library ("LangEngCE.dll"
// ...). It holds typed sections; this version reads the string table, the bitmaps, the icons,
// the accelerator tables and the menu bars (testdata/ writes them). The byte layout is described in
// docs/resources.md. Reading checks every count, offset and length.

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
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
constexpr std::size_t kBundleIconEntrySize = 12;   // as a bitmap entry
constexpr std::size_t kBundleAcceleratorEntrySize = 8;
constexpr std::size_t kBundleMenuBarEntrySize = 4;

// Section kinds of a bundle. Readers skip kinds they do not know.
enum class ResourceKind : WORD {
    Strings = 1,
    Bitmaps = 2,
    Accelerators = 3,
    Icons = 4,
    Menus = 5,
};

// Why a bundle was refused. Append only.
enum class BundleError : int {
    None = 0,
    TooShort = 1,          // shorter than the header or the section directory
    BadMagic = 2,          // not a resource bundle
    BadVersion = 3,        // a layout version this reader does not know
    SizeMismatch = 4,      // the header's file size differs from the data's size
    SectionOutOfRange = 5, // a section reaches past the end of the file
    EntryOutOfRange = 6,   // a string, bitmap or icon entry reaches past its section
    UnorderedIds = 7,      // ids not strictly ascending (duplicate or out of order)
    DuplicateSection = 8,  // the same kind twice
    BadAccelerator = 9,    // an accelerator with unknown flag bits, no virtual key or key 0/255
};
[[nodiscard]] std::u16string_view BundleErrorText(BundleError error);

// Flags of an accelerator: the key is a virtual key (always set), and the modifiers that must be
// held. The values are those of the window system's ACCEL.fVirt.
constexpr BYTE kAcceleratorVirtualKey = 0x01;
constexpr BYTE kAcceleratorShift = 0x04;
constexpr BYTE kAcceleratorControl = 0x08;
constexpr BYTE kAcceleratorAlt = 0x10;

struct BundleAccelerator {
    BYTE flags = kAcceleratorVirtualKey;
    WORD key = 0; // virtual key, 1 to 254
    WORD command = 0;
    bool operator==(const BundleAccelerator&) const = default;
};

struct ResourceBundle {
    std::map<UINT, std::u16string> strings;            // id -> text
    std::map<UINT, std::vector<std::uint8_t>> bitmaps; // id -> bitmap file (".bmp" layout)
    std::map<UINT, std::vector<std::uint8_t>> icons;   // id -> its picture, a bitmap file
    // table id -> entries in the order they are tried; a table has at least one entry.
    std::map<UINT, std::vector<BundleAccelerator>> accelerators;
    std::set<UINT> menuBars; // ids of the menu bars; a bar holds no buttons
};

// Reads a bundle; nullopt with error set when the data is refused.
[[nodiscard]] std::optional<ResourceBundle> ReadResourceBundle(std::span<const std::uint8_t> data,
                                                               BundleError* error = nullptr);
// Reads the bitmap file a source names (relative to the source); nullopt when it cannot.
using BitmapFileLoader =
    std::function<std::optional<std::vector<std::uint8_t>>(std::string_view name)>;

// Compiles the human-editable source of a bundle (UTF-8 text, format in docs/resources.md).
// Returns nullopt and fills message (with the line number) when the source is refused; a
// [bitmaps] or [icons] section needs loadBitmap.
[[nodiscard]] std::optional<ResourceBundle>
CompileResourceSource(std::string_view source, std::string* message,
                      const BitmapFileLoader& loadBitmap = {});

} // namespace platform
