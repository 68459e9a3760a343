#include "testdata/cityindexwriter.h"

#include "basiccomp/retrievalengine/code/searchfold.h"

#include <algorithm>
#include <map>

namespace testdata {

namespace {

constexpr std::size_t kFourMegabytes = 0x400000;

std::vector<const CityIndexEntry*>
SortedByFoldedName(const std::vector<const CityIndexEntry*>& entries) {
    std::vector<std::pair<std::string, const CityIndexEntry*>> keyed;
    for (const CityIndexEntry* entry : entries) {
        keyed.emplace_back(FoldSearchText(entry->name.c_str()), entry);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const CityIndexEntry*> sorted;
    for (const auto& item : keyed) {
        sorted.push_back(item.second);
    }
    return sorted;
}

void Append(std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

} // namespace

std::vector<std::uint8_t> EncodeCityIndexNumber(std::uint32_t value) {
    std::vector<std::uint8_t> bytes;
    do {
        bytes.push_back(static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
        value >>= 7;
    } while (value != 0);
    return bytes;
}

CityIndexWriter& CityIndexWriter::Add(CityIndexEntry entry) {
    m_entries.push_back(std::move(entry));
    return *this;
}

std::uint32_t CityIndexWriter::RecordNumberOf(const CityIndexEntry& entry) {
    return (entry.id << 1) | (entry.isElement ? 1u : 0u);
}

namespace {

void AppendRecords(std::vector<std::uint8_t>& bytes,
                   const std::vector<const CityIndexEntry*>& entries, CityIndexFault fault) {
    bool isFirst = true;
    for (const CityIndexEntry* entry : SortedByFoldedName(entries)) {
        const std::string folded = FoldSearchText(entry->name.c_str());
        bytes.insert(bytes.end(), folded.begin(), folded.end());
        std::vector<std::uint8_t> number =
            EncodeCityIndexNumber(CityIndexWriter::RecordNumberOf(*entry));
        if (fault == CityIndexFault::SixGroupNumber && isFirst) {
            number.resize(6, 0x80);
        }
        isFirst = false;
        Append(bytes, number);
        if (entry->value) {
            bytes.push_back(0x40);
            Append(bytes, EncodeCityIndexNumber(*entry->value));
        }
    }
}

void Finish(std::vector<std::uint8_t>& bytes, CityIndexFault fault) {
    const std::size_t tail = fault == CityIndexFault::NoFinalZero ? 0 : 1;
    if (fault == CityIndexFault::FourMegabytes && bytes.size() + 2 + tail <= kFourMegabytes) {
        // A record of 'Z's whose one-byte number ends the file at 4 MB.
        bytes.resize(kFourMegabytes - tail - 1, 'Z');
        bytes.push_back(0x81);
    }
    if (tail != 0) {
        bytes.push_back(0);
    }
}

} // namespace

std::vector<std::uint8_t> CityIndexWriter::BuildByName(CityIndexFault fault) const {
    std::vector<const CityIndexEntry*> all;
    for (const CityIndexEntry& entry : m_entries) {
        all.push_back(&entry);
    }
    std::vector<std::uint8_t> bytes;
    AppendRecords(bytes, all, fault);
    Finish(bytes, fault);
    return bytes;
}

std::vector<std::uint8_t> CityIndexWriter::BuildByCountry(CityIndexFault fault) const {
    std::map<std::uint16_t, std::vector<const CityIndexEntry*>> sections;
    for (const CityIndexEntry& entry : m_entries) {
        sections[entry.country].push_back(&entry);
    }
    std::vector<std::uint8_t> bytes;
    for (const auto& [country, entries] : sections) {
        bytes.push_back('|');
        Append(bytes, EncodeCityIndexNumber(country));
        AppendRecords(bytes, entries, fault);
    }
    Finish(bytes, fault);
    return bytes;
}

bool CityIndexWriter::WriteTo(const TempDeviceRoot& root, std::u16string_view folder,
                              CityIndexFault fault) const {
    const std::u16string base(folder);
    return root.WriteFile(base + u"\\AllCitiesByName.idx", BuildByName(fault)) &&
           root.WriteFile(base + u"\\AllCitiesByCountry.idx", BuildByCountry(fault));
}

} // namespace testdata
