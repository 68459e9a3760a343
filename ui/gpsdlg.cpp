#include "ui/gpsdlg.h"

#include "platform/gdi/text.h"
#include "platform/window/paint.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kHemisphereLength = 10;
constexpr std::uint32_t kSecondsPerDay = 86400;

std::u16string Widen(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

std::u16string Number(long long value) {
    return Widen(std::to_string(value));
}

} // namespace

GpsDlg::GpsDlg()
    : DialogBase(u"GpsDlg") {
    east_ = LoadDialogString(1210, kHemisphereLength);
    west_ = LoadDialogString(1211, kHemisphereLength);
    north_ = LoadDialogString(1212, kHemisphereLength);
    south_ = LoadDialogString(1213, kHemisphereLength);
    AddText(u"GMT", 568);
    AddText(u"GMTVAL", kTimeId);
    AddText(u"LONGITUDE", 569);
    AddText(u"PosX", kLongitudeId);
    AddText(u"LATITUDE", 570);
    AddText(u"PosY", kLatitudeId);
    AddText(u"Satelites", 529);
    AddText(u"NumSatel", kSatellitesId);
    AddText(u"H-DOP", 571);
    AddText(u"H-DOPVAL", kHdopId);
    AddText(u"QUALITY", 572);
    AddText(u"QUALTYVAL", kQualityId);
    AddButton(u"OK", 1);
}

void GpsDlg::Update(const MatchedPosition& position) {
    bool changed[6] = {};
    {
        std::lock_guard lock(lock_);
        latest_ = position;
        const GpsFix& before = shown_.fix;
        const GpsFix& now = latest_.fix;
        changed[kSatellitesId - 101] = before.satellites != now.satellites;
        changed[kLongitudeId - 101] = shown_.matched.x != latest_.matched.x;
        changed[kLatitudeId - 101] = shown_.matched.y != latest_.matched.y;
        changed[kTimeId - 101] = before.utcTime != now.utcTime;
        changed[kHdopId - 101] = before.hdop != now.hdop;
        changed[kQualityId - 101] = (before.hdop > 0.0f) != (now.hdop > 0.0f);
        shown_ = latest_;
    }
    HWND window = GetWindow();
    if (window == nullptr)
        return;
    for (UINT id = kSatellitesId; id <= kQualityId; ++id) {
        const DialogItem* item = FindItem(id);
        if (changed[id - 101] && item != nullptr)
            InvalidateRect(window, &item->rect, TRUE);
    }
}

std::u16string GpsDlg::Sexagesimal(double value, double limit, const std::u16string& positive,
                                   const std::u16string& negative) {
    const double magnitude = std::fabs(value);
    const auto degrees = static_cast<long long>(magnitude);
    const double minutesExact = (magnitude - static_cast<double>(degrees)) * 60.0;
    const auto minutes = static_cast<long long>(minutesExact);
    const auto seconds =
        static_cast<long long>((minutesExact - static_cast<double>(minutes)) * 60.0);
    std::u16string hemisphere;
    if (value > 0.0 && value < limit)
        hemisphere = positive;
    else if (value < 0.0 && value > -limit)
        hemisphere = negative;
    return Number(degrees) + u"\u00B0" + Number(minutes) + u"\u00B4" + Number(seconds) +
           u"\u00B4\u00B4 " + hemisphere;
}

std::u16string GpsDlg::FormatItem(UINT id, const MatchedPosition& position) const {
    const GpsFix& fix = position.fix;
    switch (id) {
    case kSatellitesId:
        // The "not delivered" marker is no count: the item stays empty.
        return fix.satellites == GpsFix::kNotDelivered ? std::u16string() : Number(fix.satellites);
    case kLongitudeId:
        return Sexagesimal(position.matched.x, 180.0, east_, west_);
    case kLatitudeId:
        return Sexagesimal(position.matched.y, 90.0, north_, south_);
    case kTimeId: {
        // A time of 0 was not delivered (a receiver without a fix): no midnight to show.
        if (fix.utcTime == 0)
            return {};
        const std::uint32_t seconds = fix.utcTime % kSecondsPerDay;
        return Number(seconds / 3600) + u":" + Number(seconds % 3600 / 60) + u":" +
               Number(seconds % 60) + u" ";
    }
    case kHdopId: {
        char text[64];
        std::snprintf(text, sizeof(text), "%0.1f", static_cast<double>(fix.hdop));
        return Widen(text);
    }
    case kQualityId:
        return Number(fix.hdop > 0.0f ? 1 : 0);
    default:
        return {};
    }
}

void GpsDlg::DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text) {
    if (id < kSatellitesId || id > kQualityId) {
        DialogBase::DrawItem(dc, id, rect, text);
        return;
    }
    MatchedPosition position;
    {
        std::lock_guard lock(lock_);
        position = shown_;
    }
    const std::u16string value = FormatItem(id, position);
    SetTextColor(dc, 0x000000);
    SetBkMode(dc, TRANSPARENT);
    RECT box = rect;
    DrawTextW(dc, value.c_str(), static_cast<int>(value.size()), &box, DT_SINGLELINE | DT_VCENTER);
}
