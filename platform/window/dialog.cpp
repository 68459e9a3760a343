// Dialogs: the dialog class, item-less templates, the modal loop and dialog keys.
#include "platform/window/dialog.h"

#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/messagebox.h"
#include "platform/window/detail/state.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <cstring>

using namespace platform::window_detail;

namespace {

constexpr LPCWSTR kDialogClass = u"Dialog";
constexpr std::size_t kTemplateFixedSize = 18;

struct DialogState {
    bool isModal = false;
    bool isEnded = false;
    INT_PTR result = 0;
};

std::shared_ptr<DialogState> DialogStateOf(HWND dialog) {
    WindowLock w(dialog);
    if (!w)
        return nullptr;
    return std::static_pointer_cast<DialogState>(w->control);
}

bool IsResultDirect(UINT message) {
    return message == WM_INITDIALOG || message == WM_CTLCOLOREDIT ||
           message == WM_CTLCOLORLISTBOX || message == WM_CTLCOLORSTATIC;
}

LRESULT DialogWindowProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongW(dialog, DWL_DLGPROC));
    if (procedure != nullptr) {
        SetWindowLongW(dialog, DWL_MSGRESULT, 0);
        const BOOL isHandled = procedure(dialog, message, wParam, lParam);
        if (isHandled != FALSE) {
            return IsResultDirect(message) ? isHandled : GetWindowLongW(dialog, DWL_MSGRESULT);
        }
    }
    if (message == WM_CLOSE) {
        auto state = DialogStateOf(dialog);
        if (state && state->isModal) {
            EndDialog(dialog, IDCANCEL);
        } else {
            DestroyWindow(dialog);
        }
        return 0;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

struct TemplateFields {
    DWORD style = 0;
    DWORD exStyle = 0;
    WORD itemCount = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
};

bool ReadTemplate(LPCDLGTEMPLATEW dialogTemplate, TemplateFields* fields) {
    if (dialogTemplate == nullptr)
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dialogTemplate);
    std::memcpy(&fields->style, bytes, 4);
    std::memcpy(&fields->exStyle, bytes + 4, 4);
    std::memcpy(&fields->itemCount, bytes + 8, 2);
    std::memcpy(&fields->x, bytes + 10, 2);
    std::memcpy(&fields->y, bytes + 12, 2);
    std::memcpy(&fields->cx, bytes + 14, 2);
    std::memcpy(&fields->cy, bytes + 16, 2);
    if (fields->itemCount != 0 || fields->cx < 0 || fields->cy < 0) {
        OutputDebugStringW(u"Dialog template refused: items are not supported and the size "
                           u"must not be negative\n");
        return false;
    }
    return true;
}

HWND CreateDialogCore(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                      DLGPROC procedure, LPARAM initParam, bool isModal) {
    RegisterSystemClasses();
    TemplateFields fields;
    if (!ReadTemplate(dialogTemplate, &fields) || (parent != nullptr && !IsWindow(parent))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const LONG base = GetDialogBaseUnits();
    const int unitX = LOWORD(static_cast<DWORD>(base));
    const int unitY = HIWORD(static_cast<DWORD>(base));
    POINT origin{fields.x * unitX / 4, fields.y * unitY / 8};
    if (parent != nullptr)
        ClientToScreen(parent, &origin);
    const DWORD style = (fields.style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
    HWND dialog = CreateWindowExW(fields.exStyle, kDialogClass, u"", style, origin.x, origin.y,
                                  fields.cx * unitX / 4, fields.cy * unitY / 8, parent, nullptr,
                                  instance, nullptr);
    if (dialog == nullptr)
        return nullptr;
    {
        WindowLock w(dialog);
        auto state = std::make_shared<DialogState>();
        state->isModal = isModal;
        w->control = state;
    }
    SetWindowLongW(dialog, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(procedure));
    SendMessageW(dialog, WM_INITDIALOG, 0, initParam);
    if ((fields.style & WS_VISIBLE) != 0 && IsWindow(dialog))
        ShowWindow(dialog, SW_SHOW);
    return IsWindow(dialog) ? dialog : nullptr;
}

} // namespace

namespace platform::window_detail {

void RegisterDialogClass() {
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = DialogWindowProcedure;
    windowClass.cbWndExtra = DWL_USER + 8;
    windowClass.lpszClassName = kDialogClass;
    (void)RegisterClassW(&windowClass);
}

} // namespace platform::window_detail

LONG GetDialogBaseUnits() {
    const int scale = GetSystemMetrics(SM_CXSCREEN);
    return static_cast<LONG>(MAKELPARAM(8 * scale / 240, 16 * scale / 240));
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC procedure, LPARAM initParam) {
    HWND dialog = CreateDialogCore(instance, dialogTemplate, parent, procedure, initParam, true);
    if (dialog == nullptr)
        return -1;
    HWND owner = GetParent(dialog);
    const bool disablesOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disablesOwner)
        EnableWindow(owner, FALSE);
    auto state = DialogStateOf(dialog);
    platform::SetModalWindow(dialog, true);
    if (!state->isEnded)
        ShowWindow(dialog, SW_SHOW);
    MSG msg{};
    while (!state->isEnded && IsWindow(dialog)) {
        if (GetMessageW(&msg, nullptr, 0, 0) == FALSE) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            state->result = -1;
            break;
        }
        if (IsDialogMessageW(dialog, &msg) == FALSE) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    platform::SetModalWindow(dialog, false);
    if (disablesOwner && IsWindow(owner))
        EnableWindow(owner, TRUE);
    if (IsWindow(dialog))
        DestroyWindow(dialog);
    return state->result;
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC procedure, LPARAM initParam) {
    return CreateDialogCore(instance, dialogTemplate, parent, procedure, initParam, false);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    auto state = DialogStateOf(dialog);
    if (!state) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!state->isModal) {
        ShowWindow(dialog, SW_HIDE);
        return TRUE;
    }
    state->isEnded = true;
    state->result = result;
    PostMessageW(dialog, WM_NULL, 0, 0); // wakes the modal loop
    return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr || !IsWindow(dialog))
        return FALSE;
    bool isInside = false;
    for (HWND w = msg->hwnd; w != nullptr && !isInside; w = GetParent(w)) {
        isInside = w == dialog;
        if ((GetWindowLongW(w, GWL_STYLE) & WS_CHILD) == 0 && w != dialog)
            break;
    }
    if (!isInside)
        return FALSE;
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
        const LRESULT code =
            SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if ((code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) == 0)
            return TRUE;
    }
    // Enter is the OK command and Esc the Cancel command, unless the focus wants every key.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        const LRESULT code =
            SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if ((code & DLGC_WANTALLKEYS) == 0) {
            const int id = msg->wParam == VK_RETURN ? IDOK : IDCANCEL;
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, 0),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
            return TRUE;
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

namespace platform {

std::vector<std::uint8_t> MakeDialogTemplate(DWORD style, short x, short y, short cx, short cy,
                                             WORD itemCount) {
    std::vector<std::uint8_t> bytes(kTemplateFixedSize + 6, 0);
    const DWORD exStyle = 0;
    std::memcpy(bytes.data(), &style, 4);
    std::memcpy(bytes.data() + 4, &exStyle, 4);
    std::memcpy(bytes.data() + 8, &itemCount, 2);
    std::memcpy(bytes.data() + 10, &x, 2);
    std::memcpy(bytes.data() + 12, &y, 2);
    std::memcpy(bytes.data() + 14, &cx, 2);
    std::memcpy(bytes.data() + 16, &cy, 2);
    return bytes;
}

} // namespace platform
