#include "testdata/recordingengine.h"

#include <cstdio>
#include <utility>

namespace testdata {

namespace {

// Arguments as text: numbers in decimal, texts quoted (code units above 0x7F as '?').
std::string Text(const std::u16string& text) {
    std::string out = "\"";
    for (const char16_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out + "\"";
}

std::string Number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

std::string Point(const GeoPoint& point) {
    return "(" + Number(point.x) + " " + Number(point.y) + ")";
}

} // namespace

std::vector<std::string> RecordingEngine::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void RecordingEngine::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

void RecordingEngine::Record(std::string line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(std::move(line));
}

bool RecordingEngine::IsCookie2CountryOpen() {
    Record("IsCookie2CountryOpen()");
    return script.flag;
}

bool RecordingEngine::IsOpen() {
    Record("IsOpen()");
    return script.flag;
}

GeoMoleculePtr RecordingEngine::CreateGeoMolecule(std::uint32_t id, std::uint16_t code) {
    Record("CreateGeoMolecule(" + std::to_string(id) + ", " + std::to_string(code) + ")");
    return script.molecule;
}

GeoMoleculePtr RecordingEngine::CreateMappedGeoMolecule(std::uint32_t id,
                                                        const std::u16string& name,
                                                        std::uint16_t code) {
    Record("CreateMappedGeoMolecule(" + std::to_string(id) + ", " + Text(name) + ", " +
           std::to_string(code) + ")");
    return script.molecule;
}

QueryDefaults RecordingEngine::GetQueryDefaults() {
    Record("GetQueryDefaults()");
    return script.defaults;
}

QueryDefaults* RecordingEngine::GetQueryDefaultsRef() {
    Record("GetQueryDefaultsRef()");
    return &script.defaults;
}

GeoMoleculeCursorPtr RecordingEngine::FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                                float distance, const std::u16string& name) {
    std::string parts;
    for (const auto& part : geometry) {
        parts += "[";
        for (const GeoPoint& point : part) {
            parts += Point(point);
        }
        parts += "]";
    }
    Record("FindAlong(" + parts + ", " + Number(distance) + ", " + Text(name) + ")");
    return script.streets;
}

GeoMoleculeCursorPtr RecordingEngine::FindInPostalCode(const std::u16string& postalCode,
                                                       std::uint32_t value,
                                                       const std::u16string& name) {
    Record("FindInPostalCode(" + Text(postalCode) + ", " + std::to_string(value) + ", " +
           Text(name) + ")");
    return script.streets;
}

GeoMoleculeCursorPtr RecordingEngine::FindInArea(std::uint32_t areaId, const std::u16string& name) {
    Record("FindInArea(" + std::to_string(areaId) + ", " + Text(name) + ")");
    return script.streets;
}

GeoMoleculeCursorPtr RecordingEngine::FindAround(const GeoPoint& position, float radius,
                                                 const std::u16string& name) {
    Record("FindAround(" + Point(position) + ", " + Number(radius) + ", " + Text(name) + ")");
    return script.streets;
}

GeoMoleculeCursorPtr RecordingEngine::FindInRect(const GeoRect& rect, const std::u16string& name) {
    Record("FindInRect(" + Point({rect.minX, rect.minY}) + Point({rect.maxX, rect.maxY}) + ", " +
           Text(name) + ")");
    return script.streets;
}

std::u16string RecordingEngine::LookupArea(std::uint32_t areaId) {
    Record("LookupArea(" + std::to_string(areaId) + ")");
    return script.text;
}

std::u16string RecordingEngine::GetETypeName(std::uint16_t typeId) {
    Record("GetETypeName(" + std::to_string(typeId) + ")");
    return script.text;
}

std::vector<CountryPtr> RecordingEngine::GetCountries(std::uint16_t language) {
    Record("GetCountries(" + std::to_string(language) + ")");
    return script.countries;
}

AddressCursorPtr RecordingEngine::FindCities(const std::u16string& name, std::uint16_t country) {
    Record("FindCities(" + Text(name) + ", " + std::to_string(country) + ")");
    return script.cities;
}

PostalCodeCursorPtr RecordingEngine::FindPostalCodes(const std::u16string& postalCode,
                                                     std::uint16_t value) {
    Record("FindPostalCodes(" + Text(postalCode) + ", " + std::to_string(value) + ")");
    return script.postalCodes;
}

TypeCursorPtr RecordingEngine::GetETypeCursor() {
    Record("GetETypeCursor()");
    return script.types;
}

CountryPtr RecordingEngine::GetCountry(std::uint16_t number, std::uint16_t language) {
    Record("GetCountry(" + std::to_string(number) + ", " + std::to_string(language) + ")");
    return script.country;
}

AddressResultPtr RecordingEngine::GetAddressOfElement(std::uint32_t elementId,
                                                      std::uint16_t value) {
    Record("GetAddressOfElement(" + std::to_string(elementId) + ", " + std::to_string(value) + ")");
    return script.address;
}

std::int32_t RecordingEngine::WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) {
    Record("WalkAreaHierarchy(" + std::to_string(areaId) + ", " + std::to_string(value) + ")");
    return script.areaWalk;
}

bool RecordingEngine::HasAddressIndex() {
    Record("HasAddressIndex()");
    return script.flag;
}

bool RecordingEngine::HasNameFile() {
    Record("HasNameFile()");
    return script.flag;
}

bool RecordingEngine::IsHouseNumbersOpen() {
    Record("IsHouseNumbersOpen()");
    return script.flag;
}

bool RecordingEngine::Open(const std::u16string& levelFile) {
    Record("Open(" + Text(levelFile) + ")");
    return script.flag;
}

bool RecordingEngine::IsMapSetOpen() {
    Record("IsMapSetOpen()");
    return script.flag;
}

void RecordingEngine::Close() {
    Record("Close()");
}

GeoRect RecordingEngine::GetExtent() {
    Record("GetExtent()");
    return script.extent;
}

six::IntfPtr<MapElement> RecordingEngine::GetMappedElement(std::uint32_t id) {
    Record("GetMappedElement(" + std::to_string(id) + ")");
    return nullptr;
}

BlockCachePtr RecordingEngine::GetBlockCache() {
    Record("GetBlockCache()");
    return script.cache;
}

RecordingEnginePtr MakeRecordingEngine() {
    return RecordingEnginePtr(new RecordingEngine());
}

RetrievalEngine::RetrievalEnginePtr EngineInterface(const RecordingEnginePtr& engine) {
    return RetrievalEngine::RetrievalEnginePtr(engine);
}

} // namespace testdata
