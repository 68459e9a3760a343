#include "app/scenario/scenariowindows.h"

#include "ui/dialogbase.h"
#include "ui/windowbase.h"

#include "platform/kernel/codepage.h"
#include "platform/window/input.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <algorithm>

namespace {

// The window a child window lies in; GetParent of a top-level window is its owner.
HWND TopLevelOf(HWND window) {
    while (window != nullptr && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0)
        window = GetParent(window);
    return window;
}

std::u16string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    text.resize(
        static_cast<std::size_t>(std::max(0, GetWindowTextW(window, text.data(), length + 1))));
    return text;
}

POINT CentreOf(const RECT& rect) {
    return POINT{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

// The shown child window with the id inside the top-level window; null when there is none.
HWND FindControl(HWND topLevel, UINT id) {
    for (HWND window : platform::ShownWindows()) {
        if (window != topLevel && TopLevelOf(window) == topLevel &&
            GetDlgCtrlID(window) == static_cast<int>(id))
            return window;
    }
    return nullptr;
}

} // namespace

HWND ActiveWindow() {
    HWND active = GetActiveWindow();
    return active != nullptr ? active : GetForegroundWindow();
}

std::u16string SectionOf(HWND window) {
    if (const DialogBase* dialog = DialogBase::FromWindow(window))
        return dialog->GetSection();
    if (const WindowBase* framework = WindowBase::FromWindow(window))
        return framework->GetSectionName();
    return {};
}

bool IsTextShown(const std::u16string& text) {
    for (HWND window : platform::ShownWindows()) {
        if (WindowText(window) == text)
            return true;
        if (const DialogBase* dialog = DialogBase::FromWindow(window)) {
            // A dialog's texts are items it draws itself.
            for (const auto& [id, item] : dialog->GetItems()) {
                if (item.text == text)
                    return true;
            }
        }
    }
    return false;
}

std::optional<POINT> FindTapPoint(UINT id, std::string& problem) {
    HWND active = ActiveWindow();
    if (active == nullptr) {
        problem = "no window is active";
        return std::nullopt;
    }
    const std::string control = "control " + std::to_string(id);
    if (HWND window = FindControl(active, id)) {
        RECT rect{};
        (void)GetWindowRect(window, &rect);
        const POINT point = CentreOf(rect);
        if (IsWindowEnabled(window) == FALSE)
            problem = control + " is disabled";
        else if (WindowFromPoint(point) != window)
            problem = control + " is covered";
        else
            return point;
        return std::nullopt;
    }
    if (const DialogBase* dialog = DialogBase::FromWindow(active)) {
        const DialogItem* item = dialog->FindItem(id);
        if (item != nullptr && item->face != nullptr) {
            POINT point = CentreOf(item->rect);
            (void)ClientToScreen(active, &point);
            return point;
        }
    }
    problem =
        "the active window (" + platform::Utf16ToUtf8(SectionOf(active)) + ") shows no " + control;
    return std::nullopt;
}
