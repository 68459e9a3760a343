#include "testdata/resourcebundlewriter.h"

#include "testdata/detail/fileimage.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace testdata {

using detail::PutU16;
using detail::PutU32;

std::vector<std::uint8_t> WriteResourceBundle(const platform::ResourceBundle& bundle,
                                              BundleFault fault) {
    const std::size_t stringSections = fault == BundleFault::DuplicateSection ? 2 : 1;
    const bool hasBitmaps = !bundle.bitmaps.empty();
    const std::size_t sectionCount = stringSections + (hasBitmaps ? 1 : 0);
    const std::size_t sectionStart =
        platform::kBundleHeaderSize + sectionCount * platform::kBundleSectionRecordSize;
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
    const std::size_t bitmapStart = sectionStart + tableSize + textSize;
    const std::size_t bitmapTableSize = bundle.bitmaps.size() * platform::kBundleBitmapEntrySize;
    std::size_t bitmapDataSize = 0;
    for (const auto& entry : bundle.bitmaps) {
        bitmapDataSize += entry.second.size();
    }

    std::vector<std::uint8_t> out(bitmapStart + (hasBitmaps ? bitmapTableSize + bitmapDataSize : 0),
                                  0);
    std::copy(std::begin(platform::kBundleMagic), std::end(platform::kBundleMagic), out.begin());
    PutU16(out, 4, platform::kBundleVersion + (fault == BundleFault::FutureVersion ? 1 : 0));
    PutU16(out, 6,
           fault == BundleFault::DirectoryPastEnd ? 0xFFFF
                                                  : static_cast<std::uint32_t>(sectionCount));
    PutU32(out, 8,
           static_cast<std::uint32_t>(out.size() + (fault == BundleFault::WrongFileSize ? 1 : 0)));
    const std::size_t sectionSize = fault == BundleFault::SectionPastEnd
                                        ? out.size() - sectionStart + 1
                                        : bitmapStart - sectionStart;
    for (std::size_t s = 0; s < stringSections; ++s) {
        const std::size_t at = platform::kBundleHeaderSize + s * platform::kBundleSectionRecordSize;
        PutU16(out, at, static_cast<std::uint32_t>(platform::ResourceKind::Strings));
        PutU32(out, at + 4,
               fault == BundleFault::HugeEntryCount
                   ? 0x20000000u
                   : static_cast<std::uint32_t>(bundle.strings.size()));
        PutU32(out, at + 8, static_cast<std::uint32_t>(sectionStart));
        PutU32(out, at + 12, static_cast<std::uint32_t>(sectionSize));
    }

    std::size_t entry = sectionStart;
    std::size_t textOffset = tableSize; // from the start of the section
    std::size_t index = 0;
    for (const auto& item : bundle.strings) {
        const std::u16string& text = item.second;
        const bool isLonger = index + 1 == ids.size() && fault == BundleFault::TextPastSection;
        PutU32(out, entry, ids[index++]);
        PutU32(out, entry + 4, static_cast<std::uint32_t>(textOffset));
        PutU32(out, entry + 8, static_cast<std::uint32_t>(text.size() + (isLonger ? 1 : 0)));
        for (const char16_t c : text) {
            PutU16(out, sectionStart + textOffset, c);
            textOffset += 2;
        }
        entry += platform::kBundleStringEntrySize;
    }

    if (hasBitmaps) {
        const std::size_t at =
            platform::kBundleHeaderSize + stringSections * platform::kBundleSectionRecordSize;
        PutU16(out, at, static_cast<std::uint32_t>(platform::ResourceKind::Bitmaps));
        PutU32(out, at + 4, static_cast<std::uint32_t>(bundle.bitmaps.size()));
        PutU32(out, at + 8, static_cast<std::uint32_t>(bitmapStart));
        PutU32(out, at + 12, static_cast<std::uint32_t>(bitmapTableSize + bitmapDataSize));
        std::size_t bitmapEntry = bitmapStart;
        std::size_t dataOffset = bitmapTableSize; // from the start of the section
        for (const auto& [id, bytes] : bundle.bitmaps) {
            PutU32(out, bitmapEntry, id);
            PutU32(out, bitmapEntry + 4, static_cast<std::uint32_t>(dataOffset));
            PutU32(out, bitmapEntry + 8, static_cast<std::uint32_t>(bytes.size()));
            std::copy(bytes.begin(), bytes.end(),
                      out.begin() + static_cast<std::ptrdiff_t>(bitmapStart + dataOffset));
            dataOffset += bytes.size();
            bitmapEntry += platform::kBundleBitmapEntrySize;
        }
    }
    if (fault == BundleFault::BadMagic) {
        out[0] = 'X';
    }
    return out;
}

} // namespace testdata
