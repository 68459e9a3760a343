#pragma once
// Writer of resource bundles (the language libraries' files, docs/resources.md), for tests, the
// fuzz target and the rescompile tool; with a named fault it breaks one rule of the layout.

#include "platform/shell/resourcebundle.h"

#include <cstdint>
#include <vector>

namespace testdata {

// Faults the writer can build into a bundle, so that tests of readers need no byte poking.
enum class BundleFault {
    None,
    DirectoryPastEnd, // the section count reaches past the end of the file
    BadMagic,
    FutureVersion,
    WrongFileSize,    // the header's file size is one too large
    SectionPastEnd,   // the last section's size reaches one byte past the end
    TextPastSection,  // the last text is one character longer than its data
    HugeEntryCount,   // the string section claims 0x20000000 entries
    UnorderedIds,     // the first two entries swap their ids (needs two strings)
    DuplicateSection, // the string section is listed twice
    // Accelerators (need at least one table; unordered tables need two).
    HugeAcceleratorCount,       // the section claims 0x20000000 entries
    UnorderedAcceleratorTables, // the last table is written first
    BadAcceleratorFlags,        // the first entry lacks the virtual-key flag
    // Menu bars (need at least one bar; unordered bars need two).
    HugeMenuBarCount,  // the section claims 0x40000000 bars
    UnorderedMenuBars, // the first two bars swap their ids
    // Icons (need at least one).
    IconPastSection, // the last icon's length runs one byte past its section
};

// Serialises a bundle, optionally with one fault: the string section always, the bitmap, icon,
// accelerator and menu-bar sections when the bundle has bitmaps, icons, tables or bars. String and
// menu-bar ids above 0xFFFF are kept (the format stores 32 bits); accelerator table ids keep their
// low 16 bits.
[[nodiscard]] std::vector<std::uint8_t> WriteResourceBundle(const platform::ResourceBundle& bundle,
                                                            BundleFault fault = BundleFault::None);

} // namespace testdata
