#include "ui/statusindicators.h"

#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/fonthandle.h"
#include "utilities/usefulcode/screendesc.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/format.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

namespace {

constexpr int kTextFaceKind = 2;

} // namespace

StatusIndicator::StatusIndicator(UINT id, const std::u16string& screenEntry)
    : BitmapButton(id, kTextFaceKind)
    , m_screenEntry(screenEntry) {
    ConnectMessageHandler(GetHandle().map, WM_COMMAND, this, &StatusIndicator::OnCommand);
}

void StatusIndicator::OnCommand(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    OnClick();
    *result = 0;
    *handled = true;
}

StatusIndicator::~StatusIndicator() = default;

void StatusIndicator::Click() {
    SendMessageW(GetWindow(), WM_COMMAND, GetDlgCtrlID(GetWindow()), 0);
}

void StatusIndicator::OnPaint() {
    HWND window = GetWindow();
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return;
    RECT client{};
    GetClientRect(window, &client);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
    SetBkColor(dc, 0x000000);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SelectObject(dc, oldBrush);

    const ScreenDescRect design = ScreenDesc::GetRect(u"Screen", m_screenEntry.c_str());
    FontHandle font;
    font.Create(u"Arial", FontHandle::HeightBetween(design.top, design.bottom), true, false, false);
    const Face face = GetFace();
    if (!face.text.empty()) {
        HGDIOBJ oldFont = SelectObject(dc, font.Get());
        const COLORREF oldColour = SetTextColor(dc, face.colour);
        DrawTextW(dc, face.text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SetTextColor(dc, oldColour);
        SelectObject(dc, oldFont);
    }
    font.Delete();
    ReleaseDC(window, dc);
    // Painted without BeginPaint: the update region would otherwise bring WM_PAINT back for ever.
    ValidateRect(window, nullptr);
}

GpsIndicator::GpsIndicator()
    : StatusIndicator(kId, u"RealGPS") {}

StatusIndicator::Face GpsIndicator::FaceFor(int fixClass, int satellites) {
    if (fixClass == 2) {
        // A receiver whose sentences carry no satellite count delivers the "not delivered"
        // marker, which is no count to show.
        if (satellites == GpsFix::kNotDelivered)
            return Face{u"GPS", kGoodColour};
        return Face{platform::FormatW(u"GPS %d", satellites), kGoodColour};
    }
    if (fixClass == 1)
        return Face{u"GPS 0", kBadColour};
    return Face{u"GPS!", kBadColour};
}

StatusIndicator::Face GpsIndicator::GetFace() const {
    const GpsStateMonitor& monitor = GpsStateMonitor::Instance();
    return FaceFor(monitor.GetFixClass(), monitor.GetSatelliteCount());
}

void GpsIndicator::OnClick() {
    GpsStateMonitor& monitor = GpsStateMonitor::Instance();
    HWND owner = monitor.GetIndicatorWindow();
    switch (monitor.GetFixClass()) {
    case 2:
        monitor.ShowDialog(owner);
        break;
    case 1:
        MsgBox(1180).DoModal(owner);
        break;
    default:
        MsgBox(1181).DoModal(owner);
        break;
    }
}

TmcIndicator::TmcIndicator()
    : StatusIndicator(kId, u"RealTMC") {
    TmcMonitor::Instance().GetEvent().Connect(this, &TmcIndicator::OnTmcEvent);
}

StatusIndicator::Face TmcIndicator::FaceFor(int state, int messages) {
    switch (state) {
    case 3:
        return Face{platform::FormatW(u"TMC %d", messages), kGoodColour};
    case 2:
        return Face{platform::FormatW(u"TMC %d", messages), kBadColour};
    case 1:
        return Face{u"TMC!", kBadColour};
    default:
        return Face{};
    }
}

StatusIndicator::Face TmcIndicator::GetFace() const {
    const TmcMonitor& monitor = TmcMonitor::Instance();
    return FaceFor(monitor.GetReceiverState(), monitor.GetMessageCount());
}

void TmcIndicator::OnClick() {
    TmcMonitor& monitor = TmcMonitor::Instance();
    switch (monitor.GetReceiverState()) {
    case 1:
        MsgBox(1178).DoModal(monitor.GetOwnerWindow());
        break;
    case 2:
        MsgBox(1179).DoModal(monitor.GetOwnerWindow());
        monitor.ShowMessages();
        break;
    case 3:
        monitor.ShowMessages();
        break;
    default:
        break;
    }
}

void TmcIndicator::OnTmcEvent() {
    HWND window = GetWindow();
    if (window != nullptr)
        InvalidateRect(window, nullptr, TRUE);
}

LogoBox::LogoBox()
    : BitmapButton(kId, false, false, 0) {}

void LogoBox::Click() {
    MsgBox(1182, u"", u"LogoBox").DoModal(GetWindow());
}
