#pragma once
// The presettings page of the loudness (section "VolCntr"): Up and Down change the volume of wave
// device 0 at once in steps of 10 % (and stay even when the sheet is cancelled), say "[lauter]"
// or "[leiser]" and draw the level as a bar of 124 pixels at 100 %. The volume value reaches the
// record only through the sheet's OK. User-interface thread only.

#include "advisor/voiceoutput.h"
#include "app/settings/settingspage.h"

#include <cstdint>

class VolCntr : public SettingsPage {
public:
    static constexpr UINT kUpId = 974;
    static constexpr UINT kUpTextId = 1199;
    static constexpr UINT kDownId = 970;
    static constexpr UINT kDownTextId = 1201;
    static constexpr int kAreaKey = 1208;
    static constexpr int kBarKey = 1207;
    static constexpr COLORREF kAreaColour = 0xB28A12;
    static constexpr COLORREF kBarColour = 0x00B4FF;
    static constexpr COLORREF kFrameColour = 0x7B5218;
    // Bar pixels at 100 %, whatever the bar rectangle's width.
    static constexpr double kBarPixels = 124.0;

    // upPressed and downPressed are shown by the Up and Down state buttons and cleared on
    // creation; volume is the record's value. voice may be null: the volume then changes
    // silently.
    VolCntr(SettingsSheet* sheet, std::uint8_t upPressed, std::uint8_t downPressed,
            std::int32_t volume, six::RefCntPtr<IVoiceOutput> voice);
    ~VolCntr() override;
    // The handlers this class registers (its base keeps its own).
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_pageHandlers; }

    void SetInitialFocus() override;
    [[nodiscard]] std::int32_t GetVolume() const { return m_volume; }
    [[nodiscard]] std::int32_t GetCurrentLevel() const { return m_currentLevel; }
    // The bar's rectangle as last drawn.
    [[nodiscard]] RECT GetBarRect() const { return m_drawnBar; }

    // The device level in percent: the louder channel of wave device 0, truncated.
    [[nodiscard]] static std::int32_t ReadDeviceLevel();

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSizeArea(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void Press(bool isUp);
    void DrawBar(HDC dc);
    // Draws the area, the bar and the frame on the page's own window, under what covers it.
    void PaintArea();

    OwnerHandlerList m_pageHandlers;
    six::RefCntPtr<IVoiceOutput> m_voice;
    std::uint8_t m_upPressed;
    std::uint8_t m_downPressed;
    bool m_announceLouder = false;
    bool m_announceQuieter = false;
    std::int32_t m_volume;
    std::int32_t m_lastUpLevel = 0;
    std::int32_t m_lastDownLevel = 0;
    std::int32_t m_currentLevel = 0;
    RECT m_area{};
    RECT m_drawnBar{};
    HPEN m_areaPen = nullptr;
    HBRUSH m_areaBrush = nullptr;
    HPEN m_barPen = nullptr;
    HBRUSH m_barBrush = nullptr;
    HPEN m_framePen = nullptr;
};
