#pragma once
// The status controls of a page's corner: the GPS indicator (fix class and satellites of the
// GpsStateMonitor), the TMC indicator (receiver state and message count of the TmcMonitor) and
// the logo. The indicators paint a black box with a coloured text through GetDC, also for a
// posted WM_PAINT, and handle their own clicks. User-interface thread only.

#include "ui/bitmapbutton.h"

#include <string>

class StatusIndicator : public BitmapButton {
public:
    static constexpr COLORREF kGoodColour = 0x39EA84;
    static constexpr COLORREF kBadColour = 0x0000FF;

    // A text button of identifier id whose font height is the design height of the entry of
    // section "Screen".
    StatusIndicator(UINT id, const std::u16string& screenEntry);
    ~StatusIndicator() override;

    // Sends WM_COMMAND with the identifier to the indicator itself.
    void Click() override;
    // Fills the client area black and draws the state text centred; validates the client area.
    void OnPaint() override;

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    struct Face {
        std::u16string text; // empty: no text
        COLORREF colour = 0;
    };
    // The text and colour for the present state.
    [[nodiscard]] virtual Face GetFace() const = 0;
    // What a click does in the present state.
    virtual void OnClick() = 0;

protected:
    OwnerHandlerList m_handlers;

private:
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    std::u16string m_screenEntry;
};

class GpsIndicator : public StatusIndicator {
public:
    static constexpr UINT kId = 1138;
    GpsIndicator();
    // Class 2: "GPS n" green ("GPS" when the count is GpsFix::kNotDelivered); 1: "GPS 0" red;
    // 0 and -1: "GPS!" red.
    [[nodiscard]] static Face FaceFor(int fixClass, int satellites);
    [[nodiscard]] Face GetFace() const override;
    // Class 2: the GPS dialog; 1: message 1180; 0 and -1: message 1181. Over the monitor's
    // indicator window.
    void OnClick() override;
};

class TmcIndicator : public StatusIndicator {
public:
    static constexpr UINT kId = 1143;
    // Connects to the TmcMonitor's event: each event repaints the whole indicator.
    TmcIndicator();
    // State 3: "TMC n" green; 2: "TMC n" red; 1: "TMC!" red; others no text.
    [[nodiscard]] static Face FaceFor(int state, int messages);
    [[nodiscard]] Face GetFace() const override;
    // State 1: message 1178; 2: message 1179, then the messages; 3: the messages; others
    // nothing. Message boxes over the TmcMonitor's owner window.
    void OnClick() override;

private:
    void OnTmcEvent();
};

class LogoBox : public BitmapButton {
public:
    static constexpr UINT kId = 1184;
    // The language library's bitmap 1184, stretched.
    LogoBox();
    // Message 1182 of section "LogoBox" over the logo.
    void Click() override;
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    OwnerHandlerList m_handlers;
};
