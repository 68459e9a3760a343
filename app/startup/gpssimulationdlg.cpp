#include "app/startup/gpssimulationdlg.h"

#include "positioning/gpsreceiver.h"
#include "traffic/tmcreceiver.h"

#include "platform/files/files.h"
#include "platform/kernel/format.h"
#include "platform/kernel/text.h"
#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

GpsSimulationDlg::GpsSimulationDlg(UINT textId, int value, bool isDigitsOnly)
    : ResultDialog(u"GpsSimulationDlg", 2)
    , m_value(value)
    , m_isDigitsOnly(isDigitsOnly) {
    AddText(u"Msg", textId);
    AddButton(u"Cancel", 2);
    AddButton(u"OK", 1);
}

GpsSimulationDlg::~GpsSimulationDlg() {
    m_edit.reset();
}

BOOL GpsSimulationDlg::OnInitDialog() {
    Centre();
    m_edit = std::make_unique<CustomEdit>(GetWindow(), kEditId, kEditColour,
                                          m_isDigitsOnly ? ES_NUMBER : 0);
    HWND edit = m_edit->GetWindow();
    MoveWindow(edit, 50, 50, 100, 15, TRUE);
    WCHAR text[16] = {};
    if (!m_isDigitsOnly || m_value >= 0) {
        (void)swprintf(text, 16, u"%d", m_value);
    }
    SetWindowTextW(edit, text);
    // Typed digits go to the field at once and replace the value shown.
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    return FALSE;
}

BOOL GpsSimulationDlg::OnCommand(UINT id, HWND, UINT) {
    if (id == 1) {
        constexpr int kMaxChars = 16;
        std::vector<WCHAR> text(kMaxChars + 1, 0);
        if (m_edit != nullptr)
            (void)GetWindowTextW(m_edit->GetWindow(), text.data(), kMaxChars + 1);
        m_value = static_cast<int>(_wtol(text.data()));
        result_ = 1;
        EndModal(1);
    } else if (id == 2) {
        result_ = 2;
        EndModal(2);
    }
    return TRUE;
}

namespace {

void TellReplayFileMessage(HWND owner, UINT textId, const std::u16string& insert) {
    MsgBox message(textId, insert, u"MsgBox");
    (void)message.DoModal(owner);
}

// Without a file the receiver has no position.
template <class Receiver> bool HasReplayFile(Receiver& receiver) {
    return receiver.GetFilePosition() != INVALID_SET_FILE_POINTER;
}

template <class Receiver> void AskAndMoveReplay(HWND owner, Receiver& receiver, char16_t openKey) {
    constexpr auto kLargestShown = static_cast<DWORD>(std::numeric_limits<int>::max());
    const DWORD position = receiver.GetFilePosition();
    GpsSimulationDlg dialog(kReplayPositionText,
                            position > kLargestShown ? -1 : static_cast<int>(position), true);
    if (dialog.DoModal(owner) != 1) {
        return;
    }
    // Digits only: no sign is read, and an overlong entry reads as the largest int.
    const auto chosen = static_cast<DWORD>(std::max(dialog.GetValue(), 0));
    // The file as it is now, not as it was when the box came up. The receiver checks the end
    // again as it moves: the file may change in between too.
    if (HasReplayFile(receiver) && chosen <= receiver.GetFileLength() &&
        receiver.SetFilePosition(chosen)) {
        return;
    }
    if (!HasReplayFile(receiver)) {
        TellReplayFileMessage(owner, kNoReplayFileText, std::u16string(1, openKey));
    } else {
        const std::string digits = std::to_string(receiver.GetFileLength());
        TellReplayFileMessage(owner, kPositionPastEndText,
                              std::u16string(digits.begin(), digits.end()));
    }
}

} // namespace

void AskReplayFilePosition(HWND owner, GpsReceiver& receiver) {
    AskAndMoveReplay(owner, receiver, kOpenGpsReplayKey);
}

void AskReplayFilePosition(HWND owner, TmcReceiver& receiver) {
    AskAndMoveReplay(owner, receiver, kOpenTmcReplayKey);
}
