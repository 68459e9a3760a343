#include "basiccomp/retrievalengine/code/cityindexfile.h"

#include "basiccomp/retrievalengine/code/namesearchcursor.h"

#include "platform/kernel/debug.h"

#include <new>

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
