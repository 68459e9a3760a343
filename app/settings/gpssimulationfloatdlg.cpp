#include "app/settings/gpssimulationfloatdlg.h"

#include "platform/kernel/format.h"
#include "platform/kernel/text.h"
#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <vector>

namespace {

constexpr int kEditLeft = 50;
constexpr int kEditTop = 50;
constexpr int kEditWidth = 100;
constexpr int kEditHeight = 15;
constexpr int kShownChars = 64;

} // namespace

GpsSimulationFloatDlg::GpsSimulationFloatDlg(float value)
    : ResultDialog(u"GpsSimulationDlg", 2)
    , m_value(value) {
    AddText(u"Msg", kTextId);
    AddButton(u"Cancel", 2);
    AddButton(u"OK", 1);
}

GpsSimulationFloatDlg::~GpsSimulationFloatDlg() {
    m_edit.reset();
}

BOOL GpsSimulationFloatDlg::OnInitDialog() {
    Centre();
    m_edit = std::make_unique<CustomEdit>(GetWindow(), kEditId, kEditColour, 0);
    HWND edit = m_edit->GetWindow();
    MoveWindow(edit, kEditLeft, kEditTop, kEditWidth, kEditHeight, TRUE);
    WCHAR text[kShownChars] = {};
    (void)swprintf(text, kShownChars, u"%lf", static_cast<double>(m_value));
    SetWindowTextW(edit, text);
    // Typed digits go to the field at once and replace the value shown.
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    return FALSE;
}

BOOL GpsSimulationFloatDlg::OnCommand(UINT id, HWND, UINT) {
    if (id == 1) {
        std::vector<WCHAR> text(kMaxChars + 1, 0);
        if (m_edit != nullptr) {
            (void)GetWindowTextW(m_edit->GetWindow(), text.data(), kMaxChars + 1);
        }
        m_value = static_cast<float>(wcstod(text.data(), nullptr));
        result_ = 1;
        EndModal(1);
    } else if (id == 2) {
        result_ = 2;
        EndModal(2);
    }
    return TRUE;
}
