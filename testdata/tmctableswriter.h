#pragma once
// Writer of the eleven TMC tables (event list, location tables, cookie rows, update-class sign
// names) from a small model, as a folder of ".fsr" files or packed in ".sfs" archives, with
// knobs for the faults the TMC database's readers must survive. One writer per data set.

#include "testdata/tempdir.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

struct TmcEventRow {
    std::uint16_t code = 0;
    std::string text;
    bool cancels = false;            // byte 130
    std::uint8_t updateClass = 0;    // byte 131
    std::uint8_t directionality = 0; // byte 132: 1 one direction
    std::uint8_t durationType = 0;   // byte 133: 1 dynamic
    std::uint8_t attributes[4] = {}; // bytes 134-137
};

struct TmcLocationRow {
    std::uint32_t code = 0;     // MakeTmcLocationCode
    std::uint8_t typeClass = 0; // 0 point, 1 line, 2 area, anything else none
    std::uint8_t attribute5 = 0;
    std::uint8_t attribute6 = 0;
    std::string firstName, secondName, roadName, roadNumber; // empty: no row
    std::uint32_t area = 0;                                  // enclosing area; 0: no row
    std::uint32_t line = 0;                                  // line reference; 0: no row
    bool hasChain = false;
    std::uint32_t positive = 0, negative = 0; // chain neighbours
};

struct TmcCookieRow {
    std::uint32_t location = 0;
    std::uint32_t elementId = 0;
    std::int16_t sideFlags = 0; // side in bits 1-0, how affected in the bits above
};

struct TmcTablesModel {
    std::vector<TmcEventRow> events;
    std::vector<TmcLocationRow> locations;
    std::vector<TmcCookieRow> cookies;             // rows of one location keep their order
    std::map<std::uint8_t, std::string> signNames; // by update class
};

// Faults and layout choices.
struct TmcTablesKnobs {
    std::uint8_t typeLayout = 0;    // "Loc2Type.fsr": 0 four columns, 1 five
    std::uint8_t cookieLayout = 0;  // "Loc2Cookie.fsr": 0 three columns, 1 four
    bool threeColumnType = false;   // "Loc2Type.fsr" with three columns (refused)
    std::string missingTable;       // a file name left out
    bool unterminatedNames = false; // first names fill their column, with no NUL
};

class TmcTablesWriter {
public:
    explicit TmcTablesWriter(TmcTablesModel model, TmcTablesKnobs knobs = {});

    // File name and bytes of every table written.
    [[nodiscard]] std::map<std::string, std::vector<std::uint8_t>> BuildTables() const;
    // The tables as loose files in the folder (device path), with an empty "tmc.sfs" when asked.
    [[nodiscard]] bool WriteFolder(const TempDeviceRoot& root, const std::u16string& folder,
                                   bool withTmcSfs) const;
    // The tables in the archive `archiveName` of the folder ("tmc.sfs" itself, say); `only`
    // limits it to these file names when not empty.
    [[nodiscard]] bool WriteArchive(const TempDeviceRoot& root, const std::u16string& folder,
                                    const std::u16string& archiveName,
                                    const std::vector<std::string>& only = {}) const;

private:
    TmcTablesModel m_model;
    TmcTablesKnobs m_knobs;
};

// A sample database of country 1, table 1: a motorway line "A1" (location 100) with points 101
// to 105 chained in positive direction, each with cookie rows of both sides; a segment (200);
// an area hierarchy 300 in 301 in 302; events of both duration types, blocking ones (101, 401)
// and a cancelling one (2047), update classes 1, 5, 7 and 8 with sign names.
[[nodiscard]] TmcTablesModel TmcSampleTables();

} // namespace testdata
