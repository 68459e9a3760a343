#pragma once
// The value dialog of the simulation keys: a text (string id) over an edit field holding an
// integer, with "OK" and "Cancel". Screen-description section "GpsSimulationDlg".
// User-interface thread only.

#include "ui/customcombobox.h"
#include "ui/messagedialogs.h"

#include <memory>

class GpsSimulationDlg : public ResultDialog {
public:
    static constexpr UINT kEditId = 559;
    static constexpr COLORREF kEditColour = 0x78571E;

    // A field of digits only (a byte position) takes no other typed character; else signs and
    // any text can be typed, and "OK" reads the number they begin with.
    GpsSimulationDlg(UINT textId, int value, bool isDigitsOnly = false);
    ~GpsSimulationDlg() override;

    // The value shown at the start, or the one "OK" read (at most 16 characters, decimal; text
    // that does not begin with a number reads as 0).
    [[nodiscard]] int GetValue() const { return m_value; }
    [[nodiscard]] CustomEdit* GetEdit() const { return m_edit.get(); }

    BOOL OnInitDialog() override;
    // "OK" (1) stores the value and ends with 1; "Cancel" (2) ends with 2.
    BOOL OnCommand(UINT id, HWND control, UINT code) override;

private:
    int m_value;
    bool m_isDigitsOnly;
    std::unique_ptr<CustomEdit> m_edit;
};
