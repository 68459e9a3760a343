#include "basiccomp/retrievalengine/code/cityindexfile.h"

#include "basiccomp/retrievalengine/code/namesearchcursor.h"

#include "platform/kernel/debug.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

// The names of a city index file's records, sorted; sections ("|" and a country number) only
// where hasSections. Nullopt when the bytes end inside a name, or a name holds a 0 byte
// before the last byte.
std::optional<std::vector<std::string>> CityIndexNames(const std::uint8_t* data, std::uint32_t size,
                                                       bool hasSections) {
    std::vector<std::string> names;
    std::uint32_t at = 0;
    std::uint32_t number = 0;
    while (at < size) {
        if (data[at] == 0 && at + 1 == size) {
            break; // the final zero
        }
        if (hasSections && data[at] == '|') {
            ++at;
            if (!ReadVarUInt(data, size, at, number)) {
                return std::nullopt;
            }
            continue;
        }
        const std::uint32_t start = at;
        while (at < size && (data[at] & 0x80u) == 0 && data[at] != 0) {
            ++at;
        }
        if (at == start || at == size || data[at] == 0) {
            return std::nullopt;
        }
        names.emplace_back(reinterpret_cast<const char*>(data + start), at - start);
        while (at < size && (data[at] & 0x80u) != 0) {
            ++at; // the record number, however many groups it has
        }
        if (at < size && data[at] == 0x40 && at + 1 < size && (data[at + 1] & 0x80u) != 0) {
            ++at;
            while (at < size && (data[at] & 0x80u) != 0) {
                ++at; // the record's value
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

CityIndexFile::CityIndexFile(ReservedRegionPtr region)
    : m_region(std::move(region)) {}

CityIndexFilePtr CityIndexFile::Load(IFile& file) {
    const DWORD size = file.GetSize();
    if (size == kInvalidFilePosition) {
        OutputDebugStringW(u"city index: the file's size cannot be read\n");
        return {};
    }
    ReservedRegionPtr region = ReservedRegion::Create();
    if (!region) {
        return {};
    }
    CityIndexFilePtr loaded(new (std::nothrow) CityIndexFile(region));
    if (!loaded) {
        return {};
    }
    region->Commit(size + 1);
    std::uint8_t* buffer = region->GetBuffer();
    if (buffer == nullptr || region->GetCommittedSize() < size + 1 || !region->SetOwner(&file)) {
        return loaded;
    }
    region->Clear();
    DWORD done = 0;
    if (file.Seek(0, SeekOrigin::Begin) == 0) {
        while (done < size) {
            const DWORD read = file.Read(buffer + done, size - done);
            if (read == 0) {
                break;
            }
            done += read;
        }
    }
    if (done < size) {
        OutputDebugStringW(u"city index: the file was not read whole; searching what was read\n");
    }
    buffer[done] = 0;
    loaded->m_data = buffer;
    loaded->m_size = done;
    return loaded;
}

bool CityIndexFiles::Load(IFile& byName, IFile& byCountry) {
    Reset();
    m_byName = CityIndexFile::Load(byName);
    if (!m_byName) {
        return false;
    }
    m_byCountry = CityIndexFile::Load(byCountry);
    return IsLoaded();
}

void CityIndexFiles::Reset() {
    m_byName = nullptr;
    m_byCountry = nullptr;
}

NameSearchCursor CityIndexFiles::FindCities(std::u16string_view text, std::uint16_t country) const {
    if (!IsLoaded()) {
        return NameSearchCursor();
    }
    return NameSearchCursor(country != 0 ? m_byCountry : m_byName, text, country);
}

CityIndexFiles::Check CityIndexFiles::CheckNames() const {
    if (!IsLoaded() || m_byName->GetData() == nullptr || m_byCountry->GetData() == nullptr) {
        return Check::Whole;
    }
    const auto byName = CityIndexNames(m_byName->GetData(), m_byName->GetSize(), false);
    if (!byName) {
        return Check::ByNameDamaged;
    }
    const auto byCountry = CityIndexNames(m_byCountry->GetData(), m_byCountry->GetSize(), true);
    if (!byCountry) {
        return Check::ByCountryDamaged;
    }
    if (*byName == *byCountry) {
        return Check::Whole;
    }
    return byCountry->size() < byName->size() ? Check::ByCountryDamaged : Check::ByNameDamaged;
}
