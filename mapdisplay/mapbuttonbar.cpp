#include "mapdisplay/mapview.h"
#include "utilities/usefulcode/distancetext.h"
#include "utilities/usefulcode/screendesc.h"

#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace {

constexpr int kWidth = 33;
constexpr int kCollapsedHeight = 21;
constexpr int kStep = 29;      // a button is a row higher: it shares one with the next
constexpr int kFirstStep = 20; // 890 is a row higher when the column is open
constexpr double kMinimumScale = 0.1;
constexpr double kMaximumScale = 3000.0;

int Scaled(int value, double factor) {
    return static_cast<int>(value * factor + 0.5);
}

} // namespace

MapButtonBar::MapButtonBar(MapView& view, bool isGuidance, bool isTracking)
    : m_view(view)
    , m_guidance(isGuidance)
    , m_tracking(isTracking) {}

MapButtonBar::~MapButtonBar() {
    Destroy();
}

void MapButtonBar::Destroy() {
    for (auto& [id, button] : m_buttons) {
        if (button->GetWindow() != nullptr) {
            DestroyWindow(button->GetWindow());
        }
    }
    m_buttons.clear();
    m_label.reset();
    if (m_font != nullptr) {
        DeleteObject(m_font);
        m_font = nullptr;
    }
    m_expanded = false;
}

BitmapButton* MapButtonBar::GetButton(UINT id) {
    for (auto& [buttonId, button] : m_buttons) {
        if (buttonId == id) {
            return button.get();
        }
    }
    return nullptr;
}

void MapButtonBar::Create(UINT id, bool isToggle, UINT alternative, DWORD style) {
    auto button = std::make_unique<BitmapButton>(id, isToggle, true, alternative);
    // The column's buttons overlap by a row: each keeps off the ones above it, so that a button
    // painted alone leaves the row shared with its neighbour as the whole column paints it.
    style |= WS_CLIPSIBLINGS;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", style, 0, 0, 0, 0, m_view.GetHwnd(),
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                    platform::ResourceInstance(), &button->GetHandle());
    if (button->GetWindow() != nullptr) {
        m_buttons.emplace_back(id, std::move(button));
    }
}

void MapButtonBar::Build(bool routePresent) {
    Destroy();
    HWND parent = m_view.GetHwnd();
    if (parent == nullptr) {
        return;
    }
    m_routePresent = routePresent;
    m_routePreview = routePresent && !m_guidance;
    Create(kExpand, false, 0, WS_CHILD | WS_VISIBLE);
    Create(kNames, true, 0, WS_CHILD);
    Create(kNorthUp, true, kNorthUpAlternative, WS_CHILD);
    Create(kZoomIn, false, 0, WS_CHILD);
    Create(kZoomOut, false, 0, WS_CHILD);
    Create(kBarButton, false, 0, WS_CHILD);
    Create(kNight, false, 0, WS_CHILD);
    if (!m_guidance && !m_routePreview && !m_routePresent && !m_tracking) {
        Create(kPick, true, 0, WS_CHILD);
    }
    if (m_routePreview) {
        Create(kNext, false, 0, WS_CHILD);
        Create(kPrevious, false, 0, WS_CHILD);
    }
    if (m_guidance || m_routePreview) {
        Create(kZoomToRoute, false, 0, WS_CHILD);
    }
    if (BitmapButton* northUp = GetButton(kNorthUp)) {
        northUp->SetState(m_northUp);
    }
    m_label = std::make_unique<CustomStatic>(parent, kLabelId, kLabelBackground, 0, 0xFFFFFF);
    if (m_label->GetWindow() != nullptr) {
        ShowWindow(m_label->GetWindow(), m_guidance ? SW_SHOW : SW_HIDE);
    }
    RECT client{};
    GetClientRect(parent, &client);
    LayOutLabel(client.right, client.bottom);
    Collapse();
    MapCanvas* canvas = m_view.m_canvas.get();
    canvas->SetScaleLimits(kMinimumScale, kMaximumScale);
    if (m_routePreview) {
        m_view.ZoomToExtent(false);
    } else if (m_guidance && canvas->GetTransform() != nullptr) {
        canvas->SetScale(1.0);
    }
}

std::vector<HWND> MapButtonBar::GetWindows() const {
    std::vector<HWND> windows;
    for (const auto& [id, button] : m_buttons) {
        windows.push_back(button->GetWindow());
    }
    if (m_label) {
        windows.push_back(m_label->GetWindow());
    }
    return windows;
}

void MapButtonBar::Place(UINT id, int top, int height) {
    BitmapButton* button = GetButton(id);
    HWND parent = m_view.GetHwnd();
    if (button == nullptr || parent == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(parent, &client);
    MoveWindow(button->GetWindow(), client.right - kWidth, top, kWidth, height, TRUE);
    ShowWindow(button->GetWindow(), SW_SHOW);
    // The face keys out the corners of its plate, where the map shows. The map paints the place
    // again first, then the windows over it: a picture another window left there before the
    // button came (the direction arrow's, which the button now covers) does not show through.
    const RECT area{client.right - kWidth, top, client.right, top + height};
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MapButtonBar::Collapse() {
    for (auto& [id, button] : m_buttons) {
        if (id != kExpand) {
            ShowWindow(button->GetWindow(), SW_HIDE);
        }
    }
    if (HWND parent = m_view.GetHwnd()) {
        RECT client{};
        GetClientRect(parent, &client);
        Place(kExpand, client.bottom - kCollapsedHeight, kCollapsedHeight);
    }
    m_expanded = false;
}

void MapButtonBar::Expand() {
    HWND parent = m_view.GetHwnd();
    if (parent == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(parent, &client);
    std::vector<UINT> order{kExpand};
    if (GetButton(kPick) != nullptr) {
        order.push_back(kPick);
    }
    order.push_back(kNight);
    if (m_guidance) {
        order.push_back(kBarButton);
    }
    order.push_back(m_guidance ? kNorthUp : kNames);
    if (m_tracking && !m_guidance) {
        order.push_back(kNorthUp);
    }
    order.push_back(kZoomIn);
    order.push_back(kZoomOut);
    if (m_routePreview) {
        order.push_back(kNext);
        order.push_back(kPrevious);
    }
    if (m_guidance || m_routePreview) {
        order.push_back(kZoomToRoute);
    }
    for (auto& [id, button] : m_buttons) {
        if (std::find(order.begin(), order.end(), id) == order.end()) {
            ShowWindow(button->GetWindow(), SW_HIDE);
        }
    }
    // The column stands on the map's bottom: 890, then the buttons, each sharing a row with the
    // one above it.
    const int rows = static_cast<int>(order.size()) - 1;
    int firstStep = kFirstStep;
    int step = kStep;
    const int height = kFirstStep + rows * kStep + 1;
    if (client.bottom < height) {
        // A map lower than the column (the guidance page's): the column is squeezed to the
        // map's height, each face drawn whole on a lower button, so that 890 stays on the map.
        firstStep = std::max(1, kFirstStep * (client.bottom - 1) / (height - 1));
        step = std::max(1, (client.bottom - 1 - firstStep) / std::max(rows, 1));
    }
    int top = client.bottom - (firstStep + rows * step + 1);
    Place(kExpand, top, firstStep + 1);
    top += firstStep;
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (GetButton(order[i]) == nullptr) {
            continue;
        }
        Place(order[i], top, step + 1);
        top += step;
    }
    m_expanded = true;
}

void MapButtonBar::OnCommand(MapControlMessage message) {
    const UINT id = LOWORD(message.wParam);
    BitmapButton* button = GetButton(id);
    if (button == nullptr) {
        return;
    }
    if (message.handled != nullptr) {
        *message.handled = true;
    }
    switch (id) {
    case kExpand:
        if (m_expanded) {
            Collapse();
        } else {
            Expand();
        }
        break;
    case kNames:
    case kPick: {
        const bool on = button->GetState() != 0;
        BitmapButton* other = GetButton(id == kNames ? kPick : kNames);
        if (id == kNames) {
            m_view.SetNamesOnTap(on);
            if (on) {
                m_view.SetPickOnTap(false);
            }
        } else {
            m_view.SetPickOnTap(on);
            if (on) {
                m_view.SetNamesOnTap(false);
            }
        }
        if (on && other != nullptr) {
            other->SetState(0);
        }
        break;
    }
    case kNorthUp:
        m_northUp = button->GetState();
        m_view.SetHeadingUp(m_northUp == 0);
        break;
    case kZoomIn:
        m_view.ZoomIn();
        break;
    case kZoomOut:
        m_view.ZoomOut();
        break;
    case kBarButton:
        if (m_view.m_listener != nullptr) {
            m_view.m_listener->OnBarButton();
        }
        break;
    case kNight:
        m_view.ToggleNightMode();
        break;
    case kNext:
        (void)m_view.NextPoint();
        break;
    case kPrevious:
        (void)m_view.PreviousPoint();
        break;
    case kZoomToRoute:
        m_view.ZoomToExtent(true);
        break;
    default:
        break;
    }
    switch (id) {
    case kNorthUp:
    case kZoomIn:
    case kZoomOut:
    case kZoomToRoute:
    case kPrevious:
    case kNext:
        m_view.WriteDumpIfOn();
        break;
    default:
        break;
    }
}

void MapButtonBar::UpdateRouteStatus(const MapRouteStatus& status) {
    if (!status.isValid) {
        return;
    }
    if (m_label && m_label->GetWindow() != nullptr) {
        ShowWindow(m_label->GetWindow(), status.value < 1 ? SW_SHOW : SW_HIDE);
    }
    if (status.distance != m_lastDistance && m_label && m_label->GetWindow() != nullptr) {
        m_lastDistance = status.distance;
        const std::u16string text = FormatDistanceText(status.distance, !m_metric);
        SetWindowTextW(m_label->GetWindow(), text.c_str());
    }
}

void MapButtonBar::LayOutLabel(int width, int height) {
    if (!m_label || m_label->GetWindow() == nullptr) {
        return;
    }
    const ScreenDescSize design = ScreenDesc::GetSize(u"Arrow", u"Size");
    const ScreenDescRect r = ScreenDesc::GetRect(u"Arrow", u"Distance");
    // Without a design size the design rectangle is taken as it stands.
    const double fx = design.width > 0 ? static_cast<double>(width) / design.width : 1.0;
    const double fy = design.height > 0 ? static_cast<double>(height) / design.height : 1.0;
    const int left = Scaled(r.left, fx);
    const int top = Scaled(r.top, fy);
    MoveWindow(m_label->GetWindow(), left, top, Scaled(r.right, fx) - left,
               Scaled(r.bottom, fy) - top, TRUE);
    LOGFONTW font{};
    font.lfHeight = static_cast<LONG>(0.5 - 40 * fy);
    std::char_traits<char16_t>::copy(font.lfFaceName, u"Arial", 6);
    if (HFONT created = CreateFontIndirectW(&font)) {
        SendMessageW(m_label->GetWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(created), TRUE);
        if (m_font != nullptr) {
            DeleteObject(m_font);
        }
        m_font = created;
    }
}

void MapButtonBar::HideAll() {
    for (auto& [id, button] : m_buttons) {
        ShowWindow(button->GetWindow(), SW_HIDE);
    }
    if (m_label && m_label->GetWindow() != nullptr) {
        ShowWindow(m_label->GetWindow(), SW_HIDE);
    }
    m_expanded = false;
}
