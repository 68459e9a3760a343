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
    SectionPastEnd,   // the string section's size reaches one byte past the end
    TextPastSection,  // the last text is one character longer than its data
    HugeEntryCount,   // the string section claims 0x20000000 entries
    UnorderedIds,     // the first two entries swap their ids (needs two strings)
    DuplicateSection, // the string section is listed twice
};

// Serialises a bundle, optionally with one fault. Ids above 0xFFFF are kept (the format stores
// 32 bits).
[[nodiscard]] std::vector<std::uint8_t> WriteResourceBundle(const platform::ResourceBundle& bundle,
                                                            BundleFault fault = BundleFault::None);

} // namespace testdata
