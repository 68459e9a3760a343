#include "testdata/tmctableswriter.h"

#include "testdata/archivewriter.h"
#include "testdata/tablefilewriter.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace testdata {

namespace {

using enum ColumnType;

constexpr std::uint32_t Code(std::uint32_t location) {
    return 10000000U + 100000U + location;
}

std::vector<std::uint8_t> NameTable(const std::vector<TmcLocationRow>& rows,
                                    std::string TmcLocationRow::*name, ColumnType textType,
                                    bool unterminated) {
    TableFileWriter table({UInt32, textType});
    for (const TmcLocationRow& row : rows) {
        std::string text = row.*name;
        if (unterminated && !text.empty()) {
            text.resize(ColumnTypeSize(static_cast<std::uint32_t>(textType)), 'x');
        }
        if (!text.empty()) {
            table.AddRow({std::int64_t{row.code}, text});
        }
    }
    return table.Build();
}

std::vector<std::uint8_t> CodeTable(const std::vector<TmcLocationRow>& rows,
                                    std::uint32_t TmcLocationRow::*code) {
    TableFileWriter table({UInt32, UInt32});
    for (const TmcLocationRow& row : rows) {
        if (row.*code != 0) {
            table.AddRow({std::int64_t{row.code}, std::int64_t{row.*code}});
        }
    }
    return table.Build();
}

} // namespace

TmcTablesWriter::TmcTablesWriter(TmcTablesModel model, TmcTablesKnobs knobs)
    : m_model(std::move(model))
    , m_knobs(std::move(knobs)) {}

std::map<std::string, std::vector<std::uint8_t>> TmcTablesWriter::BuildTables() const {
    std::map<std::string, std::vector<std::uint8_t>> files;
    const auto& locations = m_model.locations;

    TableFileWriter events(
        {UInt16, Text128, UInt8, UInt8, UInt8, UInt8, UInt8, UInt8, UInt8, UInt8});
    for (const TmcEventRow& e : m_model.events) {
        events.AddRow({std::int64_t{e.code}, e.text, std::int64_t{e.cancels ? 1 : 0},
                       std::int64_t{e.updateClass}, std::int64_t{e.directionality},
                       std::int64_t{e.durationType}, std::int64_t{e.attributes[0]},
                       std::int64_t{e.attributes[1]}, std::int64_t{e.attributes[2]},
                       std::int64_t{e.attributes[3]}});
    }
    files["Events.fsr"] = events.Build();
    files["Loc2Area.fsr"] = CodeTable(locations, &TmcLocationRow::area);
    files["Loc2Line.fsr"] = CodeTable(locations, &TmcLocationRow::line);
    TableFileWriter chain({UInt32, UInt32, UInt32});
    for (const TmcLocationRow& row : locations) {
        if (row.hasChain) {
            chain.AddRow(
                {std::int64_t{row.code}, std::int64_t{row.positive}, std::int64_t{row.negative}});
        }
    }
    files["Loc2Chain.fsr"] = chain.Build();
    files["Loc2First.fsr"] =
        NameTable(locations, &TmcLocationRow::firstName, Text64, m_knobs.unterminatedNames);
    files["Loc2Second.fsr"] = NameTable(locations, &TmcLocationRow::secondName, Text64, false);
    files["Loc2RoadName.fsr"] = NameTable(locations, &TmcLocationRow::roadName, Text64, false);
    files["Loc2RoadNum.fsr"] = NameTable(locations, &TmcLocationRow::roadNumber, Text8, false);

    std::vector<ColumnType> typeColumns = {UInt32, UInt8, UInt8, UInt8};
    if (m_knobs.threeColumnType) {
        typeColumns.pop_back();
    } else if (m_knobs.typeLayout == 1) {
        typeColumns.push_back(UInt8);
    }
    TableFileWriter type(typeColumns);
    for (const TmcLocationRow& row : locations) {
        std::vector<TableValue> values = {std::int64_t{row.code}, std::int64_t{row.typeClass},
                                          std::int64_t{row.attribute5},
                                          std::int64_t{row.attribute6}, std::int64_t{0}};
        values.resize(typeColumns.size());
        type.AddRow(values);
    }
    files["Loc2Type.fsr"] = type.Build();

    std::vector<ColumnType> cookieColumns = {Int32, Int32, Int16};
    if (m_knobs.cookieLayout == 1) {
        cookieColumns.push_back(Int16);
    }
    TableFileWriter cookie(cookieColumns);
    cookie.SetOrderByKeyOnly(true);
    for (const TmcCookieRow& row : m_model.cookies) {
        std::vector<TableValue> values = {std::int64_t{row.location}, std::int64_t{row.elementId},
                                          std::int64_t{row.sideFlags}, std::int64_t{0}};
        values.resize(cookieColumns.size());
        cookie.AddRow(values);
    }
    files["Loc2Cookie.fsr"] = cookie.Build();

    TableFileWriter signs({UInt8, Text64});
    for (const auto& [updateClass, name] : m_model.signNames) {
        signs.AddRow({std::int64_t{updateClass}, name});
    }
    files["EUC2SFN.fsr"] = signs.Build();
    files.erase(m_knobs.missingTable);
    return files;
}

bool TmcTablesWriter::WriteFolder(const TempDeviceRoot& root, const std::u16string& folder,
                                  bool withTmcSfs) const {
    for (const auto& [name, bytes] : BuildTables()) {
        const std::u16string device = folder + u"\\" + std::u16string(name.begin(), name.end());
        if (!root.WriteFile(device, bytes)) {
            return false;
        }
    }
    return !withTmcSfs || root.WriteFile(folder + u"\\tmc.sfs", ArchiveWriter().Build());
}

bool TmcTablesWriter::WriteArchive(const TempDeviceRoot& root, const std::u16string& folder,
                                   const std::u16string& archiveName,
                                   const std::vector<std::string>& only) const {
    ArchiveWriter archive;
    for (const auto& [name, bytes] : BuildTables()) {
        bool isWanted = only.empty();
        for (const std::string& wanted : only) {
            isWanted = isWanted || wanted == name;
        }
        if (isWanted && !archive.AddMember(name, bytes)) {
            return false;
        }
    }
    return root.WriteFile(folder + u"\\" + archiveName, archive.Build());
}

TmcTablesModel TmcSampleTables() {
    TmcTablesModel m;
    m.events = {
        {101, "Stau", false, 1, 0, 1, {}},
        {115, "stockender Verkehr", false, 1, 1, 1, {}},
        {401, "gesperrt", false, 5, 0, 0, {}},
        {701, "Baustelle", false, 7, 0, 0, {}},
        {803, "Fahrbahnverengung", false, 8, 1, 0, {}},
        {513, "Unfall", false, 1, 0, 1, {}},
        {2047, "Meldungen aufgehoben", true, 1, 0, 1, {}},
    };
    TmcLocationRow line{Code(100), 1, 0, 0, "Hamburg", "Basel", "", "A1", 0, 0, false, 0, 0};
    m.locations.push_back(line);
    const char* names[] = {"Nord", "Mitte", "Sued", "Kreuz", "Ende"};
    for (std::uint32_t i = 0; i < 5; ++i) {
        TmcLocationRow point;
        point.code = Code(101 + i);
        point.firstName = names[i];
        point.roadName = i == 3 ? "Ring" : "";
        point.line = Code(100);
        point.area = Code(300);
        point.hasChain = true;
        point.positive = i < 4 ? Code(102 + i) : 0;
        point.negative = i > 0 ? Code(100 + i) : 0;
        m.locations.push_back(point);
        // Element 1000 + 10 i + side on each side of the point.
        for (std::int16_t side = 0; side < 4; ++side) {
            m.cookies.push_back({Code(101 + i), 1000 + 10 * i + static_cast<std::uint32_t>(side),
                                 static_cast<std::int16_t>(side | 1 << 2)});
        }
    }
    m.locations.push_back(
        {Code(200), 1, 0, 0, "Altona", "Harburg", "Elbtunnel", "A7", Code(300), 0, false, 0, 0});
    m.locations.push_back({Code(300), 2, 0, 0, "Hamburg", "", "", "", Code(301), 0, false, 0, 0});
    m.locations.push_back(
        {Code(301), 2, 0, 0, "Norddeutschland", "", "", "", Code(302), 0, false, 0, 0});
    m.locations.push_back({Code(302), 2, 0, 0, "Deutschland", "", "", "", 0, 0, false, 0, 0});
    m.signNames = {{1, "Stau.bmp"}, {5, "Sperrung.bmp"}, {7, "Baustelle.bmp"}, {8, "Enge.bmp"}};
    return m;
}

namespace {

double Gap(double ax, double ay, double bx, double by) {
    return std::hypot(ax - bx, ay - by);
}

// The smaller gap between an end of `e` (its last when `last`) and either end of `other`.
double EndGap(const TmcRoadElement& e, bool last, const TmcRoadElement& other) {
    const double x = last ? e.lastX : e.firstX;
    const double y = last ? e.lastY : e.firstY;
    return std::min(Gap(x, y, other.firstX, other.firstY), Gap(x, y, other.lastX, other.lastY));
}

// Whether the element runs from its first to its last point in the road's order: its last
// point lies nearer the next element (or its first nearer the previous one).
bool IsDigitisedAlong(const std::vector<TmcRoadElement>& elements, std::size_t i) {
    const TmcRoadElement& e = elements[i];
    if (i + 1 < elements.size()) {
        return EndGap(e, true, elements[i + 1]) <= EndGap(e, false, elements[i + 1]);
    }
    if (i > 0) {
        return EndGap(e, false, elements[i - 1]) <= EndGap(e, true, elements[i - 1]);
    }
    return true;
}

} // namespace

TmcRoadLine TmcLineAlongRoad(TmcTablesModel& model, const std::vector<TmcRoadElement>& elements,
                             const std::vector<std::size_t>& crossingsAfter, std::uint32_t lineCode,
                             std::uint32_t firstPointCode, const std::string& roadName,
                             const std::string& roadNumber) {
    TmcRoadLine road{lineCode, {}};
    TmcLocationRow line;
    line.code = lineCode;
    line.typeClass = 1;
    line.roadName = roadName;
    line.roadNumber = roadNumber;
    if (elements.empty()) {
        model.locations.push_back(line);
        return road;
    }
    // Element ranges between consecutive points: [starts[k], starts[k + 1]).
    std::vector<std::size_t> starts = {0};
    for (const std::size_t after : crossingsAfter) {
        if (after + 1 < elements.size() && after + 1 > starts.back()) {
            starts.push_back(after + 1);
        }
    }
    starts.push_back(elements.size());
    const std::size_t pointCount = starts.size();
    for (std::size_t k = 0; k < pointCount; ++k) {
        road.points.push_back(firstPointCode + static_cast<std::uint32_t>(k));
    }
    // A line is named by its ends.
    line.firstName = roadName + " 1";
    line.secondName = roadName + " " + std::to_string(pointCount);
    model.locations.push_back(line);
    for (std::size_t k = 0; k < pointCount; ++k) {
        TmcLocationRow point;
        point.code = road.points[k];
        point.firstName = roadName + " " + std::to_string(k + 1);
        point.roadName = roadName;
        point.roadNumber = roadNumber;
        point.line = lineCode;
        point.hasChain = true;
        point.positive = k + 1 < pointCount ? road.points[k + 1] : 0;
        point.negative = k > 0 ? road.points[k - 1] : 0;
        model.locations.push_back(point);
        if (k + 1 < pointCount) {
            for (std::size_t i = starts[k]; i < starts[k + 1]; ++i) {
                const int affected = IsDigitisedAlong(elements, i) ? 1 : 2;
                model.cookies.push_back(
                    {point.code, elements[i].id, static_cast<std::int16_t>(0 | affected << 2)});
            }
        }
        if (k > 0) {
            // Travelling back, the elements come in the opposite order and direction.
            for (std::size_t i = starts[k]; i-- > starts[k - 1];) {
                const int affected = IsDigitisedAlong(elements, i) ? 2 : 1;
                model.cookies.push_back(
                    {point.code, elements[i].id, static_cast<std::int16_t>(1 | affected << 2)});
            }
        }
    }
    return road;
}

} // namespace testdata
