#include "app/scenario/scenariocheck.h"

#include "app/pages/cnmappage.h"
#include "app/pages/navshowpage.h"
#include "app/scenario/scenariowindows.h"
#include "mapdisplay/mapstylefile.h"
#include "ui/bitmapbutton.h"
#include "ui/dialogbase.h"
#include "ui/gpsdlg.h"
#include "ui/messagedialogs.h"
#include "ui/pagebase.h"
#include "ui/progressdlg.h"
#include "ui/windowbase.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/gdi/messageboxwindow.h"
#include "platform/kernel/codepage.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <typeinfo>

namespace {

// Placeholders the program fills in before it shows a text.
constexpr std::u16string_view kPlaceholders[] = {u"<@>", u"%s", u"%d", u"%u"};
// Red pixels of the following marker (COLORREF 0x0000FF) that make it shown.
constexpr int kMarkerPixels = 60;
constexpr std::uint32_t kMarkerRed = 0xFF0000;
// How far around the marker's pixels roads are looked for, and how many road pixels count.
constexpr int kRoadMargin = 24;
constexpr int kRoadPixels = 5;

std::string Utf8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

std::string Describe(HWND window) {
    HWND top = TopLevelOf(window);
    std::string name = Utf8(SectionOf(top));
    if (name.empty())
        name = platform::IsMessageBoxWindow(top)
                   ? "the message box \"" + Utf8(WindowText(top)) + "\""
                   : "a window";
    if (window != top)
        name = "control " + std::to_string(GetDlgCtrlID(window)) + " of " + name;
    return name;
}

std::string UnfilledIn(const std::u16string& text, const std::string& where) {
    for (const std::u16string_view placeholder : kPlaceholders) {
        if (text.find(placeholder) != std::u16string::npos)
            return where + " shows \"" + Utf8(text) + "\" with its placeholder unfilled";
    }
    return {};
}

// A shown button of a framework window that draws its caption and has none (the indicators and
// the logo, buttons of their own kinds, draw their own faces).
bool IsBlankCaption(HWND window) {
    const WindowBase* parent = WindowBase::FromWindow(GetParent(window));
    const UINT id = static_cast<UINT>(GetDlgCtrlID(window));
    if (parent == nullptr || id == 0)
        return false;
    const std::shared_ptr<BitmapButton> found = parent->FindControl(id);
    if (found == nullptr)
        return false;
    const BitmapButton& button = *found;
    return typeid(button) == typeid(BitmapButton) && button.GetWindow() == window &&
           button.DrawsCaption() && WindowText(window).empty();
}

// The dialogs that draw their items' values themselves, not the items' texts.
bool DrawsItsItems(const DialogBase* dialog) {
    return dynamic_cast<const GpsDlg*>(dialog) != nullptr ||
           dynamic_cast<const ProgressDlg*>(dialog) != nullptr ||
           dynamic_cast<const VersionDlg*>(dialog) != nullptr;
}

std::uint32_t PixelOf(std::uint32_t colourRef) {
    return (colourRef & 0xFF) << 16 | (colourRef & 0xFF00) | (colourRef >> 16 & 0xFF);
}

// The pixel colours of the roads: the pens of the map's style sheets (day and night) at the
// scale, and the route's colours; black and white, which the marker and labels draw in too,
// left out.
std::set<std::uint32_t> RoadColours(MapCanvas& canvas, double scale) {
    static std::map<std::u16string, std::set<std::uint32_t>> s_sheets;
    std::set<std::uint32_t> colours;
    if (const six::RefCntPtr<MapEngineFacade> facade = canvas.GetEngine()) {
        for (const bool night : {false, true}) {
            const char16_t* name = facade->GetLevelStyleName(static_cast<float>(scale), night);
            if (name == nullptr || *name == 0)
                continue;
            auto sheet = s_sheets.find(name);
            if (sheet == s_sheets.end()) {
                std::set<std::uint32_t> pens;
                MapStyleFile file;
                if (file.LoadFile(name)) {
                    for (std::size_t i = 0; i < file.pens.Count(); ++i) {
                        pens.insert(PixelOf(file.pens.At(i).colour));
                        if (file.pens.At(i).innerWidth > 0)
                            pens.insert(PixelOf(file.pens.At(i).innerColour));
                    }
                }
                sheet = s_sheets.emplace(name, std::move(pens)).first;
            }
            colours.insert(sheet->second.begin(), sheet->second.end());
        }
    }
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    colours.insert(PixelOf(static_cast<std::uint32_t>(
        IniProfile::GetInt(u"Map", u"RouteColor", settings.c_str(), 0xFF0000))));
    colours.insert(PixelOf(static_cast<std::uint32_t>(
        IniProfile::GetInt(u"Map", u"RouteColorNight", settings.c_str(), 0xFF00))));
    colours.erase(0x000000);
    colours.erase(0xFFFFFF);
    colours.erase(kMarkerRed);
    return colours;
}

// The map view of the active page when the page follows the car and shows its map.
MapView* FollowingView() {
    WindowBase* page = WindowBase::FromWindow(ActiveWindow());
    if (const auto* guidance = dynamic_cast<CNMapPage*>(page))
        return guidance->IsArrowMode() ? nullptr : guidance->GetMapView();
    if (auto* moving = dynamic_cast<MovingMap*>(page))
        return moving->IsFollowing() ? moving->GetMapView() : nullptr;
    return nullptr;
}

} // namespace

std::string FindUnfilledText() {
    for (HWND window : platform::ShownWindows()) {
        const std::u16string text = WindowText(window);
        if (std::string problem = UnfilledIn(text, Describe(window)); !problem.empty())
            return problem;
        if (IsBlankCaption(window))
            return Describe(window) + " shows a blank caption";
        if (platform::IsMessageBoxWindow(GetParent(window)) && text.empty())
            return Describe(window) + " shows a blank text";
        if (const auto* page = dynamic_cast<PageBase*>(WindowBase::FromWindow(window));
            page != nullptr && page->GetTitle().empty())
            return Describe(window) + " shows a blank title";
        if (const DialogBase* dialog = DialogBase::FromWindow(window)) {
            for (const auto& [id, item] : dialog->GetItems()) {
                const std::string where =
                    "item " + std::to_string(id) + " of " + Utf8(dialog->GetSection());
                if (std::string problem = UnfilledIn(item.text, where); !problem.empty())
                    return problem;
                if (item.face == nullptr && item.text.empty() && !DrawsItsItems(dialog))
                    return where + " shows a blank text";
            }
        }
    }
    return {};
}

HWND FollowingMapOfActivePage() {
    MapView* view = FollowingView();
    MapCanvas* canvas = view != nullptr ? view->GetCanvas() : nullptr;
    HWND map = canvas != nullptr ? canvas->GetHwnd() : nullptr;
    return map != nullptr && IsWindowVisible(map) != FALSE ? map : nullptr;
}

std::uint64_t FollowSuspensionMs() {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    const int seconds = IniProfile::GetInt(u"AutoZoomDelay", u"Delay", settings.c_str(), 20);
    return static_cast<std::uint64_t>(std::max(seconds, 0)) * 1000;
}

std::string CheckFollowedCar(HWND map, const std::vector<std::uint32_t>& screen, int width) {
    MapView* view = FollowingView();
    MapCanvas* canvas = view != nullptr ? view->GetCanvas() : nullptr;
    if (canvas == nullptr || width <= 0)
        return {};
    // The car is judged as the view holds it, not by the clock: the receiver's positions reach
    // the page on their own threads, at moments the steps do not set. A view that has no
    // position of the car yet shows none, and one that no position has brought back since the
    // user moved it shows the car where the user left the map.
    if (!view->HasCarPosition() || view->IsFollowHeld())
        return {};
    const int height = static_cast<int>(screen.size()) / width;
    RECT area{};
    (void)GetWindowRect(map, &area);
    area = RECT{std::max<LONG>(area.left, 0), std::max<LONG>(area.top, 0),
                std::min<LONG>(area.right, width), std::min<LONG>(area.bottom, height)};
    const auto at = [&screen, width](int x, int y) {
        return screen[static_cast<std::size_t>(y) * width + x];
    };
    const double scale = canvas->GetScale();
    const std::string where = "the map of " + Utf8(SectionOf(ActiveWindow())) + " at " +
                              std::to_string(scale) + " m a pixel";
    // Where the view drew the marker last (in the map's client pixels): its red pixels there.
    if (!view->IsMarkerDrawn())
        return where + " has not drawn the car's marker";
    RECT marker = view->GetMarkerRect();
    POINT origin{0, 0};
    (void)ClientToScreen(map, &origin);
    OffsetRect(&marker, origin.x, origin.y);
    const std::string place = "(" + std::to_string(marker.left) + ", " +
                              std::to_string(marker.top) + ") - (" + std::to_string(marker.right) +
                              ", " + std::to_string(marker.bottom) + ")";
    int red = 0;
    for (LONG y = std::max(area.top, marker.top); y < std::min(area.bottom, marker.bottom); ++y) {
        for (LONG x = std::max(area.left, marker.left); x < std::min(area.right, marker.right); ++x)
            red += at(x, y) == kMarkerRed ? 1 : 0;
    }
    if (red < kMarkerPixels)
        return where + " does not show the car's marker drawn at " + place + " (" +
               std::to_string(red) + " of its pixels)";
    if (scale >= kRoadlessScale)
        return {};
    const std::set<std::uint32_t> roads = RoadColours(*canvas, scale);
    int found = 0;
    for (LONG y = std::max(area.top, marker.top - kRoadMargin);
         y < std::min(area.bottom, marker.bottom + kRoadMargin); ++y) {
        for (LONG x = std::max(area.left, marker.left - kRoadMargin);
             x < std::min(area.right, marker.right + kRoadMargin); ++x) {
            const bool onMarker = x >= marker.left - 3 && x < marker.right + 3 &&
                                  y >= marker.top - 3 && y < marker.bottom + 3;
            found += !onMarker && roads.contains(at(x, y)) ? 1 : 0;
        }
    }
    if (found < kRoadPixels)
        return where + " shows no roads around the car's marker at " + place;
    return {};
}
