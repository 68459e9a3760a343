#include "routing/pagestore.h"

#include "routing/networkdescription.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/sfsarchivefile.h"
#include "utilities/usefulcode/win32file.h"

#include "platform/files/files.h"
#include "platform/files/mapping.h"
#include "platform/files/memory.h"
#include "platform/kernel/debug.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

std::uint64_t FileSizeOf(RawFile& file) {
    const LONG end = file.Seek(0, kRawSeekEnd);
    (void)file.Seek(0, kRawSeekBegin);
    return end > 0 ? static_cast<std::uint64_t>(end) : 0u;
}

// Reads `count` bytes from the start of the file; empty when it cannot.
bool ReadWhole(RawFile& file, std::vector<std::uint8_t>& into, std::uint64_t count) {
    into.clear();
    if (count > 0x7FFFFFFF) {
        return false;
    }
    into.resize(count);
    return file.Seek(0, kRawSeekBegin) == 0 &&
           (count == 0 || file.Read(into.data(), static_cast<DWORD>(count)));
}

// The open page file, or null (debug line).
std::unique_ptr<RawFile> OpenPageFile(const PageStoreParameters& parameters) {
    std::unique_ptr<RawFile> pages =
        OpenRawFile(parameters.pageFileName, RawFileMode::Read, parameters.isThroughArchives);
    if (!pages || !pages->IsOpen()) {
        ReportNetworkFileProblem(parameters.pageFileName, u"cannot be opened");
        return nullptr;
    }
    return pages;
}

} // namespace

std::unique_ptr<RawFile> OpenRawFile(const std::u16string& name, RawFileMode mode,
                                     bool throughArchives) {
    if (throughArchives) {
        std::unique_ptr<RawFile> archived(new (std::nothrow) SfsArchiveFile());
        if (archived && OpenOnSearchPath(*archived, name, mode)) {
            return archived;
        }
    }
    std::unique_ptr<RawFile> file(new (std::nothrow) Win32File());
    if (file) {
        (void)OpenOnSearchPath(*file, name, mode);
    }
    return file;
}

void ReportNetworkFileProblem(const std::u16string& file, std::u16string_view problem) {
    std::u16string line = file;
    line.append(u": ").append(problem).append(u"\n");
    OutputDebugStringW(line.c_str());
}

void ReportDamagedNetworkFile(const std::u16string& file, std::u16string_view problem) {
    ReportNetworkFileProblem(file, problem);
    (void)ShowDamagedFileMessage(file);
}

std::u16string PositionFileName(const std::u16string& pageFileName) {
    const std::size_t dot = pageFileName.rfind(u'.');
    const std::size_t separator = pageFileName.find_last_of(u"\\/");
    const bool hasExtension =
        dot != std::u16string::npos && (separator == std::u16string::npos || dot > separator);
    return (hasExtension ? pageFileName.substr(0, dot) : pageFileName) + u".sep";
}

bool IsValidPageSize(std::uint32_t pageSize) {
    return pageSize % 4 == 0 && pageSize >= 12 && pageSize <= 65536;
}

SeparatedPageStore::SeparatedPageStore(MapDataLinkPtr mapDataLink)
    : m_mapDataLink(std::move(mapDataLink)) {}

SeparatedPageStore::~SeparatedPageStore() = default;

bool SeparatedPageStore::TakeParameters(const PageStoreParameters& parameters) {
    m_parameters = parameters;
    m_isOpen = false;
    m_isPositionFileMissing = false;
    m_pageTree.reset();
    if (!IsValidPageSize(parameters.pageSize)) {
        ReportNetworkFileProblem(parameters.pageFileName,
                                 u"page size must be a multiple of 4 from 12 to 65536");
        return false;
    }
    return true;
}

bool SeparatedPageStore::AcceptMissingPositions() {
    if (!m_mapDataLink || !m_mapDataLink->HasMapData()) {
        ReportNetworkFileProblem(PositionFileName(m_parameters.pageFileName),
                                 u"missing, and no map data");
        return false;
    }
    m_isPositionFileMissing = true;
    return true;
}

void SeparatedPageStore::ReadIndex() {
    if (m_parameters.isWithoutIndex) {
        return;
    }
    // Read whole, like the page files directly or inside mounted archives.
    const std::unique_ptr<RawFile> index =
        OpenRawFile(m_parameters.indexFileName, RawFileMode::Read, m_parameters.isThroughArchives);
    std::vector<std::uint8_t> bytes;
    if (index && index->IsOpen() && ReadWhole(*index, bytes, FileSizeOf(*index))) {
        m_pageTree = PageTree::Parse(bytes);
    }
}

RecordBytes SeparatedPageStore::RecordIn(const std::uint8_t* data, std::uint64_t size,
                                         std::uint16_t page, std::uint16_t offset) const {
    const PageStoreParameters& p = m_parameters;
    if (data == nullptr || offset >= p.pageSize ||
        !IsBeforeEnd(page, offset, p.endPage, p.endOffset)) {
        return {};
    }
    const std::uint64_t start = std::uint64_t{page} * p.pageSize + offset;
    const std::uint64_t pageEnd = std::uint64_t{page} * p.pageSize + p.pageSize;
    const std::uint64_t limit = std::min(pageEnd, size);
    if (start >= limit) {
        return {};
    }
    return {data + start, static_cast<std::uint32_t>(limit - start), nullptr};
}

std::optional<CrossingPositionEntry> SeparatedPageStore::EntryIn(const std::uint8_t* data,
                                                                 std::uint64_t size,
                                                                 std::optional<std::uint64_t> at) {
    if (data == nullptr || !at || *at + kPositionEntrySize > size) {
        return std::nullopt;
    }
    CrossingPositionEntry entry;
    std::memcpy(&entry.x, data + *at, 4);
    std::memcpy(&entry.y, data + *at + 4, 4);
    entry.value = ReadU32At(data + *at + 8);
    return entry;
}

bool SeparatedPageStore::Open(const PageStoreParameters& parameters) {
    {
        const std::lock_guard lock(m_mutex);
        m_pageCache.reset();
        m_positionCache.reset();
    }
    if (!TakeParameters(parameters)) {
        return false;
    }
    std::unique_ptr<RawFile> pages = OpenPageFile(parameters);
    if (!pages) {
        return false;
    }
    auto pageCache = std::make_unique<PageCache>(parameters.pageSize, std::move(pages));
    std::unique_ptr<PageCache> positionCache;
    if (parameters.isSeparated) {
        std::unique_ptr<RawFile> positions =
            OpenRawFile(PositionFileName(parameters.pageFileName), RawFileMode::Read,
                        parameters.isThroughArchives);
        if (positions && positions->IsOpen()) {
            positionCache = std::make_unique<PageCache>(parameters.pageSize, std::move(positions));
        } else if (!AcceptMissingPositions()) {
            return false;
        }
    }
    if (!CheckMapFileSizes(m_parameters, pageCache->GetFileSize(),
                           positionCache
                               ? std::optional<std::uint64_t>(positionCache->GetFileSize())
                               : std::nullopt)) {
        return false;
    }
    ReadIndex();
    const std::lock_guard lock(m_mutex);
    m_pageCache = std::move(pageCache);
    m_positionCache = std::move(positionCache);
    m_isOpen = true;
    return true;
}

RecordBytes SeparatedPageStore::GetRecord(std::uint16_t page, std::uint16_t offset) {
    const PageStoreParameters& p = m_parameters;
    if (offset >= p.pageSize || !IsBeforeEnd(page, offset, p.endPage, p.endOffset)) {
        return {};
    }
    const std::lock_guard lock(m_mutex);
    if (!m_pageCache) {
        return {};
    }
    CachedPagePtr cached = m_pageCache->GetPage(page);
    if (!cached || offset >= cached->size) {
        return {};
    }
    std::uint32_t available = cached->size - offset;
    if (page == p.endPage) {
        available = std::min<std::uint32_t>(available, p.endOffset - offset);
    }
    const std::uint8_t* bytes = cached->bytes.get() + offset;
    return {bytes, available, std::move(cached)};
}

void SeparatedPageStore::SetCacheBudget(std::uint32_t kilobytes) {
    const std::lock_guard lock(m_mutex);
    if (!m_pageCache) {
        return;
    }
    const std::uint32_t share = m_positionCache ? kilobytes * 2 / 3 : kilobytes;
    const auto limitOf = [&](std::uint32_t kb) -> std::uint16_t {
        if (kilobytes == 0) {
            return 0;
        }
        const std::uint64_t pages = std::uint64_t{kb} * 1024 / m_parameters.pageSize;
        return static_cast<std::uint16_t>(std::clamp<std::uint64_t>(pages, 1, 0xFFFF));
    };
    m_pageCache->SetPageLimit(limitOf(share));
    if (m_positionCache) {
        m_positionCache->SetPageLimit(limitOf(kilobytes - share));
    }
}

std::optional<CrossingPositionEntry>
SeparatedPageStore::GetPositionEntry(const CrossingRecord& record) {
    if (!m_parameters.isSeparated) {
        return record.InlinePosition();
    }
    const std::optional<std::uint64_t> at =
        PositionEntryOffset(record.Id(), m_parameters.crossingCount, m_parameters.pageSize);
    const std::lock_guard lock(m_mutex);
    if (!m_positionCache || !at) {
        return std::nullopt;
    }
    const CachedPagePtr page =
        m_positionCache->GetPage(static_cast<std::uint32_t>(*at / m_parameters.pageSize));
    if (!page) {
        return std::nullopt;
    }
    return EntryIn(page->bytes.get(), page->size, *at % m_parameters.pageSize);
}

SeparatedPageStore::CacheCounts SeparatedPageStore::GetCacheCounts() {
    const std::lock_guard lock(m_mutex);
    CacheCounts counts;
    if (m_pageCache) {
        counts.pageLimit = m_pageCache->GetPageLimit();
        counts.hits = m_pageCache->GetHits();
        counts.misses = m_pageCache->GetMisses();
    }
    if (m_positionCache) {
        counts.positionLimit = m_positionCache->GetPageLimit();
    }
    return counts;
}

bool WholeMapStore::Open(const PageStoreParameters& parameters) {
    m_pages.clear();
    m_positions.clear();
    if (!TakeParameters(parameters)) {
        return false;
    }
    std::unique_ptr<RawFile> pages = OpenPageFile(parameters);
    if (!pages) {
        return false;
    }
    const std::uint64_t pageBytes = FileSizeOf(*pages);
    const std::uint64_t end =
        std::uint64_t{parameters.endPage} * parameters.pageSize + parameters.endOffset;
    std::optional<std::uint64_t> positionBytes;
    std::unique_ptr<RawFile> positions;
    if (parameters.isSeparated) {
        positions = OpenRawFile(PositionFileName(parameters.pageFileName), RawFileMode::Read,
                                parameters.isThroughArchives);
        if (positions && positions->IsOpen()) {
            positionBytes = FileSizeOf(*positions);
        } else if (!AcceptMissingPositions()) {
            return false;
        }
    }
    if (!CheckMapFileSizes(m_parameters, pageBytes, positionBytes) ||
        !ReadWhole(*pages, m_pages, end)) {
        m_pages.clear();
        return false;
    }
    pages->Close();
    if (positionBytes && !ReadWhole(*positions, m_positions, *positionBytes)) {
        ReportNetworkFileProblem(PositionFileName(parameters.pageFileName), u"cannot be read");
        return false;
    }
    ReadIndex();
    m_isOpen = true;
    return true;
}

RecordBytes WholeMapStore::GetRecord(std::uint16_t page, std::uint16_t offset) {
    return RecordIn(m_pages.data(), m_pages.size(), page, offset);
}

std::optional<CrossingPositionEntry> WholeMapStore::GetPositionEntry(const CrossingRecord& record) {
    if (!m_parameters.isSeparated) {
        return record.InlinePosition();
    }
    return EntryIn(
        m_positions.data(), m_positions.size(),
        PositionEntryOffset(record.Id(), m_parameters.crossingCount, m_parameters.pageSize));
}

MappedPageStore::~MappedPageStore() {
    Unmap();
}

void MappedPageStore::Unmap() {
    for (View* view : {&m_pages, &m_positions}) {
        if (view->data != nullptr) {
            (void)UnmapViewOfFile(view->data);
        }
        *view = {};
    }
}

std::optional<MappedPageStore::View> MappedPageStore::MapWhole(const std::u16string& name) {
    HANDLE file = CreateFileForMappingW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    View view;
    view.size = GetFileSize(file, nullptr);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    (void)CloseHandle(file);
    if (mapping == nullptr) {
        return View{};
    }
    view.data = static_cast<const std::uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    (void)CloseHandle(mapping);
    if (view.data == nullptr) {
        view.size = 0;
    }
    return view;
}

bool MappedPageStore::Open(const PageStoreParameters& parameters) {
    Unmap();
    if (!TakeParameters(parameters)) {
        return false;
    }
    std::optional<std::uint64_t> positionBytes;
    if (parameters.isSeparated) {
        const std::optional<View> positions = MapWhole(PositionFileName(parameters.pageFileName));
        if (!positions && !AcceptMissingPositions()) {
            return false;
        }
        if (positions && positions->data != nullptr) {
            m_positions = *positions;
            positionBytes = positions->size;
        }
    }
    ReadIndex();
    const std::optional<View> pages = MapWhole(parameters.pageFileName);
    if (!pages || pages->data == nullptr) {
        if (pages) {
            ReportDamagedNetworkFile(parameters.pageFileName, u"cannot be mapped");
        } else {
            ReportNetworkFileProblem(parameters.pageFileName, u"cannot be opened");
        }
        Unmap();
        return false;
    }
    m_pages = *pages;
    if (!CheckMapFileSizes(m_parameters, m_pages.size, positionBytes)) {
        Unmap();
        return false;
    }
    m_isOpen = true;
    return true;
}

RecordBytes MappedPageStore::GetRecord(std::uint16_t page, std::uint16_t offset) {
    return RecordIn(m_pages.data, m_pages.size, page, offset);
}

std::optional<CrossingPositionEntry>
MappedPageStore::GetPositionEntry(const CrossingRecord& record) {
    if (!m_parameters.isSeparated) {
        return record.InlinePosition();
    }
    return EntryIn(
        m_positions.data, m_positions.size,
        PositionEntryOffset(record.Id(), m_parameters.crossingCount, m_parameters.pageSize));
}
