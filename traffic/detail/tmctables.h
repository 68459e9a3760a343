#pragma once
// The open tables of a TMC database and the archives it mounted.

#include "tablefiles/fsrtable.h"
#include "utilities/usefulcode/cache/sfsmountset.h"

#include <cstdint>

struct TmcTables {
    // A layout word before a table is opened: no accepted layout.
    static constexpr std::uint16_t kNoLayout = 2;

    explicit TmcTables(const BlockCachePtr& cache)
        : events(cache)
        , area(cache)
        , chain(cache)
        , first(cache)
        , line(cache)
        , roadName(cache)
        , roadNumber(cache)
        , second(cache)
        , type(cache)
        , spare(cache)
        , cookie(cache)
        , signNames(cache)
        , spareText(cache) {}

    SfsMountSet archives;
    FsrTable events;
    FsrTable area;
    FsrTable chain;
    FsrTable first;
    FsrTable line;
    FsrTable roadName;
    FsrTable roadNumber;
    FsrTable second;
    std::uint16_t typeLayout = kNoLayout;
    FsrTable type;
    FsrTable spare; // never opened
    std::uint16_t cookieLayout = kNoLayout;
    FsrTable cookie;
    FsrTable signNames;
    FsrTable spareText; // never opened
    bool isLoaded = false;
};

// The eleven tables a database opens, in opening order after "Loc2Cookie.fsr".
enum class TmcTableSlot {
    Cookie,
    Events,
    Area,
    Chain,
    First,
    Line,
    RoadName,
    RoadNumber,
    Type,
    Second,
    SignNames,
};
inline constexpr int kTmcTableCount = 11;

// File name of a slot's table.
const char16_t* TmcTableName(TmcTableSlot slot);

// Attaches a table read from `file` (its header from headerFile) to a slot and checks its columns
// as Load does; false (slot closed) when it is refused.
[[nodiscard]] bool AttachTmcTable(TmcTables& tables, TmcTableSlot slot, IFile& headerFile,
                                  CachedFilePtr file);

// The rows of a table whose first column (of the given type) equals the number.
FsrRowRange FindTmcRows(const FsrTable& table, ColumnType keyType, std::uint32_t key);
