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

// The rows of a table whose first column (of the given type) equals the number.
FsrRowRange FindTmcRows(const FsrTable& table, ColumnType keyType, std::uint32_t key);
