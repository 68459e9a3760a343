#pragma once
// The tables of an address dataset folder: the folder's description file ("DATABASE.TXT"), the
// lazy holders of its fourteen table files, their accepted column layouts, the record views that
// present every layout as one record, and the lookups by key. A holder hands out its opened table
// by counted reference, so record runs stay readable after the holder was closed. Holders and
// the description lock themselves; a record run belongs to one thread at a time.

#include "tablefiles/fieldvalue.h"
#include "tablefiles/fsrtable.h"
#include "utilities/mapgeometry/mapgeometry.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/critsect.h"

#include <array>
#include <cfloat>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

enum class DatasetTableId : std::uint8_t {
    XoAn,
    XoI,
    XoPn,
    XoAt,
    U2S,
    AllCitiesByName,
    AllCitiesByCountry,
    Plz,
    EuroName,
    EArea,
    EType,
    SCoords,
    S2U,
    HouseNumbers,
};
inline constexpr std::size_t kDatasetTableCount = 14;

// The logical file name ("XO_AN.fsr" ...).
const char16_t* DatasetTableFileName(DatasetTableId id);
// The code of the first accepted layout whose column types the table has exactly; nothing when
// none matches.
std::optional<std::int32_t> MatchDatasetLayout(DatasetTableId id, const FsrTable& table);

// Where a dataset folder's description lies and what it says: the path of its "DATABASE.TXT"
// (empty while closed), the folder, the language section and the unknown-name text.
class DatabaseInfo {
public:
    // Keeps folder and language; true when folder + "\DATABASE.TXT" exists, which opens it.
    [[nodiscard]] bool Load(const std::u16string& folder, const std::u16string& language);
    // The file to open for a logical table name: folder + "\" + the name mapped by the
    // language's section ("Default" for no language), the logical name when it has no key.
    std::u16string ResolvePath(const std::u16string& logicalName);
    bool IsOpen();
    // Forgets the path; folder, language and unknown-name text stay.
    void Clear();
    std::u16string GetUnknownNameText();

private:
    CritSect m_lock;
    std::u16string m_path;
    std::u16string m_folder;
    std::u16string m_language;
    std::u16string m_unknownNameText = u"?";
};

// The folder that archives of the dataset folder are mounted at; empty while none is.
class MountFolder {
public:
    std::u16string Get() const;
    void Set(const std::u16string& folder);

private:
    mutable std::mutex m_mutex;
    std::u16string m_folder;
};

// An opened table with the code of its layout.
struct OpenedDatasetTable {
    explicit OpenedDatasetTable(BlockCachePtr cache)
        : table(std::move(cache)) {}
    FsrTable table;
    std::int32_t layout = 0;
};
using OpenedTablePtr = std::shared_ptr<const OpenedDatasetTable>;

// The lazy holder of one table: tried once (as a loose file, then from the folder's archives)
// on the first EnsureOpen after construction or Close, and only while the description is open.
class DatasetTable {
public:
    DatasetTable(DatasetTableId id, BlockCachePtr cache, DatabaseInfo* info,
                 const MountFolder* mountFolder);
    DatasetTable(const DatasetTable&) = delete;
    DatasetTable& operator=(const DatasetTable&) = delete;

    // The opened table, or null when it is missing, refused, of no accepted layout or the
    // description is closed. Holders of the result may go on reading after Close.
    OpenedTablePtr EnsureOpen();
    // Lets go of the table; the next EnsureOpen tries again.
    void Close();

private:
    OpenedTablePtr TryOpen();

    DatasetTableId m_id;
    BlockCachePtr m_cache;
    DatabaseInfo* m_info;
    const MountFolder* m_mountFolder;
    CritSect m_lock;
    bool m_isAttempted = false;
    OpenedTablePtr m_table;
};

// A run of equal-key records of one opened table, keeping the table alive.
class DatasetRows {
public:
    DatasetRows() = default;
    DatasetRows(OpenedTablePtr table, FsrKeyRange range);

    bool IsValid() const { return m_range.IsValid(); }
    void Next() { m_range.Next(); }
    // Column i of the current record; invalid when ended or past the last column.
    FieldValue Column(std::uint32_t i) const;
    std::int32_t GetLayout() const { return m_table ? m_table->layout : -1; }

private:
    OpenedTablePtr m_table;
    FsrKeyRange m_range;
};

// The records as the datasets read them. Texts are read within their column.
struct XoIRecord {
    std::int32_t streetId = -1;
    std::int32_t areaLevel3 = -1;
    std::int32_t areaLevel2 = -1;
    std::int32_t areaLevel1 = -1;
    std::int32_t typeId = -1;
    std::int32_t nameId = -1;
    std::int32_t value1 = -1;
    std::int32_t value2 = -1;
    std::int32_t postalCodeId = -1;
    static XoIRecord Decode(const DatasetRows& rows);
};

struct XoAtRecord {
    std::int32_t areaId = 0;
    std::int32_t level = 0;
    std::string name;
    std::int32_t streetId = 0;
    static XoAtRecord Decode(const DatasetRows& rows);
};

// XO_AN {area id, name, street id} and XO_PN {postal code, name, street id} share one shape.
struct XoAnRecord {
    std::int32_t areaId = 0;
    std::string name;
    std::int32_t streetId = 0;
    static XoAnRecord Decode(const DatasetRows& rows);
};

struct XoPnRecord {
    std::string postalCode;
    std::string name;
    std::int32_t streetId = 0;
    static XoPnRecord Decode(const DatasetRows& rows);
};

struct PlzRecord {
    std::uint16_t value = 0;
    std::string code;
    GeoRect rect;
    static PlzRecord Decode(const DatasetRows& rows);
};

struct AreaRecord {
    std::int32_t areaId = -1;
    std::int32_t secondId = -1;
    std::string name;
    std::int32_t kind = -1;
    GeoRect rect{FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX};
    static AreaRecord Decode(const DatasetRows& rows);
};

// The current record of a run, decoded once on first access; the record's defaults while the
// run is ended.
template <class Record> class RecordView {
public:
    RecordView() = default;
    explicit RecordView(DatasetRows rows)
        : m_rows(std::move(rows)) {}

    bool IsValid() const { return m_rows.IsValid(); }
    const Record& Get() {
        if (!m_record) {
            m_record = m_rows.IsValid() ? Record::Decode(m_rows) : Record{};
        }
        return *m_record;
    }
    // Drops the decoded record and steps to the next equal-key record.
    void Next() {
        m_record.reset();
        m_rows.Next();
    }

private:
    DatasetRows m_rows;
    std::optional<Record> m_record;
};

// Lookups on an opened table of the matching kind. Names match as prefixes (an empty name
// matches every name); ids match whole. Wide texts are converted to the code page and cut at the
// column width.
RecordView<XoIRecord> FindStreetRecord(const OpenedTablePtr& xoI, std::uint32_t streetId);
RecordView<XoAnRecord> FindStreetsInArea(const OpenedTablePtr& xoAn, std::uint32_t areaId,
                                         const std::u16string& name);
RecordView<XoPnRecord> FindStreetsInPostalCode(const OpenedTablePtr& xoPn,
                                               const std::u16string& postalCode,
                                               const std::u16string& name);
// Layouts with a 16-bit level column compare the level at that width.
RecordView<XoAtRecord> FindStreetsAtLevel(const OpenedTablePtr& xoAt, std::uint32_t areaId,
                                          std::int32_t level, const std::u16string& name);
RecordView<PlzRecord> FindPostalCodeRecords(const OpenedTablePtr& plz, const std::u16string& code,
                                            std::uint16_t value);
RecordView<AreaRecord> FindAreaRecord(const OpenedTablePtr& eArea, std::uint32_t areaId);
// The city tables: by name, or by country and name.
DatasetRows FindCityRecords(const OpenedTablePtr& cities, const std::u16string& name);
DatasetRows FindCityRecordsOfCountry(const OpenedTablePtr& cities, std::uint16_t country,
                                     const std::u16string& name);
// The records whose first column (of type keyType) equals id: U2S, EuroName, ETypeI, SCoords,
// S2U, HouseNumbers.
DatasetRows FindRecordsById(const OpenedTablePtr& table, ColumnType keyType, std::int64_t id);
