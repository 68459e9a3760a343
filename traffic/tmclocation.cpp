#include "traffic/detail/tmctables.h"
#include "traffic/tmcdatabase.h"

namespace {

std::string TextOf(const FsrTable& table, std::uint32_t code) {
    // FieldValue stops at the column's end when the text has no NUL.
    return std::string(FindTmcRows(table, ColumnType::UInt32, code).GetValue(1).AsText());
}

std::uint32_t CodeOf(const FsrTable& table, std::uint32_t code) {
    return static_cast<std::uint32_t>(
        FindTmcRows(table, ColumnType::UInt32, code).GetValue(1).AsInteger());
}

// Whether a cookie row of this side belongs to a location at this place of a stretch.
enum class Place { Single, First, Between, Last };

bool SideFits(Place place, bool direction, std::uint32_t side) {
    const std::uint32_t shift = direction ? 0 : 1;
    switch (place) {
    case Place::Single:
    case Place::Last:
        return side == 2 + shift;
    case Place::First:
        return side == shift;
    case Place::Between:
        return side == shift || side == 2 + shift;
    }
    return false;
}

void AppendCookieRows(const TmcTables& tables, std::uint32_t code, Place place, bool direction,
                      bool mark, bool all, std::vector<std::uint32_t>& ids) {
    for (FsrRowRange rows = FindTmcRows(tables.cookie, ColumnType::Int32, code); rows.IsValid();
         rows.Next()) {
        const auto element = static_cast<std::uint32_t>(rows.GetValue(1).AsInteger());
        const auto flags = static_cast<std::int16_t>(rows.GetValue(2).AsInteger());
        const auto side = static_cast<std::uint32_t>(flags & 3);
        if (!all && !SideFits(place, direction, side)) {
            continue;
        }
        const int affected = flags >> 2;
        const std::uint32_t q = affected == 1 ? 1 : affected == 2 ? 3 : 2;
        const std::uint32_t sideClass = side + 4 * q;
        ids.push_back(mark ? (element | 0x80000000U) : (element | sideClass << 28));
    }
}

} // namespace

TmcLocation::TmcLocation(const TmcDatabase& database, std::uint32_t code)
    : m_database(&database)
    , m_code(code)
    , m_country(static_cast<std::uint8_t>(code / 10000000))
    , m_table(static_cast<std::uint8_t>(code / 100000 - 100 * (code / 10000000))) {}

std::string TmcLocation::GetRoadNumber() const {
    return TextOf(m_database->GetTables().roadNumber, m_code);
}

std::string TmcLocation::GetRoadName() const {
    return TextOf(m_database->GetTables().roadName, m_code);
}

std::string TmcLocation::GetFirstName() const {
    return TextOf(m_database->GetTables().first, m_code);
}

std::string TmcLocation::GetSecondName() const {
    return TextOf(m_database->GetTables().second, m_code);
}

std::uint32_t TmcLocation::GetAreaCode() const {
    return CodeOf(m_database->GetTables().area, m_code);
}

std::string TmcLocation::GetAreaName() const {
    return TextOf(m_database->GetTables().first, GetAreaCode());
}

std::uint32_t TmcLocation::GetLineCode() const {
    return CodeOf(m_database->GetTables().line, m_code);
}

bool TmcLocation::ReadTypeByte(std::uint32_t column, std::uint8_t& value) const {
    const FsrRowRange rows = FindTmcRows(m_database->GetTables().type, ColumnType::UInt32, m_code);
    if (!rows.IsValid()) {
        return false;
    }
    value = static_cast<std::uint8_t>(rows.GetValue(column).AsInteger());
    return true;
}

bool TmcLocation::GetTypeClass(std::uint8_t& value) const {
    return ReadTypeByte(1, value);
}

bool TmcLocation::GetAttribute5(std::uint8_t& value) const {
    return ReadTypeByte(2, value);
}

bool TmcLocation::GetAttribute6(std::uint8_t& value) const {
    return ReadTypeByte(3, value);
}

bool TmcLocation::GetChain(bool direction, std::uint32_t count,
                           std::vector<std::uint32_t>& codes) const {
    const FsrTable& chain = m_database->GetTables().chain;
    FsrRowRange row = FindTmcRows(chain, ColumnType::UInt32, m_code);
    if (!row.IsValid()) {
        return false;
    }
    codes.push_back(m_code);
    for (std::uint32_t step = 0; step < count; ++step) {
        const auto next = static_cast<std::uint32_t>(row.GetValue(direction ? 1 : 2).AsInteger());
        if (next == 0) {
            break;
        }
        row = FindTmcRows(chain, ColumnType::UInt32, next);
        if (!row.IsValid()) {
            break;
        }
        codes.push_back(next);
    }
    return true;
}

bool TmcLocation::GetElementIds(bool direction, std::uint32_t extent,
                                std::vector<std::uint32_t>& ids, bool mark, bool all) const {
    const TmcTables& tables = m_database->GetTables();
    if (extent == 0) {
        AppendCookieRows(tables, m_code, Place::Single, direction, mark, all, ids);
        return !ids.empty();
    }
    std::vector<std::uint32_t> stretch;
    if (!GetChain(direction, extent, stretch) || stretch.size() < 2) {
        return false;
    }
    for (std::size_t i = 0; i < stretch.size(); ++i) {
        const Place place = i == 0                    ? Place::First
                            : i + 1 == stretch.size() ? Place::Last
                                                      : Place::Between;
        AppendCookieRows(tables, stretch[i], place, direction, mark, all, ids);
    }
    return !ids.empty();
}

TmcEvent::TmcEvent(const TmcDatabase& database, std::uint16_t code)
    : m_database(&database)
    , m_code(code) {}

std::string TmcEvent::GetText() const {
    return std::string(FindTmcRows(m_database->GetTables().events, ColumnType::UInt16, m_code)
                           .GetValue(1)
                           .AsText());
}

std::uint8_t TmcEvent::ReadByte(std::uint32_t offset, std::uint8_t missing) const {
    const FsrRowRange rows =
        FindTmcRows(m_database->GetTables().events, ColumnType::UInt16, m_code);
    if (!rows.IsValid()) {
        return missing;
    }
    // Bytes 130-137 are the one-byte columns 2-9.
    return static_cast<std::uint8_t>(rows.GetValue(offset - 128).AsInteger());
}

std::uint8_t TmcEvent::GetUpdateClass() {
    if (!m_isUpdateClassRead) {
        m_updateClass = ReadByte(131, 0);
        m_isUpdateClassRead = true;
    }
    return m_updateClass;
}

std::uint8_t TmcEvent::GetDurationType() const {
    return ReadByte(133, 0);
}

bool TmcEvent::IsCancellation() const {
    return ReadByte(130, 0) == 1;
}

std::uint8_t TmcEvent::GetDirectionality() const {
    return ReadByte(132, 0);
}

std::string TmcEvent::GetSignName() {
    if (!FindTmcRows(m_database->GetTables().events, ColumnType::UInt16, m_code).IsValid()) {
        return {};
    }
    const std::uint8_t updateClass = GetUpdateClass();
    return std::string(
        FindTmcRows(m_database->GetTables().signNames, ColumnType::UInt8, updateClass)
            .GetValue(1)
            .AsText());
}

std::uint8_t TmcEvent::GetAttribute134() const {
    return ReadByte(134, 0);
}

std::uint8_t TmcEvent::GetAttribute135() const {
    return ReadByte(135, 0);
}

std::uint8_t TmcEvent::GetAttribute136() const {
    return ReadByte(136, 16);
}

std::uint8_t TmcEvent::GetAttribute137() const {
    return ReadByte(137, 0);
}
