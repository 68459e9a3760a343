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

// A road element of a map set, with the first and last point of its geometry (degrees).
struct TmcRoadElement {
    std::uint32_t id = 0;
    double firstX = 0, firstY = 0, lastX = 0, lastY = 0;
};

// What TmcLineAlongRoad wrote: the line's code and its points' codes in positive direction.
struct TmcRoadLine {
    std::uint32_t line = 0;
    std::vector<std::uint32_t> points;
};

// Adds to the model a line location (`lineCode`, road name and number, named by its end points)
// along the elements, given
// in the order the road runs: one point at the road's start, one after each element index in
// `crossingsAfter` (ascending) and one at its end, chained in the road's order and numbered
// from `firstPointCode` up, named "<road name> <n>" counting from 1. Each point gets cookie
// rows for the elements up to the next point (side 0) and back to the previous one (side 1),
// each affected from its first to its last point (1) when digitised in the travel direction,
// else the other way (2). Elements whose ends touch neither neighbour keep the road's order.
TmcRoadLine TmcLineAlongRoad(TmcTablesModel& model, const std::vector<TmcRoadElement>& elements,
                             const std::vector<std::size_t>& crossingsAfter, std::uint32_t lineCode,
                             std::uint32_t firstPointCode, const std::string& roadName,
                             const std::string& roadNumber);

} // namespace testdata
