#include "ui/customlistbox.h"

#include "ui/customcombobox.h"
#include "ui/detail/listcontrols.h"
#include "ui/shellhelpers.h"
#include "ui/transparentbitmap.h"

#include "platform/gdi/dib.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using ui::detail::kBlack;
using ui::detail::kWhite;
using ui::detail::PointOf;

constexpr COLORREF kScrollBarColour = 0xAB9567;
constexpr COLORREF kHotTextColour = 0x00E1FF;
constexpr int kTextInset = 4;
constexpr int kIconGap = 4;
// Rows fitted to their lines stay within this height (an item of a million lines).
constexpr long long kLargestFittedHeight = 1 << 16;

// The lines a text takes where its rows draw it: CR LF, CR and LF each start a new line.
int ItemLineCount(const std::u16string& text) {
    int lines = 1;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
            ++at;
        if (text[at] == u'\r' || text[at] == u'\n')
            ++lines;
    }
    return lines;
}

bool Contains(const RECT& rect, POINT point) {
    return PtInRect(&rect, point) != FALSE;
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

// A pen and brush of one colour selected for the life of the object.
class SolidTools {
public:
    SolidTools(HDC dc, COLORREF colour)
        : dc_(dc)
        , pen_(CreatePen(PS_SOLID, 1, colour))
        , brush_(CreateSolidBrush(colour))
        , oldPen_(SelectObject(dc, pen_))
        , oldBrush_(SelectObject(dc, brush_)) {}
    ~SolidTools() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }
    SolidTools(const SolidTools&) = delete;
    SolidTools& operator=(const SolidTools&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HBRUSH brush_;
    HGDIOBJ oldPen_;
    HGDIOBJ oldBrush_;
};

} // namespace

CustomListBox::CustomListBox(HWND parent, UINT id, COLORREF background, DWORD style,
                             const std::vector<std::u16string>& items)
    : CustomControl(parent, id, background, u"CUSTOMLISTBOX", style, kWhite)
    , style_(style)
    , colours_{background,       kScrollBarColour, kScrollBarColour,
               kScrollBarColour, kWhite,           kHotTextColour}
    , items_(items)
    , id_(id) {
    MessageMapPtr& map = GetMessageMap();
    ConnectMessageHandler(map, WM_PAINT, this, &CustomListBox::OnPaint);
    ConnectMessageHandler(map, WM_SIZE, this, &CustomListBox::OnSize);
    ConnectMessageHandler(map, WM_SETFONT, this, &CustomListBox::OnSetFont);
    ConnectMessageHandler(map, WM_LBUTTONDOWN, this, &CustomListBox::OnButtonDown);
    ConnectMessageHandler(map, WM_LBUTTONUP, this, &CustomListBox::OnButtonUp);
    ConnectMessageHandler(map, WM_MOUSEMOVE, this, &CustomListBox::OnMouseMove);
    ConnectMessageHandler(map, WM_TIMER, this, &CustomListBox::OnTimer);
    ConnectMessageHandler(map, WM_LBUTTONDBLCLK, this, &CustomListBox::OnDoubleClick);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &CustomListBox::OnKeyDown);
    ConnectMessageHandler(map, WM_SETREDRAW, this, &CustomListBox::OnSetRedraw);
    for (UINT message :
         {LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_SETCURSEL,
          LB_GETCURSEL, LB_GETCOUNT, LB_GETTEXT, LB_GETTEXTLEN, LB_SETITEMHEIGHT}) {
        ConnectMessageHandler(map, message, this, &CustomListBox::OnListMessage);
    }
}

CustomListBox::~CustomListBox() {
    if (GetWindow() != nullptr)
        KillTimer(GetWindow(), kRepeatTimer);
    ReleaseOffscreen();
    if (font_ != nullptr)
        DeleteObject(font_);
}

void CustomListBox::SetItemHeight(int height) {
    // Rows and the row under the stylus divide by the height.
    itemHeight_ = std::max(1, height);
}

void CustomListBox::FitItemHeightToLines() {
    int lines = 0;
    for (const std::u16string& item : items_)
        lines = std::max(lines, ItemLineCount(item));
    HWND window = GetWindow();
    HDC dc = lines > 0 ? GetDC(window) : nullptr;
    if (dc == nullptr)
        return;
    HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
    TEXTMETRICW metrics{};
    const bool isMeasured = GetTextMetricsW(dc, &metrics) != FALSE;
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    if (!isMeasured || metrics.tmHeight <= 0)
        return;
    // The rows draw their text without external leading: a line is tmHeight high.
    const int height = static_cast<int>(std::min<long long>(
        static_cast<long long>(lines) * metrics.tmHeight, kLargestFittedHeight));
    const bool isChanged = height != itemHeight_;
    SetItemHeight(height);
    // Items inserted since the last layout may have brought or taken the scroll bar.
    RECT client{};
    GetClientRect(window, &client);
    Layout(client.right, client.bottom);
    first_ = std::clamp(first_, 0, std::max(0, LastFirst()));
    if (isChanged)
        Redraw();
}

std::u16string CustomListBox::GetText(int index) const {
    if (index < 0 || index >= GetCount())
        return {};
    return items_[static_cast<std::size_t>(index)];
}

void CustomListBox::SetCurSel(int index) {
    selected_ = index;
    hot_ = index;
}

void CustomListBox::SetScrollUnit(int unit) {
    unit_ = unit;
    RECT client{};
    GetClientRect(GetWindow(), &client);
    Layout(client.right, client.bottom);
}

void CustomListBox::SetIcons(std::vector<int> icons) {
    icons_ = std::move(icons);
}

int CustomListBox::GetVisibleRows() const {
    RECT client{};
    GetClientRect(GetWindow(), &client);
    return client.bottom / itemHeight_;
}

int CustomListBox::LastFirst() const {
    return GetCount() - GetVisibleRows();
}

bool CustomListBox::SetFirstVisible(int index) {
    if (index < 0 || index >= GetCount())
        return false;
    first_ = std::clamp(index, 0, std::max(0, LastFirst()));
    return true;
}

bool CustomListBox::HasScrollBar(int height) const {
    return static_cast<long long>(GetCount()) * itemHeight_ > height;
}

void CustomListBox::Layout(int width, int height) {
    if (!HasScrollBar(height)) {
        up_ = down_ = track_ = RECT{};
        return;
    }
    const int u = unit_;
    up_ = RECT{width - 4 * u, 0, width, 4 * u};
    down_ = RECT{width - 4 * u, height - 4 * u, width, height};
    track_ = RECT{width - 4 * u, 4 * u, width, height - 4 * u};
    thumbLowestBottom_ = height - 3 * u;
}

bool CustomListBox::ScrollUp(int count) {
    if (first_ <= 0)
        return false;
    first_ = std::max(0, first_ - count);
    return true;
}

bool CustomListBox::ScrollDown(int count) {
    const int last = LastFirst();
    if (first_ < 0 || first_ >= last)
        return false;
    first_ = std::min(last, first_ + count);
    return true;
}

void CustomListBox::ScrollIntoView(int index) {
    RECT client{};
    GetClientRect(GetWindow(), &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    const int visible = client.bottom / itemHeight_;
    if (visible < 1) {
        first_ = index;
        return;
    }
    first_ = std::max(0, index - visible + 1);
}

void CustomListBox::NotifyParent(WORD code) {
    // A drop-down list has no parent: its notifications reach no window.
    HWND parent = GetParent(GetWindow());
    if (parent == nullptr)
        return;
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<int>(id_), code),
                 reinterpret_cast<LPARAM>(GetWindow()));
}

bool CustomListBox::SelectLastWhenAtEnd() {
    if (owner_ == nullptr || GetCount() == 0 || first_ != LastFirst())
        return false;
    SendMessageW(owner_->GetWindow(), CB_SETCURSEL, static_cast<WPARAM>(GetCount() - 1), 0);
    owner_->Notify(CBN_SELCHANGE);
    return true;
}

void CustomListBox::RedrawAll() {
    Redraw();
    if (owner_ != nullptr)
        owner_->Refresh();
}

// ---- Drawing ----

void CustomListBox::ReleaseOffscreen() {
    if (offscreenOld_ != nullptr)
        SelectObject(offscreenDc_, offscreenOld_);
    if (offscreenBitmap_ != nullptr)
        DeleteObject(offscreenBitmap_);
    if (offscreenDc_ != nullptr)
        DeleteDC(offscreenDc_);
    offscreenDc_ = nullptr;
    offscreenBitmap_ = nullptr;
    offscreenOld_ = nullptr;
    offscreenSize_ = SIZE{};
}

void CustomListBox::OnSetRedraw(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    isRedrawOff_ = wParam == 0;
    *result = 0;
    *handled = true;
    if (!isRedrawOff_)
        InvalidateRect(GetWindow(), nullptr, FALSE);
}

void CustomListBox::Redraw() {
    if (isRedrawOff_)
        return;
    HWND window = GetWindow();
    RECT client{};
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    HDC windowDc = GetDC(window);
    if (windowDc == nullptr)
        return;
    // The off-screen picture is kept while the client size stays.
    if (offscreenSize_.cx != client.right || offscreenSize_.cy != client.bottom)
        ReleaseOffscreen();
    if (offscreenDc_ == nullptr) {
        offscreenDc_ = CreateCompatibleDC(windowDc);
        offscreenBitmap_ = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
        if (offscreenDc_ != nullptr && offscreenBitmap_ != nullptr) {
            offscreenOld_ = SelectObject(offscreenDc_, offscreenBitmap_);
            offscreenSize_ = SIZE{client.right, client.bottom};
        }
    }
    if (offscreenOld_ != nullptr) {
        DrawInto(offscreenDc_, client.right, client.bottom);
        BitBlt(windowDc, 0, 0, client.right, client.bottom, offscreenDc_, 0, 0, SRCCOPY);
    } else {
        ReleaseOffscreen(); // nothing half made stays
    }
    ReleaseDC(window, windowDc);
}

void CustomListBox::DrawInto(HDC dc, int width, int height) {
    const RECT client{0, 0, width, height};
    {
        // Brush and pen of one colour: the rectangle is the filled client area.
        HBRUSH background = CreateSolidBrush(colours_[kBackground]);
        FillRect(dc, &client, background);
        DeleteObject(background);
    }
    if (HasScrollBar(height))
        DrawScrollBar(dc, client);
    DrawRows(dc, client);
}

void CustomListBox::DrawScrollBar(HDC dc, const RECT& client) {
    const int u = unit_;
    const int r = client.right;
    const int t = client.top;
    const int b = client.bottom;
    {
        SolidTools arrows(dc, colours_[kScrollBar]);
        const POINT upArrow[3] = {{r - 2 * u, t + u}, {r - 3 * u, t + 2 * u}, {r - u, t + 2 * u}};
        const POINT downArrow[3] = {{r - 2 * u, b - u}, {r - 3 * u, b - 2 * u}, {r - u, b - 2 * u}};
        Polygon(dc, upArrow, 3);
        Polygon(dc, downArrow, 3);
    }
    {
        // A one-pixel column: the pixels of a pen line from its top to its bottom.
        const RECT line = owner_ != nullptr ? RECT{r - 2 * u, t + 2 * u, r - 2 * u + 1, b - 2 * u}
                                            : RECT{r - 4 * u, t, r - 4 * u + 1, b};
        HBRUSH brush = CreateSolidBrush(colours_[kLines]);
        FillRect(dc, &line, brush);
        DeleteObject(brush);
    }
    // Edges: the pressed button shows a light base and right edge and a dark left edge.
    {
        const bool upPressed = part_ == kUpButton;
        SolidTools light(dc, upPressed ? kWhite : colours_[kScrollBar]);
        Line(dc, r - 3 * u, t + 2 * u, r - u, t + 2 * u);
        Line(dc, r - 2 * u, t + u, r - u, t + 2 * u);
    }
    {
        SolidTools dark(dc, part_ == kUpButton ? kBlack : colours_[kScrollBar]);
        Line(dc, r - 2 * u, t + u, r - 3 * u, t + 2 * u);
    }
    {
        SolidTools light(dc, part_ == kDownButton ? kWhite : colours_[kScrollBar]);
        Line(dc, r - 3 * u, b - 2 * u, r - u, b - 2 * u);
        Line(dc, r - u, b - 2 * u, r - 2 * u, b - u);
    }
    {
        SolidTools dark(dc, part_ == kDownButton ? kBlack : colours_[kScrollBar]);
        Line(dc, r - 3 * u, b - 2 * u, r - 2 * u, b - u);
    }
    const int count = GetCount();
    const int range = (b - 3 * u) - (t + 2 * u);
    pixelsPerItem_ = count > 0 ? static_cast<double>(range) / count : 0.0;
    const int visible = (client.bottom - client.top) / itemHeight_;
    const int top = static_cast<int>(first_ * pixelsPerItem_ + t + 2 * u);
    const int length = static_cast<int>(range - (count - visible) * pixelsPerItem_);
    const int bottom =
        length < minThumb_ ? std::min(top + minThumb_, thumbLowestBottom_) : top + length;
    thumb_ = RECT{r - 3 * u, top, r - u, bottom};
    HBRUSH thumbBrush = CreateSolidBrush(colours_[kThumbColour]);
    FillRect(dc, &thumb_, thumbBrush);
    DeleteObject(thumbBrush);
}

const TransparentBitmap* CustomListBox::IconOf(int row) {
    if (row < 0 || row >= static_cast<int>(icons_.size()))
        return nullptr;
    const int number = icons_[static_cast<std::size_t>(row)];
    auto it = iconBitmaps_.find(number);
    if (it == iconBitmaps_.end()) {
        std::unique_ptr<TransparentBitmap> icon;
        HBITMAP bitmap = LoadBitmapW(platform::ResourceInstance(),
                                     MAKEINTRESOURCEW(static_cast<UINT_PTR>(number)));
        if (bitmap != nullptr) {
            icon = std::make_unique<TransparentBitmap>(bitmap, kKeyTopLeftPixel);
            DeleteObject(bitmap);
        }
        it = iconBitmaps_.emplace(number, std::move(icon)).first;
    }
    const TransparentBitmap* icon = it->second.get();
    return icon != nullptr && !icon->IsEmpty() ? icon : nullptr;
}

void CustomListBox::DrawRows(HDC dc, const RECT& client) {
    const int u = unit_;
    HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, colours_[kBackground]);
    HBRUSH lineBrush = CreateSolidBrush(colours_[kLines]);
    const bool isOwnerDrawn = (style_ & LBS_OWNERDRAWFIXED) != 0;
    HWND parent = GetParent(GetWindow());
    const int right = client.right - 4 * u;
    int rowTop = client.top + 1;
    for (int index = std::max(0, first_); index < GetCount(); ++index) {
        if (rowTop >= client.bottom)
            break;
        RECT text{client.left + kTextInset, rowTop, right, rowTop + itemHeight_};
        if (isOwnerDrawn) {
            if (parent != nullptr) {
                DRAWITEMSTRUCT item{};
                item.CtlType = ODT_LISTBOX;
                item.CtlID = id_;
                item.itemID = static_cast<UINT>(index);
                item.itemAction = ODA_DRAWENTIRE;
                item.itemState = index == selected_ ? ODS_SELECTED : 0;
                item.hwndItem = GetWindow();
                item.hDC = dc;
                item.rcItem = text;
                SendMessageW(parent, WM_DRAWITEM, static_cast<WPARAM>(id_),
                             reinterpret_cast<LPARAM>(&item));
            }
        } else {
            if (const TransparentBitmap* icon = IconOf(index); icon != nullptr) {
                const SIZE size = icon->GetSize();
                icon->DrawCentred(dc, POINT{text.left + size.cx / 2, rowTop + itemHeight_ / 2});
                text.left += size.cx + kIconGap;
            }
            SetTextColor(dc, colours_[index == hot_ ? kHotText : kText]);
            const std::u16string& item = items_[static_cast<std::size_t>(index)];
            if ((style_ & kListShowTextTail) != 0) {
                LPCWSTR tail = FitTextTail(dc, static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT)),
                                           item.c_str(), text.right - text.left);
                DrawTextW(dc, tail, -1, &text, DT_RIGHT);
            } else {
                DrawTextW(dc, item.c_str(), -1, &text, 0);
            }
        }
        // One-pixel rows, the pixels a pen line from left to right would take.
        const int lineRight = right - u;
        if (rowTop != client.top + 1) {
            const RECT above{client.left + kTextInset, rowTop, lineRight, rowTop + 1};
            FillRect(dc, &above, lineBrush);
        }
        const RECT below{client.left + kTextInset, rowTop + itemHeight_, lineRight,
                         rowTop + itemHeight_ + 1};
        FillRect(dc, &below, lineBrush);
        rowTop += itemHeight_ + 1;
    }
    DeleteObject(lineBrush);
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
}

// ---- Messages ----

void CustomListBox::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    ValidateRect(GetWindow(), nullptr);
    Redraw();
    *result = 0;
    *handled = true;
}

void CustomListBox::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (owner_ == nullptr)
        unit_ = 4;
    Layout(LOWORD(static_cast<DWORD>(lParam)), HIWORD(static_cast<DWORD>(lParam)));
}

void CustomListBox::OnSetFont(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    LOGFONTW description{};
    if (wParam == 0 ||
        GetObjectW(reinterpret_cast<HGDIOBJ>(wParam), sizeof(description), &description) == 0) {
        return;
    }
    HFONT font = CreateFontIndirectW(&description);
    if (font == nullptr)
        return;
    if (font_ != nullptr)
        DeleteObject(font_);
    font_ = font;
}

void CustomListBox::OnButtonDown(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    HWND window = GetWindow();
    const POINT point = PointOf(lParam);
    RECT client{};
    GetClientRect(window, &client);
    if (owner_ != nullptr && !Contains(client, point)) {
        ReleaseCapture();
        SendMessageW(owner_->GetWindow(), CB_SHOWDROPDOWN, 0, 0);
        return;
    }
    bool isDownStep = false;
    if (Contains(up_, point)) {
        ScrollUp(step_);
        part_ = kUpButton;
        SetTimer(window, kRepeatTimer, kRepeatDelayMs, nullptr);
    } else if (Contains(down_, point)) {
        ScrollDown(step_);
        isDownStep = true;
        part_ = kDownButton;
        SetTimer(window, kRepeatTimer, kRepeatDelayMs, nullptr);
    } else if (Contains(track_, point)) {
        dragPoint_ = point;
        if (Contains(thumb_, point)) {
            part_ = kThumb;
        } else if (point.y < thumb_.top) {
            ScrollUp(step_);
            part_ = kTrackAbove;
        } else {
            ScrollDown(step_);
            isDownStep = true;
            part_ = kTrackBelow;
        }
        SetTimer(window, kRepeatTimer, kRepeatDelayMs, nullptr);
    } else if (point.y >= 0) {
        const int index = first_ + point.y / itemHeight_;
        if (index < GetCount()) {
            selected_ = index;
            hot_ = index;
            NotifyParent(LBN_SELCHANGE);
        }
    }
    if (isDownStep)
        SelectLastWhenAtEnd();
    RedrawAll();
}

void CustomListBox::OnButtonUp(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    HWND window = GetWindow();
    const POINT point = PointOf(lParam);
    RECT client{};
    GetClientRect(window, &client);
    if (owner_ != nullptr) {
        if (point.x > client.right && point.y > client.top && point.y < client.bottom) {
            SendMessageW(owner_->GetWindow(), CB_SHOWDROPDOWN, 0, 0);
            return;
        }
        // A release that follows the closing tap commits nothing.
        if (owner_->IsDropped() && !Contains(up_, point) && !Contains(down_, point) &&
            !Contains(track_, point)) {
            owner_->Commit();
        }
    }
    part_ = kNoPart;
    dragPoint_ = POINT{-1, -1};
    KillTimer(window, kRepeatTimer);
    RedrawAll();
}

void CustomListBox::OnMouseMove(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    const POINT point = PointOf(lParam);
    if (part_ == kThumb && Contains(track_, point)) {
        const int distance = point.y - dragPoint_.y;
        // A track without room per item scrolls nothing.
        if (pixelsPerItem_ <= 0.0 || std::abs(distance) < pixelsPerItem_)
            return;
        const int items = static_cast<int>(std::abs(distance) / pixelsPerItem_);
        if (distance >= 0 && first_ < LastFirst())
            ScrollDown(items);
        else if (distance < 0 && first_ > 0)
            ScrollUp(items);
        dragPoint_ = point;
        Redraw();
        return;
    }
    if (owner_ != nullptr && !Contains(track_, point) && point.y >= 0) {
        const int index = first_ + point.y / itemHeight_;
        if (index != hot_ && index < GetCount()) {
            hot_ = index;
            Redraw();
        }
    }
}

void CustomListBox::OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    if (wParam != kRepeatTimer)
        return;
    HWND window = GetWindow();
    switch (part_) {
    case kUpButton:
        ScrollUp(step_);
        break;
    case kDownButton:
        ScrollDown(step_);
        break;
    case kTrackBelow:
        if (dragPoint_.y > thumb_.top && first_ < LastFirst())
            ScrollDown(step_);
        else
            KillTimer(window, kRepeatTimer);
        break;
    case kTrackAbove:
        if (dragPoint_.y < thumb_.top && first_ > 0)
            ScrollUp(step_);
        else
            KillTimer(window, kRepeatTimer);
        break;
    default:
        break;
    }
    RedrawAll();
    if (SelectLastWhenAtEnd())
        KillTimer(window, kRepeatTimer);
    *result = 0;
    *handled = true;
}

void CustomListBox::OnDoubleClick(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (owner_ == nullptr)
        NotifyParent(LBN_DBLCLK);
}

void CustomListBox::OnKeyDown(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    if (wParam != VK_UP && wParam != VK_DOWN) {
        Redraw();
        return;
    }
    int next = selected_;
    if (wParam == VK_UP && selected_ > 0)
        next = selected_ - 1;
    if (wParam == VK_DOWN && selected_ + 1 < GetCount())
        next = selected_ + 1;
    if (next != selected_) {
        selected_ = hot_ = next;
        const int visible = GetVisibleRows();
        if (next < first_)
            ScrollUp(step_);
        else if (next >= first_ + visible)
            ScrollDown(step_);
    }
    RedrawAll();
    *result = 0;
    *handled = true;
}

int CustomListBox::AddString(const std::u16string& text) {
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), u'\n'));
    if (lines > maxLines_) {
        const int lineHeight = itemHeight_ / (maxLines_ == 1 ? 1 : maxLines_ + 1);
        maxLines_ = lines;
        itemHeight_ = std::max(1, lineHeight * (lines + 1));
    }
    items_.push_back(text);
    return GetCount() - 1;
}

void CustomListBox::OnListMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                                  bool* handled) {
    HWND window = GetWindow();
    const int index = static_cast<int>(wParam);
    const bool isInside = index >= 0 && index < GetCount();
    auto text = [&] {
        return lParam != 0 ? std::u16string(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string();
    };
    *handled = true;
    *result = 0;
    switch (message) {
    case LB_ADDSTRING: {
        *result = AddString(text());
        RECT bounds{};
        GetClientRect(window, &bounds);
        SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(bounds.right, bounds.bottom));
        Redraw();
        break;
    }
    case LB_INSERTSTRING:
        if (wParam > items_.size()) {
            *result = LB_ERR;
            break;
        }
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(wParam), text());
        if (selected_ >= index)
            ++selected_;
        if (hot_ >= index)
            ++hot_;
        *result = index;
        Redraw();
        break;
    case LB_DELETESTRING:
        if (!isInside) {
            *result = LB_ERR;
            break;
        }
        items_.erase(items_.begin() + index);
        // The selection keeps naming the same item, or none when that item went.
        for (int* kept : {&selected_, &hot_}) {
            if (*kept == index)
                *kept = -1;
            else if (*kept > index)
                --*kept;
        }
        first_ = std::clamp(first_, 0, std::max(0, LastFirst()));
        *result = GetCount();
        Redraw();
        break;
    case LB_RESETCONTENT:
        selected_ = hot_ = -1;
        items_.clear();
        first_ = 0;
        break;
    case LB_SETCURSEL:
        if (index != -1 && !isInside) {
            // An index outside the list selects nothing.
            selected_ = hot_ = -1;
            *result = LB_ERR;
        } else {
            selected_ = hot_ = index;
            if (index != -1)
                ScrollIntoView(index);
            *result = index;
        }
        InvalidateRect(window, nullptr, TRUE);
        Redraw();
        break;
    case LB_GETCURSEL:
        *result = selected_;
        break;
    case LB_GETCOUNT:
        *result = GetCount();
        break;
    case LB_GETTEXT:
        if (index < 0 || lParam == 0) {
            *result = LB_ERR;
            break;
        }
        {
            const std::u16string item = GetText(index);
            auto* buffer = reinterpret_cast<LPWSTR>(lParam);
            std::copy(item.begin(), item.end(), buffer);
            buffer[item.size()] = 0;
            *result = static_cast<LRESULT>(item.size());
        }
        break;
    case LB_GETTEXTLEN:
        *result = index < 0 ? LB_ERR : static_cast<LRESULT>(GetText(index).size());
        break;
    case LB_SETITEMHEIGHT:
        SetItemHeight(static_cast<int>(lParam));
        InvalidateRect(window, nullptr, TRUE);
        break;
    default:
        *handled = false;
        break;
    }
}
