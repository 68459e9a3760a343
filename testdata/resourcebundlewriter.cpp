#include "testdata/resourcebundlewriter.h"

#include "testdata/detail/fileimage.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace testdata {

using detail::PutU16;
using detail::PutU32;

namespace {

struct Section {
    platform::ResourceKind kind;
    std::uint32_t entryCount = 0;
    std::vector<std::uint8_t> bytes;
};

Section StringSection(const platform::ResourceBundle& bundle, BundleFault fault) {
    const std::size_t tableSize = bundle.strings.size() * platform::kBundleStringEntrySize;
    std::size_t textSize = 0;
    std::vector<std::uint32_t> ids;
    for (const auto& [id, text] : bundle.strings) {
        textSize += text.size() * 2;
        ids.push_back(id);
    }
    if (fault == BundleFault::UnorderedIds && ids.size() >= 2) {
        std::swap(ids[0], ids[1]);
    }
    Section section{platform::ResourceKind::Strings,
                    fault == BundleFault::HugeEntryCount
                        ? 0x20000000u
                        : static_cast<std::uint32_t>(bundle.strings.size()),
                    std::vector<std::uint8_t>(tableSize + textSize, 0)};
    std::vector<std::uint8_t>& out = section.bytes;
    std::size_t entry = 0;
    std::size_t textOffset = tableSize;
    std::size_t index = 0;
    for (const auto& item : bundle.strings) {
        const std::u16string& text = item.second;
        const bool isLonger = index + 1 == ids.size() && fault == BundleFault::TextPastSection;
        PutU32(out, entry, ids[index++]);
        PutU32(out, entry + 4, static_cast<std::uint32_t>(textOffset));
        PutU32(out, entry + 8, static_cast<std::uint32_t>(text.size() + (isLonger ? 1 : 0)));
        for (const char16_t c : text) {
            PutU16(out, textOffset, c);
            textOffset += 2;
        }
        entry += platform::kBundleStringEntrySize;
    }
    return section;
}

// The bitmap or the icon section; isLastPastEnd makes the last picture one byte longer than
// its data.
Section PictureSection(platform::ResourceKind kind,
                       const std::map<UINT, std::vector<std::uint8_t>>& pictures,
                       bool isLastPastEnd) {
    const std::size_t tableSize = pictures.size() * platform::kBundleBitmapEntrySize;
    Section section{kind, static_cast<std::uint32_t>(pictures.size()),
                    std::vector<std::uint8_t>(tableSize, 0)};
    std::size_t entry = 0;
    for (const auto& [id, bytes] : pictures) {
        const bool isLast = entry + platform::kBundleBitmapEntrySize == tableSize;
        PutU32(section.bytes, entry, id);
        PutU32(section.bytes, entry + 4, static_cast<std::uint32_t>(section.bytes.size()));
        PutU32(section.bytes, entry + 8,
               static_cast<std::uint32_t>(bytes.size() + (isLast && isLastPastEnd ? 1 : 0)));
        section.bytes.insert(section.bytes.end(), bytes.begin(), bytes.end());
        entry += platform::kBundleBitmapEntrySize;
    }
    return section;
}

Section AcceleratorSection(const platform::ResourceBundle& bundle, BundleFault fault) {
    std::vector<std::pair<UINT, const std::vector<platform::BundleAccelerator>*>> tables;
    for (const auto& [id, entries] : bundle.accelerators) {
        tables.emplace_back(id, &entries);
    }
    if (fault == BundleFault::UnorderedAcceleratorTables && !tables.empty()) {
        std::rotate(tables.begin(), tables.end() - 1, tables.end());
    }
    Section section{platform::ResourceKind::Accelerators, 0, {}};
    for (const auto& [id, entries] : tables) {
        for (const platform::BundleAccelerator& entry : *entries) {
            const std::size_t at = section.bytes.size();
            section.bytes.resize(at + platform::kBundleAcceleratorEntrySize, 0);
            PutU16(section.bytes, at, id);
            section.bytes[at + 2] = entry.flags;
            PutU16(section.bytes, at + 4, entry.key);
            PutU16(section.bytes, at + 6, entry.command);
            ++section.entryCount;
        }
    }
    if (fault == BundleFault::BadAcceleratorFlags && !section.bytes.empty()) {
        section.bytes[2] &= static_cast<std::uint8_t>(~platform::kAcceleratorVirtualKey);
    }
    if (fault == BundleFault::HugeAcceleratorCount) {
        section.entryCount = 0x20000000u;
    }
    return section;
}

Section MenuBarSection(const platform::ResourceBundle& bundle, BundleFault fault) {
    std::vector<std::uint32_t> ids(bundle.menuBars.begin(), bundle.menuBars.end());
    if (fault == BundleFault::UnorderedMenuBars && ids.size() >= 2) {
        std::swap(ids[0], ids[1]);
    }
    Section section{platform::ResourceKind::Menus,
                    fault == BundleFault::HugeMenuBarCount ? 0x40000000u
                                                           : static_cast<std::uint32_t>(ids.size()),
                    std::vector<std::uint8_t>(ids.size() * platform::kBundleMenuBarEntrySize, 0)};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        PutU32(section.bytes, i * platform::kBundleMenuBarEntrySize, ids[i]);
    }
    return section;
}

} // namespace

std::vector<std::uint8_t> WriteResourceBundle(const platform::ResourceBundle& bundle,
                                              BundleFault fault) {
    std::vector<Section> sections = {StringSection(bundle, fault)};
    if (!bundle.bitmaps.empty()) {
        sections.push_back(PictureSection(platform::ResourceKind::Bitmaps, bundle.bitmaps, false));
    }
    if (!bundle.icons.empty()) {
        sections.push_back(PictureSection(platform::ResourceKind::Icons, bundle.icons,
                                          fault == BundleFault::IconPastSection));
    }
    if (!bundle.accelerators.empty()) {
        sections.push_back(AcceleratorSection(bundle, fault));
    }
    if (!bundle.menuBars.empty()) {
        sections.push_back(MenuBarSection(bundle, fault));
    }
    // A duplicate record points at the string section again.
    const std::size_t recordCount =
        sections.size() + (fault == BundleFault::DuplicateSection ? 1 : 0);
    const std::size_t sectionStart =
        platform::kBundleHeaderSize + recordCount * platform::kBundleSectionRecordSize;
    std::vector<std::uint8_t> out(sectionStart, 0);
    std::copy(std::begin(platform::kBundleMagic), std::end(platform::kBundleMagic), out.begin());
    PutU16(out, 4, platform::kBundleVersion + (fault == BundleFault::FutureVersion ? 1 : 0));
    PutU16(out, 6,
           fault == BundleFault::DirectoryPastEnd ? 0xFFFF
                                                  : static_cast<std::uint32_t>(recordCount));
    std::vector<std::size_t> offsets;
    for (const Section& section : sections) {
        offsets.push_back(out.size());
        out.insert(out.end(), section.bytes.begin(), section.bytes.end());
    }
    for (std::size_t r = 0; r < recordCount; ++r) {
        const std::size_t s = r < sections.size() ? r : 0;
        const std::size_t at = platform::kBundleHeaderSize + r * platform::kBundleSectionRecordSize;
        const bool isLast = s + 1 == sections.size();
        PutU16(out, at, static_cast<std::uint32_t>(sections[s].kind));
        PutU32(out, at + 4, sections[s].entryCount);
        PutU32(out, at + 8, static_cast<std::uint32_t>(offsets[s]));
        PutU32(
            out, at + 12,
            static_cast<std::uint32_t>(sections[s].bytes.size() +
                                       (isLast && fault == BundleFault::SectionPastEnd ? 1 : 0)));
    }
    PutU32(out, 8,
           static_cast<std::uint32_t>(out.size() + (fault == BundleFault::WrongFileSize ? 1 : 0)));
    if (fault == BundleFault::BadMagic) {
        out[0] = 'X';
    }
    return out;
}

} // namespace testdata
