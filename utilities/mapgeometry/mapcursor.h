#pragma once
// A cursor over the fixed-size records (blocks) of a cached file that holds the page of its
// current record: a mapped file is one page of many records, a block file one record per page.
// A cursor belongs to one thread; cursors on the same file may live on several.

#include "utilities/usefulcode/cache/cachedfile.h"

#include <cstdint>

class MapCursor {
public:
    static constexpr DWORD kNoIndex = 0xFFFFFFFFu;

    MapCursor() = default;
    // Unpositioned over the file.
    explicit MapCursor(CachedFilePtr file);
    // Over the file, positioned on record `index` (see Seek).
    MapCursor(CachedFilePtr file, DWORD index);

    // Moves to record n and returns whether it is held. Nothing is fetched when the cursor holds
    // n already or n lies on the held page. An n at or beyond the file's record count ends the
    // cursor (no data) unless `append` is set, in which case the page is asked for all the same;
    // a record that the file cannot give ends it as well.
    bool Seek(DWORD n, bool append = false);
    // Releases the held page and clears the data; the index stays.
    void Reset();

    // The bytes of the current record (GetRecordSize of them); null when none is held.
    [[nodiscard]] const std::uint8_t* GetData() const { return m_data; }
    [[nodiscard]] DWORD GetIndex() const { return m_index; }
    [[nodiscard]] DWORD GetRecordSize() const { return m_recordSize; }
    [[nodiscard]] DWORD GetRecordsPerPage() const { return m_recordsPerPage; }
    [[nodiscard]] const CachedFilePtr& GetFile() const { return m_file; }

private:
    CachedBlockPtr m_page;
    CachedFilePtr m_file;
    DWORD m_index = kNoIndex;
    const std::uint8_t* m_data = nullptr;
    DWORD m_recordsPerPage = 1;
    DWORD m_recordSize = 0;
};
