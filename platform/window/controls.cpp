// Registration of the system classes.
#include "platform/window/controls.h"

#include "platform/window/detail/state.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <atomic>
#include <mutex>

namespace platform::window_detail {

LRESULT PaintAskingParent(HWND control, UINT colourMessage) {
    PAINTSTRUCT paint{};
    BeginPaint(control, &paint);
    // The parent's answer decides the background; NULL_BRUSH leaves it untouched.
    const LRESULT brush =
        SendMessageW(GetParent(control), colourMessage, reinterpret_cast<WPARAM>(paint.hdc),
                     reinterpret_cast<LPARAM>(control));
    if (const platform::DcHooks hooks = platform::GetDcHooks(); hooks.paintControl != nullptr)
        hooks.paintControl(control, paint.hdc, colourMessage, reinterpret_cast<HBRUSH>(brush));
    EndPaint(control, &paint);
    return 0;
}

void RegisterSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterStaticClass();
        RegisterEditClass();
        RegisterDialogClass();
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        for (const char16_t* name : {u"STATIC", u"EDIT", u"DIALOG"}) {
            if (auto it = state.classes.find(name); it != state.classes.end()) {
                it->second->isSystem = true;
            }
        }
    });
}

} // namespace platform::window_detail

namespace {

constexpr DWORD kKnownControlClasses = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                       ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS |
                                       ICC_PROGRESS_CLASS;
std::atomic<DWORD> g_initializedControls{0};

} // namespace

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (init == nullptr || init->dwSize != sizeof(INITCOMMONCONTROLSEX) || init->dwICC == 0 ||
        (init->dwICC & ~kKnownControlClasses) != 0) {
        return FALSE;
    }
    g_initializedControls |= init->dwICC;
    return TRUE;
}

namespace platform {

DWORD InitializedCommonControls() {
    return g_initializedControls;
}

} // namespace platform
