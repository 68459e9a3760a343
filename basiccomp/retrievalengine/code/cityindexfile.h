#pragma once
// The city index files "AllCitiesByName.idx" and "AllCitiesByCountry.idx": folded names (bytes
// below 0x80) each followed by a record number and optionally 0x40 and a 16-bit value, numbers
// as runs of bytes with bit 7 set. Each file is read once into a region of its own and is then
// only read, so cursors on it may run on any thread; they hold it by counted reference.

#include "basiccomp/retrievalengine/code/reservedregion.h"
#include "six/refcntptr.h"
#include "utilities/usefulcode/ifile.h"

#include <cstdint>
#include <string_view>

class NameSearchCursor;

// Reads the number at position: a run of bytes with bit 7 set, lowest 7-bit group first, ending
// at the first other byte or at size. position moves behind the run. False (value undefined) when
// there is no number byte at position, the run has more than five groups, or the value does not
// fit 32 bits.
[[nodiscard]] inline bool ReadVarUInt(const std::uint8_t* data, std::uint32_t size,
                                      std::uint32_t& position, std::uint32_t& value) {
    std::uint64_t result = 0;
    std::uint32_t groups = 0;
    while (position < size && (data[position] & 0x80u) != 0) {
        if (groups == 5u) { // more than five groups cannot be a 32-bit number
            return false;
        }
        result |= std::uint64_t{data[position] & 0x7Fu} << (7 * groups);
        ++groups;
        ++position;
    }
    if (groups == 0 || result > 0xFFFFFFFFu) {
        return false;
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

class CityIndexFile;
using CityIndexFilePtr = six::RefCntPtr<CityIndexFile>;

class CityIndexFile {
public:
    // Reads the whole file (from offset 0) into a region of its own, committing its size plus
    // one byte and storing a 0 byte behind the last one read. Null when the file's size cannot
    // be had or no region can be made. A file of 4 MB or more cannot be committed: the region
    // shows "ERROR: No memory" and the result holds no content, so searches find nothing.
    [[nodiscard]] static CityIndexFilePtr Load(IFile& file);

    // The bytes read, followed by a 0 byte; null when there is no content.
    [[nodiscard]] const std::uint8_t* GetData() const { return m_data; }
    // The number of bytes read (0 without content).
    [[nodiscard]] std::uint32_t GetSize() const { return m_size; }

private:
    explicit CityIndexFile(ReservedRegionPtr region);

    ReservedRegionPtr m_region;
    const std::uint8_t* m_data = nullptr;
    std::uint32_t m_size = 0;
};

// The two city index files of a map set.
class CityIndexFiles {
public:
    // Reads both files; true when both were read (also when one had no room for its content).
    // Files of an earlier load are dropped first.
    [[nodiscard]] bool Load(IFile& byName, IFile& byCountry);
    void Reset();
    [[nodiscard]] bool IsLoaded() const { return m_byName && m_byCountry; }

    // Both files hold the same cities, the by-country one in sections: the file whose names do
    // not scan (one ends inside a name) or that lists fewer names than the other is damaged,
    // cut short for instance. A file without content (no room for it) is not compared.
    enum class Check { Whole, ByNameDamaged, ByCountryDamaged };
    [[nodiscard]] Check CheckNames() const;

    // A search over the by-name file for country 0, else over that country's section of the
    // by-country file; a cursor without results when the files are not both loaded.
    [[nodiscard]] NameSearchCursor FindCities(std::u16string_view text,
                                              std::uint16_t country) const;

private:
    CityIndexFilePtr m_byName;
    CityIndexFilePtr m_byCountry;
};
