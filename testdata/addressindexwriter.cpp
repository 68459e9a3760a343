#include "testdata/addressindexwriter.h"

#include "testdata/detail/fileimage.h"
#include "testdata/fieldtablefilewriter.h"
#include "testdata/tablefilewriter.h"

#include <algorithm>
#include <utility>

namespace testdata {

namespace {

using T = ColumnType;
using Row = std::vector<TableValue>;

std::int64_t I(std::int64_t value) {
    return value;
}

std::vector<std::uint8_t> Table(std::vector<ColumnType> columns, const std::vector<Row>& rows,
                                std::optional<std::uint16_t> keySize = std::nullopt,
                                std::uint16_t blockSize = 1024) {
    TableFileWriter writer(std::move(columns));
    if (keySize) {
        writer.SetKeySize(*keySize);
    }
    writer.SetBlockSize(blockSize);
    for (const Row& row : rows) {
        writer.AddRow(row);
    }
    return writer.Build();
}

// Cookie tables: the first cookie, then as many slots as the longest record, zero-filled; the
// blocks grow to hold one record at least (64 postal codes take 1028 bytes).
template <class Slot>
std::vector<std::uint8_t>
CookieTable(const std::vector<std::pair<std::int32_t, std::vector<Slot>>>& records,
            ColumnType slotType, std::optional<std::int32_t> end) {
    if (records.empty()) {
        return {};
    }
    std::size_t slots = 1;
    std::int32_t highest = records.front().first;
    for (const auto& [first, values] : records) {
        slots = std::max(slots, values.size());
        highest = std::max(highest, first);
    }
    std::vector<ColumnType> columns{T::Int32};
    columns.insert(columns.end(), slots, slotType);
    const std::size_t recordSize = 4 + slots * (slotType == T::Text16 ? 16 : 4);
    std::uint16_t blockSize = 1024;
    while (blockSize < recordSize && blockSize < 32768) {
        blockSize = static_cast<std::uint16_t>(blockSize * 2);
    }
    std::vector<Row> rows;
    for (const auto& [first, values] : records) {
        Row row(values.size() + 1);
        row[0] = I(first);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if constexpr (std::is_same_v<Slot, std::string>) {
                row[i + 1] = values[i];
            } else {
                row[i + 1] = I(values[i]);
            }
        }
        rows.push_back(std::move(row));
    }
    rows.push_back({I(end.value_or(highest + 1))});
    return Table(std::move(columns), rows, std::nullopt, blockSize);
}

Row WithRect(Row row, const std::array<float, 4>& rect) {
    row.insert(row.end(), {double{rect[0]}, double{rect[1]}, double{rect[2]}, double{rect[3]}});
    return row;
}

std::vector<std::uint8_t> FieldTable(const std::vector<std::vector<std::uint8_t>>& records) {
    if (records.empty()) {
        return {};
    }
    FieldTableFileWriter writer({T::Int32});
    for (const auto& record : records) {
        writer.AddRecord(record);
    }
    return writer.Build();
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    detail::PutU32(out, out.size() - 4, value);
}

} // namespace

std::vector<std::uint8_t> EncodeAdasRecord(std::int32_t elementId, const AdasRecord& record) {
    std::vector<std::uint8_t> entries;
    for (const AdasTextEntry& entry : record.entries) {
        AppendU32(entries, entry.head);
        const std::size_t length = entry.text.size() + (entry.hasTerminator ? 1 : 0);
        AppendU32(entries, static_cast<std::uint16_t>(
                               entry.length.value_or(static_cast<std::int16_t>(length))));
        entries.insert(entries.end(), entry.text.begin(), entry.text.end());
        if (entry.hasTerminator) {
            entries.push_back(0);
        }
    }
    std::vector<std::uint8_t> bytes;
    AppendU32(bytes, static_cast<std::uint32_t>(elementId));
    AppendU32(bytes, record.presence);
    AppendU32(bytes, record.value);
    bytes.resize(bytes.size() + 2);
    detail::PutU16(bytes, 12, static_cast<std::uint32_t>(entries.size()));
    bytes.insert(bytes.end(), entries.begin(), entries.end());
    if (record.cutTo && *record.cutTo < bytes.size()) {
        bytes.resize(*record.cutTo);
    }
    return bytes;
}

std::string SignTableText(const std::vector<std::pair<std::string, std::string>>& lines,
                          bool isCrLf, bool lastLineBroken) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i].first + "\t" + lines[i].second;
        if (i + 1 < lines.size() || lastLineBroken) {
            text += isCrLf ? "\r\n" : "\n";
        }
    }
    return text;
}

AddressIndexWriter& AddressIndexWriter::AddAdas(std::int32_t elementId, AdasRecord record) {
    m_adas.push_back(EncodeAdasRecord(elementId, record));
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddSignpost(std::int32_t elementId, std::uint32_t value,
                                                    std::string code, std::string text) {
    std::vector<std::uint8_t> bytes;
    AppendU32(bytes, static_cast<std::uint32_t>(elementId));
    AppendU32(bytes, value);
    code.resize(6, '\0');
    bytes.insert(bytes.end(), code.begin(), code.end());
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    m_signposts.push_back(std::move(bytes));
    return *this;
}

AddressIndexWriter& AddressIndexWriter::SetSignTables(std::string cookie2Sign,
                                                      std::string sign2Enum,
                                                      std::string enum2Info) {
    m_signTables = {std::move(cookie2Sign), std::move(sign2Enum), std::move(enum2Info)};
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddCookieAreas(std::int32_t firstCookie,
                                                       std::vector<std::uint32_t> slots) {
    m_cookieAreas.emplace_back(firstCookie, std::move(slots));
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddCookiePostalCodes(std::int32_t firstCookie,
                                                             std::vector<std::string> slots) {
    m_cookiePostalCodes.emplace_back(firstCookie, std::move(slots));
    return *this;
}

AddressIndexWriter& AddressIndexWriter::SetCookieEnd(std::int32_t endKey) {
    m_cookieEnd = endKey;
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddType(std::int16_t id, std::string name) {
    m_types.emplace_back(id, std::move(name));
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddEntryPoint(std::int32_t id, float x, float y) {
    m_entryPoints.push_back({double(id), x, y});
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddHouseNumbers(const IndexHouseNumbers& record) {
    m_houseNumbers.push_back(record);
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddCountry(std::uint16_t number, std::uint16_t language,
                                                   std::string name) {
    m_countries.push_back({number, language, std::move(name)});
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddPostalCode(std::uint16_t value, std::string code,
                                                      std::array<float, 4> rect) {
    m_postalCodes.push_back({value, std::move(code), rect});
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddCookieCountry(std::int32_t key, std::uint16_t country) {
    m_cookieCountries.emplace_back(key, country);
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddArea(IndexArea area) {
    m_areas.push_back(std::move(area));
    return *this;
}

AddressIndexWriter& AddressIndexWriter::AddS2C(std::int32_t id, std::uint32_t mappedId) {
    m_s2c.emplace_back(id, mappedId);
    return *this;
}

std::vector<std::uint8_t> AddressIndexWriter::BuildTable(std::string_view name) const {
    std::vector<Row> rows;
    if (name == "Cookie2AreaId.fsr") {
        return CookieTable(m_cookieAreas, T::UInt32, m_cookieEnd);
    }
    if (name == "Cookie2Plz.fsr") {
        return CookieTable(m_cookiePostalCodes, T::Text16, m_cookieEnd);
    }
    if (name == "ETypeI.fsr") {
        for (const auto& [id, type] : m_types) {
            rows.push_back({I(id), I(0), type});
        }
        return rows.empty() ? std::vector<std::uint8_t>{}
                            : Table({T::Int16, T::Int16, T::Text64}, rows, 2);
    }
    if (name == "EntryPoints.fsr") {
        for (const auto& point : m_entryPoints) {
            rows.push_back({I(static_cast<std::int64_t>(point[0])), point[1], point[2]});
        }
        return rows.empty() ? std::vector<std::uint8_t>{}
                            : Table({T::Int32, T::Float32, T::Float32}, rows, 4);
    }
    if (name == "HouseNumbers.fsr") {
        for (const IndexHouseNumbers& r : m_houseNumbers) {
            rows.push_back({I(r.elementId), I(0), I(r.firstScheme), I(r.secondScheme),
                            I(r.firstNumber), I(r.secondNumber), I(r.firstSuffix),
                            I(r.secondSuffix)});
        }
        return rows.empty() ? std::vector<std::uint8_t>{}
                            : Table({T::Int32, T::UInt16, T::UInt16, T::UInt16, T::UInt16,
                                     T::UInt16, T::Int8, T::Int8},
                                    rows, 4);
    }
    if (name == "Countries.fsr") {
        for (const Country& country : m_countries) {
            rows.push_back({I(country.number), I(country.language), country.name});
        }
        return rows.empty() ? std::vector<std::uint8_t>{}
                            : Table({T::UInt16, T::UInt16, T::Text64}, rows, 2);
    }
    if (name == "PLZes.fsr") {
        for (const PostalCode& code : m_postalCodes) {
            rows.push_back(WithRect({I(code.value), code.code}, code.rect));
        }
        return rows.empty()
                   ? std::vector<std::uint8_t>{}
                   : Table({T::UInt16, T::Text16, T::Float32, T::Float32, T::Float32, T::Float32},
                           rows, 18);
    }
    if (name == "Cookie2Country.fsr") {
        for (const auto& [key, country] : m_cookieCountries) {
            rows.push_back({I(key), I(country), I(0)});
        }
        return rows.empty() ? std::vector<std::uint8_t>{}
                            : Table({T::Int32, T::UInt16, T::UInt16}, rows, 4);
    }
    if (name == "EAreaI.fsr") {
        for (const IndexArea& area : m_areas) {
            rows.push_back(
                WithRect({I(area.id), I(area.parent), area.name, I(area.level)}, area.rect));
        }
        return rows.empty() ? std::vector<std::uint8_t>{}
                            : Table({T::Int32, T::Int32, T::Text64, T::Int32, T::Float32,
                                     T::Float32, T::Float32, T::Float32},
                                    rows, 4);
    }
    if (name == "ADAS.fsx") {
        return FieldTable(m_adas);
    }
    if (name == "SignpostInfo.fsx") {
        return FieldTable(m_signposts);
    }
    if (name == "_s2c.fsr") {
        for (const auto& [id, mapped] : m_s2c) {
            rows.push_back({I(id), I(mapped)});
        }
        return rows.empty() ? std::vector<std::uint8_t>{} : Table({T::Int32, T::UInt32}, rows, 4);
    }
    return {};
}

bool AddressIndexWriter::WriteTo(const TempDeviceRoot& root, std::u16string_view folder,
                                 std::u16string_view basePath) const {
    static const char* const kTables[] = {"Cookie2AreaId.fsr",  "Cookie2Plz.fsr",   "ETypeI.fsr",
                                          "EntryPoints.fsr",    "HouseNumbers.fsr", "Countries.fsr",
                                          "Cookie2Country.fsr", "PLZes.fsr",        "EAreaI.fsr",
                                          "ADAS.fsx",           "SignpostInfo.fsx"};
    for (const char* name : kTables) {
        const std::vector<std::uint8_t> bytes = BuildTable(name);
        const std::string_view text(name);
        if (!bytes.empty() &&
            !root.WriteFile(
                std::u16string(folder) + u"\\" + std::u16string(text.begin(), text.end()), bytes)) {
            return false;
        }
    }
    static const char16_t* const kSignTables[] = {
        u"\\adas\\Cookie2Sign.txt", u"\\adas\\Sign2Enum.txt", u"\\adas\\Enum2Info.txt"};
    for (std::size_t i = 0; i < m_signTables.size(); ++i) {
        if (!m_signTables[i].empty() &&
            !root.WriteFile(std::u16string(folder) + kSignTables[i], m_signTables[i])) {
            return false;
        }
    }
    const std::vector<std::uint8_t> s2c = BuildTable("_s2c.fsr");
    return s2c.empty() || basePath.empty() ||
           root.WriteFile(std::u16string(basePath) + u"_s2c.fsr", s2c);
}

} // namespace testdata
