#pragma once
// The value dialog of the simulation keys: a text (string id) over an edit field holding an
// integer, with "OK" and "Cancel". Screen-description section "GpsSimulationDlg".
// User-interface thread only.

#include "ui/customcombobox.h"
#include "ui/messagedialogs.h"

#include <memory>
#include <optional>

class GpsSimulationDlg : public ResultDialog {
public:
    static constexpr UINT kEditId = 559;
    static constexpr COLORREF kEditColour = 0x78571E;

    // A field of digits only (a byte position) takes no other typed character and shows a
    // negative value as empty; else signs and any text can be typed, and "OK" reads the number
    // they begin with.
    GpsSimulationDlg(UINT textId, int value, bool isDigitsOnly = false);
    ~GpsSimulationDlg() override;

    // The value shown at the start, or the one "OK" read (at most 16 characters, decimal; text
    // that does not begin with a number reads as 0, one beyond the range of int as its nearest
    // end).
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

// The text asking for a position in a replay file, and the one refusing a position past its end
// ("<@>": the file's length in bytes).
inline constexpr UINT kReplayPositionText = 559;
inline constexpr UINT kPositionPastEndText = 1410;

// Asks for a byte position in a replay file of length bytes, the field starting at position
// (empty for INVALID_SET_FILE_POINTER, a receiver without a file). The position confirmed; none
// when cancelled or when it lies past the end, which a message box over owner then tells with the
// length.
[[nodiscard]] std::optional<DWORD> AskReplayFilePosition(HWND owner, DWORD position, DWORD length);
