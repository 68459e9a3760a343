#include "mapdisplay/pickrecord.h"

#include <mutex>

namespace {

std::mutex g_mutex;
PickRecord g_record;

} // namespace

namespace pickrecord {

std::u16string_view StreetNameOf(std::u16string_view elementName) {
    return elementName.substr(0, elementName.find(u'/'));
}

void Set(std::uint32_t elementId, std::u16string_view elementName, std::u16string_view areaName,
         const GeoPoint& point) {
    PickRecord record;
    record.valid = true;
    record.elementId = elementId;
    record.streetName = StreetNameOf(elementName);
    record.areaName = areaName;
    record.point = point;
    std::lock_guard lock(g_mutex);
    g_record = std::move(record);
}

PickRecord Get() {
    std::lock_guard lock(g_mutex);
    return g_record;
}

void Clear() {
    std::lock_guard lock(g_mutex);
    g_record = PickRecord{};
}

} // namespace pickrecord
