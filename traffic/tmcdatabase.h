#pragma once
// The TMC database: the RDS-TMC event list and location tables as eleven table files in a "tmc"
// folder or in ".sfs" archives. Events and locations are looked up on demand and handed out in
// counted pointers; they read the tables of their database, which must outlive them. No lock of
// its own: its users (the message store) serialise access.

#include "six/refcntptr.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TmcDatabase;
class TmcLocation;
class TmcEvent;
struct TmcTables;
using TmcDatabasePtr = six::RefCntPtr<TmcDatabase, six::MTModel>;
using TmcLocationPtr = six::RefCntPtr<TmcLocation, six::MTModel>;
using TmcEventPtr = six::RefCntPtr<TmcEvent, six::MTModel>;

// Location codes: country x 10000000 + table x 100000 + location.
inline constexpr std::uint32_t MakeTmcLocationCode(std::uint32_t country, std::uint32_t table,
                                                   std::uint32_t location) {
    return country * 10000000U + table * 100000U + location;
}

class TmcDatabase {
public:
    explicit TmcDatabase(BlockCachePtr cache);
    // Unloads.
    virtual ~TmcDatabase();
    TmcDatabase(const TmcDatabase&) = delete;
    TmcDatabase& operator=(const TmcDatabase&) = delete;

    // Opens the tables of a data folder (device path): from the folder itself when it holds
    // "tmc.sfs", else from the program's folder + "\tmc"; "Loc2Cookie.fsr" always from the data
    // folder. False when a table is missing or has other columns; the tables opened before the
    // failure stay open until Unload. A table that is there but refused (empty, cut short,
    // overwritten) brings the file-check box naming it (filecheck.h).
    [[nodiscard]] virtual bool Load(const std::u16string& path);
    // Closes the tables and unmounts the archives this database mounted.
    virtual void Unload();
    [[nodiscard]] virtual bool IsLoaded() const;
    // Null when "Loc2Type.fsr" has no row for the code.
    [[nodiscard]] virtual TmcLocationPtr FindLocation(std::uint32_t code);
    // Null when "Events.fsr" has no row for the code.
    [[nodiscard]] virtual TmcEventPtr FindEvent(std::uint16_t code);
    // The text of a key in a table this system never opens: always empty.
    [[nodiscard]] virtual std::string GetSpareText(std::uint8_t key);

    [[nodiscard]] const TmcTables& GetTables() const { return *m_tables; }
    [[nodiscard]] TmcTables& GetTables() { return *m_tables; }

private:
    BlockCachePtr m_cache;
    std::unique_ptr<TmcTables> m_tables;
};

// A database over the given cache; null when it cannot be allocated.
[[nodiscard]] TmcDatabasePtr CreateTmcDatabase(BlockCachePtr cache);

// One location of the location tables. Texts are narrow (code page 1252), empty when the row is
// missing.
class TmcLocation {
public:
    TmcLocation(const TmcDatabase& database, std::uint32_t code);
    virtual ~TmcLocation() = default;

    [[nodiscard]] virtual std::uint32_t GetCode() const { return m_code; }
    [[nodiscard]] virtual std::uint8_t GetCountry() const { return m_country; }
    [[nodiscard]] virtual std::uint8_t GetTable() const { return m_table; }
    // A value no table provides: always 0.
    [[nodiscard]] virtual std::uint16_t GetReserved() const { return 0; }
    [[nodiscard]] virtual std::string GetRoadNumber() const;
    [[nodiscard]] virtual std::string GetRoadName() const;
    [[nodiscard]] virtual std::string GetFirstName() const;
    [[nodiscard]] virtual std::string GetSecondName() const;
    // 0 when there is none.
    [[nodiscard]] virtual std::uint32_t GetAreaCode() const;
    // The first name of the enclosing area.
    [[nodiscard]] virtual std::string GetAreaName() const;
    // 0 when there is none.
    [[nodiscard]] virtual std::uint32_t GetLineCode() const;
    // 0 point, 1 line, 2 area; false when "Loc2Type.fsr" has no row.
    [[nodiscard]] virtual bool GetTypeClass(std::uint8_t& value) const;
    [[nodiscard]] virtual bool GetAttribute5(std::uint8_t& value) const;
    [[nodiscard]] virtual bool GetAttribute6(std::uint8_t& value) const;
    // The location's code, then up to `count` neighbours in the direction (true: positive),
    // stopping at a neighbour 0 or one without a chain row. False when the location has none.
    [[nodiscard]] virtual bool GetChain(bool direction, std::uint32_t count,
                                        std::vector<std::uint32_t>& codes) const;
    // Appends the road elements of the location (extent 0) or of the stretch of `extent` steps
    // from it: each id with the side class in bits 31-28, or with bit 31 only when `mark`.
    // Unless `all`, only the rows whose side fits the location's place in the stretch. True
    // when `ids` is not empty; false with nothing appended when the stretch has no two codes.
    [[nodiscard]] virtual bool GetElementIds(bool direction, std::uint32_t extent,
                                             std::vector<std::uint32_t>& ids, bool mark,
                                             bool all) const;

private:
    bool ReadTypeByte(std::uint32_t column, std::uint8_t& value) const;

    const TmcDatabase* m_database;
    std::uint32_t m_code;
    std::uint8_t m_country;
    std::uint8_t m_table;
};

// One event of the event list.
class TmcEvent {
public:
    TmcEvent(const TmcDatabase& database, std::uint16_t code);
    virtual ~TmcEvent() = default;

    [[nodiscard]] virtual std::uint16_t GetCode() const { return m_code; }
    [[nodiscard]] virtual std::string GetText() const;
    // Read once, then cached.
    [[nodiscard]] virtual std::uint8_t GetUpdateClass();
    // 1 dynamic, else longer-lasting.
    [[nodiscard]] virtual std::uint8_t GetDurationType() const;
    // Whether a single-group message with this event cancels stored messages.
    [[nodiscard]] virtual bool IsCancellation() const;
    // 1 one direction.
    [[nodiscard]] virtual std::uint8_t GetDirectionality() const;
    // The sign picture's name of the update class ("EUC2SFN.fsr").
    [[nodiscard]] virtual std::string GetSignName();
    [[nodiscard]] virtual std::uint8_t GetDurationTypeAgain() const { return GetDurationType(); }
    [[nodiscard]] virtual std::uint8_t GetAttribute134() const;
    [[nodiscard]] virtual std::uint8_t GetAttribute135() const;
    // 16 when the event is missing.
    [[nodiscard]] virtual std::uint8_t GetAttribute136() const;
    [[nodiscard]] virtual std::uint8_t GetAttribute137() const;

private:
    // Byte `offset` (130-137) of the event's row; `missing` when there is none.
    std::uint8_t ReadByte(std::uint32_t offset, std::uint8_t missing) const;

    const TmcDatabase* m_database;
    std::uint16_t m_code;
    std::uint8_t m_updateClass = 0;
    bool m_isUpdateClassRead = false;
};
