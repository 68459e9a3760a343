#include "app/settings/volcntr.h"

#include "platform/gdi/gdi.h"
#include "platform/sound/sound.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>

namespace {

constexpr std::int32_t kStep = 10;
constexpr std::int32_t kFull = 100;
constexpr COLORREF kVolumeLabelColour = 0xFFFFFF;

} // namespace

std::int32_t VolCntr::ReadDeviceLevel() {
    DWORD volume = 0;
    if (waveOutGetVolume(nullptr, &volume) != MMSYSERR_NOERROR) {
        return 0;
    }
    const DWORD louder = std::max(volume & 0xFFFF, volume >> 16);
    return static_cast<std::int32_t>(static_cast<double>(louder) / 65535.0 * 100.0);
}

VolCntr::VolCntr(SettingsSheet* sheet, std::uint8_t upPressed, std::uint8_t downPressed,
                 std::int32_t volume, six::RefCntPtr<IVoiceOutput> voice)
    : SettingsPage(sheet, u"VolCntr")
    , m_voice(std::move(voice))
    , m_upPressed(upPressed)
    , m_downPressed(downPressed)
    , m_volume(volume)
    , m_areaPen(CreatePen(PS_SOLID, 1, kAreaColour))
    , m_areaBrush(CreateSolidBrush(kAreaColour))
    , m_barPen(CreatePen(PS_SOLID, 1, kBarColour))
    , m_barBrush(CreateSolidBrush(kBarColour))
    , m_framePen(CreatePen(PS_SOLID, 1, kFrameColour)) {
    const std::int32_t level = ReadDeviceLevel();
    m_lastUpLevel = level;
    m_lastDownLevel = level;
    m_currentLevel = level;
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &VolCntr::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &VolCntr::OnCommand);
    ConnectMessageHandler(map, WM_PAINT, this, &VolCntr::OnPaint);
    ConnectMessageHandler(map, WM_SIZE, this, &VolCntr::OnSizeArea);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &VolCntr::OnKeyDown);
}

VolCntr::~VolCntr() {
    DestroyPageWindow();
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_areaPen), static_cast<HGDIOBJ>(m_areaBrush),
                           static_cast<HGDIOBJ>(m_barPen), static_cast<HGDIOBJ>(m_barBrush),
                           static_cast<HGDIOBJ>(m_framePen)}) {
        if (object != nullptr) {
            DeleteObject(object);
        }
    }
}

void VolCntr::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    AddArea(u"VolumeArea", kAreaKey);
    AddArea(u"VolumeBar", kBarKey);
    m_area = GetAreaRect(kAreaKey);
    CreateLabel(u"Loudness", 1206, kVolumeLabelColour, kTransparentBackground);
    CreateControl(u"TurnUp", kUpId, true, true, 0, 0);
    CreateControl(u"TurnUp", kUpTextId, true, false, 0, 0);
    CreateControl(u"TurnDown", kDownId, true, true, 0, 0);
    CreateControl(u"TurnDown", kDownTextId, true, false, 0, 0);
    m_upPressed = 0;
    m_downPressed = 0;
    SetButtonState(kUpId, m_upPressed);
    SetButtonState(kDownId, m_downPressed);
}

void VolCntr::OnSizeArea(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_area = GetAreaRect(kAreaKey);
}

void VolCntr::DrawBar(HDC dc) {
    const RECT bar = GetAreaRect(kBarKey);
    m_volume = m_currentLevel;
    m_drawnBar = RECT{bar.left, bar.top,
                      bar.left + static_cast<int>(m_currentLevel * 0.01 * kBarPixels), bar.bottom};
    HGDIOBJ oldPen = SelectObject(dc, m_barPen);
    HGDIOBJ oldBrush = SelectObject(dc, m_barBrush);
    Rectangle(dc, m_drawnBar.left, m_drawnBar.top, m_drawnBar.right, m_drawnBar.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

void VolCntr::PaintArea() {
    HWND window = GetHwnd();
    HDC dc = window != nullptr ? GetDC(window) : nullptr;
    if (dc == nullptr) {
        return;
    }
    HGDIOBJ oldPen = SelectObject(dc, m_areaPen);
    HGDIOBJ oldBrush = SelectObject(dc, m_areaBrush);
    Rectangle(dc, m_area.left, m_area.top, m_area.right, m_area.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DrawBar(dc);
    oldPen = SelectObject(dc, m_framePen);
    oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, m_area.left, m_area.top, m_area.right, m_area.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    ReleaseDC(window, dc);
}

void VolCntr::OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    PaintArea();
}

void VolCntr::Press(bool isUp) {
    std::int32_t level = 0;
    if (isUp) {
        InvalidateControl(GetHwnd(), kUpTextId);
        m_announceLouder = m_lastUpLevel != kFull; // the level before this press
        level = m_currentLevel > kFull - kStep ? kFull : m_currentLevel + kStep;
        m_upPressed = 0;
        m_announceQuieter = false;
        m_lastUpLevel = level;
    } else {
        InvalidateControl(GetHwnd(), kDownTextId);
        level = m_currentLevel < kStep ? 0 : m_currentLevel - kStep;
        m_downPressed = 0;
        m_lastDownLevel = level;
        m_announceQuieter = level != 0;
        m_announceLouder = false;
    }
    const auto channel = static_cast<DWORD>(static_cast<std::int32_t>(level * 655.35) & 0xFFFF);
    (void)waveOutSetVolume(nullptr, channel * 0x10001);
    if ((m_announceLouder || m_announceQuieter) && m_voice) {
        (void)m_voice->Say(m_announceLouder ? u"[lauter]" : u"[leiser]");
    }
    m_currentLevel = ReadDeviceLevel();
    PaintArea();
}

void VolCntr::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const auto value = static_cast<DWORD>(wParam);
    const UINT id = LOWORD(value);
    const UINT code = HIWORD(value);
    if (HandleCommonCommand(id, code)) {
        return;
    }
    const bool isUp = id == kUpId || id == kUpTextId;
    const bool isDown = id == kDownId || id == kDownTextId;
    if (!isUp && !isDown) {
        return;
    }
    if (code == kFocusMoveNotification) {
        if (isUp) {
            FocusControl(kUpTextId);
        } else {
            InvalidateControl(GetHwnd(), kDownTextId);
            FocusOk();
        }
        return;
    }
    Press(isUp);
}

void VolCntr::SetInitialFocus() {
    const UINT focused = GetFocusId();
    FocusControl(focused == kDownId || focused == kDownTextId ? kDownTextId : kUpTextId);
}

void VolCntr::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    (void)SendFocusMove(GetHwnd(), wParam, lParam);
}
