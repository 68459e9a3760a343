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

class GpsReceiver;
class TmcReceiver;

// The text asking for a position in a replay file, the one refusing a position past its end
// ("<@>": the file's length in bytes) and the one telling that no replay file is open ("<@>": the
// key that opens one).
inline constexpr UINT kReplayPositionText = 559;
inline constexpr UINT kPositionPastEndText = 1410;
inline constexpr UINT kNoReplayFileText = 1411;

// The keys that open a replay file, in the main menu and on the guidance page alike: a GPS replay
// ('L') and an RDS group file ('T').
inline constexpr char16_t kOpenGpsReplayKey = u'L';
inline constexpr char16_t kOpenTmcReplayKey = u'T';

// Asks for a byte position in the replay file the receiver reads and moves the replay there; the
// field starts at its position (empty without a file). "OK" takes the file as it is then, which
// may have changed or closed while the box was up: without a file a message box over owner tells
// that none is open and the key that opens one; a position past the file's end, which the
// receiver checks again as it moves, is refused in one that gives the length the file has then.
void AskReplayFilePosition(HWND owner, GpsReceiver& receiver);
void AskReplayFilePosition(HWND owner, TmcReceiver& receiver);
