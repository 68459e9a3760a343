#include "ui/windowlayout.h"

#include "ui/customcombobox.h"
#include "ui/shellhelpers.h"
#include "ui/statusindicators.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/gdi/gdi.h"
#include "platform/shell/resources.h"
#include "platform/window/controls.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

namespace {

constexpr COLORREF kControlBackground = 0x78571E;
constexpr int kControlTextMax = 64;
constexpr int kLabelTextMax = 128;
constexpr INT kMissingEntryKind = 9;
constexpr INT kComboKind = 4;
constexpr INT kEditKind = 6;

int Saturate(double value) {
    // NaN and values beyond the range: the nearest end (NaN counts as the upper one).
    if (!(value < 2147483648.0))
        return std::numeric_limits<int>::max();
    if (value <= -2147483649.0)
        return std::numeric_limits<int>::min();
    return static_cast<int>(value); // truncation toward zero
}

int ScaleCoordinate(INT value, float scale, int offset) {
    const float product = static_cast<float>(value) * scale;
    const int scaled = Saturate(static_cast<double>(product) + 0.5);
    return Saturate(static_cast<double>(scaled) + static_cast<double>(offset));
}

std::u16string LoadText(UINT id, int maxCharacters) {
    std::u16string text(static_cast<std::size_t>(maxCharacters) + 1, u'\0');
    const int length =
        LoadStringW(platform::ResourceInstance(), id, text.data(), maxCharacters + 1);
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

template <class T, class... Args> std::shared_ptr<T> MakeShared(Args&&... args) {
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (object == nullptr)
        return nullptr;
    try {
        return std::shared_ptr<T>(object);
    } catch (const std::bad_alloc&) {
        delete object;
        return nullptr;
    }
}

} // namespace

WindowLayout::WindowLayout(const std::u16string& sectionName)
    : m_sectionName(sectionName) {
    const ScreenDescSize size = ScreenDesc::GetSize(m_sectionName.c_str(), u"Size");
    m_designWidth = size.width;
    m_designHeight = size.height;
    m_helpPageName = ScreenDesc::GetHelpFile(m_sectionName.c_str());
}

WindowLayout::~WindowLayout() = default;

RECT WindowLayout::ScaleRect(const ScreenDescRect& design) const {
    return RECT{ScaleCoordinate(design.left, m_scaleX, m_offsetX),
                ScaleCoordinate(design.top, m_scaleY, m_offsetY),
                ScaleCoordinate(design.right, m_scaleX, m_offsetX),
                ScaleCoordinate(design.bottom, m_scaleY, m_offsetY)};
}

void WindowLayout::OnSize(int width, int height) {
    if (width == 0 || height == 0)
        return;
    // A section without "Size" leaves its axis unscaled instead of dividing by 0.
    m_scaleY = m_designHeight != 0 ? static_cast<float>(height) / static_cast<float>(m_designHeight)
                                   : 1.0f;
    m_scaleX =
        m_designWidth != 0 ? static_cast<float>(width) / static_cast<float>(m_designWidth) : 1.0f;
    m_offsetX = 0;
    m_offsetY = 0;
    for (LayoutEntry& entry : m_entries) {
        entry.current = ScaleRect(entry.design);
        if (entry.window != nullptr)
            MoveWindowToRect(entry.window, entry.current, false);
    }
    m_buttonFont.Create(u"Arial", -11, true, false, true);
    m_controlFont.Create(u"Arial", -11, true, false, true);
    const auto buttonFont = reinterpret_cast<WPARAM>(m_buttonFont.Get());
    const auto controlFont = reinterpret_cast<WPARAM>(m_controlFont.Get());
    for (const auto& button : m_buttons)
        SendMessageW(button->GetWindow(), WM_SETFONT, buttonFont, FALSE);
    for (const auto& control : m_inputControls)
        SendMessageW(control->GetWindow(), WM_SETFONT, controlFont, FALSE);
    for (const auto& label : m_labels)
        SendMessageW(label->GetWindow(), WM_SETFONT, controlFont, FALSE);
}

LayoutEntry WindowLayout::MakeEntry(LPCWSTR entryName, HWND window, int key) const {
    LayoutEntry entry;
    entry.window = window;
    entry.key = key;
    entry.design = ScreenDesc::GetRect(m_sectionName.c_str(), entryName);
    return entry;
}

void WindowLayout::AddChild(LPCWSTR entryName, HWND window) {
    m_entries.push_back(MakeEntry(entryName, window, 0));
}

void WindowLayout::AddOverlayChild(LPCWSTR entryName, HWND window) {
    m_floating.push_back(MakeEntry(entryName, window, 0));
}

void WindowLayout::AddArea(LPCWSTR entryName, int key) {
    LayoutEntry entry = MakeEntry(entryName, nullptr, key);
    entry.current = ScaleRect(entry.design);
    m_entries.push_back(entry);
}

RECT WindowLayout::GetAreaRect(int key) const {
    for (const LayoutEntry& entry : m_entries) {
        if (entry.key == key)
            return entry.current;
    }
    return RECT{};
}

RECT WindowLayout::GetChildRect(HWND window) const {
    for (const LayoutEntry& entry : m_entries) {
        if (entry.window == window && window != nullptr)
            return entry.current;
    }
    return RECT{};
}

HWND WindowLayout::AdoptButton(LPCWSTR entryName, std::shared_ptr<BitmapButton> button,
                               LPCWSTR text, DWORD style, UINT childId) {
    if (button == nullptr)
        return nullptr;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), text, style, 0, 0, 0, 0, GetHwnd(),
                    reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(childId)),
                    platform::ResourceInstance(), &button->GetHandle());
    HWND window = button->GetWindow();
    if (window == nullptr)
        return nullptr;
    AddChild(entryName, window);
    AddOverlayChild(entryName, window);
    m_buttons.push_back(std::move(button));
    return window;
}

HWND WindowLayout::CreateControl(LPCWSTR entryName, UINT id, bool isVisible, bool isToggle,
                                 DWORD extraStyle, UINT alternativeBitmapId) {
    const ScreenDescItem item = ScreenDesc::GetRectAndFlag(m_sectionName.c_str(), entryName);
    if (item.kind == kMissingEntryKind)
        return nullptr;
    if (item.kind == kComboKind || item.kind == kEditKind) {
        std::shared_ptr<CustomControl> control;
        if (item.kind == kComboKind) {
            control = MakeShared<CustomComboBox>(GetHwnd(), id, kControlBackground, extraStyle);
        } else {
            control = MakeShared<CustomEdit>(GetHwnd(), id, kControlBackground,
                                             extraStyle | ES_AUTOHSCROLL);
        }
        if (control == nullptr || control->GetWindow() == nullptr)
            return nullptr;
        AddChild(entryName, control->GetWindow());
        m_inputControls.push_back(control);
        return control->GetWindow();
    }
    std::shared_ptr<BitmapButton> button =
        item.kind == 0 ? MakeShared<BitmapButton>(id, isToggle, true, alternativeBitmapId)
                       : MakeShared<BitmapButton>(id, static_cast<int>(item.kind));
    const std::u16string text = LoadText(id, kControlTextMax);
    const DWORD style = WS_CHILD | WS_TABSTOP | (isVisible ? WS_VISIBLE : 0);
    return AdoptButton(entryName, std::move(button), text.c_str(), style, id);
}

HWND WindowLayout::CreateLabel(LPCWSTR entryName, UINT stringId, COLORREF textColour,
                               COLORREF background) {
    auto label = MakeShared<CustomStatic>(GetHwnd(), stringId, background, 0, textColour);
    if (label == nullptr || label->GetWindow() == nullptr)
        return nullptr;
    HWND window = label->GetWindow();
    AddChild(entryName, window);
    if (background == kTransparentBackground)
        AddOverlayChild(entryName, window);
    m_labels.push_back(label);
    SetWindowTextW(window, LoadText(stringId, kLabelTextMax).c_str());
    return window;
}

HWND WindowLayout::CreateLogoBox() {
    return AdoptButton(u"RealLOGO", MakeShared<LogoBox>(), u"", WS_CHILD | WS_TABSTOP, 0);
}

HWND WindowLayout::CreateGpsIndicator() {
    const std::u16string text = LoadText(GpsIndicator::kId, kControlTextMax);
    return AdoptButton(u"RealGPS", MakeShared<GpsIndicator>(), text.c_str(), WS_CHILD | WS_TABSTOP,
                       GpsIndicator::kId);
}

HWND WindowLayout::CreateTmcIndicator() {
    const std::u16string text = LoadText(TmcIndicator::kId, kControlTextMax);
    return AdoptButton(u"RealTMC", MakeShared<TmcIndicator>(), text.c_str(), WS_CHILD | WS_TABSTOP,
                       TmcIndicator::kId);
}

std::shared_ptr<BitmapButton> WindowLayout::FindControl(UINT id) const {
    for (const auto& button : m_buttons) {
        if (static_cast<UINT>(GetDlgCtrlID(button->GetWindow())) == id)
            return button;
    }
    return nullptr;
}

HWND WindowLayout::FindChild(UINT id) const {
    // A combo box's edit field carries the combo box's id and is the later child, so GetDlgItem
    // would find the edit field: the input controls made here answer first.
    for (const auto& control : m_inputControls) {
        if (static_cast<UINT>(GetDlgCtrlID(control->GetWindow())) == id)
            return control->GetWindow();
    }
    return GetDlgItem(GetHwnd(), static_cast<int>(id));
}

void WindowLayout::EnableControl(UINT id, bool enable) {
    HWND child = FindChild(id);
    if (child == nullptr)
        return;
    EnableWindow(child, enable ? TRUE : FALSE);
    const bool isFloating =
        std::any_of(m_floating.begin(), m_floating.end(),
                    [child](const LayoutEntry& entry) { return entry.window == child; });
    if (!isFloating) {
        InvalidateRect(child, nullptr, FALSE);
        return;
    }
    // A floating child draws over the background: the page paints it under the child first.
    RECT area{};
    GetWindowRect(child, &area);
    ScreenRectToClient(GetHwnd(), &area);
    InvalidateRect(GetHwnd(), &area, TRUE);
}

bool WindowLayout::IsControlEnabled(UINT id) const {
    HWND child = FindChild(id);
    return child != nullptr && IsWindowEnabled(child) != FALSE;
}

void WindowLayout::ShowControl(UINT id, bool show) {
    HWND child = FindChild(id);
    if (child != nullptr)
        ShowWindow(child, show ? SW_SHOW : SW_HIDE);
}

void WindowLayout::ShowAllControls(bool show) {
    const int command = show ? SW_SHOW : SW_HIDE;
    for (const auto& button : m_buttons)
        ShowWindow(button->GetWindow(), command);
    for (const auto& control : m_inputControls)
        ShowWindow(control->GetWindow(), command);
}

void WindowLayout::SetButtonState(UINT id, BYTE state) {
    for (const auto& button : m_buttons) {
        if (static_cast<UINT>(GetDlgCtrlID(button->GetWindow())) == id)
            button->SetState(state);
    }
}

void WindowLayout::ShowOverlayChildren(bool show) {
    const int command = show ? SW_SHOW : SW_HIDE;
    for (const LayoutEntry& entry : m_floating)
        ShowWindow(entry.window, command);
}

void WindowLayout::HideOverlayChildrenQuietly(const RECT* box) {
    // The part of the client that shows on the screen: what a paint's box can reach.
    RECT reachable{};
    GetClientRect(GetHwnd(), &reachable);
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    ScreenRectToClient(GetHwnd(), &screen);
    IntersectRect(&reachable, &reachable, &screen);
    for (const LayoutEntry& entry : m_floating) {
        if (box != nullptr && IsWindowVisible(entry.window) != FALSE) {
            RECT child{};
            GetWindowRect(entry.window, &child);
            ScreenRectToClient(GetHwnd(), &child);
            RECT shown{};
            RECT inside{};
            if (!IntersectRect(&shown, &child, &reachable) || !IntersectRect(&inside, &shown, box))
                continue; // its background is not painted: it stays as it is
            if (inside.left != shown.left || inside.top != shown.top ||
                inside.right != shown.right || inside.bottom != shown.bottom)
                InvalidateRect(GetHwnd(), &shown, TRUE);
        }
        SetWindowPos(entry.window, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                         SWP_NOACTIVATE);
    }
}
