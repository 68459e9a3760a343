#include "testdata/datasetfolderwriter.h"

#include "testdata/archivewriter.h"
#include "testdata/tablefilewriter.h"

#include <utility>

namespace testdata {

namespace {

using T = ColumnType;
using Row = std::vector<TableValue>;

// The columns, key width and rows of one table as written.
struct TableImage {
    std::vector<ColumnType> columns;
    std::uint16_t keySize = 4;
    std::vector<Row> rows;
    bool isOrderedByKeyOnly = false; // records of one key stay in the order they were added
};

constexpr std::int32_t kFirstTextId = 100;

const std::array<const char*, kDatasetFileCount> kLogicalNames = {"XO_AN.fsr",
                                                                  "XO_I.fsr",
                                                                  "XO_PN.fsr",
                                                                  "XO_AT.fsr",
                                                                  "U2S.fsr",
                                                                  "AllCitiesByName.fsr",
                                                                  "AllCitiesByCountry.fsr",
                                                                  "PLZes.fsr",
                                                                  "EuroName.fsr",
                                                                  "EAreaI.fsr",
                                                                  "ETypeI.fsr",
                                                                  "SCoords.fsr",
                                                                  "S2U.fsr",
                                                                  "HouseNumbers.fsr"};

std::u16string Widen(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

std::int64_t I(std::int64_t value) {
    return value;
}

void AppendRect(Row& row, const GeoRect& rect) {
    row.insert(row.end(),
               {double{rect.minX}, double{rect.minY}, double{rect.maxX}, double{rect.maxY}});
}

} // namespace

DatasetFolderWriter& DatasetFolderWriter::AddArea(DatasetArea area) {
    m_areas.push_back(std::move(area));
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::AddCity(DatasetCityEntry city) {
    m_cities.push_back(std::move(city));
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::AddStreet(DatasetStreetEntry street) {
    m_streets.push_back(std::move(street));
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::AddElement(DatasetElement element) {
    m_elements.push_back(std::move(element));
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::AddPostalCode(DatasetPostalCodeEntry postalCode) {
    m_postalCodes.push_back(std::move(postalCode));
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::AddType(DatasetTypeEntry type) {
    m_types.push_back(std::move(type));
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::SetTable(DatasetFile file,
                                                   const DatasetTableChoice& choice) {
    m_choices[static_cast<std::size_t>(file)] = choice;
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::SetCollation(CollationVariant collation) {
    m_collation = collation;
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::SetUnknownNameText(std::string text) {
    m_unknownNameText = std::move(text);
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::MapFile(const std::string& section,
                                                  const std::string& logicalName,
                                                  const std::string& fileName) {
    m_sections[section].emplace_back(logicalName, fileName);
    return *this;
}

DatasetFolderWriter& DatasetFolderWriter::LeaveOutDescription() {
    m_hasDescription = false;
    return *this;
}

std::string DatasetFolderWriter::LogicalName(DatasetFile file) {
    return kLogicalNames[static_cast<std::size_t>(file)];
}

std::map<std::string, std::int32_t> DatasetFolderWriter::TextIds() const {
    std::map<std::string, std::int32_t> ids;
    std::int32_t next = kFirstTextId;
    for (const DatasetStreetEntry& street : m_streets) {
        for (const std::string* text : {&street.name, &street.postalCode}) {
            if (!text->empty() && ids.emplace(*text, next).second) {
                ++next;
            }
        }
    }
    return ids;
}

std::optional<std::int32_t> DatasetFolderWriter::TextIdOf(const std::string& text) const {
    const auto ids = TextIds();
    const auto found = ids.find(text);
    return found == ids.end() ? std::nullopt : std::optional<std::int32_t>(found->second);
}

std::vector<std::uint8_t> DatasetFolderWriter::BuildTable(DatasetFile file) const {
    const DatasetTableChoice& choice = m_choices[static_cast<std::size_t>(file)];
    const std::int32_t layout = choice.isRefused ? 0 : choice.layout;
    const auto textIds = TextIds();
    const auto textId = [&](const std::string& text) {
        const auto found = textIds.find(text);
        return I(found == textIds.end() ? -1 : found->second);
    };
    TableImage image;
    switch (file) {
    case DatasetFile::XoAn:
        image.columns = layout == 2   ? std::vector{T::Int32, T::Text16, T::Int32}
                        : layout == 1 ? std::vector{T::Int32, T::Text16, T::Int16, T::Int32}
                                      : std::vector{T::Int32, T::Text16, T::Int32, T::Int32};
        image.keySize = 20;
        for (const auto& street : m_streets) {
            for (std::size_t level = 0; level < 3; ++level) {
                const std::int32_t area = street.areas[level];
                // One record per distinct area of the street.
                bool isRepeated = false;
                for (std::size_t earlier = 0; earlier < level; ++earlier) {
                    isRepeated = isRepeated || street.areas[earlier] == area;
                }
                if (area == -1 || isRepeated) {
                    continue;
                }
                image.rows.push_back(layout == 2 ? Row{I(area), street.name, I(street.id)}
                                                 : Row{I(area), street.name, I(0), I(street.id)});
            }
        }
        break;
    case DatasetFile::XoI:
        image.columns = std::vector<ColumnType>(9, T::Int32);
        if (layout == 1) {
            image.columns[4] = T::Int16;
        }
        for (const auto& street : m_streets) {
            image.rows.push_back({I(street.id), I(street.areas[2]), I(street.areas[1]),
                                  I(street.areas[0]), I(street.typeId), textId(street.name), I(0),
                                  I(0), textId(street.postalCode)});
        }
        break;
    case DatasetFile::XoPn:
        image.columns = layout == 2   ? std::vector{T::Text16, T::Text16, T::Int32}
                        : layout == 1 ? std::vector{T::Text16, T::Text16, T::Int16, T::Int32}
                                      : std::vector{T::Text16, T::Text16, T::Int32, T::Int32};
        image.keySize = 32;
        for (const auto& street : m_streets) {
            if (!street.postalCode.empty()) {
                image.rows.push_back(layout == 2
                                         ? Row{street.postalCode, street.name, I(street.id)}
                                         : Row{street.postalCode, street.name, I(0), I(street.id)});
            }
        }
        break;
    case DatasetFile::XoAt:
        image.columns = layout == 2 ? std::vector{T::Int32, T::Int32, T::Text16, T::Int32}
                        : layout == 1
                            ? std::vector{T::Int32, T::Int16, T::Text16, T::Int16, T::Int32}
                            : std::vector{T::Int32, T::Int32, T::Text16, T::Int32, T::Int32};
        image.keySize = layout == 1 ? 22 : 24;
        for (const auto& street : m_streets) {
            for (std::int64_t level = 1; level <= 3; ++level) {
                const std::int32_t area = street.areas[static_cast<std::size_t>(level - 1)];
                if (area != -1) {
                    image.rows.push_back(
                        layout == 2 ? Row{I(area), level, street.name, I(street.id)}
                                    : Row{I(area), level, street.name, I(0), I(street.id)});
                }
            }
        }
        break;
    case DatasetFile::U2S:
        image.columns = {T::Int32, T::Int32};
        for (const auto& street : m_streets) {
            for (const std::uint32_t element : street.elements) {
                image.rows.push_back({I(street.id), I(element)});
            }
        }
        break;
    case DatasetFile::AllCitiesByName:
        image.columns = {T::Text64, T::Int32, T::Int32, T::UInt16};
        image.keySize = 64;
        for (const auto& city : m_cities) {
            image.rows.push_back({city.name, I(city.areaId), I(city.cityId), I(city.value)});
        }
        break;
    case DatasetFile::AllCitiesByCountry:
        image.columns = {T::UInt16, T::Text64, T::Int32, T::Int32, T::UInt16};
        image.keySize = 66;
        for (const auto& city : m_cities) {
            image.rows.push_back(
                {I(city.country), city.name, I(city.areaId), I(city.cityId), I(city.value)});
        }
        break;
    case DatasetFile::Plz:
        image.columns =
            layout == 2
                ? std::vector{T::UInt16, T::Text16, T::Float32, T::Float32, T::Float32, T::Float32}
            : layout == 1 ? std::vector{T::Text16, T::Float32, T::Float32, T::Float32, T::Float32}
                          : std::vector{T::Text16};
        image.keySize = layout == 2 ? 18 : 16;
        for (const auto& postalCode : m_postalCodes) {
            Row row;
            if (layout == 2) {
                row.push_back(I(postalCode.value));
            }
            row.push_back(postalCode.code);
            if (layout != 0) {
                AppendRect(row, postalCode.rect);
            }
            image.rows.push_back(std::move(row));
        }
        break;
    case DatasetFile::EuroName:
        image.columns = {T::Int32, T::Text64};
        for (const auto& [text, id] : textIds) {
            image.rows.push_back({I(id), text});
        }
        break;
    case DatasetFile::EArea:
        image.columns = layout == 1 ? std::vector{T::Int32,   T::Int32,   T::Text64,  T::Int32,
                                                  T::Float32, T::Float32, T::Float32, T::Float32}
                                    : std::vector{T::Int32, T::Int32, T::Text64};
        for (const auto& area : m_areas) {
            Row row{I(area.id), I(area.secondId), area.name};
            if (layout == 1) {
                row.push_back(I(area.kind));
                AppendRect(row, area.rect);
            }
            image.rows.push_back(std::move(row));
        }
        break;
    case DatasetFile::EType:
        image.columns = {T::Int16, T::Int16, T::Text64};
        image.keySize = 2;
        for (const auto& type : m_types) {
            image.rows.push_back({I(type.id), I(0), type.name});
        }
        break;
    case DatasetFile::SCoords:
        image.columns = {T::Int32, T::Float32, T::Float32};
        // An element's points are a line: they keep their order.
        image.isOrderedByKeyOnly = true;
        for (const auto& element : m_elements) {
            for (const GeoPoint& point : element.points) {
                image.rows.push_back({I(element.id), double{point.x}, double{point.y}});
            }
        }
        break;
    case DatasetFile::S2U:
        image.columns = {T::Int32, T::Int32, T::Int32};
        for (const auto& city : m_cities) {
            if (city.streetId) {
                image.rows.push_back({I(city.cityId), I(*city.streetId), I(0)});
            }
        }
        break;
    case DatasetFile::HouseNumbers:
        image.columns = {T::UInt32, T::UInt32, T::Text16, T::Text16};
        for (const auto& element : m_elements) {
            if (element.houseNumbers) {
                image.rows.push_back({I(element.id), I(element.houseNumbers->scheme),
                                      element.houseNumbers->firstSide,
                                      element.houseNumbers->secondSide});
            }
        }
        break;
    }
    if (choice.isRefused) {
        image.columns.push_back(T::Int32);
    }
    TableFileWriter writer(image.columns, m_collation);
    writer.SetKeySize(image.keySize);
    writer.SetOrderByKeyOnly(image.isOrderedByKeyOnly);
    for (const Row& row : image.rows) {
        writer.AddRow(row);
    }
    return writer.Build();
}

std::string DatasetFolderWriter::BuildDescription() const {
    std::string text = "[Database]\r\n";
    if (m_unknownNameText) {
        text += "Unknown Name Representation=" + *m_unknownNameText + "\r\n";
    }
    auto sections = m_sections;
    sections.try_emplace("Default");
    for (const auto& [section, keys] : sections) {
        text += "[" + section + "]\r\n";
        for (const auto& [logicalName, fileName] : keys) {
            text += logicalName + "=" + fileName + "\r\n";
        }
    }
    return text;
}

bool DatasetFolderWriter::WriteTo(const TempDeviceRoot& root, std::u16string_view folder) const {
    const std::u16string prefix = std::u16string(folder) + u"\\";
    bool isWritten = root.MakeFolder(folder);
    if (m_hasDescription) {
        isWritten = isWritten && root.WriteFile(prefix + u"DATABASE.TXT", BuildDescription());
    }
    ArchiveWriter archive;
    for (std::size_t i = 0; i < kDatasetFileCount; ++i) {
        const DatasetTableChoice& choice = m_choices[i];
        if (choice.isLeftOut) {
            continue;
        }
        const std::string name = choice.fileName.empty() ? kLogicalNames[i] : choice.fileName;
        const std::vector<std::uint8_t> bytes = BuildTable(static_cast<DatasetFile>(i));
        if (choice.isPacked) {
            isWritten = isWritten && archive.AddMember(name, bytes);
        } else {
            isWritten = isWritten && root.WriteFile(prefix + Widen(name), bytes);
        }
    }
    if (archive.MemberCount() != 0) {
        isWritten = isWritten && root.WriteFile(prefix + u"Tables.sfs", archive.Build());
    }
    return isWritten;
}

} // namespace testdata
