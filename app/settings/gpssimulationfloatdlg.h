#pragma once
// The value dialog of the route options pages (Ctrl+Shift+R): the text of string 558 over an
// edit field holding a floating-point value, with "OK" and "Cancel". Screen-description section
// "GpsSimulationDlg". User-interface thread only.

#include "ui/customcombobox.h"
#include "ui/messagedialogs.h"

#include <memory>

class GpsSimulationFloatDlg : public ResultDialog {
public:
    static constexpr UINT kTextId = 558;
    static constexpr UINT kEditId = 559;
    static constexpr COLORREF kEditColour = 0x78571E;
    // Characters of the edit field read.
    static constexpr int kMaxChars = 16;

    explicit GpsSimulationFloatDlg(float value);
    ~GpsSimulationFloatDlg() override;

    // The value shown at the start ("%lf"), or the one "OK" read (wcstod: text that does not
    // begin with a number reads as 0.0).
    [[nodiscard]] float GetValue() const { return m_value; }
    [[nodiscard]] CustomEdit* GetEdit() const { return m_edit.get(); }

    BOOL OnInitDialog() override;
    // "OK" (1) stores the value and ends with 1; "Cancel" (2) ends with 2.
    BOOL OnCommand(UINT id, HWND control, UINT code) override;

private:
    float m_value;
    std::unique_ptr<CustomEdit> m_edit;
};
