#include "ui/dialogbase.h"

#include "ui/shellhelpers.h"
#include "ui/textface.h"
#include "utilities/usefulcode/screendesc.h"

#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/dialog.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr std::size_t kTemplateBytes = 1024;
constexpr DWORD kTemplateStyle = WS_POPUP | WS_CLIPCHILDREN | DS_SETFOREGROUND;
constexpr int kItemTextLength = 384;
constexpr UINT kCancelTextId = 320;
constexpr WORD kTabScanCodeRepeated = 0x80F;
constexpr LONG kMostUnits = 32767;

std::mutex& MapMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<HWND, DialogBase*>& DialogMap() {
    static std::map<HWND, DialogBase*> map;
    return map;
}

// pixels * scale / unit in 64 bits, within 0..32767.
LONG ToUnits(INT pixels, int scale, int unit) {
    if (unit <= 0)
        return 0;
    const long long units = static_cast<long long>(pixels) * scale / unit;
    return static_cast<LONG>(std::clamp<long long>(units, 0, kMostUnits));
}

RECT ToRect(const ScreenDescRect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

std::u16string ItemText(UINT id) {
    if (id == 1)
        return u"O.K.";
    return LoadDialogString(id == 2 ? kCancelTextId : id, kItemTextLength);
}

bool HitsItem(const RECT& rect, POINT point) {
    return rect.left <= point.x && point.x < rect.right && rect.top <= point.y &&
           point.y < rect.bottom;
}

} // namespace

std::u16string LoadDialogString(UINT id, int maxLength) {
    std::vector<WCHAR> buffer(static_cast<std::size_t>(maxLength) + 1, 0);
    const int length = LoadStringW(platform::ResourceInstance(), id, buffer.data(), maxLength + 1);
    return std::u16string(buffer.data(), static_cast<std::size_t>(std::max(0, length)));
}

std::u16string ReplacePlaceholder(std::u16string text, const std::u16string& insert) {
    const std::size_t at = text.find(u"<@>");
    if (at != std::u16string::npos)
        text.replace(at, 3, insert);
    return text;
}

DialogBase::DialogBase(std::u16string section)
    : section_(std::move(section)) {
    const ScreenDescSize size = ScreenDesc::GetSize(section_.c_str(), u"Size");
    const auto base = static_cast<DWORD>(GetDialogBaseUnits());
    units_.cx = ToUnits(size.width, 4, LOWORD(base));
    units_.cy = ToUnits(size.height, 8, HIWORD(base));
    background_ = CreateSkinBitmap(ScreenDesc::GetBitmapName(section_.c_str()));
}

DialogBase::~DialogBase() {
    DestroyDialogWindow();
}

void DialogBase::DestroyDialogWindow() {
    HWND window = window_.exchange(nullptr);
    if (window != nullptr) {
        {
            std::lock_guard lock(MapMutex());
            DialogMap().erase(window);
        }
        DestroyWindow(window);
    }
}

void DialogBase::AddText(LPCWSTR entry, UINT id) {
    DialogItem item;
    item.id = id;
    item.rect = ToRect(ScreenDesc::GetRect(section_.c_str(), entry));
    item.text = ItemText(id);
    items_[id] = std::move(item);
}

void DialogBase::AddButton(LPCWSTR entry, UINT id) {
    const ScreenDescItem described = ScreenDesc::GetRectAndFlag(section_.c_str(), entry);
    DialogItem item;
    item.id = id;
    item.rect = ToRect(described.rect);
    item.text = ItemText(id);
    item.face = LoadSkinFace(id, described.kind);
    items_[id] = std::move(item);
}

const DialogItem* DialogBase::FindItem(UINT id) const {
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : &it->second;
}

void DialogBase::SetItemText(UINT id, std::u16string text) {
    if (auto it = items_.find(id); it != items_.end())
        it->second.text = std::move(text);
}

std::vector<std::uint8_t> DialogBase::MakeTemplate() const {
    std::vector<std::uint8_t> bytes(kTemplateBytes, 0);
    const DWORD style = kTemplateStyle;
    const auto cx = static_cast<std::int16_t>(units_.cx);
    const auto cy = static_cast<std::int16_t>(units_.cy);
    std::memcpy(bytes.data(), &style, 4);
    std::memcpy(bytes.data() + 14, &cx, 2);
    std::memcpy(bytes.data() + 16, &cy, 2);
    return bytes;
}

INT_PTR DialogBase::DoModal(HWND parent) {
    const std::vector<std::uint8_t> bytes = MakeTemplate();
    return DialogBoxIndirectParamW(platform::ResourceInstance(), platform::AsTemplate(bytes),
                                   parent, &DialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool DialogBase::CreateModeless(HWND parent) {
    const std::vector<std::uint8_t> bytes = MakeTemplate();
    return CreateDialogIndirectParamW(platform::ResourceInstance(), platform::AsTemplate(bytes),
                                      parent, &DialogBase::DialogProc,
                                      reinterpret_cast<LPARAM>(this)) != nullptr;
}

DialogBase* DialogBase::FromWindow(HWND window) {
    std::lock_guard lock(MapMutex());
    auto it = DialogMap().find(window);
    return it == DialogMap().end() ? nullptr : it->second;
}

BOOL DialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG && lParam != 0) {
        auto* object = reinterpret_cast<DialogBase*>(lParam);
        {
            std::lock_guard lock(MapMutex());
            DialogMap()[window] = object;
        }
        object->window_ = window;
    }
    DialogBase* object = FromWindow(window);
    if (object == nullptr)
        return FALSE;
    switch (message) {
    case WM_DESTROY: {
        object->window_ = nullptr;
        std::lock_guard lock(MapMutex());
        DialogMap().erase(window);
        return FALSE;
    }
    case WM_INITDIALOG:
        return object->OnInitDialog();
    case WM_COMMAND:
        return object->OnCommand(LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
    default:
        return object->OnMessage(message, wParam, lParam);
    }
}

BOOL DialogBase::OnInitDialog() {
    Centre();
    return TRUE;
}

BOOL DialogBase::OnCommand(UINT id, HWND, UINT) {
    if (id >= 1 && id <= 7) {
        EndModal(static_cast<INT_PTR>(id));
        return TRUE;
    }
    return FALSE;
}

void DialogBase::EndModal(INT_PTR result) {
    EndDialog(window_, result);
}

void DialogBase::Centre() {
    HWND window = window_;
    RECT bounds{};
    GetWindowRect(window, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    RECT reference{};
    HWND owner = GetParent(window);
    if (owner != nullptr) {
        GetWindowRect(owner, &reference);
    } else {
        HDC screen = GetDC(nullptr);
        reference = RECT{0, 0, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES)};
        ReleaseDC(nullptr, screen);
    }
    auto place = [](int low, int high, int size) {
        int at = (low + high) / 2 - size / 2;
        if (at < low)
            at = low;
        else if (at + size > high)
            at = high - size;
        return at;
    };
    SetWindowPos(window, nullptr, place(reference.left, reference.right, width),
                 place(reference.top, reference.bottom, height), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogBase::MoveUp(int pixels) {
    HWND window = window_;
    RECT bounds{};
    GetWindowRect(window, &bounds);
    SetWindowPos(window, nullptr, bounds.left, bounds.top - pixels, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool DialogBase::AnswerTab(UINT message, LPARAM lParam) {
    if (message != WM_GETDLGCODE || lParam == 0)
        return false;
    const auto* key = reinterpret_cast<const MSG*>(lParam);
    const WORD scan = HIWORD(static_cast<DWORD>(key->lParam));
    if (key->message != WM_KEYDOWN || (scan != kTabScanCode && scan != kTabScanCodeRepeated))
        return false;
    InvalidateRect(window_, nullptr, TRUE);
    SetWindowLongW(window_, DWL_MSGRESULT, 1);
    return true;
}

void DialogBase::DrawFace(const DialogItem& item, int state) {
    HWND window = window_;
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return;
    item.face->DrawWithText(dc, item.rect, item.text, state);
    ReleaseDC(window, dc);
}

BOOL DialogBase::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: { // a quick second tap presses a face like the first
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        for (const auto& [id, item] : items_) {
            if (item.face != nullptr && HitsItem(item.rect, point)) {
                pressed_ = &item;
                SetCapture(window_);
                DrawFace(item, 1);
                break;
            }
        }
        return TRUE;
    }
    case WM_LBUTTONUP: {
        if (pressed_ == nullptr)
            return TRUE;
        const DialogItem& item = *pressed_;
        pressed_ = nullptr;
        ReleaseCapture();
        DrawFace(item, 0);
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (HitsItem(item.rect, point))
            PostMessageW(window_, WM_COMMAND, item.id, 0);
        return TRUE;
    }
    case WM_ACTIVATE: {
        const WORD state = LOWORD(wParam);
        if (state == WA_ACTIVE || state == WA_CLICKACTIVE)
            ShowTaskBar(window_, false);
        else if (state == WA_INACTIVE)
            ShowTaskBar(window_, true);
        return FALSE;
    }
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client{};
        GetClientRect(window_, &client);
        // The background's keyed pixels (its round corners) let through no window beneath: the
        // pages' colour lies under them.
        HBRUSH ground = CreateSolidBrush(kSkinBackground);
        FillRect(dc, &client, ground);
        DeleteObject(ground);
        if (background_ != nullptr)
            background_->Draw(dc, client, SRCCOPY, true);
        for (const auto& [id, item] : items_) {
            if (item.face != nullptr)
                item.face->DrawWithText(dc, item.rect, item.text, 0);
            else
                DrawItem(dc, id, item.rect, item.text);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void DialogBase::DrawItem(HDC dc, UINT, const RECT& rect, const std::u16string& text) {
    SetTextColor(dc, 0x000000);
    SetBkMode(dc, TRANSPARENT);
    RECT box = rect;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_WORDBREAK);
}
